#include "authenticode/certificate_table.h"

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "tests/authenticode/signature_corpus.h"

namespace updater {
namespace {

// An entry of `length` bytes of 0x5a, cut or zero-padded to `padded` bytes.
std::vector<uint8_t> Entry(uint32_t length, uint16_t revision, uint16_t type, size_t padded) {
  std::vector<uint8_t> entry(std::min<size_t>(length, padded), 0x5a);
  entry.resize(padded, 0);
  SetLittleEndian32(entry, 0, length);
  SetLittleEndian32(entry, 4, revision | (static_cast<uint32_t>(type) << 16));
  return entry;
}

std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(CertificateTableTest, ReturnsThePrimaryEntrysPayload) {
  const std::vector<uint8_t> single = Entry(20, 0x0200, 2, 24);
  const auto payload = PrimarySignaturePayload(single);
  ASSERT_TRUE(payload);
  EXPECT_EQ(payload->data(), single.data() + 8);
  EXPECT_EQ(payload->size(), 12u);

  // The entry may stop short of its padding.
  EXPECT_EQ(PrimarySignaturePayload(Entry(20, 0x0200, 2, 20))->size(), 12u);
  EXPECT_EQ(PrimarySignaturePayload(Entry(17, 0x0200, 2, 24))->size(), 9u);
}

TEST(CertificateTableTest, RejectsMalformedTables) {
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> bad = {
      {"empty", {}},
      {"shorter than a header", std::vector<uint8_t>(7, 0)},
      {"length below the header", Entry(7, 0x0200, 2, 8)},
      {"length past the table", Entry(25, 0x0200, 2, 24)},
      {"gigabyte length", Entry(0x40000000, 0x0200, 2, 24)},
      {"revision 1.0", Entry(24, 0x0100, 2, 24)},
      {"X.509 entry", Entry(24, 0x0200, 1, 24)},
      {"trailing bytes", Join(Entry(16, 0x0200, 2, 16), std::vector<uint8_t>(4, 0))},
      {"zero bytes past the padding", Entry(20, 0x0200, 2, 28)},
      {"eight zero bytes after the entry", Entry(16, 0x0200, 2, 24)},
      {"non-zero padding", Join(Entry(20, 0x0200, 2, 23), {1})},
      {"second entry", Join(Entry(16, 0x0200, 2, 16), Entry(16, 0x0200, 2, 16))},
      {"second X.509 entry", Join(Entry(20, 0x0200, 2, 24), Entry(16, 0x0100, 1, 16))},
      {"second entry too long", Join(Entry(16, 0x0200, 2, 16), Entry(64, 0x0200, 2, 16))},
      {"second entry zero length", Join(Entry(16, 0x0200, 2, 16), Entry(0, 0x0200, 2, 16))},
  };
  for (const auto& [what, table] : bad) EXPECT_FALSE(PrimarySignaturePayload(table)) << what;
}

}  // namespace
}  // namespace updater
