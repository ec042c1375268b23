#ifndef TESTS_E2E_DEMO_SITE_H_
#define TESTS_E2E_DEMO_SITE_H_

// The demo's update service as a publisher runs it: tools/update-site writes
// the release into a static site, and nginx serves it on the ports the e2e
// updater is built for (primary HTTPS with the e2e TLS certificate, mirror
// HTTP), on 127.0.0.1 only, until the object goes. All of it (description,
// installers, nginx configuration, pid file, logs, temporary files) stays in
// <build>/demo_site/<name>; ./run stops a server a killed demo left behind.

#include <optional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace updater::e2e {

// One product's newest release; an empty version offers nothing.
struct Release {
  std::string version;
  std::string installer_name;  // served as /files/<name>
  std::string installer;       // its bytes
};

class DemoSite {
 public:
  // `host`: how the updater's build names the loopback sites ("127.0.0.1",
  // or "localhost" for the Windows updater, as wine matches no IP address
  // in a certificate).
  DemoSite(const std::string& name,
           const std::string& host,
           const Release& browser,
           const Release& plugin = {});
  ~DemoSite();
  DemoSite(const DemoSite&) = delete;
  DemoSite& operator=(const DemoSite&) = delete;

  // Empty while nginx serves the site; otherwise why it does not.
  const std::string& failure() const { return failure_; }
  std::string configuration() const { return site_dir_ + "/nginx.conf"; }
  std::string description() const { return release_dir_ + "/release.txt"; }
  // Where the primary site serves `installer_name`.
  std::string Url(const std::string& installer_name) const;
  // Every request either site answered, in order, as "METHOD target
  // [Accept: ..., User-Agent: ...]".
  std::vector<std::string> requests() const;

 private:
  bool WriteSite(const Release& browser, const Release& plugin);
  bool StartNginx();
  std::vector<std::string> NginxArguments() const;

  std::string host_;
  std::string release_dir_;
  std::string site_dir_;
  std::string failure_;
  std::optional<test_support::ChildProcess> nginx_;
};

}  // namespace updater::e2e

#endif  // TESTS_E2E_DEMO_SITE_H_
