// Which flows a silent run starts, which server set they talk to and how
// many connectivity checks it makes, seen from the loopback update service.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/e2e/e2e_harness.h"
#include "tests/support/machine_isolation.h"

namespace updater::e2e {
namespace {

using test_support::RecordedRequest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

ServiceAnswer Status(int status) {
  ServiceAnswer answer;
  answer.status = status;
  return answer;
}

const ServiceAnswer kNothingNewer = BrowserOffer("", "");

// The port a request was sent to, from its Host header.
int PortOf(const RecordedRequest& request) {
  const std::string host = request.Header("Host");
  return std::stoi(host.substr(host.rfind(':') + 1));
}

std::vector<std::string> Targets(const UpdateService& service) {
  std::vector<std::string> targets;
  for (const RecordedRequest& request : service.requests()) targets.push_back(request.target);
  return targets;
}

class WorkerE2eTest : public ::testing::Test {
 protected:
  // The connection count is only exact on a network of the test's own.
  static void SetUpTestSuite() { isolated_ = test_support::IsolateFromMachine({}); }

  void SetUp() override {
    if (!isolated_) GTEST_SKIP() << test_support::MachineIsolationFailure();
  }

  // The exit code; `connections` gets the TCP connections the run made.
  int Run(const std::vector<std::string>& arguments, long& connections) const {
    const long before = test_support::AcceptedTcpConnections();
    const int code = RunUpdater(install_, arguments);
    connections = test_support::AcceptedTcpConnections() - before;
    return code;
  }

  std::vector<std::string> Switches(const std::string& langid) const {
    return {std::string("--current=") + kCurrentVersion,
            std::string("--pepper-version=") + kPepperVersion, "--langid=" + langid,
            "--real-exe-path=" + install_.browser_exe()};
  }

  static inline bool isolated_ = false;
  ScratchInstallation install_;
};

TEST_F(WorkerE2eTest, WithNeitherSwitchOneCheckAndNoQuery) {
  struct Case {
    UpdateService::Sites sites;
    std::string langid;
    long connections;  // 0: the preferred set's port is closed, the other is not checked
  };
  const Case cases[] = {
      {UpdateService::Sites::kBoth, "ru", 1},
      {UpdateService::Sites::kBoth, "zh-CN", 1},
      {UpdateService::Sites::kPrimaryOnly, "ru", 1},
      {UpdateService::Sites::kPrimaryOnly, "zh-CN", 0},
      {UpdateService::Sites::kMirrorOnly, "ru", 0},
      {UpdateService::Sites::kMirrorOnly, "zh-CN", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("langid=" + c.langid + " sites=" + std::to_string(static_cast<int>(c.sites)));
    UpdateService service(c.sites);
    ASSERT_TRUE(service.IsUp());
    long connections = 0;
    EXPECT_EQ(
        Run({"--langid=" + c.langid, "--real-exe-path=" + install_.browser_exe()}, connections), 4);
    EXPECT_EQ(connections, c.connections);
    EXPECT_THAT(service.requests(), IsEmpty());
  }
  long connections = 0;
  EXPECT_EQ(Run({}, connections), 4);
  EXPECT_EQ(connections, 0);
  EXPECT_EQ(install_.ReadLog(), "");
}

TEST_F(WorkerE2eTest, OnlyThePlugInVersionRunsThePlugInFlowAlone) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  service.Answer("/update.php", kNothingNewer);
  service.Answer("/update_pepper.php", Status(404));
  long connections = 0;
  EXPECT_EQ(Run({std::string("--pepper-version=") + kPepperVersion}, connections), 12);
  EXPECT_THAT(Targets(service), ElementsAre(FlashQuery()));
  EXPECT_EQ(connections, 2);

  service.Answer("/update_pepper.php", kNothingNewer);
  EXPECT_EQ(Run({std::string("--pepper-version=") + kPepperVersion, "--64bit"}, connections), 4);
  EXPECT_EQ(Targets(service).back(), FlashQuery("&64bit"));
}

TEST_F(WorkerE2eTest, BrowserResultEndsTheRunUnlessItIsNothingToInstall) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  service.Answer("/update_pepper.php", Status(404));
  long connections = 0;

