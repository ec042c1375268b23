#ifndef TESTS_AUTHENTICODE_TEST_PE_IMAGE_H_
#define TESTS_AUTHENTICODE_TEST_PE_IMAGE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace updater {

enum class PeFormat { kPe32, kPe32Plus };

// The headers (0x200 bytes) of a minimal valid PE image with one code section
// of `section_size` bytes that starts right after them: DOS header, NT
// headers with all 16 data directories empty, one section header.
std::vector<uint8_t> MakeTestPeHeaders(PeFormat format, uint64_t section_size);

// The whole image: headers and a section of deterministic pseudo-random bytes
// that begins with a return instruction.
std::vector<uint8_t> MakeTestPeImage(PeFormat format, uint64_t section_size);

// Images whose section is a shell script: the tests let the kernel run them
// (binfmt_misc, keyed on the magic in the DOS stub) through a small runner, so
// a signed "installer" can do what a real one would. The script ends at the
// first NUL of the section.
inline constexpr std::string_view kScriptedPeMagic = "RZ-UPDATER-TEST-SCRIPTED-PE";
inline constexpr size_t kScriptedPeMagicOffset = 0x40;
inline constexpr size_t kScriptedPeScriptOffset = 0x200;
std::vector<uint8_t> MakeScriptedPeImage(PeFormat format, std::string_view script);

// Writes the same image to `path` piece by piece, for images too large to
// build in memory. False on any write error.
bool WriteTestPeImage(const std::string& path, PeFormat format, uint64_t section_size);

}  // namespace updater

#endif  // TESTS_AUTHENTICODE_TEST_PE_IMAGE_H_
