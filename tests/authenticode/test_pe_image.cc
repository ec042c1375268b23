#include "tests/authenticode/test_pe_image.h"

#include <algorithm>
#include <fstream>

namespace updater {
namespace {

constexpr uint32_t kNtHeadersOffset = 0x80;
constexpr uint32_t kHeadersSize = 0x200;
constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kSectionAlignment = 0x1000;
constexpr uint32_t kSectionRva = 0x1000;

uint64_t AlignUp(uint64_t value, uint64_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

class LittleEndianWriter {
 public:
  explicit LittleEndianWriter(std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  void Put(size_t offset, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) bytes_[offset + i] = static_cast<uint8_t>(value >> (8 * i));
  }

 private:
  std::vector<uint8_t>& bytes_;
};

// xorshift: cheap, deterministic, and not compressible into a run of zeros.
void FillSection(std::vector<uint8_t>& out, uint64_t& state) {
  for (uint8_t& byte : out) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    byte = static_cast<uint8_t>(state);
  }
}

constexpr uint64_t kSectionSeed = 0x9e3779b97f4a7c15;
constexpr uint8_t kReturnInstruction = 0xc3;

}  // namespace

std::vector<uint8_t> MakeTestPeHeaders(PeFormat format, uint64_t section_size) {
  const bool plus = format == PeFormat::kPe32Plus;
  const uint64_t raw_size = AlignUp(section_size, kFileAlignment);
  std::vector<uint8_t> headers(kHeadersSize, 0);
  LittleEndianWriter w(headers);
  w.Put(0x00, 0x5a4d, 2);  // "MZ"
  w.Put(0x3c, kNtHeadersOffset, 4);

  const size_t file_header = kNtHeadersOffset + 4;
  const size_t optional_size = plus ? 240 : 224;
  w.Put(kNtHeadersOffset, 0x00004550, 4);  // "PE\0\0"
  w.Put(file_header + 0, plus ? 0x8664 : 0x014c, 2);
  w.Put(file_header + 2, 1, 2);  // sections
  w.Put(file_header + 16, optional_size, 2);
  w.Put(file_header + 18, plus ? 0x0022 : 0x0102, 2);

  const size_t opt = file_header + 20;
  w.Put(opt + 0, plus ? 0x20b : 0x10b, 2);
  w.Put(opt + 2, 14, 1);  // linker version
  w.Put(opt + 4, raw_size, 4);
  w.Put(opt + 16, kSectionRva, 4);  // entry point
  w.Put(opt + 20, kSectionRva, 4);  // base of code
  if (plus) {
    w.Put(opt + 24, 0x140000000, 8);
  } else {
    w.Put(opt + 28, 0x400000, 4);
  }
  w.Put(opt + 32, kSectionAlignment, 4);
  w.Put(opt + 36, kFileAlignment, 4);
  w.Put(opt + 40, 6, 2);  // operating system version
  w.Put(opt + 48, 6, 2);  // subsystem version
  w.Put(opt + 56, kSectionRva + AlignUp(section_size, kSectionAlignment), 4);
  w.Put(opt + 60, kHeadersSize, 4);
  w.Put(opt + 68, 3, 2);       // console subsystem
  w.Put(opt + 70, 0x8140, 2);  // NX, dynamic base, terminal-server aware
  const int word = plus ? 8 : 4;
  const size_t stack = opt + 72;
  w.Put(stack, 0x100000, word);
  w.Put(stack + word, 0x1000, word);
  w.Put(stack + 2 * word, 0x100000, word);
  w.Put(stack + 3 * word, 0x1000, word);
  w.Put(stack + 4 * word + 4, 16, 4);  // data directories, after the loader flags

  const size_t section = opt + optional_size;
  std::copy_n(".text", 5, headers.begin() + section);
  w.Put(section + 8, section_size, 4);
  w.Put(section + 12, kSectionRva, 4);
  w.Put(section + 16, raw_size, 4);
  w.Put(section + 20, kHeadersSize, 4);
  w.Put(section + 36, 0x60000020, 4);  // code, execute, read
  return headers;
}

std::vector<uint8_t> MakeTestPeImage(PeFormat format, uint64_t section_size) {
  std::vector<uint8_t> image = MakeTestPeHeaders(format, section_size);
  std::vector<uint8_t> section(AlignUp(section_size, kFileAlignment));
  uint64_t state = kSectionSeed;
  FillSection(section, state);
  if (!section.empty()) section[0] = kReturnInstruction;
  image.insert(image.end(), section.begin(), section.end());
  return image;
}

std::vector<uint8_t> MakeScriptedPeImage(PeFormat format, std::string_view script) {
  const uint64_t section_size = script.size() + 1;
  std::vector<uint8_t> image = MakeTestPeHeaders(format, section_size);
  std::copy(kScriptedPeMagic.begin(), kScriptedPeMagic.end(),
            image.begin() + kScriptedPeMagicOffset);
  image.resize(kScriptedPeScriptOffset + AlignUp(section_size, kFileAlignment), 0);
  std::copy(script.begin(), script.end(), image.begin() + kScriptedPeScriptOffset);
  return image;
}

bool WriteTestPeImage(const std::string& path, PeFormat format, uint64_t section_size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const std::vector<uint8_t> headers = MakeTestPeHeaders(format, section_size);
  out.write(reinterpret_cast<const char*>(headers.data()), headers.size());
  uint64_t state = kSectionSeed;
  std::vector<uint8_t> chunk;
  for (uint64_t left = AlignUp(section_size, kFileAlignment); left > 0 && out;) {
    chunk.resize(std::min<uint64_t>(left, 1 << 20));
    FillSection(chunk, state);
    if (left == AlignUp(section_size, kFileAlignment)) chunk[0] = kReturnInstruction;
    out.write(reinterpret_cast<const char*>(chunk.data()), chunk.size());
    left -= chunk.size();
  }
  out.close();
  return static_cast<bool>(out);
}

}  // namespace updater
