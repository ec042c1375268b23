#include "tests/authenticode/signature_corpus.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/string_util.h"

namespace updater {

std::string CorpusPath(std::string_view name) {
  return std::string(SIGNATURE_CORPUS_DIR) + "/" + std::string(name);
}

FsPath ToFsPath(const std::string& path) {
  return FsPath(UTF8ToUTF16(path));
}

TrustAnchors CorpusAnchors(std::string_view pem_name) {
  const std::vector<uint8_t> pem = ReadFileBytes(CorpusPath(pem_name));
  return TrustAnchors::FromPem(
      std::string_view(reinterpret_cast<const char*>(pem.data()), pem.size()));
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

ScratchFile::ScratchFile(std::string_view name)
    : path_(std::string(SIGNATURE_CORPUS_DIR) + "-scratch-" + std::to_string(getpid()) + "-" +
            std::string(name)) {}

ScratchFile::ScratchFile(std::string_view name, const std::vector<uint8_t>& bytes)
    : ScratchFile(name) {
  WriteFileBytes(path_, bytes);
}

ScratchFile::~ScratchFile() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

uint32_t GetLittleEndian32(const std::vector<uint8_t>& bytes, size_t offset) {
  return bytes[offset] | (bytes[offset + 1] << 8) | (bytes[offset + 2] << 16) |
         (static_cast<uint32_t>(bytes[offset + 3]) << 24);
}

void SetLittleEndian32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

size_t SecurityEntryOffset(const std::vector<uint8_t>& image) {
  const bool pe32_plus = image[0x98] == 0x0b && image[0x99] == 0x02;
  return pe32_plus ? 0x128 : 0x118;
}

std::vector<uint8_t> TableMovedIntoFirstSection(const std::vector<uint8_t>& signed_image) {
  constexpr size_t kFirstSectionOffset = 0x200;
  const size_t entry = SecurityEntryOffset(signed_image);
  // The image with the table rotated to the first section's offset: written
  // in one pass, which GCC 12 at -O3 does not mistake for an overflow.
  const size_t table = GetLittleEndian32(signed_image, entry);
  std::vector<uint8_t> moved = signed_image;
  std::rotate(moved.begin() + kFirstSectionOffset, moved.begin() + table, moved.end());
  SetLittleEndian32(moved, entry, kFirstSectionOffset);
  return moved;
}

std::vector<uint8_t> WithSecondEntry(const std::vector<uint8_t>& signed_image) {
  constexpr uint32_t kEntrySize = 24;
  std::vector<uint8_t> image = signed_image;
  const size_t entry = SecurityEntryOffset(image);
  const size_t second = image.size();
  image.resize(second + kEntrySize, 'A');
  SetLittleEndian32(image, second, kEntrySize);
  SetLittleEndian32(image, second + 4, 0x00020200);  // revision 2.0, PKCS#7
  SetLittleEndian32(image, entry + 4, GetLittleEndian32(image, entry + 4) + kEntrySize);
  return image;
}

}  // namespace updater
