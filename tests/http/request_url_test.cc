#include "http/request_url.h"

#include <gtest/gtest.h>

#include "http/http_errors.h"
#include "http/proxy_list.h"

namespace updater {
namespace {

TEST(RequestUrlTest, SplitsSchemeHostPortAndTarget) {
  uint32_t error = 1;
  auto url = CrackRequestUrl(u"HTTPS://user:pw@Update.Example:8443/update.php?switches=a b", error);
  ASSERT_TRUE(url);
  EXPECT_EQ(error, 0u);
  EXPECT_TRUE(url->secure);
  EXPECT_EQ(url->host, u"Update.Example");
  EXPECT_EQ(url->port, 8443);
  EXPECT_EQ(url->path, u"/update.php?switches=a b");

  url = CrackRequestUrl(u"http://[::1]?q", error);
  ASSERT_TRUE(url);
  EXPECT_EQ(url->host, u"[::1]");
  EXPECT_EQ(url->port, 80);
  EXPECT_EQ(url->path, u"/?q");
  EXPECT_EQ(ToTransportUrl(*url), "http://[::1]:80/?q");

  EXPECT_FALSE(CrackRequestUrl(u"update.example/x", error));
  EXPECT_EQ(error, kErrorHttpInvalidUrl);
  EXPECT_FALSE(CrackRequestUrl(u"http://[::1/", error));
  EXPECT_FALSE(CrackRequestUrl(u"http://h:0/", error));
  EXPECT_FALSE(CrackRequestUrl(u"file:///etc/passwd", error));
  EXPECT_EQ(error, kErrorHttpUnrecognizedScheme);
}

TEST(RequestUrlTest, EncodesOnlyWhatCannotTravelRaw) {
  EXPECT_EQ(EncodeRequestTarget(u"/a b\t\u00E9?x=1&y=%20\"<>\\|#f"),
            "/a%20b%09%C3%A9?x=1&y=%20\"<>\\|%23f");
  EXPECT_EQ(EncodeRequestTarget(u"/\x7F\x01"), "/%7F%01");
}

TEST(ProxyListTest, PicksTheEntryForTheScheme) {
  EXPECT_EQ(SelectProxy(u"proxy:3128", false), "http://proxy:3128");
  EXPECT_EQ(SelectProxy(u"http=a:1;https=b:2", true), "http://b:2");
  EXPECT_EQ(SelectProxy(u"http=a:1; fallback:8", true), "http://fallback:8");
  EXPECT_EQ(SelectProxy(u"HTTP=http://a:1", false), "http://a:1");
  EXPECT_EQ(SelectProxy(u"https=b:2", false), "");
  EXPECT_EQ(SelectProxy(u" ; ", false), "");
}

}  // namespace
}  // namespace updater
