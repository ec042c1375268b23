#ifndef TESTS_AUTO_UPDATE_TEST_PE_IMAGE_H_
#define TESTS_AUTO_UPDATE_TEST_PE_IMAGE_H_

#include <cstdint>
#include <string>
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

// Writes the same image to `path` piece by piece, for images too large to
// build in memory. False on any write error.
bool WriteTestPeImage(const std::string& path, PeFormat format, uint64_t section_size);

}  // namespace updater

#endif  // TESTS_AUTO_UPDATE_TEST_PE_IMAGE_H_
