#ifndef TESTS_AUTHENTICODE_SIGNATURE_CORPUS_H_
#define TESTS_AUTHENTICODE_SIGNATURE_CORPUS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "authenticode/trust_anchors_linux.h"
#include "base/fs_path.h"

namespace updater {

// The corpus of signed images that the test run made before the tests.
std::string CorpusPath(std::string_view name);
FsPath ToFsPath(const std::string& path);

// Anchors from a PEM file of the corpus ("root.pem", "other_root.pem").
TrustAnchors CorpusAnchors(std::string_view pem_name);

std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// A file of this process's own in the build tree, removed when it goes.
class ScratchFile {
 public:
  explicit ScratchFile(std::string_view name);
  explicit ScratchFile(std::string_view name, const std::vector<uint8_t>& bytes);
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const std::string& path() const { return path_; }
  FsPath fs_path() const { return ToFsPath(path_); }

 private:
  std::string path_;
};

uint32_t GetLittleEndian32(const std::vector<uint8_t>& bytes, size_t offset);
void SetLittleEndian32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value);

// Where the test images (NT headers at 0x80) keep their certificate-table
// directory entry.
size_t SecurityEntryOffset(const std::vector<uint8_t>& image);

// A signed test image whose certificate table was moved to the first
// section's file offset, the section's bytes after it: the digested byte
// stream stays the same while everything the loader maps from the file moves.
std::vector<uint8_t> TableMovedIntoFirstSection(const std::vector<uint8_t>& signed_image);

// A signed test image with a second, unsigned entry (revision 2.0, PKCS#7,
// arbitrary bytes) appended to its certificate table.
std::vector<uint8_t> WithSecondEntry(const std::vector<uint8_t>& signed_image);

}  // namespace updater

#endif  // TESTS_AUTHENTICODE_SIGNATURE_CORPUS_H_
