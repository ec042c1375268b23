#include "authenticode/spc_indirect_data.h"

#include <vector>

#include <gtest/gtest.h>

namespace updater {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Tlv(uint8_t tag, const Bytes& value) {
  Bytes out;
  out.reserve(value.size() + 4);
  out.push_back(tag);
  if (value.size() < 0x80) {
    out.push_back(static_cast<uint8_t>(value.size()));
  } else {
    out.insert(out.end(),
               {0x82, static_cast<uint8_t>(value.size() >> 8), static_cast<uint8_t>(value.size())});
  }
  out.insert(out.end(), value.begin(), value.end());
  return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

const Bytes kPeImageData = {0x2b, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x0f};
const Bytes kSha1 = {0x2b, 0x0e, 0x03, 0x02, 0x1a};
const Bytes kSha256 = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01};
const Bytes kSha512 = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x03};
const Bytes kMd5 = {0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d, 0x02, 0x05};

// SpcPeImageData as signing tools write it: flags and an empty file link.
const Bytes kPeImageValue = {0x30, 0x09, 0x03, 0x01, 0x00, 0xa0, 0x04, 0xa2, 0x02, 0x80, 0x00};

Bytes Content(const Bytes& data_oid,
              const Bytes& algorithm,
              const Bytes& digest,
              Bytes params = {0x05, 0x00}) {
  return Tlv(
      0x30,
      Cat({Tlv(0x30, Cat({Tlv(0x06, data_oid), kPeImageValue})),
           Tlv(0x30, Cat({Tlv(0x30, Cat({Tlv(0x06, algorithm), params})), Tlv(0x04, digest)}))}));
}

TEST(SpcIndirectDataTest, ReadsAlgorithmDigestAndSignedContent) {
  const Bytes digest256(32, 0xab);
  const Bytes der = Content(kPeImageData, kSha256, digest256);
  const std::optional<SpcIndirectData> parsed = ParseSpcIndirectData(der);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->algorithm, DigestAlgorithm::kSha256);
  EXPECT_EQ(Bytes(parsed->image_digest.begin(), parsed->image_digest.end()), digest256);
  // The message digest covers the SEQUENCE's contents, not its tag and length.
  EXPECT_EQ(parsed->signed_content.data(), der.data() + 2);
  EXPECT_EQ(parsed->signed_content.size(), der.size() - 2);

  EXPECT_EQ(ParseSpcIndirectData(Content(kPeImageData, kSha1, Bytes(20, 1), {}))->algorithm,
            DigestAlgorithm::kSha1);  // parameters may be absent
  const Bytes big_digest(64, 2);
  EXPECT_EQ(ParseSpcIndirectData(Content(kPeImageData, kSha512, big_digest))->algorithm,
            DigestAlgorithm::kSha512);
}

TEST(SpcIndirectDataTest, RejectsEverythingElse) {
  const Bytes good = Content(kPeImageData, kSha256, Bytes(32, 0));
  ASSERT_TRUE(ParseSpcIndirectData(good));
  Bytes trailing = good;
  trailing.push_back(0);
  Bytes truncated(good.begin(), good.end() - 1);
  Bytes indefinite = good;
  indefinite[1] = 0x80;
  Bytes huge_length = {0x30, 0x84, 0xff, 0xff, 0xff, 0xf0, 0x30, 0x00};
  Bytes five_length_bytes = {0x30, 0x85, 0x00, 0x00, 0x00, 0x00, 0x02, 0x30, 0x00};
  Bytes high_tag = {0x1f, 0x81, 0x00, 0x00};
  const std::vector<std::pair<const char*, Bytes>> bad = {
      {"empty", {}},
      {"trailing byte", trailing},
      {"truncated", truncated},
      {"indefinite length", indefinite},
      {"huge length", huge_length},
      {"five length bytes", five_length_bytes},
      {"high tag number", high_tag},
      {"MD5", Content(kPeImageData, kMd5, Bytes(16, 0))},
      {"short digest", Content(kPeImageData, kSha256, Bytes(20, 0))},
      {"long digest", Content(kPeImageData, kSha1, Bytes(32, 0))},
      {"not a PE image", Content(kSha1, kSha256, Bytes(32, 0))},
      {"odd parameters", Content(kPeImageData, kSha256, Bytes(32, 0), {0x02, 0x01, 0x00})},
      {"extra field",
       Tlv(0x30, Cat({Tlv(0x30, Tlv(0x06, kPeImageData)),
                      Tlv(0x30, Cat({Tlv(0x30, Tlv(0x06, kSha1)), Tlv(0x04, Bytes(20, 0))})),
                      Tlv(0x05, {})}))},
  };
  for (const auto& [what, der] : bad) EXPECT_FALSE(ParseSpcIndirectData(der)) << what;
}

}  // namespace
}  // namespace updater
