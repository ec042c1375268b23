#ifndef TESTS_AUTO_UPDATE_SIGNATURE_CORPUS_H_
#define TESTS_AUTO_UPDATE_SIGNATURE_CORPUS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "auto_update/trust_anchors.h"
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

}  // namespace updater

#endif  // TESTS_AUTO_UPDATE_SIGNATURE_CORPUS_H_
