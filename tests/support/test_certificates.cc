#include "tests/support/test_certificates.h"

#include <cstdlib>
#include <fstream>

namespace updater::test_support {
namespace {

bool Run(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string MakeTempDirectory() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base == '/' ? base : "/tmp") + "/http_certs_XXXXXX";
  return mkdtemp(pattern.data()) ? pattern : std::string();
}

// A self-signed CA at `base` + ".pem" with its key at `base` + ".key".
bool MakeCa(const std::string& base, const std::string& name) {
  return Run("openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj /CN=" + name +
             " -addext basicConstraints=critical,CA:TRUE -addext keyUsage=keyCertSign,cRLSign"
             " -keyout " + base + ".key -out " + base + ".pem");
}

// Issues a certificate with the given extensions from the CA made at `ca`.
ServerCertificate Issue(const std::string& directory, const std::string& ca,
                        const std::string& name, const std::string& extensions) {
  const std::string base = directory + "/" + name;
  std::ofstream(base + ".ext") << extensions << "\n";
  const bool made =
      Run("openssl req -new -newkey rsa:2048 -nodes -subj /CN=" + name + " -keyout " + base +
          ".key -out " + base + ".csr") &&
      Run("openssl x509 -req -in " + base + ".csr -CA " + ca + ".pem -CAkey " + ca +
          ".key -CAcreateserial -days 30 -sha256 -extfile " + base + ".ext -out " + base +
          ".pem");
  return made ? ServerCertificate{base + ".pem", base + ".key"} : ServerCertificate{};
}

TestCertificates Create() {
  TestCertificates certificates;
  certificates.directory = MakeTempDirectory();
  const std::string& directory = certificates.directory;
  const std::string ca = directory + "/ca";
  const std::string stranger_ca = directory + "/stranger_ca";
  if (directory.empty() || !MakeCa(ca, "Updater-Test-CA") || !MakeCa(stranger_ca, "Stranger-CA")) {
    return {};
  }
  certificates.ca_file = ca + ".pem";
  certificates.loopback = Issue(directory, ca, "loopback",
                                "subjectAltName=IP:127.0.0.1,DNS:localhost\n"
                                "extendedKeyUsage=serverAuth");
  certificates.wrong_name = Issue(directory, ca, "wrong_name",
                                  "subjectAltName=DNS:updates.example\n"
                                  "extendedKeyUsage=serverAuth");
  certificates.client_only = Issue(directory, ca, "client_only",
                                   "subjectAltName=IP:127.0.0.1\n"
                                   "extendedKeyUsage=clientAuth");
  certificates.stranger = Issue(directory, stranger_ca, "stranger",
                                "subjectAltName=IP:127.0.0.1\n"
                                "extendedKeyUsage=serverAuth");
  return certificates;
}

}  // namespace

const TestCertificates& TestCertificates::Get() {
  static const TestCertificates certificates = Create();
  return certificates;
}

}  // namespace updater::test_support
