// The WinHTTP transport under wine against this machine's HTTPS server and
// proxy, which the Windows suite's raw server cannot stand in for. The
// programs come from the Windows build tree this build was configured with.
// wine 8 matches no IP address in a certificate: servers are named localhost.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/build_config.h"
#include "http/http_errors.h"
#include "tests/support/child_process.h"
#include "tests/support/test_certificates.h"
#include "tests/support/test_server.h"
#include "tests/support/tinyproxy_process.h"

namespace updater {
namespace {

using test_support::ChildProcess;
using test_support::ExitStatus;
using test_support::ServerCertificate;
using test_support::TestCertificates;
using test_support::TestServer;
using test_support::TinyproxyProcess;

// The transport reports GetLastError() as given; wine reports each faulty
// server certificate as a secure channel error, Windows as a secure failure.
std::string AsWindowsReportsIt(const std::string& error) {
  constexpr char kWineSecureChannelError[] = "12157";
  return error == kWineSecureChannelError ? std::to_string(kErrorHttpSecureFailure) : error;
}

constexpr char kWindowsBuildDir[] = UPDATER_WINDOWS_BUILD_DIR;

const TestCertificates& Certificates() {
  return TestCertificates::Get(
      std::filesystem::path(ConfiguredTlsCaBundle()).parent_path().string());
}

std::string WindowsProgram(const std::string& name) {
  return std::string(kWindowsBuildDir) + "/tests/http/" + name + ".exe";
}

// A Windows program in the Windows build's own prefix; its first line of
// output (nothing for the trust helper) and how it ended.
ExitStatus RunUnderWine(const std::string& program,
                        const std::vector<std::string>& arguments,
                        std::string* line = nullptr) {
  std::vector<std::string> command = {std::string("UPDATER_WINE_BUILD_DIR=") + kWindowsBuildDir,
                                      UPDATER_WINE_RUN, program};
  command.insert(command.end(), arguments.begin(), arguments.end());
  ChildProcess child("/usr/bin/env", command);
  if (line) *line = child.ReadLine();
  return child.Wait();
}

// The prefix keeps the CA across runs; adding it again changes nothing.
bool TrustTestCa() {
  static const bool trusted = [] {
    const ExitStatus status =
        RunUnderWine(WindowsProgram("trust_root"), {"Z:" + Certificates().ca_file});
    return status.exited && status.code == 0;
  }();
  return trusted;
}

struct ProbeOutcome {
  std::string end;
  std::string error;
  std::string status;
  std::string body;
};

std::string Hex(const std::string& bytes) {
  std::string hex;
  char digits[3];
  for (const char byte : bytes) {
    std::snprintf(digits, sizeof(digits), "%02x", static_cast<unsigned char>(byte));
    hex += digits;
  }
  return hex;
}

// One transfer by http_probe.exe; "end" holds what went wrong when the probe
// itself did not finish.
ProbeOutcome Probe(const std::string& url, const std::vector<std::string>& options = {}) {
  std::vector<std::string> arguments = {url};
  arguments.insert(arguments.end(), options.begin(), options.end());
  std::string line;
  const ExitStatus status = RunUnderWine(WindowsProgram("http_probe"), arguments, &line);
  if (!status.exited || status.code != 0)
    return {"probe " + Describe(status) + ": " + line, "", "", ""};
  std::map<std::string, std::string> fields;
  std::istringstream words(line);
  for (std::string word; words >> word;) {
    const size_t equals = word.find('=');
    if (equals != std::string::npos) fields[word.substr(0, equals)] = word.substr(equals + 1);
  }
  return {fields["end"], fields["error"], fields["status"], fields["body"]};
}

std::string LocalhostUrl(const TestServer& server, bool secure, const std::string& path) {
  return (secure ? "https://localhost:" : "http://localhost:") + std::to_string(server.port()) +
         path;
}

class HttpTransportWineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (kWindowsBuildDir[0] == '\0') {
      GTEST_SKIP() << "UPDATER_WINDOWS_BUILD_DIR is empty: no Windows programs to run under wine";
    }
    ASSERT_FALSE(Certificates().ca_file.empty()) << "openssl could not make the test CA";
    ASSERT_TRUE(TrustTestCa()) << "trust_root.exe could not add the test CA to the prefix";
  }
};

struct TlsCase {
  const char* name;
  const ServerCertificate& certificate;
  bool passes_verified;
  bool passes_unverified;
};

