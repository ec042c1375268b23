#include "base/known_paths.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "base/at_exit.h"
#include "base/known_path_cache.h"
#include "base/os_version.h"
#include "base/path_arithmetic.h"
#include "base/process_facts_platform.h"
#include "base/string_util.h"

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
  EXPECT_EQ(file.value(), platform::ReadExecutablePath().value());
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

// A sticky directory that others can write is used through the user's own
// private directory inside it; one that is the user's alone is used as it
// is; any other, or one below a directory that someone else can rename
// entries of, is refused.
TEST_F(TempDirectoryTest, FromTheEnvironmentOrTheDefaultAndAlwaysPrivate) {
  const std::string own_name = "/rivazeriduv_updater-" + std::to_string(geteuid());
  const std::u16string own_in_tmp = UTF8ToUTF16("/tmp" + own_name);
  EXPECT_EQ(TempDirectoryFor(nullptr), own_in_tmp);
  EXPECT_EQ(TempDirectoryFor("relative/dir"), own_in_tmp);
  EXPECT_EQ(TempDirectoryFor(""), own_in_tmp);
  EXPECT_EQ(TempDirectoryFor("/bad\xff"), own_in_tmp);
  struct stat status;
  ASSERT_EQ(lstat(("/tmp" + own_name).c_str(), &status), 0);
  EXPECT_EQ(status.st_mode, S_IFDIR | 0700u);

  std::string scratch = "/tmp/known_paths_test.XXXXXX";
  ASSERT_NE(mkdtemp(scratch.data()), nullptr);
  EXPECT_EQ(TempDirectoryFor((scratch + "//").c_str()), UTF8ToUTF16(scratch));
  EXPECT_EQ(TempDirectoryFor((scratch + "/missing").c_str()), u"<false>");
  ASSERT_EQ(symlink(scratch.c_str(), (scratch + ".link").c_str()), 0);
  EXPECT_EQ(TempDirectoryFor((scratch + ".link").c_str()), UTF8ToUTF16(scratch));
  ASSERT_EQ(unlink((scratch + ".link").c_str()), 0);
  // Writable by a group, and not sticky: anyone in it could rename the
  // private directory away.
  ASSERT_EQ(chmod(scratch.c_str(), 02770), 0);
  EXPECT_EQ(TempDirectoryFor(scratch.c_str()), u"<false>");
  ASSERT_EQ(chmod(scratch.c_str(), 01777), 0);
  EXPECT_EQ(TempDirectoryFor(scratch.c_str()), UTF8ToUTF16(scratch + own_name));
  // A private directory whose mode was loosened is made private again.
  ASSERT_EQ(chmod((scratch + own_name).c_str(), 0755), 0);
  EXPECT_EQ(TempDirectoryFor(scratch.c_str()), UTF8ToUTF16(scratch + own_name));
  ASSERT_EQ(lstat((scratch + own_name).c_str(), &status), 0);
  EXPECT_EQ(status.st_mode, S_IFDIR | 0700u);

  // The private directory's name taken by a link, or by another user: a
  // private directory with a random name, the same one on every run.
  ASSERT_EQ(rmdir((scratch + own_name).c_str()), 0);
  ASSERT_EQ(symlink(scratch.c_str(), (scratch + own_name).c_str()), 0);
  const std::u16string random = TempDirectoryFor(scratch.c_str());
  EXPECT_EQ(random.size(), scratch.size() + own_name.size() + 17);
  EXPECT_TRUE(random.starts_with(UTF8ToUTF16(scratch + own_name + ".")));
  ASSERT_EQ(lstat(UTF16ToUTF8(random).c_str(), &status), 0);
  EXPECT_EQ(status.st_mode, S_IFDIR | 0700u);
  ASSERT_EQ(unlink((scratch + own_name).c_str()), 0);
  if (geteuid() == 0) {
    ASSERT_EQ(mkdir((scratch + own_name).c_str(), 0700), 0);
    ASSERT_EQ(chown((scratch + own_name).c_str(), 65534, 65534), 0);
    EXPECT_EQ(TempDirectoryFor(scratch.c_str()), random);
    // Another user's random-looking directory is never taken for ours.
    ASSERT_EQ(chown(UTF16ToUTF8(random).c_str(), 65534, 65534), 0);
    const std::u16string fresh = TempDirectoryFor(scratch.c_str());
    EXPECT_NE(fresh, random);
    EXPECT_TRUE(fresh.starts_with(UTF8ToUTF16(scratch + own_name + ".")));
    ASSERT_EQ(rmdir((scratch + own_name).c_str()), 0);

    // Below a directory of another user, or one that others can write.
    for (const char* parent : {"/theirs", "/open"}) {
      ASSERT_EQ(mkdir((scratch + parent).c_str(), 0755), 0);
      ASSERT_EQ(mkdir((scratch + parent + "/mine").c_str(), 0700), 0);
    }
    ASSERT_EQ(chown((scratch + "/theirs").c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod((scratch + "/open").c_str(), 0777), 0);
    EXPECT_EQ(TempDirectoryFor((scratch + "/theirs/mine").c_str()), u"<false>");
    EXPECT_EQ(TempDirectoryFor((scratch + "/open/mine").c_str()), u"<false>");
    ASSERT_EQ(chmod((scratch + "/open").c_str(), 01777), 0);
    EXPECT_EQ(TempDirectoryFor((scratch + "/open/mine").c_str()),
              UTF8ToUTF16(scratch + "/open/mine"));
  }

  // The longest path that can be had, and one character more.
  ASSERT_EQ(chmod(scratch.c_str(), 0700), 0);
  const std::string longest = scratch + "/" + std::string(kMaxPathChars - 2 - scratch.size(), 't');
  ASSERT_EQ(mkdir(longest.c_str(), 0700), 0);
  ASSERT_EQ(mkdir((longest + "u").c_str(), 0700), 0);
  EXPECT_EQ(TempDirectoryFor(longest.c_str()).size(), kMaxPathChars - 1);
  EXPECT_EQ(TempDirectoryFor((longest + "u").c_str()), u"<false>");
  std::filesystem::remove_all(scratch);
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
