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

// Issues a certificate from the test CA with the given extensions.
ServerCertificate Issue(const std::string& directory,
                        const std::string& name,
                        const std::string& extensions) {
  const std::string base = directory + "/" + name;
  std::ofstream(base + ".ext") << extensions << "\n";
  const bool made =
      Run("openssl req -new -newkey rsa:2048 -nodes -subj /CN=" + name + " -keyout " + base +
          ".key -out " + base + ".csr") &&
      Run("openssl x509 -req -in " + base + ".csr -CA " + directory + "/ca.pem -CAkey " +
          directory + "/ca.key -CAcreateserial -days 30 -sha256 -extfile " + base + ".ext -out " +
          base + ".pem");
  return made ? ServerCertificate{base + ".pem", base + ".key"} : ServerCertificate{};
}

TestCertificates Create() {
  TestCertificates certificates;
  certificates.directory = MakeTempDirectory();
  const std::string& directory = certificates.directory;
  if (directory.empty() ||
      !Run("openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj /CN=Updater-Test-CA"
           " -addext basicConstraints=critical,CA:TRUE -addext keyUsage=keyCertSign,cRLSign"
           " -keyout " +
           directory + "/ca.key -out " + directory + "/ca.pem")) {
    return {};
  }
  certificates.ca_file = directory + "/ca.pem";
  certificates.loopback = Issue(directory, "loopback",
                                "subjectAltName=IP:127.0.0.1,DNS:localhost\n"
                                "extendedKeyUsage=serverAuth");
  certificates.wrong_name = Issue(directory, "wrong_name",
                                  "subjectAltName=DNS:updates.example\n"
                                  "extendedKeyUsage=serverAuth");
  certificates.client_only = Issue(directory, "client_only",
                                   "subjectAltName=IP:127.0.0.1\n"
                                   "extendedKeyUsage=clientAuth");
  return certificates;
}

}  // namespace

const TestCertificates& TestCertificates::Get() {
  static const TestCertificates certificates = Create();
  return certificates;
}

}  // namespace updater::test_support
