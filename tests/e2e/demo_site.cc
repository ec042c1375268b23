#include "tests/e2e/demo_site.h"

#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "tests/e2e/e2e_harness.h"

namespace updater::e2e {
namespace {

namespace fs = std::filesystem;

constexpr char kNginx[] = "/usr/sbin/nginx";
constexpr char kUpdateSiteTool[] = UPDATER_UPDATE_SITE_TOOL;
constexpr char kDemoSiteRoot[] = UPDATER_DEMO_SITE_DIR;
constexpr char kPkiDirectory[] = UPDATER_E2E_PKI_DIR;
constexpr auto kStopLimit = std::chrono::seconds(10);

std::string SiteUrl(const std::string& scheme, const std::string& host, int port) {
  return scheme + "://" + host + ":" + std::to_string(port);
}

std::string ProductLines(const std::string& product, const Release& release) {
  if (release.version.empty()) return "";
  return product + "-version " + release.version + "\n" + product + "-file " +
         release.installer_name + "\n";
}

// The fields of an access-log line between its quotation marks: the request
// line, Accept and User-Agent (nginx writes a quotation mark inside a value
// as \x22).
std::string DescribeRequest(const std::string& log_line) {
  std::vector<std::string> quoted;
  std::istringstream fields(log_line);
  std::string field;
  for (int i = 0; std::getline(fields, field, '"'); ++i) {
    if (i % 2 == 1) quoted.push_back(field);
  }
  if (quoted.size() != 3) return log_line;
  const std::string& request = quoted[0];
  const size_t protocol = request.rfind(' ');
  return request.substr(0, protocol) + "   [Accept: " + quoted[1] + ", User-Agent: " + quoted[2] +
         "]";
}

}  // namespace

DemoSite::DemoSite(const std::string& name,
                   const std::string& host,
                   const Release& browser,
                   const Release& plugin)
    : host_(host),
      release_dir_(std::string(kDemoSiteRoot) + "/" + name + "/release"),
      site_dir_(std::string(kDemoSiteRoot) + "/" + name + "/site") {
  if (WriteSite(browser, plugin)) StartNginx();
}

DemoSite::~DemoSite() {
  if (!nginx_) return;
  std::vector<std::string> stop = NginxArguments();
  stop.insert(stop.begin(), kNginx);
  stop.insert(stop.end(), {"-s", "stop"});
  RunTool(stop);
  nginx_->Wait(kStopLimit);
}

std::string DemoSite::Url(const std::string& installer_name) const {
  return SiteUrl("https", host_, kPrimaryPort) + "/files/" + installer_name;
}

std::vector<std::string> DemoSite::requests() const {
  std::vector<std::string> described;
  for (const std::string& line : ReadLines(site_dir_ + "/logs/access.log"))
    described.push_back(DescribeRequest(line));
  return described;
}

bool DemoSite::WriteSite(const Release& browser, const Release& plugin) {
  fs::remove_all(fs::path(release_dir_).parent_path());
  fs::create_directories(release_dir_);
  for (const Release* release : {&browser, &plugin}) {
    if (!release->version.empty())
      WriteFileBytes(release_dir_ + "/" + release->installer_name, release->installer);
  }
  const std::string pki = kPkiDirectory;
  WriteFileBytes(description(), ProductLines("browser", browser) + ProductLines("plugin", plugin) +
                                    "primary-url " + SiteUrl("https", host_, kPrimaryPort) + "\n" +
                                    "mirror-url " + SiteUrl("http", host_, kMirrorPort) + "\n" +
                                    "primary-listen 127.0.0.1:" + std::to_string(kPrimaryPort) +
                                    "\n" + "mirror-listen 127.0.0.1:" +
                                    std::to_string(kMirrorPort) + "\n" + "tls-certificate " + pki +
                                    "/tls_server.pem\n" + "tls-key " + pki + "/tls_server.key\n");
  // Its refusals go to this program's standard error.
  test_support::ChildProcess tool(kUpdateSiteTool, {description(), site_dir_});
  if (tool.Wait().code == 0) return true;
  failure_ = "tools/update-site refused " + description();
  return false;
}

std::vector<std::string> DemoSite::NginxArguments() const {
  return {"-p", site_dir_, "-c", configuration(), "-e", site_dir_ + "/logs/error.log"};
}

bool DemoSite::StartNginx() {
  std::vector<std::string> arguments = NginxArguments();
  // Its workers serve as the demo's own user: under root nginx would hand
  // them to nobody, who cannot reach a build tree in a private home.
  arguments.insert(arguments.end(),
                   {"-g", geteuid() == 0 ? "daemon off; user root;" : "daemon off;"});
  test_support::ChildOptions options;
  options.pipes = false;
  nginx_.emplace(kNginx, arguments, options);
  // nginx writes its pid once it listens on both ports (nginx -t would
  // leave the file empty).
  const std::string pid_file = site_dir_ + "/run/nginx.pid";
  const auto written = [&pid_file] { return !ReadFileBytes(pid_file).empty(); };
  const auto ended = [this] {
    nginx_->Poll();
    return !nginx_->running();
  };
  if (WaitUntil([&] { return written() || ended(); }) && written()) return true;
  nginx_.reset();
  failure_ = "nginx did not start (are ports " + std::to_string(kPrimaryPort) + " and " +
             std::to_string(kMirrorPort) + " free?):\n" +
             ReadFileBytes(site_dir_ + "/logs/error.log");
  return false;
}

}  // namespace updater::e2e
