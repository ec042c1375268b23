#include "authenticode/unsigned_attributes.h"

#include <algorithm>
#include <array>
#include <optional>

#include "authenticode/der_reader.h"

namespace updater {
namespace {

constexpr uint8_t kContextConstructed0 = 0xa0;
constexpr uint8_t kContextConstructed1 = 0xa1;
constexpr size_t kMaxPadding = 7;

struct AllowedAttribute {
  std::array<uint8_t, 10> oid;
  size_t oid_size;
  size_t max_size;
};

constexpr std::array<AllowedAttribute, 3> kAllowedAttributes = {{
    // 1.2.840.113549.1.9.6
    {{0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d, 0x01, 0x09, 0x06}, 9, kMaxCountersignatureSize},
    // 1.3.6.1.4.1.311.3.3.1
    {{0x2b, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x03, 0x03, 0x01}, 10, kMaxTimestampSize},
    // 1.3.6.1.4.1.311.2.4.1
    {{0x2b, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x04, 0x01}, 10, kMaxNestedSignatureSize},
}};

std::optional<size_t> AllowedIndex(std::span<const uint8_t> oid) {
  for (size_t i = 0; i < kAllowedAttributes.size(); ++i) {
    const AllowedAttribute& allowed = kAllowedAttributes[i];
    if (std::ranges::equal(oid, std::span(allowed.oid).first(allowed.oid_size))) return i;
  }
  return std::nullopt;
}

bool IsZeroPadding(std::span<const uint8_t> bytes) {
  return bytes.size() <= kMaxPadding && std::ranges::all_of(bytes, [](uint8_t b) { return !b; });
}

// The one SignerInfo of a ContentInfo { OID, [0] { SignedData } } followed by
// at most the zero padding of the certificate-table entry.
std::optional<std::span<const uint8_t>> OnlySignerInfo(std::span<const uint8_t> payload) {
  DerReader outer(payload);
  const std::optional<DerElement> content_info = outer.Next(kDerSequence);
  if (!content_info || !IsZeroPadding(outer.rest())) return std::nullopt;
  DerReader info(content_info->value);
  const std::optional<DerElement> type = info.Next(kDerObjectIdentifier);
  const std::optional<DerElement> explicit_content = info.Next(kContextConstructed0);
  if (!type || !explicit_content || !info.AtEnd()) return std::nullopt;
  DerReader wrapper(explicit_content->value);
  const std::optional<DerElement> signed_data = wrapper.Next(kDerSequence);
  if (!signed_data || !wrapper.AtEnd()) return std::nullopt;

  DerReader fields(signed_data->value);
  if (!fields.Next(kDerInteger) || !fields.Next(kDerSet) || !fields.Next(kDerSequence)) {
    return std::nullopt;
  }
  fields.SkipOptional(kContextConstructed0);  // certificates
  fields.SkipOptional(kContextConstructed1);  // revocation lists
  const std::optional<DerElement> signer_infos = fields.Next(kDerSet);
  if (!signer_infos || !fields.AtEnd()) return std::nullopt;
  DerReader signers(signer_infos->value);
  const std::optional<DerElement> signer = signers.Next(kDerSequence);
  if (!signer || !signers.AtEnd()) return std::nullopt;
  return signer->value;
}

bool AttributesAreAllowed(std::span<const uint8_t> attributes) {
  std::array<bool, kAllowedAttributes.size()> seen{};
  DerReader reader(attributes);
  while (!reader.AtEnd()) {
    const std::optional<DerElement> attribute = reader.Next(kDerSequence);
    if (!attribute) return false;
    DerReader fields(attribute->value);
    const std::optional<DerElement> oid = fields.Next(kDerObjectIdentifier);
    if (!oid || !fields.Next(kDerSet) || !fields.AtEnd()) return false;
    const std::optional<size_t> index = AllowedIndex(oid->value);
    if (!index || seen[*index] || attribute->value.size() > kAllowedAttributes[*index].max_size) {
      return false;
    }
    seen[*index] = true;
  }
  return true;
}

}  // namespace

bool HasOnlyKnownUnsignedAttributes(std::span<const uint8_t> payload) {
  const std::optional<std::span<const uint8_t>> signer = OnlySignerInfo(payload);
  if (!signer) return false;
  // SignerInfo: version, signer's identifier, digest algorithm, [0] signed
  // attributes, signature algorithm, signature, [1] unsigned attributes.
  DerReader fields(*signer);
  if (!fields.Next(kDerInteger) || !fields.Next()) return false;
  if (!fields.Next(kDerSequence)) return false;
  fields.SkipOptional(kContextConstructed0);
  if (!fields.Next(kDerSequence) || !fields.Next(kDerOctetString)) return false;
  if (fields.AtEnd()) return true;
  const std::optional<DerElement> unsigned_attributes = fields.Next(kContextConstructed1);
  return unsigned_attributes && fields.AtEnd() && AttributesAreAllowed(unsigned_attributes->value);
}

}  // namespace updater
