// HTTPS certificates and proxies.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "base/build_config.h"
#include "http/http_client.h"
#include "http/http_errors.h"
#include "tests/http/http_test_util.h"
#include "tests/support/raw_server.h"
#include "tests/support/test_certificates.h"
#include "tests/support/test_server.h"
#include "tests/support/tinyproxy_process.h"

namespace updater {
namespace {

using test_support::RawServer;
using test_support::ServerCertificate;
using test_support::TestCertificates;
using test_support::TestServer;
using test_support::TinyproxyProcess;

// The CA this test program trusts is made where its build says it lives.
const TestCertificates& Certificates() {
  return TestCertificates::Get(
      std::filesystem::path(ConfiguredTlsCaBundle()).parent_path().string());
}

// Sets an environment variable for the lifetime of the object.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

struct TlsCase {
  const char* name;
  const ServerCertificate& certificate;
  bool passes_verified;
  bool passes_unverified;
};

TEST(HttpClientNetworkTest, VerifiesServerCertificatesUnlessTurnedOff) {
  const TestCertificates& certificates = Certificates();
  ASSERT_FALSE(certificates.ca_file.empty()) << "openssl could not make the test CA";
  const TlsCase cases[] = {
      {"trusted", certificates.loopback, true, true},
      {"unknown CA", certificates.stranger, false, true},
      {"wrong host name", certificates.wrong_name, false, true},
      {"expired", certificates.expired, false, true},
      {"not for servers", certificates.client_only, false, false},
  };
  for (const TlsCase& tls_case : cases) {
    TestServer server(tls_case.certificate);
    server.Reply("/q", 200, {}, "secret");
    HttpClient verified(U16(server.Url("/q")), nullptr);
    EXPECT_EQ(verified.SendRequest(u"GET", true), tls_case.passes_verified) << tls_case.name;
    if (!tls_case.passes_verified) {
      EXPECT_EQ(verified.GetStatusCode(), u"") << tls_case.name;
    }

    HttpClient unverified(U16(server.Url("/q")), nullptr);
    unverified.SetVerifyCertificates(false);
    EXPECT_EQ(unverified.SendRequest(u"GET", true), tls_case.passes_unverified) << tls_case.name;
    if (tls_case.passes_unverified) {
      EXPECT_EQ(BodyOf(unverified.response_body()), "secret") << tls_case.name;
    }
  }
}

TEST(HttpClientNetworkTest, NeverFollowsARedirectFromHttpsDownToHttp) {
  TestServer plain;
  plain.Reply("/x", 200, {}, "plain");
  TestServer secure(Certificates().loopback);
  secure.Reply("/down", 302, {{"Location", plain.Url("/x")}}, "");
  HttpClient client(U16(secure.Url("/down")), nullptr);
  EXPECT_FALSE(client.SendRequest(u"GET", false));
  EXPECT_EQ(plain.requests().size(), 0u);
}

TEST(HttpClientNetworkTest, GoesThroughAnAuthenticatingProxy) {
  TinyproxyProcess proxy("updater", "s3cret");
  ASSERT_TRUE(proxy.running()) << "tinyproxy did not start";
  TestServer server;
  server.Reply("/q", 200, {{"Kora-Version", "3"}}, "via proxy");
  const std::u16string proxy_list = U16("127.0.0.1:" + std::to_string(proxy.port()));

  HttpClient good(U16(server.Url("/q")), nullptr);
  good.SetProxyServer(proxy_list);
  good.SetProxyUserName(u"updater");
  good.SetProxyPassword(u"s3cret");
  ASSERT_TRUE(good.SendRequest(u"GET", true));
  EXPECT_EQ(good.GetStatusCode(), u"200");
  EXPECT_EQ(good.GetResponseHeader(u"Kora-Version"), u"3");
  ASSERT_EQ(server.requests().size(), 1u);

  for (const char16_t* password : {u"wrong", u""}) {
    HttpClient bad(U16(server.Url("/q")), nullptr);
    bad.SetProxyServer(u"https=127.0.0.1:1 http=" + proxy_list);
    bad.SetProxyUserName(u"updater");
    bad.SetProxyPassword(password);
    ASSERT_TRUE(bad.SendRequest(u"GET", true));
    EXPECT_TRUE(bad.GetStatusCode() == u"401" || bad.GetStatusCode() == u"407")
        << UTF16ToUTF8(bad.GetStatusCode());
  }
  EXPECT_EQ(server.requests().size(), 1u);

  HttpClient too_long(U16(server.Url("/q")), nullptr);
  too_long.SetProxyServer(std::u16string(260, u'p'));
  ASSERT_TRUE(too_long.SendRequest(u"GET", true));
  EXPECT_EQ(too_long.last_error(), kErrorInvalidParameter);
}

TEST(HttpClientNetworkTest, UsesTheEnvironmentsProxyOnlyAfterADirectSendFailed) {
  RawServer proxy(RawServer::Answer(
      "HTTP/1.1 200 OK\r\nContent-Length: 7\r\nConnection: close\r\n\r\nproxied"));
  const std::string proxy_url = proxy.Url("");
  ScopedEnvironment http_proxy("http_proxy", proxy_url.c_str());
  ScopedEnvironment no_proxy("no_proxy", nullptr);
  ScopedEnvironment no_proxy_upper("NO_PROXY", nullptr);

  TestServer server;
  server.Reply("/q", 200, {}, "direct");
  HttpClient direct(U16(server.Url("/q")), nullptr);
  ASSERT_TRUE(direct.SendRequest(u"GET", true));
  EXPECT_EQ(BodyOf(direct.response_body()), "direct");
  EXPECT_TRUE(proxy.requests().empty());

  const std::string unreachable =
      "http://127.0.0.1:" + std::to_string(test_support::UnusedLoopbackPort()) + "/q?x=1";
  HttpClient fallback(U16(unreachable), nullptr);
  ASSERT_TRUE(fallback.SendRequest(u"GET", true));
  EXPECT_EQ(BodyOf(fallback.response_body()), "proxied");
  ASSERT_EQ(proxy.requests().size(), 1u);
  EXPECT_EQ(proxy.requests()[0].target, unreachable);
}

}  // namespace
}  // namespace updater
