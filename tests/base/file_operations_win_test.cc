#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "base/directory_walker.h"
#include "base/file_operations.h"
#include "base/last_error_platform.h"
#include "tests/base/win_temp_tree.h"

namespace updater {
namespace {

// A junction at `link` to `target`, made the way the system's own tools make
// one; false when the file system cannot hold one.
bool MakeJunction(const std::wstring& link, const std::wstring& target) {
  if (!CreateDirectoryW(link.c_str(), nullptr)) return false;
  const HANDLE handle =
      CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  const std::wstring substitute = L"\\??\\" + target;
  // Tag, data length, reserved; then the mount point's offsets and names.
  std::wstring data(8, L'\0');
  data += substitute + L'\0' + target + L'\0';
  const WORD name_bytes = static_cast<WORD>(substitute.size() * 2);
  const WORD words[] = {0, name_bytes, static_cast<WORD>(name_bytes + 2),
                        static_cast<WORD>(target.size() * 2)};
  const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
  const WORD length = static_cast<WORD>(data.size() * 2 - 8);
  memcpy(data.data(), &tag, 4);
  memcpy(reinterpret_cast<char*>(data.data()) + 4, &length, 2);
  memcpy(reinterpret_cast<char*>(data.data()) + 8, words, sizeof(words));
  DWORD unused = 0;
  const bool made =
      DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, data.data(),
                      static_cast<DWORD>(data.size() * 2), nullptr, 0, &unused, nullptr);
  CloseHandle(handle);
  if (!made) RemoveDirectoryW(link.c_str());
  return made;
}

TEST(FileWinTest, ReadOnlyAndLockedFiles) {
  WinTempTree tree;
  ASSERT_TRUE(tree.ok());
  tree.Write(L"ro", "x");
  tree.Write(L"t\\sub\\ro", "x");
  ASSERT_TRUE(SetFileAttributesW(tree.Native(L"ro").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(SetFileAttributesW(tree.Native(L"t\\sub\\ro").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(DeletePath(tree.Path(L"ro"), false));
  EXPECT_FALSE(tree.Exists(L"ro"));
  EXPECT_FALSE(DeletePath(tree.Path(L"t"), false));
  EXPECT_TRUE(DeletePath(tree.Path(L"t"), true));
  EXPECT_FALSE(tree.Exists(L"t"));

  // A file open without delete sharing cannot go, neither alone nor in a tree.
  tree.Write(L"d\\locked", "x");
  const HANDLE locked = CreateFileW(tree.Native(L"d\\locked").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(DeletePath(tree.Path(L"d\\locked"), false));
  EXPECT_FALSE(DeletePath(tree.Path(L"d"), true));
  EXPECT_TRUE(tree.Exists(L"d\\locked"));
  CloseHandle(locked);
  EXPECT_TRUE(DeletePath(tree.Path(L"d"), true));
  EXPECT_TRUE(DeletePath(tree.Path(L"missing"), true));
}

TEST(FileWinTest, MovesAndCopies) {
  WinTempTree tree;
  ASSERT_TRUE(tree.ok());
  tree.Write(L"file", "new");
  tree.Write(L"old", "old");
  tree.Write(L"dir\\keep", "keep");
  // The system refuses to rename onto a directory, and says why.
  EXPECT_FALSE(MovePath(tree.Path(L"file"), tree.Path(L"dir")));
  EXPECT_EQ(platform::LastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(tree.Read(L"dir\\keep"), "keep");
  EXPECT_TRUE(MovePath(tree.Path(L"file"), tree.Path(L"old")));
  EXPECT_EQ(tree.Read(L"old"), "new");
  EXPECT_FALSE(tree.Exists(L"file"));
  // A directory onto an existing one goes inside it, by copy and delete.
  tree.Write(L"A\\sub\\f", "f");
  EXPECT_TRUE(MovePath(tree.Path(L"A"), tree.Path(L"dir")));
  EXPECT_EQ(tree.Read(L"dir\\A\\sub\\f"), "f");
  EXPECT_FALSE(tree.Exists(L"A"));

  // A read-only source gives a writable copy, replacing what was there.
  ASSERT_TRUE(SetFileAttributesW(tree.Native(L"old").c_str(), FILE_ATTRIBUTE_READONLY));
  tree.Write(L"copy", "stale");
  EXPECT_TRUE(CopyOneFile(tree.Path(L"old"), tree.Path(L"copy")));
  EXPECT_EQ(tree.Read(L"copy"), "new");
  EXPECT_EQ(GetFileAttributesW(tree.Native(L"copy").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_FALSE(CopyOneFile(tree.Path(L"dir"), tree.Path(L"copy2")));
  EXPECT_TRUE(CopyTree(tree.Path(L"dir"), tree.Path(L"dir2")));
  EXPECT_EQ(tree.Read(L"dir2\\A\\sub\\f"), "f");
}

// The system's matching also reads short names; only the pattern's own
// matches go.
TEST(FileWinTest, WildcardDeleteMatchesLongNamesOnly) {
  WinTempTree tree;
  ASSERT_TRUE(tree.ok());
  tree.Write(L"a.tmp", "");
  tree.Write(L"long name.tmpx", "");
  tree.Write(L"d.tmp\\inner", "");
  EXPECT_TRUE(DeletePath(tree.Path(L"*.tmp"), false));
  EXPECT_FALSE(tree.Exists(L"a.tmp"));
  EXPECT_TRUE(tree.Exists(L"long name.tmpx"));
  EXPECT_TRUE(tree.Exists(L"d.tmp\\inner"));
}

TEST(FileWinTest, JunctionsAreReportedNeverEntered) {
  WinTempTree tree;
  ASSERT_TRUE(tree.ok());
  tree.Write(L"outside\\secret", "s");
  tree.Write(L"root\\file", "f");
  if (!MakeJunction(tree.Native(L"root\\j"), tree.Native(L"outside"))) {
    GTEST_SKIP() << "no junctions here (wine 8 does not implement FSCTL_SET_REPARSE_POINT)";
  }
  DirectoryWalker walker(tree.Path(L"root"), true, kWalkFiles | kWalkDirectories);
  std::set<std::u16string> found;
  for (FsPath path = walker.Next(); !path.empty(); path = walker.Next()) {
    found.insert(path.value().substr(tree.Path(L"root").size() + 1));
    if (path == tree.Path(L"root\\j")) {
      EXPECT_TRUE(walker.Entry().IsReparsePoint());
    }
  }
  EXPECT_EQ(found, (std::set<std::u16string>{u"file", u"j"}));
  EXPECT_TRUE(DeletePath(tree.Path(L"root"), true));
  EXPECT_EQ(tree.Read(L"outside\\secret"), "s");
}

TEST(FileWinTest, MakeAbsolutePathResolvesAgainstTheCurrentDirectory) {
  wchar_t current[MAX_PATH];
  ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, current), 0u);
  std::u16string expected(current, current + wcslen(current));
  if (expected.back() != u'\\') expected += u'\\';
  EXPECT_EQ(MakeAbsolutePath(FsPath(u"x\\..\\y")).value(), expected + u"y");
  EXPECT_EQ(MakeAbsolutePath(FsPath(u"C:\\a\\.\\b\\..\\c")).value(), u"C:\\a\\c");
}

}  // namespace
}  // namespace updater