  // A browser failure: the plug-in is not asked about.
  service.Answer("/update.php", Status(404));
  EXPECT_EQ(Run(Switches("ru"), connections), 23);
  EXPECT_EQ(service.CountRequests("/update_pepper.php"), 0);
  EXPECT_EQ(connections, 2);

  // Nothing for the browser: the plug-in flow's result is the exit code.
  service.Answer("/update.php", kNothingNewer);
  EXPECT_EQ(Run(Switches("ru"), connections), 12);
  EXPECT_EQ(service.CountRequests("/update_pepper.php"), 1);
  EXPECT_EQ(connections, 3);

  // Without "pepper-version" there is no plug-in flow to run.
  EXPECT_EQ(Run({std::string("--current=") + kCurrentVersion}, connections), 4);
  EXPECT_EQ(service.CountRequests("/update_pepper.php"), 1);
  EXPECT_EQ(connections, 2);
}

TEST_F(WorkerE2eTest, InstalledBrowserEndsTheRun) {
  E2E_REQUIRE_INSTALLER_RUNNER();
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  const std::string installer =
      MakeScriptedInstaller(BrowserInstallerScript(install_.Path("installer_arguments")));
  service.Answer("/update.php", BrowserOffer("56.0.0.1", service.Serve("/f/setup.exe", installer)));
  service.Answer("/update_pepper.php", Status(404));
  long connections = 0;
  EXPECT_EQ(Run(Switches("ru"), connections), 0);
  EXPECT_TRUE(Exists(install_.Path("installer_arguments")));
  EXPECT_EQ(service.CountRequests("/update_pepper.php"), 0);
  EXPECT_EQ(connections, 3);  // check, query, download
}

TEST_F(WorkerE2eTest, SimplifiedChinesePrefersTheMirrorAndEitherFallsBackUnchecked) {
  struct Case {
    std::string langid;
    UpdateService::Sites sites;
    int port;
    bool checked;
  };
  const Case cases[] = {
      {"zh-CN", UpdateService::Sites::kBoth, kMirrorPort, true},
      {"ZH-cn", UpdateService::Sites::kBoth, kMirrorPort, true},
      {"zh-CN", UpdateService::Sites::kPrimaryOnly, kPrimaryPort, false},
      {"ru", UpdateService::Sites::kBoth, kPrimaryPort, true},
      {"zh-TW", UpdateService::Sites::kBoth, kPrimaryPort, true},
      {"zh", UpdateService::Sites::kBoth, kPrimaryPort, true},
      {"ru", UpdateService::Sites::kMirrorOnly, kMirrorPort, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("langid=" + c.langid + " sites=" + std::to_string(static_cast<int>(c.sites)));
    UpdateService service(c.sites);
    ASSERT_TRUE(service.IsUp());
    service.Answer("/update.php", kNothingNewer);
    service.Answer("/update_pepper.php", kNothingNewer);
    long connections = 0;
    EXPECT_EQ(Run(Switches(c.langid), connections), 4);
    const std::vector<RecordedRequest> requests = service.requests();
    ASSERT_EQ(requests.size(), 2u);
    // Both flows use the one set chosen.
    for (const RecordedRequest& request : requests)
      EXPECT_EQ(PortOf(request), c.port) << request.target;
    EXPECT_THAT(requests[0].target, StartsWith(BrowserQuery()));
    EXPECT_THAT(requests[1].target, StartsWith(FlashQuery()));
    EXPECT_EQ(connections, 2 + (c.checked ? 1 : 0));
  }
}

}  // namespace
}  // namespace updater::e2e
