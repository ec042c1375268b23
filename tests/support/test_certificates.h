#ifndef TESTS_SUPPORT_TEST_CERTIFICATES_H_
#define TESTS_SUPPORT_TEST_CERTIFICATES_H_

#include <string>

namespace updater::test_support {

struct ServerCertificate {
  std::string certificate_file;  // PEM
  std::string key_file;          // PEM
};

// A throw-away CA and certificates it issued, made with the openssl command
// line the first time they are asked for. Test processes that run side by
// side share them through `directory`, made under a lock and remade when
// older than a day.
struct TestCertificates {
  std::string directory;
  std::string ca_file;            // the test CA, PEM
  ServerCertificate loopback;     // for 127.0.0.1 and localhost, server use
  ServerCertificate wrong_name;   // for another host name only
  ServerCertificate client_only;  // for 127.0.0.1, but only for client use
  ServerCertificate stranger;     // for 127.0.0.1, from a CA nobody trusts
  ServerCertificate expired;      // for 127.0.0.1, expired

  // Nothing usable (empty paths) when openssl failed. The first call fixes
  // the directory for the process.
  static const TestCertificates& Get(const std::string& directory);
};

}  // namespace updater::test_support

#endif  // TESTS_SUPPORT_TEST_CERTIFICATES_H_
