#include "http/response_head.h"

#include <gtest/gtest.h>

namespace updater {
namespace {

TEST(ResponseHeadTest, WidensEachByteAndEndsEveryLineWithCrLf) {
  EXPECT_EQ(WidenHeaderBlock("HTTP/1.1 200 OK\nX: \xE9\r\n\r\n"),
            u"HTTP/1.1 200 OK\r\nX: \u00E9\r\n");
}

TEST(ResponseHeadTest, ReadsTheValuesAndKeepsEarlierOnesWhenAbsent) {
  ResponseHeadFields fields;
  fields.charset = u"old";
  ReadResponseHeadFields(
      u"HTTP/1.1 302 Found\r\nContent-Type: text/html; charset=ISO-8859-1\r\n"
      u"content-length: 99999999999\r\nLocation:  \t/next?a=b \r\nSet-Cookie: x=1\r\n",
      false, fields);
  EXPECT_EQ(fields.charset, u"ISO-8859-1");
  EXPECT_EQ(fields.content_length, 2147483647u);
  EXPECT_EQ(fields.location, u"/next?a=b ");
  EXPECT_EQ(fields.cookies, u"x=1;");

  ReadResponseHeadFields(
      u"HTTP/1.1 200 OK\r\nContent-Length:  5\r\nContent-Type: a; charset=utf-8\r\n", true, fields);
  EXPECT_EQ(fields.charset, u"ISO-8859-1");
  EXPECT_EQ(fields.content_length, 2147483647u);
  EXPECT_EQ(fields.location, u"/next?a=b ");
  EXPECT_EQ(fields.cookies, u"x=1;");
}

TEST(ResponseHeadTest, FindsAHeaderByTheTailOfItsName) {
  const std::u16string head = u"HTTP/1.1 200 OK\r\nX-Version: 1\r\nKora-Location: http://a/b\r\n";
  EXPECT_EQ(FindResponseHeader(head, u"Version"), u"1");
  EXPECT_EQ(FindResponseHeader(head, u"kora-location"), u"http://a/b");
  EXPECT_EQ(FindResponseHeader(head, u"Kora-Version"), u"");

  // A value of blanks and line ends alone is empty, so callers fall back.
  const std::u16string empty = u"HTTP/1.1 302 Found\r\nKora-Location:\r\nX:  \t\r\nLocation: \r\n";
  EXPECT_EQ(FindResponseHeader(empty, u"Kora-Location"), u"");
  EXPECT_EQ(FindResponseHeader(empty, u"X"), u"");
  ResponseHeadFields fields;
  fields.location = u"/earlier";
  ReadResponseHeadFields(empty, false, fields);
  EXPECT_EQ(fields.location, u"/earlier");
  ReadResponseHeadFields(empty + u"Location: /next\r\n", false, fields);
  EXPECT_EQ(fields.location, u"/next");
}

}  // namespace
}  // namespace updater
