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

// A copy of `program` that every user may run, in a directory of its own in
// /tmp, removed with the object. Tests that run a program as another user use
// it: the build tree may lie below a directory only its owner can enter.
class ProgramForAnyUser {
 public:
  explicit ProgramForAnyUser(const std::filesystem::path& program);
  ~ProgramForAnyUser();
  ProgramForAnyUser(const ProgramForAnyUser&) = delete;
  ProgramForAnyUser& operator=(const ProgramForAnyUser&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string directory_;
  std::string path_;
};

}  // namespace updater::test_support

#endif  // TESTS_SUPPORT_TEST_FILES_H_
