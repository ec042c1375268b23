#include "http/request_headers.h"

#include <gtest/gtest.h>

namespace updater {
namespace {

using Lines = std::vector<std::string>;

TEST(RequestHeadersTest, CoalescesRepeatedNamesWithASemicolon) {
  RequestHeaders headers;
  ASSERT_TRUE(headers.AddCoalescing(u"Accept: */*\r\nX-A:  1 \r\n"));
  ASSERT_TRUE(headers.AddCoalescing(u"accept: text/html\r\nCookie: a=1"));
  ASSERT_TRUE(headers.AddCoalescing(u"Accept: */*\r\n\r\n"));
  EXPECT_EQ(headers.ToLines(), (Lines{"Accept: */*; text/html; */*", "X-A: 1", "Cookie: a=1"}));
}

TEST(RequestHeadersTest, RefusesMalformedLinesWhole) {
  RequestHeaders headers;
  EXPECT_FALSE(headers.AddCoalescing(u"Good: 1\r\nno colon\r\n"));
  EXPECT_FALSE(headers.AddCoalescing(u": empty name\r\n"));
  EXPECT_FALSE(headers.AddCoalescing(u"Bad Name: 1\r\n"));
  EXPECT_FALSE(headers.AddCoalescing(u"X: split\rInjected: 1\r\n"));
  EXPECT_TRUE(headers.ToLines().empty());
}

}  // namespace
}  // namespace updater
