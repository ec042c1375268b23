#include "tests/support/test_certificates.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace updater::test_support {
namespace {

bool Run(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

constexpr auto kMaxAge = std::chrono::hours(24);

bool IsFresh(const std::filesystem::path& marker) {
  std::error_code error;
  const auto written = std::filesystem::last_write_time(marker, error);
  return !error && std::filesystem::file_time_type::clock::now() - written < kMaxAge;
}

// Holds an exclusive lock on a file while it lives.
class DirectoryLock {
 public:
  explicit DirectoryLock(const std::filesystem::path& file)
      : fd_(open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    if (fd_ >= 0) flock(fd_, LOCK_EX);
  }
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;
  ~DirectoryLock() {
    if (fd_ >= 0) close(fd_);
  }

 private:
  int fd_;
};

// A self-signed CA at `base` + ".pem" with its key at `base` + ".key".
bool MakeCa(const std::string& base, const std::string& name) {
  return Run("openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj /CN=" + name +
             " -addext basicConstraints=critical,CA:TRUE -addext keyUsage=keyCertSign,cRLSign"
             " -keyout " +
             base + ".key -out " + base + ".pem");
}

// Issues a certificate with the given extensions from the CA made at `ca`.
ServerCertificate Issue(const std::string& directory,
                        const std::string& ca,
                        const std::string& name,
                        const std::string& extensions,
                        bool reuse,
                        int days) {
  const std::string base = directory + "/" + name;
  if (reuse) return ServerCertificate{base + ".pem", base + ".key"};
  std::ofstream(base + ".ext") << extensions << "\n";
  const bool made = Run("openssl req -new -newkey rsa:2048 -nodes -subj /CN=" + name + " -keyout " +
                        base + ".key -out " + base + ".csr") &&
                    Run("openssl x509 -req -in " + base + ".csr -CA " + ca + ".pem -CAkey " + ca +
                        ".key -CAcreateserial -days " + std::to_string(days) +
                        " -sha256 -extfile " + base + ".ext -out " + base + ".pem");
  return made ? ServerCertificate{base + ".pem", base + ".key"} : ServerCertificate{};
}

TestCertificates Create(const std::string& directory) {
  std::error_code ignored;
  std::filesystem::create_directories(directory, ignored);
  const DirectoryLock lock(std::filesystem::path(directory) / "lock");
  const std::filesystem::path marker = std::filesystem::path(directory) / "complete";
  const bool reuse = IsFresh(marker);
  std::filesystem::remove(marker, ignored);
  TestCertificates certificates;
  certificates.directory = directory;
  const std::string ca = directory + "/ca";
  const std::string stranger_ca = directory + "/stranger_ca";
  if (!reuse && (!MakeCa(ca, "Updater-Test-CA") || !MakeCa(stranger_ca, "Stranger-CA"))) {
    return {};
  }
  certificates.ca_file = ca + ".pem";
  const auto issue = [&](const std::string& issuer, const std::string& name,
                         const std::string& alt_names, const std::string& usage, int days = 30) {
    return Issue(directory, issuer, name,
                 "subjectAltName=" + alt_names + "\nextendedKeyUsage=" + usage, reuse, days);
  };
  certificates.loopback = issue(ca, "loopback", "IP:127.0.0.1,DNS:localhost", "serverAuth");
  certificates.wrong_name = issue(ca, "wrong_name", "DNS:updates.example", "serverAuth");
  certificates.client_only = issue(ca, "client_only", "IP:127.0.0.1", "clientAuth");
  certificates.stranger = issue(stranger_ca, "stranger", "IP:127.0.0.1", "serverAuth");
  // Valid from now until yesterday: expired from the start.
  certificates.expired = issue(ca, "expired", "IP:127.0.0.1", "serverAuth", -1);
  const bool complete =
      !certificates.loopback.key_file.empty() && !certificates.wrong_name.key_file.empty() &&
      !certificates.client_only.key_file.empty() && !certificates.stranger.key_file.empty() &&
      !certificates.expired.key_file.empty();
  if (!complete) return {};
  std::ofstream(marker) << "\n";
  return certificates;
}

}  // namespace

const TestCertificates& TestCertificates::Get(const std::string& directory) {
  static const TestCertificates certificates = Create(directory);
  return certificates;
}

}  // namespace updater::test_support
