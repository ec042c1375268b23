#include "authenticode/pe_image_layout.h"

#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "tests/authenticode/signature_corpus.h"
#include "tests/authenticode/test_pe_image.h"

namespace updater {
namespace {

constexpr size_t kChecksum = 0xd8;
constexpr size_t kSecurityEntryPe32 = 0x118;
constexpr size_t kSecurityEntryPe32Plus = 0x128;
constexpr size_t kSectionCount = 0x86;
constexpr size_t kHeadersSizePe32 = 0xd4;
constexpr size_t kSecondSectionPe32 = 0x1a0;

std::optional<PeImageLayout> Parse(const std::vector<uint8_t>& file) {
  const size_t head = std::min(file.size(), kPeHeadLimit);
  return ParsePeImageLayout(std::span(file).first(head), file.size());
}

// `image` cut or grown with zeros to end in a certificate table of `size` bytes at `offset`.
std::vector<uint8_t> WithTable(std::vector<uint8_t> image, uint32_t offset, uint32_t size) {
  image.resize(offset + size, 0);
  SetLittleEndian32(image, SecurityEntryOffset(image), offset);
  SetLittleEndian32(image, SecurityEntryOffset(image) + 4, size);
  return image;
}

TEST(PeImageLayoutTest, FindsTheFieldsOfBothForms) {
  const std::vector<uint8_t> pe32 = MakeTestPeImage(PeFormat::kPe32, 700);
  const std::optional<PeImageLayout> layout32 = Parse(pe32);
  ASSERT_TRUE(layout32);
  EXPECT_FALSE(layout32->pe32_plus);
  EXPECT_EQ(layout32->checksum_offset, kChecksum);
  EXPECT_EQ(layout32->security_entry_offset, kSecurityEntryPe32);
  EXPECT_FALSE(layout32->IsSigned());
  EXPECT_EQ(
      AuthenticodeHashedRanges(*layout32, pe32.size()),
      (std::vector<FileRange>{{0, kChecksum},
                              {kChecksum + 4, kSecurityEntryPe32 - kChecksum - 4},
                              {kSecurityEntryPe32 + 8, pe32.size() - kSecurityEntryPe32 - 8}}));

  const size_t table = MakeTestPeImage(PeFormat::kPe32Plus, 700).size();
  const std::vector<uint8_t> plus =
      WithTable(MakeTestPeImage(PeFormat::kPe32Plus, 700), static_cast<uint32_t>(table), 64);
  const std::optional<PeImageLayout> layout_plus = Parse(plus);
  ASSERT_TRUE(layout_plus);
  EXPECT_TRUE(layout_plus->pe32_plus);
  EXPECT_EQ(layout_plus->security_entry_offset, kSecurityEntryPe32Plus);
  EXPECT_EQ(layout_plus->certificate_table, (FileRange{table, 64}));
  EXPECT_EQ(
      AuthenticodeHashedRanges(*layout_plus, plus.size()),
      (std::vector<FileRange>{{0, kChecksum},
                              {kChecksum + 4, kSecurityEntryPe32Plus - kChecksum - 4},
                              {kSecurityEntryPe32Plus + 8, table - kSecurityEntryPe32Plus - 8}}));
}

TEST(PeImageLayoutTest, TheTableMayStartRightAfterTheImage) {
  // Headers only, their section empty: the image ends with the section table.
  std::vector<uint8_t> headers = MakeTestPeHeaders(PeFormat::kPe32, 0);
  SetLittleEndian32(headers, kHeadersSizePe32, 0);
  EXPECT_TRUE(Parse(WithTable(headers, kSecondSectionPe32, 16)));
  EXPECT_FALSE(Parse(WithTable(headers, kSecondSectionPe32 - 8, 24)));  // over the section header
  SetLittleEndian32(headers, kHeadersSizePe32, kSecondSectionPe32 + 8);
  EXPECT_FALSE(Parse(WithTable(headers, kSecondSectionPe32, 16)));  // inside SizeOfHeaders

  // A section without raw data has no place in the file, whatever its pointer says.
  std::vector<uint8_t> image = MakeTestPeImage(PeFormat::kPe32, 700);
  const uint32_t end = static_cast<uint32_t>(image.size());
  image[kSectionCount] = 2;
  SetLittleEndian32(image, kSecondSectionPe32 + 20, end + 64);
  EXPECT_TRUE(Parse(WithTable(image, end, 16)));
  SetLittleEndian32(image, kSecondSectionPe32 + 16, 8);
  EXPECT_FALSE(Parse(WithTable(image, end, 16)));
}

TEST(PeImageLayoutTest, RejectsHeadersThatLie) {
  const std::vector<uint8_t> image = MakeTestPeImage(PeFormat::kPe32, 700);
  const uint32_t table = static_cast<uint32_t>(image.size());
  const std::vector<uint8_t> good = WithTable(image, table, 64);
  ASSERT_TRUE(Parse(good));
  const size_t entry = kSecurityEntryPe32;
  const std::vector<std::pair<const char*, std::function<void(std::vector<uint8_t>&)>>> lies = {
      {"no MZ", [](auto& b) { b[0] = 'X'; }},
      {"NT headers past the head", [](auto& b) { SetLittleEndian32(b, 0x3c, kPeHeadLimit - 8); }},
      {"NT headers offset wraps", [](auto& b) { SetLittleEndian32(b, 0x3c, 0xfffffffc); }},
      {"no PE signature", [](auto& b) { b[0x81] = 'X'; }},
      {"optional header too small", [](auto& b) { b[0x94] = 130; }},
      {"optional header past the head",
       [](auto& b) {
         b[0x94] = 0xff;
         b[0x95] = 0xff;
       }},
      {"unknown magic",
       [](auto& b) {
         b[0x98] = 0x07;
         b[0x99] = 0x01;
       }},
      {"too few directories", [](auto& b) { SetLittleEndian32(b, 0x98 + 92, 4); }},
      {"table past the end",
       [&](auto& b) {
         SetLittleEndian32(b, entry, 0x200);
         SetLittleEndian32(b, entry + 4, static_cast<uint32_t>(b.size()));
       }},
      {"table end wraps",
       [&](auto& b) {
         SetLittleEndian32(b, entry, 0xfffffff8);
         SetLittleEndian32(b, entry + 4, 0x10);
       }},
      {"table over the headers",
       [&](auto& b) {
         SetLittleEndian32(b, entry, 0x10);
         SetLittleEndian32(b, entry + 4, 0x10);
       }},
      {"table moved into the section",
       [&](auto& b) { b = WithTable(b, 0x200, table + 64 - 0x200); }},
      {"table starting in the section", [&](auto& b) { b = WithTable(b, table - 8, 72); }},
      {"bytes after the table", [](auto& b) { b.push_back(0); }},
      {"table not 8-byte aligned", [&](auto& b) { b = WithTable(b, table + 4, 64); }},
      {"table inside SizeOfHeaders",
       [&](auto& b) { SetLittleEndian32(b, kHeadersSizePe32, table + 1); }},
      {"second section past the table start",
       [&](auto& b) {
         b[kSectionCount] = 2;
         SetLittleEndian32(b, kSecondSectionPe32 + 16, 8);
         SetLittleEndian32(b, kSecondSectionPe32 + 20, table);
       }},
      {"section table past the head",
       [](auto& b) {
         b[kSectionCount] = 0xff;
         b[kSectionCount + 1] = 0xff;
       }},
      {"truncated in the headers", [](auto& b) { b.resize(0x100); }},
      {"truncated to the DOS header", [](auto& b) { b.resize(40); }},
  };
  for (const auto& [what, lie] : lies) {
    std::vector<uint8_t> bad = good;
    lie(bad);
    EXPECT_FALSE(Parse(bad)) << what;
  }
  // The head may not claim more bytes than the file has.
  EXPECT_FALSE(ParsePeImageLayout(good, good.size() - 1));
}

}  // namespace
}  // namespace updater
