#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/at_exit.h"
#include "base/known_paths.h"
#include "base/os_version.h"
#include "base/path_arithmetic.h"

namespace updater {
namespace {

TEST(KnownPathsWinTest, ExecutableAndItsDirectory) {
  AtExitManager at_exit;
  FsPath file;
  FsPath directory;
  ASSERT_TRUE(GetKnownPath(kExeFile, file));
  ASSERT_TRUE(GetKnownPath(kExeDirectory, directory));
  EXPECT_TRUE(HasDriveLetter(file.value(), kWindowsPathRules));
  EXPECT_EQ(LastComponent(file), u"base_tests.exe");
  EXPECT_EQ(directory, ParentDir(file));
  EXPECT_NE(GetFileAttributesW(std::wstring(file.value().begin(), file.value().end()).c_str()),
            INVALID_FILE_ATTRIBUTES);
}

// TMP is the first place the system looks.
TEST(KnownPathsWinTest, TempDirectoryIsTheUsersAndNeverCutShort) {
  FsPath temp;
  ASSERT_TRUE(GetTempDirectory(temp));
  EXPECT_NE(temp.value().back(), u'\\');
  wchar_t saved[MAX_PATH + 1];
  ASSERT_NE(GetEnvironmentVariableW(L"TMP", saved, MAX_PATH + 1), 0u);
  const std::wstring overlong = L"C:\\" + std::wstring(kMaxPathChars, L'a');
  SetEnvironmentVariableW(L"TMP", overlong.c_str());
  FsPath unchanged = temp;
  EXPECT_FALSE(GetTempDirectory(unchanged));
  SetEnvironmentVariableW(L"TMP", L"C:\\no such directory");
  EXPECT_FALSE(GetTempDirectory(unchanged));
  EXPECT_EQ(unchanged, temp);
  SetEnvironmentVariableW(L"TMP", L"C:\\");
  EXPECT_TRUE(GetTempDirectory(unchanged));
  EXPECT_EQ(unchanged.value(), u"C:\\");
  SetEnvironmentVariableW(L"TMP", saved);
}

// The directory search asks for the faster mode from Windows 7 on.
TEST(KnownPathsWinTest, OsVersionClassOfThisSystem) {
  EXPECT_GE(GetOsVersionClass(), kOsWin7);
}

}  // namespace
}  // namespace updater
