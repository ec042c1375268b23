#ifndef TESTS_SUPPORT_TEST_FILES_H_
#define TESTS_SUPPORT_TEST_FILES_H_

// Whole files, read and written as the tests set them up and check them.

#include <filesystem>
#include <string>

namespace updater::test_support {

// The whole file; "" when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& path);
// Creates or replaces `path` (and its missing parent directories); throws
// when it cannot.
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);
// A new directory of its own, named `prefix` and a random tail, under $TMPDIR
// (when absolute) or /tmp; throws when it cannot be made.
std::string MakeScratchDirectory(const std::string& prefix);

}  // namespace updater::test_support

#endif  // TESTS_SUPPORT_TEST_FILES_H_
