#include "authenticode/installer_signature_check_linux.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "authenticode/certificate_table.h"
#include "authenticode/image_digest_linux.h"
#include "authenticode/pe_image_layout.h"
#include "authenticode/read_only_file_platform.h"
#include "authenticode/signed_data_check_linux.h"
#include "authenticode/unsigned_attributes.h"

namespace updater {
namespace {

constexpr size_t kReadChunkSize = 1024 * 1024;

// Feeds `ranges` of the file to `digest`, taking what lies in the already
// read `head` from there, so that every byte is read from the file once.
bool DigestRanges(const platform::ReadOnlyFile& file,
                  std::span<const uint8_t> head,
                  const std::vector<FileRange>& ranges,
                  ImageDigest& digest) {
  std::vector<uint8_t> buffer;
  for (const FileRange& range : ranges) {
    uint64_t offset = range.offset;
    if (offset < head.size()) {
      const uint64_t in_head = std::min<uint64_t>(range.end(), head.size()) - offset;
      digest.Update(head.subspan(offset, in_head));
      offset += in_head;
    }
    while (offset < range.end()) {
      if (buffer.empty()) buffer.resize(kReadChunkSize);
      const size_t chunk = std::min<uint64_t>(range.end() - offset, buffer.size());
      const std::span<uint8_t> piece(buffer.data(), chunk);
      if (!file.ReadAt(offset, piece)) return false;
      digest.Update(piece);
      offset += chunk;
    }
  }
  return digest.ok();
}

}  // namespace

SignatureStatus CheckInstallerSignature(const FsPath& path, const TrustAnchors& anchors) {
  const std::optional<platform::ReadOnlyFile> file = platform::ReadOnlyFile::Open(path);
  return file ? CheckInstallerSignature(*file, anchors) : SignatureStatus::kUnreadableFile;
}

SignatureStatus CheckInstallerSignature(const platform::ReadOnlyFile& file,
                                        const TrustAnchors& anchors) {
  const uint64_t file_size = file.size();

  std::vector<uint8_t> head(std::min<uint64_t>(file_size, kPeHeadLimit));
  if (!file.ReadAt(0, head)) return SignatureStatus::kUnreadableFile;
  const std::optional<PeImageLayout> layout = ParsePeImageLayout(head, file_size);
  if (!layout) return SignatureStatus::kNotPeImage;
  if (!layout->IsSigned()) return SignatureStatus::kUnsigned;
  if (layout->certificate_table.size > kMaxCertificateTableSize) {
    return SignatureStatus::kMalformedSignature;
  }

  std::vector<uint8_t> table(layout->certificate_table.size);
  if (!file.ReadAt(layout->certificate_table.offset, table)) {
    return SignatureStatus::kUnreadableFile;
  }
  const std::optional<std::span<const uint8_t>> payload = PrimarySignaturePayload(table);
  if (!payload || !HasOnlyKnownUnsignedAttributes(*payload)) {
    return SignatureStatus::kMalformedSignature;
  }
  const SignedDataCheck signed_data = CheckSignedData(*payload, anchors);
  if (!IsTrusted(signed_data.status)) return signed_data.status;

  // The costly part comes last, once the signature is known to be worth it.
  ImageDigest digest(signed_data.algorithm);
  if (!DigestRanges(file, head, AuthenticodeHashedRanges(*layout, file_size), digest)) {
    return SignatureStatus::kUnreadableFile;
  }
  if (digest.Finish() != signed_data.image_digest) return SignatureStatus::kImageDigestMismatch;
  return signed_data.status;
}

bool VerifyInstallerSignature(const FsPath& path, const TrustAnchors& anchors) {
  return IsTrusted(CheckInstallerSignature(path, anchors));
}

}  // namespace updater
