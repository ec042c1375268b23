#include "base/known_paths.h"

#include <stdlib.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "base/at_exit.h"
#include "base/executable_path.h"
#include "base/known_path_cache.h"
#include "base/os_version.h"
#include "base/path_operations.h"

namespace updater {
namespace {

TEST(KnownPathCacheTest, AnswersFromTheExecutableAndRemembers) {
  int reads = 0;
  KnownPathCache cache([&reads] {
    ++reads;
    return FsPath(u"/opt/browser/application/updater");
  });
  FsPath path;
  ASSERT_TRUE(cache.Get(kExeDirectory, path));
  EXPECT_EQ(path.value(), u"/opt/browser/application");
  ASSERT_TRUE(cache.Get(kExeFile, path));
  EXPECT_EQ(path.value(), u"/opt/browser/application/updater");
  ASSERT_TRUE(cache.Get(kExeDirectory, path));
  EXPECT_EQ(reads, 1);

  FsPath unchanged(u"unchanged");
  EXPECT_FALSE(cache.Get(static_cast<KnownPathKey>(7), unchanged));
  EXPECT_EQ(unchanged.value(), u"unchanged");
}

TEST(KnownPathCacheTest, FailuresAreNotRemembered) {
  int reads = 0;
  std::u16string answer;
  KnownPathCache cache([&] {
    ++reads;
    return FsPath(answer);
  });
  FsPath path(u"unchanged");
  EXPECT_FALSE(cache.Get(kExeFile, path));
  answer = u"/" + std::u16string(kMaxPathChars - 1, u'x');  // 260 characters
  EXPECT_FALSE(cache.Get(kExeDirectory, path));
  EXPECT_EQ(path.value(), u"unchanged");
  answer.pop_back();  // 259
  EXPECT_TRUE(cache.Get(kExeFile, path));
  EXPECT_EQ(path.value(), answer);
  EXPECT_EQ(reads, 3);

  KnownPathCache relative([] { return FsPath(u"/opt/a/../b/updater"); });
  ASSERT_TRUE(relative.Get(kExeDirectory, path));
  EXPECT_EQ(path.value(), u"/opt/b");
}

TEST(KnownPathsTest, ProcessWideLookupNamesThisProgram) {
  AtExitManager exit_manager;
  FsPath file;
  FsPath directory;
  ASSERT_TRUE(GetKnownPath(kExeFile, file));
  ASSERT_TRUE(GetKnownPath(kExeDirectory, directory));
  EXPECT_EQ(file.value(), ReadExecutablePath().value());
  EXPECT_EQ(directory.value(), ParentDir(file).value());
}

class TempDirectoryTest : public testing::Test {
 protected:
  void SetUp() override {
    if (const char* value = getenv("TMPDIR")) saved_ = value;
  }
  void TearDown() override {
    if (saved_) {
      setenv("TMPDIR", saved_->c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }

  static std::u16string TempDirectoryFor(const char* variable) {
    if (variable == nullptr) {
      unsetenv("TMPDIR");
    } else {
      setenv("TMPDIR", variable, 1);
    }
    FsPath path(u"unchanged");
    return GetTempDirectory(path) ? path.value() : u"<false>";
  }

 private:
  std::optional<std::string> saved_;
};

TEST_F(TempDirectoryTest, FromTheEnvironmentOrTheDefault) {
  EXPECT_EQ(TempDirectoryFor(nullptr), u"/tmp");
  EXPECT_EQ(TempDirectoryFor("/var/tmp/user//"), u"/var/tmp/user");
  EXPECT_EQ(TempDirectoryFor("/"), u"/");
  EXPECT_EQ(TempDirectoryFor("relative/dir"), u"/tmp");
  EXPECT_EQ(TempDirectoryFor(""), u"/tmp");
  EXPECT_EQ(TempDirectoryFor("/bad\xff"), u"/tmp");

  const std::string longest = "/" + std::string(kMaxPathChars - 2, 't');
  EXPECT_EQ(TempDirectoryFor(longest.c_str()).size(), kMaxPathChars - 1);
  EXPECT_EQ(TempDirectoryFor((longest + "/").c_str()), u"<false>");
}

TEST(OsVersionTest, Classification) {
  EXPECT_EQ(ClassifyOsVersion(0, 0, 0), kOsPreXp);
  EXPECT_EQ(ClassifyOsVersion(5, 0, 2195), kOsPreXp);
  EXPECT_EQ(ClassifyOsVersion(5, 1, 2600), kOsXp);
  EXPECT_EQ(ClassifyOsVersion(5, 2, 3790), kOsServer2003);
  EXPECT_EQ(ClassifyOsVersion(5, 7, 0), kOsServer2003);
  EXPECT_EQ(ClassifyOsVersion(6, 0, 6000), kOsVista);
  EXPECT_EQ(ClassifyOsVersion(6, 1, 7601), kOsWin7);
  EXPECT_EQ(ClassifyOsVersion(6, 2, 9200), kOsWin8);
  EXPECT_EQ(ClassifyOsVersion(6, 3, 9600), kOsWin81);
  EXPECT_EQ(ClassifyOsVersion(6, 4, 0), kOsWin81);
  EXPECT_EQ(ClassifyOsVersion(10, 0, 10240), kOsWin10);
  EXPECT_EQ(ClassifyOsVersion(10, 0, 10586), kOsWin10Build10586);
  EXPECT_EQ(ClassifyOsVersion(10, 0, 14393), kOsWin10Build10586);
  EXPECT_EQ(ClassifyOsVersion(7, 0, 0), kOsLater);
  EXPECT_EQ(ClassifyOsVersion(11, 0, 0), kOsLater);
  EXPECT_EQ(GetOsVersionClass(), kOsLater);
  EXPECT_EQ(GetOsVersionClass(), kOsLater);
}

}  // namespace
}  // namespace updater
