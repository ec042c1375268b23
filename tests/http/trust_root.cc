// Run under wine by the Linux tests: trusts the CA in PEM_FILE for the
// prefix's user by adding it to the ROOT store. Adding it again changes
// nothing. (Windows itself asks the user before a root is added.)
// Usage: trust_root PEM_FILE

#include <windows.h>
// After <windows.h>, which it needs.
#include <wincrypt.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<BYTE> DerOf(const std::string& pem) {
  DWORD size = 0;
  if (!CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                            nullptr, &size, nullptr, nullptr)) {
    return {};
  }
  std::vector<BYTE> der(size);
  if (!CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                            der.data(), &size, nullptr, nullptr)) {
    return {};
  }
  der.resize(size);
  return der;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::ifstream file(argv[1], std::ios::binary);
  const std::string pem{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  const std::vector<BYTE> der = DerOf(pem);
  if (der.empty()) return 1;
  const HCERTSTORE store = CertOpenSystemStoreW(0, L"ROOT");
  if (!store) return 1;
  const BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(),
                                                      static_cast<DWORD>(der.size()),
                                                      CERT_STORE_ADD_USE_EXISTING, nullptr);
  CertCloseStore(store, 0);
  return added ? 0 : 1;
}
