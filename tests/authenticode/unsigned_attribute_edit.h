#ifndef TESTS_AUTHENTICODE_UNSIGNED_ATTRIBUTE_EDIT_H_
#define TESTS_AUTHENTICODE_UNSIGNED_ATTRIBUTE_EDIT_H_

#include <cstdint>
#include <string>
#include <vector>

namespace updater {

// One attribute { oid, SET { OCTET STRING of `value_size` bytes of 'A' } }
// whose DER contents take exactly `contents_size` bytes (at least 32).
// `oid` is the DER contents of the identifier.
std::vector<uint8_t> MakeAttribute(const std::vector<uint8_t>& oid, size_t contents_size);

inline const std::vector<uint8_t> kCountersignatureOid = {0x2a, 0x86, 0x48, 0x86, 0xf7,
                                                          0x0d, 0x01, 0x09, 0x06};
inline const std::vector<uint8_t> kTimestampOid = {0x2b, 0x06, 0x01, 0x04, 0x01,
                                                   0x82, 0x37, 0x03, 0x03, 0x01};
inline const std::vector<uint8_t> kNestedSignatureOid = {0x2b, 0x06, 0x01, 0x04, 0x01,
                                                         0x82, 0x37, 0x02, 0x04, 0x01};
// 1.3.6.1.4.1.311.127.1, which nothing defines.
inline const std::vector<uint8_t> kUnknownAttributeOid = {0x2b, 0x06, 0x01, 0x04, 0x01,
                                                          0x82, 0x37, 0x7f, 0x01};

// A signed PE image (any, read through its own headers) whose signer's
// unsigned attributes are replaced by `attributes` (concatenated DER
// attributes), as anyone can without the key; the table and its directory
// entry are rewritten to fit. Throws when the image is not signed as
// expected.
std::vector<uint8_t> WithUnsignedAttributes(const std::vector<uint8_t>& signed_image,
                                            const std::vector<uint8_t>& attributes);
std::string WithUnsignedAttributes(const std::string& signed_image,
                                   const std::vector<uint8_t>& attributes);

}  // namespace updater

#endif  // TESTS_AUTHENTICODE_UNSIGNED_ATTRIBUTE_EDIT_H_
