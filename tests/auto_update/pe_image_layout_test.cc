#include "auto_update/pe_image_layout.h"

#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "tests/auto_update/signature_corpus.h"
#include "tests/auto_update/test_pe_image.h"

namespace updater {
namespace {

constexpr size_t kChecksum = 0xd8;
constexpr size_t kSecurityEntryPe32 = 0x118;
constexpr size_t kSecurityEntryPe32Plus = 0x128;

std::optional<PeImageLayout> Parse(const std::vector<uint8_t>& file) {
  const size_t head = std::min(file.size(), kPeHeadLimit);
  return ParsePeImageLayout(std::span(file).first(head), file.size());
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

  std::vector<uint8_t> plus = MakeTestPeImage(PeFormat::kPe32Plus, 700);
  const size_t table = plus.size();
  plus.resize(table + 64 + 24);  // table, then 24 bytes that must still be hashed
  SetLittleEndian32(plus, kSecurityEntryPe32Plus, static_cast<uint32_t>(table));
  SetLittleEndian32(plus, kSecurityEntryPe32Plus + 4, 64);
  const std::optional<PeImageLayout> layout_plus = Parse(plus);
  ASSERT_TRUE(layout_plus);
  EXPECT_TRUE(layout_plus->pe32_plus);
  EXPECT_EQ(layout_plus->security_entry_offset, kSecurityEntryPe32Plus);
  EXPECT_EQ(layout_plus->certificate_table, (FileRange{table, 64}));
  EXPECT_EQ(
      AuthenticodeHashedRanges(*layout_plus, plus.size()),
      (std::vector<FileRange>{{0, kChecksum},
                              {kChecksum + 4, kSecurityEntryPe32Plus - kChecksum - 4},
                              {kSecurityEntryPe32Plus + 8, table - kSecurityEntryPe32Plus - 8},
                              {table + 64, 24}}));
}

TEST(PeImageLayoutTest, RejectsHeadersThatLie) {
  const std::vector<uint8_t> good = MakeTestPeImage(PeFormat::kPe32, 700);
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
