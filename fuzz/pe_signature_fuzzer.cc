// Treats the input as a whole file: PE headers, the certificate table they
// point at, its primary entry, the SpcIndirectDataContent parser, the
// unsigned-attribute check and the PKCS#7 checks on whatever the entry holds.
// Every range handed back must lie inside the input, in order, without
// overlap, and a certificate table must end the input, after every hashed byte.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

#include "authenticode/certificate_table.h"
#include "authenticode/pe_image_layout.h"
#include "authenticode/signed_data_check_linux.h"
#include "authenticode/spc_indirect_data.h"
#include "authenticode/unsigned_attributes.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool Inside(std::span<const uint8_t> part, std::span<const uint8_t> whole) {
  return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

void CheckSpcIndirectData(std::span<const uint8_t> der) {
  const std::optional<updater::SpcIndirectData> content = updater::ParseSpcIndirectData(der);
  if (!content) return;
  Require(Inside(content->image_digest, der) && Inside(content->signed_content, der));
  Require(content->image_digest.size() == updater::DigestSize(content->algorithm));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> file(data, size);
  CheckSpcIndirectData(file);
  updater::HasOnlyKnownUnsignedAttributes(file);

  const std::span<const uint8_t> head = file.first(std::min(size, updater::kPeHeadLimit));
  const std::optional<updater::PeImageLayout> layout = updater::ParsePeImageLayout(head, size);
  if (!layout) return 0;
  uint64_t covered_to = 0;
  for (const updater::FileRange& range : updater::AuthenticodeHashedRanges(*layout, size)) {
    Require(range.size > 0 && range.offset >= covered_to && range.end() <= size);
    covered_to = range.end();
  }
  if (!layout->IsSigned()) return 0;

  const updater::FileRange table_range = layout->certificate_table;
  Require(table_range.end() == size && covered_to <= table_range.offset);
  // A copy, so that the sanitizer sees reads past the table's own end.
  const std::vector<uint8_t> table(data + table_range.offset, data + table_range.end());
  const std::optional<std::span<const uint8_t>> payload = updater::PrimarySignaturePayload(table);
  if (!payload) return 0;
  Require(Inside(*payload, table));
  CheckSpcIndirectData(*payload);
  updater::HasOnlyKnownUnsignedAttributes(*payload);
  static const updater::TrustAnchors* const no_anchors =
      new updater::TrustAnchors(updater::TrustAnchors::FromPem(""));
  Require(!updater::IsTrusted(updater::CheckSignedData(*payload, *no_anchors).status));
  return 0;
}
