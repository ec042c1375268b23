#include "authenticode/spc_indirect_data.h"

#include <algorithm>
#include <array>

#include "authenticode/der_reader.h"

namespace updater {
namespace {

// 1.3.6.1.4.1.311.2.1.15
constexpr std::array<uint8_t, 10> kSpcPeImageDataOid = {0x2b, 0x06, 0x01, 0x04, 0x01,
                                                        0x82, 0x37, 0x02, 0x01, 0x0f};

struct KnownDigest {
  DigestAlgorithm algorithm;
  std::array<uint8_t, 9> oid;
  size_t oid_size;
};

constexpr std::array<KnownDigest, 4> kKnownDigests = {{
    {DigestAlgorithm::kSha1, {0x2b, 0x0e, 0x03, 0x02, 0x1a}, 5},  // 1.3.14.3.2.26
    {DigestAlgorithm::kSha256, {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01}, 9},
    {DigestAlgorithm::kSha384, {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x02}, 9},
    {DigestAlgorithm::kSha512, {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x03}, 9},
}};

bool SameBytes(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  return std::ranges::equal(a, b);
}

std::optional<DigestAlgorithm> AlgorithmOf(std::span<const uint8_t> oid) {
  for (const KnownDigest& known : kKnownDigests) {
    if (SameBytes(oid, std::span(known.oid).first(known.oid_size))) return known.algorithm;
  }
  return std::nullopt;
}

bool IsPeImageData(std::span<const uint8_t> attribute) {
  DerReader reader(attribute);
  const std::optional<DerElement> type = reader.Next(kDerObjectIdentifier);
  return type && SameBytes(type->value, kSpcPeImageDataOid);
}

std::optional<DigestAlgorithm> ParseAlgorithmIdentifier(std::span<const uint8_t> identifier) {
  DerReader reader(identifier);
  const std::optional<DerElement> oid = reader.Next(kDerObjectIdentifier);
  if (!oid) return std::nullopt;
  reader.SkipOptional(kDerNull);
  if (!reader.AtEnd()) return std::nullopt;
  return AlgorithmOf(oid->value);
}

}  // namespace

std::optional<SpcIndirectData> ParseSpcIndirectData(std::span<const uint8_t> der) {
  DerReader outer(der);
  const std::optional<DerElement> content = outer.Next(kDerSequence);
  if (!content || !outer.AtEnd()) return std::nullopt;

  DerReader fields(content->value);
  const std::optional<DerElement> data = fields.Next(kDerSequence);
  const std::optional<DerElement> digest_info = fields.Next(kDerSequence);
  if (!data || !digest_info || !fields.AtEnd() || !IsPeImageData(data->value)) {
    return std::nullopt;
  }

  DerReader digest_fields(digest_info->value);
  const std::optional<DerElement> identifier = digest_fields.Next(kDerSequence);
  const std::optional<DerElement> digest = digest_fields.Next(kDerOctetString);
  if (!identifier || !digest || !digest_fields.AtEnd()) return std::nullopt;
  const std::optional<DigestAlgorithm> algorithm = ParseAlgorithmIdentifier(identifier->value);
  if (!algorithm || digest->value.size() != DigestSize(*algorithm)) return std::nullopt;
  return SpcIndirectData{*algorithm, digest->value, content->value};
}

}  // namespace updater