// The unknown-CA and expired certificates name 127.0.0.1 only, so here they
// also miss the host name: lenient transfers need every flag at once.
TEST_F(HttpTransportWineTest, VerifiesServerCertificatesUnlessTurnedOff) {
  const TestCertificates& certificates = Certificates();
  const TlsCase cases[] = {
      {"trusted", certificates.loopback, true, true},
      {"unknown CA", certificates.stranger, false, true},
      {"wrong host name", certificates.wrong_name, false, true},
      {"expired", certificates.expired, false, true},
  };
  for (const TlsCase& tls_case : cases) {
    TestServer server(tls_case.certificate);
    ASSERT_TRUE(server.is_listening());
    server.Reply("/q", 200, {}, "secret");
    const std::string url = LocalhostUrl(server, true, "/q");

    const ProbeOutcome verified = Probe(url);
    if (tls_case.passes_verified) {
      EXPECT_EQ(verified.end, "body-ended") << tls_case.name;
      EXPECT_EQ(verified.status, "200") << tls_case.name;
      EXPECT_EQ(verified.body, Hex("secret")) << tls_case.name;
    } else {
      EXPECT_EQ(verified.end, "send-failed") << tls_case.name;
      EXPECT_EQ(AsWindowsReportsIt(verified.error), std::to_string(kErrorHttpSecureFailure))
          << tls_case.name;
      EXPECT_EQ(verified.body, "") << tls_case.name;
    }

    const ProbeOutcome unverified = Probe(url, {"--no-verify"});
    EXPECT_EQ(unverified.end, tls_case.passes_unverified ? "body-ended" : "send-failed")
        << tls_case.name;
    if (tls_case.passes_unverified) {
      EXPECT_EQ(unverified.body, Hex("secret")) << tls_case.name;
    }
  }
}

TEST_F(HttpTransportWineTest, FollowsRedirectsButNeverFromHttpsDownToHttp) {
  TestServer plain;
  plain.Reply("/x", 200, {}, "plain");
  TestServer secure(Certificates().loopback);
  secure.Reply("/q", 200, {}, "secret");
  secure.Reply("/up", 302, {{"Location", LocalhostUrl(secure, true, "/q")}}, "");
  secure.Reply("/down", 302, {{"Location", LocalhostUrl(plain, false, "/x")}}, "");

  const ProbeOutcome up = Probe(LocalhostUrl(secure, true, "/up"));
  EXPECT_EQ(up.status, "200");
  EXPECT_EQ(up.body, Hex("secret"));
  const ProbeOutcome kept = Probe(LocalhostUrl(secure, true, "/up"), {"--no-redirects"});
  EXPECT_EQ(kept.end, "body-ended");
  EXPECT_EQ(kept.status, "302");
  EXPECT_EQ(secure.CountRequests("/q"), 1);

  // wine refuses the redirect (12156); a WinHTTP that hands over the 302
  // instead is as safe.
  const ProbeOutcome down = Probe(LocalhostUrl(secure, true, "/down"));
  EXPECT_TRUE(
      (down.end == "receive-failed" && down.error == std::to_string(kErrorHttpRedirectFailed)) ||
      down.status == "302")
      << down.end << " " << down.error << " " << down.status;
  EXPECT_EQ(plain.requests().size(), 0u);
}

// Named localhost, not the target's 127.0.0.1: with the same host text for
// both, wine 8 sends the target an origin-form request past the proxy.
TEST_F(HttpTransportWineTest, GoesThroughAnAuthenticatingProxy) {
  TinyproxyProcess proxy("updater", "s3cret");
  ASSERT_TRUE(proxy.running()) << "tinyproxy did not start";
  TestServer server;
  server.Reply("/q", 200, {}, "via proxy");
  const std::string url = server.Url("/q");
  const std::string proxy_option = "--proxy=http://localhost:" + std::to_string(proxy.port());

  const ProbeOutcome good =
      Probe(url, {proxy_option, "--proxy-user=updater", "--proxy-password=s3cret"});
  EXPECT_EQ(good.status, "200");
  EXPECT_EQ(good.body, Hex("via proxy"));
  EXPECT_EQ(server.requests().size(), 1u);

  for (const char* password : {"--proxy-password=wrong", "--proxy-password="}) {
    const ProbeOutcome bad = Probe(url, {proxy_option, "--proxy-user=updater", password});
    EXPECT_TRUE(bad.status == "401" || bad.status == "407") << password << ": " << bad.status;
  }
  EXPECT_EQ(Probe(url, {proxy_option}).status, "407");
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(HttpTransportWineTest, TunnelsHttpsThroughAnAuthenticatingProxy) {
  TinyproxyProcess proxy("updater", "s3cret");
  ASSERT_TRUE(proxy.running()) << "tinyproxy did not start";
  const std::string proxy_option = "--proxy=http://localhost:" + std::to_string(proxy.port());
  TestServer secure(Certificates().loopback);
  secure.Reply("/q", 200, {}, "secret");
  // wine 8 waits for the time-out here: a short one.
  const ProbeOutcome tunnel =
      Probe(LocalhostUrl(secure, true, "/q"),
            {proxy_option, "--proxy-user=updater", "--proxy-password=s3cret", "--timeout-ms=3000"});
  if (tunnel.status != "200") {
    GTEST_SKIP() << "HTTPS through an authenticating proxy: wine 8 never resends CONNECT with "
                    "credentials (got end="
                 << tunnel.end << " error=" << tunnel.error << " status=" << tunnel.status << ")";
  }
  EXPECT_EQ(tunnel.body, Hex("secret"));
}

}  // namespace
}  // namespace updater
