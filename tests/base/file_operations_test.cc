#include "base/file_operations.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "base/path_arithmetic.h"
#include "base/string_util.h"
#include "tests/base/temp_tree.h"
#include "tests/support/other_user_process.h"

namespace updater {
namespace {

constexpr size_t kLongestPath = kMaxPathChars - 1;

// Creates a file whose full path has exactly `length` characters.
std::string FileWithPathLength(const TempTree& tree, size_t length, const std::string& tag) {
  const std::string directory = tag + std::string(100, 'd');
  tree.MakeDir(directory);
  const std::string prefix = tree.Native(directory) + "/";
  const std::string native = prefix + std::string(length - prefix.size(), 'f');
  tree.Write(directory + "/" + native.substr(prefix.size()), "x");
  return native;
}

FsPath Wide(const std::string& native) {
  return FsPath(UTF8ToUTF16(native));
}

using test_support::kOtherUser;
using test_support::OtherUserProcess;

// Gives `relative` and everything below it to kOtherUser (links themselves).
void GiveToOtherUser(const TempTree& tree, const std::string& relative) {
  EXPECT_EQ(lchown(tree.Native(relative).c_str(), kOtherUser, kOtherUser), 0);
  std::error_code error;
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(tree.Native(relative), error)) {
    EXPECT_EQ(lchown(entry.path().c_str(), kOtherUser, kOtherUser), 0);
  }
}

TEST(FileOperationsTest, PathLengthLimitOnEveryOperation) {
  TempTree tree;
  ASSERT_TRUE(tree.ok());
  const std::string longest = FileWithPathLength(tree, kLongestPath, "a");
  const std::string too_long = FileWithPathLength(tree, kMaxPathChars, "b");

  EXPECT_TRUE(PathExists(Wide(longest)));
  EXPECT_FALSE(PathExists(Wide(too_long)));
  EXPECT_FALSE(IsDirectory(Wide(longest)));
  EXPECT_TRUE(IsDirectory(Wide(longest.substr(0, longest.rfind('/')))));
  EXPECT_EQ(MakeAbsolutePath(Wide(longest)).size(), kLongestPath);
  EXPECT_TRUE(MakeAbsolutePath(Wide(too_long)).empty());

  const std::string copy_longest = longest.substr(0, longest.size() - 1) + "c";
  EXPECT_TRUE(CopyOneFile(Wide(longest), Wide(copy_longest)));
  EXPECT_FALSE(CopyOneFile(Wide(too_long), Wide(tree.Native("short"))));
  EXPECT_FALSE(CopyOneFile(Wide(longest), Wide(too_long)));
  EXPECT_FALSE(CopyTree(Wide(too_long), Wide(tree.Native("short"))));
  EXPECT_FALSE(Exists(tree.Native("short")));

  const std::string moved = longest.substr(0, longest.size() - 1) + "m";
  EXPECT_TRUE(MovePath(Wide(copy_longest), Wide(moved)));
  EXPECT_FALSE(MovePath(Wide(too_long), Wide(tree.Native("short"))));
  EXPECT_FALSE(MovePath(Wide(moved), Wide(too_long)));
  EXPECT_TRUE(Exists(moved));

  EXPECT_FALSE(DeletePath(Wide(too_long), false));
  EXPECT_TRUE(Exists(too_long));
  EXPECT_TRUE(DeletePath(Wide(moved), false));
  EXPECT_FALSE(Exists(moved));
  EXPECT_TRUE(DeletePath(Wide(longest), false));
  EXPECT_FALSE(Exists(longest));
  // An entry whose path would be too long stops a wildcard delete.
  const std::string too_long_dir = too_long.substr(0, too_long.rfind('/'));
  EXPECT_FALSE(DeleteMatching(Wide(too_long_dir), u"*", false));
  EXPECT_TRUE(Exists(too_long));
}

TEST(FileOperationsTest, DeleteBasics) {
  TempTree tree;
  ASSERT_TRUE(tree.ok());
  EXPECT_TRUE(DeletePath(FsPath(), true));
  EXPECT_TRUE(DeletePath(tree.Path("missing"), false));
  tree.Write("full/file", "x");
  EXPECT_FALSE(DeletePath(tree.Path("full"), false));
  EXPECT_TRUE(Exists(tree.Native("full/file")));
  tree.MakeDir("empty");
  EXPECT_TRUE(DeletePath(tree.Path("empty/"), false));
  EXPECT_FALSE(Exists(tree.Native("empty")));
  // A trailing separator names a directory, never a file.
  EXPECT_FALSE(PathExists(tree.Path("full/file/")));
}

TEST(FileOperationsTest, RecursiveDeleteStaysInsideItsTree) {
  TempTree tree;
  ASSERT_TRUE(tree.ok());
  tree.Write("outside/keep", "precious");
  chmod(tree.Native("outside/keep").c_str(), 0444);
  chmod(tree.Native("outside").c_str(), 0555);

  tree.Write("victim/a/ro_file", "1");
  tree.Write("victim/a/b/deep", "2");
  chmod(tree.Native("victim/a/ro_file").c_str(), 0444);
  chmod(tree.Native("victim/a/b").c_str(), 0555);
  chmod(tree.Native("victim/a").c_str(), 0555);
  ASSERT_EQ(symlink(tree.Native("outside").c_str(), tree.Native("victim/dir_link").c_str()), 0);
  ASSERT_EQ(symlink(tree.Native("outside/keep").c_str(), tree.Native("victim/file_link").c_str()),
            0);
  chmod(tree.Native("victim").c_str(), 0555);

  EXPECT_TRUE(DeletePath(tree.Path("victim"), true));
  EXPECT_FALSE(Exists(tree.Native("victim")));
  EXPECT_EQ(ReadContents(tree.Native("outside/keep")), "precious");
  EXPECT_EQ(ModeOf(tree.Native("outside/keep")), 0444u);
  EXPECT_EQ(ModeOf(tree.Native("outside")), 0555u);

  // The link itself, named with or without a trailing separator, goes alone.
  chmod(tree.Native("outside").c_str(), 0755);
  ASSERT_EQ(symlink(tree.Native("outside").c_str(), tree.Native("link").c_str()), 0);
  EXPECT_TRUE(IsDirectory(tree.Path("link")));
  EXPECT_TRUE(DeletePath(tree.Path("link/"), true));
  EXPECT_FALSE(Exists(tree.Native("link")));
  EXPECT_EQ(ReadContents(tree.Native("outside/keep")), "precious");
}

// Another user swaps a subdirectory and a read-only file of a tree in a
// directory of theirs for links to root's files, as fast as one exchange per
// call, while root deletes the tree: only the links go, never their targets.
TEST(FileOperationsTest, DeleteIgnoresLinksSwappedInByAnotherUser) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to race another user";
  constexpr int kRounds = 1000;
  TempTree tree;
  ASSERT_TRUE(tree.ok());
  chmod(tree.root().c_str(), 0755);
  tree.Write("secret_dir/file", "secret");
  chmod(tree.Native("secret_dir").c_str(), 0700);
  tree.Write("secret_file", "secret");
  chmod(tree.Native("secret_file").c_str(), 0600);
  tree.MakeDir("arena");
  GiveToOtherUser(tree, "arena");
  chmod(tree.Native("arena").c_str(), 0777);
  tree.MakeDir("stage");
  chmod(tree.Native("stage").c_str(), 0700);

  const std::string arena = tree.Native("arena");
  OtherUserProcess swapper([&arena] {
    if (chdir(arena.c_str()) != 0) return 1;
    for (;;) {
      renameat2(AT_FDCWD, "victim/sub", AT_FDCWD, "victim/sub_link", RENAME_EXCHANGE);
      renameat2(AT_FDCWD, "victim/ro", AT_FDCWD, "victim/ro_link", RENAME_EXCHANGE);
    }
  });
  if (!swapper.started()) GTEST_SKIP() << "cannot run a process as uid " << kOtherUser;

  for (int round = 0; round < kRounds; ++round) {
    tree.Write("stage/victim/sub/file", "");
    tree.Write("stage/victim/ro", "");
    chmod(tree.Native("stage/victim/ro").c_str(), 0444);
    ASSERT_EQ(
        symlink(tree.Native("secret_dir").c_str(), tree.Native("stage/victim/sub_link").c_str()),
        0);
    ASSERT_EQ(
        symlink(tree.Native("secret_file").c_str(), tree.Native("stage/victim/ro_link").c_str()),
        0);
    GiveToOtherUser(tree, "stage/victim");
    // What the other user kept from the last round moves out of the way.
    rename(tree.Native("arena/victim").c_str(),
           tree.Native("arena/left" + std::to_string(round)).c_str());
    ASSERT_EQ(rename(tree.Native("stage/victim").c_str(), tree.Native("arena/victim").c_str()), 0);

    // Recursive rounds race the descent, wildcard rounds the read-only file.
    if (round % 2 == 0) {
      DeletePath(tree.Path("arena/victim"), true);
    } else {
      DeletePath(tree.Path("arena/victim/*"), false);
    }
    ASSERT_EQ(ReadContents(tree.Native("secret_dir/file")), "secret") << "round " << round;
    ASSERT_EQ(ModeOf(tree.Native("secret_dir")), 0700u) << "round " << round;
    ASSERT_EQ(ReadContents(tree.Native("secret_file")), "secret") << "round " << round;
    ASSERT_EQ(ModeOf(tree.Native("secret_file")), 0600u) << "round " << round;
  }
}

// Run as the owner, whom the permission bits bind, unlike root.
TEST(FileOperationsTest, OwnerDeletesReadOnlyTree) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run as another user";
  TempTree tree;
  ASSERT_TRUE(tree.ok());
  chmod(tree.root().c_str(), 0755);
  tree.Write("home/tree/top", "1");
  tree.Write("home/tree/a/b/deep", "2");
  for (const char* file : {"home/tree/top", "home/tree/a/b/deep"}) {
    chmod(tree.Native(file).c_str(), 0444);
  }
  for (const char* directory : {"home/tree/a/b", "home/tree/a", "home/tree"}) {
    chmod(tree.Native(directory).c_str(), 0555);
  }
  GiveToOtherUser(tree, "home");

  const FsPath path = tree.Path("home/tree");
  OtherUserProcess owner([&path] { return DeletePath(path, true) ? 0 : 1; });
  if (!owner.started()) GTEST_SKIP() << "cannot run a process as uid " << kOtherUser;
  EXPECT_EQ(owner.Wait(), 0);
  EXPECT_FALSE(Exists(tree.Native("home/tree")));
}

TEST(FileOperationsTest, WildcardDeleteLeavesMatchingDirectories) {
  TempTree tree;
  ASSERT_TRUE(tree.ok());
  tree.Write("t/a.tmp", "");
  tree.Write("t/b.tmp", "");
  tree.Write("t/c.txt", "");
  tree.Write("t/sub.tmp/x.tmp", "");
  tree.Write("t/other/y.tmp", "");
  chmod(tree.Native("t/b.tmp").c_str(), 0444);

  EXPECT_TRUE(DeletePath(tree.Path("t/*.tmp"), false));
  EXPECT_FALSE(Exists(tree.Native("t/a.tmp")));
  EXPECT_FALSE(Exists(tree.Native("t/b.tmp")));
  EXPECT_TRUE(Exists(tree.Native("t/c.txt")));
  EXPECT_TRUE(Exists(tree.Native("t/sub.tmp/x.tmp")));
  EXPECT_TRUE(Exists(tree.Native("t/other/y.tmp")));

  // Recursive: a matching directory loses its matching entries, then itself.
  EXPECT_TRUE(DeletePath(tree.Path("t/*.tmp"), true));
  EXPECT_FALSE(Exists(tree.Native("t/sub.tmp")));
  EXPECT_TRUE(Exists(tree.Native("t/other/y.tmp")));
  EXPECT_TRUE(Exists(tree.Native("t/c.txt")));
  // ... and stays, with what does not match, when that is not all.
  tree.Write("t/mixed.tmp/note.txt", "");
  EXPECT_FALSE(DeletePath(tree.Path("t/*.tmp"), true));
  EXPECT_TRUE(Exists(tree.Native("t/mixed.tmp/note.txt")));
}

TEST(FileOperationsTest, CopyOneFile) {
  TempTree tree;
  ASSERT_TRUE(tree.ok());
  tree.Write("src", "new contents");
  chmod(tree.Native("src").c_str(), 0444);
  tree.Write("dst", "old");
  EXPECT_TRUE(CopyOneFile(tree.Path("src"), tree.Path("dst")));
  EXPECT_EQ(ReadContents(tree.Native("dst")), "new contents");
  EXPECT_EQ(ModeOf(tree.Native("dst")), 0644u);  // copied, then made writable

  // A link at the target is replaced; what it pointed to is not written.
  tree.Write("elsewhere", "untouched");
  ASSERT_EQ(symlink(tree.Native("elsewhere").c_str(), tree.Native("link").c_str()), 0);
  EXPECT_TRUE(CopyOneFile(tree.Path("src"), tree.Path("link")));
  EXPECT_EQ(ReadContents(tree.Native("elsewhere")), "untouched");
  EXPECT_EQ(ReadContents(tree.Native("link")), "new contents");

  EXPECT_FALSE(CopyOneFile(tree.Path("x/../src"), tree.Path("dst2")));
  EXPECT_FALSE(CopyOneFile(tree.Path("src"), tree.Path("x/../dst2")));
  tree.MakeDir("dir");
  EXPECT_FALSE(CopyOneFile(tree.Path("dir"), tree.Path("dst3")));
  EXPECT_FALSE(CopyOneFile(tree.Path("missing"), tree.Path("dst3")));
  EXPECT_FALSE(Exists(tree.Native("dst2")));
  EXPECT_FALSE(Exists(tree.Native("dst3")));
  ASSERT_EQ(mkfifo(tree.Native("fifo").c_str(), 0644), 0);
  EXPECT_FALSE(CopyOneFile(tree.Path("fifo"), tree.Path("dst3")));  // refused, not waited on
  ASSERT_EQ(symlink(tree.Native("src").c_str(), tree.Native("src_link").c_str()), 0);
  EXPECT_FALSE(CopyOneFile(tree.Path("src_link"), tree.Path("dst3")));  // refused, not followed
  EXPECT_FALSE(Exists(tree.Native("dst3")));
}

// The previous browser is kept this way while a new one is swapped in: a
// second name, replacing a file or link (not written through), else a copy.
TEST(FileOperationsTest, LinkOrCopyFile) {
  TempTree tree;
  TempTree memory("/dev/shm");
  ASSERT_TRUE(tree.ok() && memory.ok());
  tree.Write("exe", "browser");
  chmod(tree.Native("exe").c_str(), 0555);
  tree.Write("elsewhere", "untouched");
  ASSERT_EQ(symlink(tree.Native("elsewhere").c_str(), tree.Native("old").c_str()), 0);
  EXPECT_TRUE(LinkOrCopyFile(tree.Path("exe"), tree.Path("old")));
  struct stat exe, old;
  ASSERT_TRUE(stat(tree.Native("exe").c_str(), &exe) == 0 &&
              lstat(tree.Native("old").c_str(), &old) == 0);
  EXPECT_EQ(old.st_ino, exe.st_ino);
  EXPECT_EQ(ReadContents(tree.Native("elsewhere")), "untouched");
  tree.MakeDir("dir");
  EXPECT_FALSE(LinkOrCopyFile(tree.Path("exe"), tree.Path("dir")));
  EXPECT_TRUE(LinkOrCopyFile(tree.Path("exe"), memory.Path("old")));
  EXPECT_EQ(ReadContents(memory.Native("old")), "browser");
  EXPECT_EQ(ModeOf(memory.Native("old")), 0555u);
}

TEST(FileOperationsTest, CopyTreeRefusalsAndPlacement) {
  TempTree tree;
  ASSERT_TRUE(tree.ok());
  tree.Write("X/f", "1");
  tree.Write("X/sub/g", "2");

  EXPECT_FALSE(CopyTree(tree.Path("X"), tree.Path("X/y")));
  EXPECT_FALSE(Exists(tree.Native("X/y")));
  tree.MakeDir("X_old");
  EXPECT_FALSE(CopyTree(tree.Path("X"), tree.Path("X_old")));
  EXPECT_FALSE(Exists(tree.Native("X_old/X")));
  EXPECT_FALSE(CopyTree(tree.Path("missing"), tree.Path("Y")));

  ASSERT_TRUE(DeletePath(tree.Path("X_old"), false));
  EXPECT_TRUE(CopyTree(tree.Path("X"), tree.Path("X_old")));
  EXPECT_EQ(ReadContents(tree.Native("X_old/f")), "1");
  EXPECT_EQ(ReadContents(tree.Native("X_old/sub/g")), "2");

  // Onto an existing directory: the top directory goes inside it.
  tree.MakeDir("dest");
  EXPECT_TRUE(CopyTree(tree.Path("X"), tree.Path("dest")));
  EXPECT_EQ(ReadContents(tree.Native("dest/X/sub/g")), "2");
  EXPECT_TRUE(CopyTree(tree.Path("X/f"), tree.Path("dest")));
  EXPECT_EQ(ReadContents(tree.Native("dest/f")), "1");
}

TEST(FileOperationsTest, MovePath) {
  TempTree tree;
  ASSERT_TRUE(tree.ok());
  tree.Write("file", "new");
  tree.Write("target", "old");
  EXPECT_TRUE(MovePath(tree.Path("file"), tree.Path("target")));
  EXPECT_EQ(ReadContents(tree.Native("target")), "new");
  EXPECT_FALSE(Exists(tree.Native("file")));

  tree.Write("a/keep", "k");
  EXPECT_FALSE(MovePath(tree.Path("a/../a"), tree.Path("b")));
  EXPECT_FALSE(MovePath(tree.Path("a"), tree.Path("x/../b")));
  EXPECT_TRUE(Exists(tree.Native("a/keep")));

  errno = 0;
  EXPECT_FALSE(MovePath(tree.Path("missing"), tree.Path("b")));
  EXPECT_EQ(errno, ENOENT);

  // A directory never replaces an empty one: it goes inside it instead.
  tree.MakeDir("empty");
  EXPECT_TRUE(MovePath(tree.Path("a"), tree.Path("empty")));
  EXPECT_EQ(ReadContents(tree.Native("empty/a/keep")), "k");
  EXPECT_FALSE(Exists(tree.Native("a")));

  // Onto a directory that already holds one of the same name: merged.
  tree.Write("A/f1", "1");
  tree.Write("A/sub/f2", "2");
  tree.Write("B/A/f0", "0");
  tree.Write("B/A/f1", "stale");
  // Links are moved as links, whatever they name.
  tree.MakeDir("elsewhere");
  ASSERT_EQ(symlink(tree.Native("elsewhere").c_str(), tree.Native("A/dir_link").c_str()), 0);
  ASSERT_EQ(symlink("f1", tree.Native("A/sub/file_link").c_str()), 0);
  ASSERT_EQ(symlink("missing", tree.Native("A/dangling").c_str()), 0);
  EXPECT_TRUE(MovePath(tree.Path("A"), tree.Path("B")));
  EXPECT_EQ(ReadContents(tree.Native("B/A/f0")), "0");
  EXPECT_EQ(ReadContents(tree.Native("B/A/f1")), "1");
  EXPECT_EQ(ReadContents(tree.Native("B/A/sub/f2")), "2");
  EXPECT_EQ(LinkTarget(tree.Native("B/A/dir_link")), tree.Native("elsewhere"));
  EXPECT_EQ(LinkTarget(tree.Native("B/A/sub/file_link")), "f1");
  EXPECT_EQ(LinkTarget(tree.Native("B/A/dangling")), "missing");
  EXPECT_FALSE(Exists(tree.Native("A")));
  EXPECT_TRUE(Exists(tree.Native("elsewhere")));

  // A directory onto a file is refused and both stay.
  tree.Write("D/f", "d");
  EXPECT_FALSE(MovePath(tree.Path("D"), tree.Path("target")));
  EXPECT_EQ(ReadContents(tree.Native("D/f")), "d");
  EXPECT_EQ(ReadContents(tree.Native("target")), "new");
}

TEST(FileOperationsTest, MoveAcrossFileSystems) {
  TempTree disk;
  ASSERT_TRUE(disk.ok());
  struct stat shm_status;
  struct stat disk_status;
  if (stat("/dev/shm", &shm_status) != 0) GTEST_SKIP() << "no /dev/shm";
  ASSERT_EQ(stat(disk.root().c_str(), &disk_status), 0);
  ASSERT_NE(shm_status.st_dev, disk_status.st_dev);
  TempTree memory("/dev/shm");
  ASSERT_TRUE(memory.ok());

  disk.Write("tree/a", "1");
  disk.Write("tree/sub/b", "2");
  chmod(disk.Native("tree/sub/b").c_str(), 0444);
  EXPECT_TRUE(MovePath(disk.Path("tree"), memory.Path("moved")));
  EXPECT_EQ(ReadContents(memory.Native("moved/a")), "1");
  EXPECT_EQ(ReadContents(memory.Native("moved/sub/b")), "2");
  EXPECT_FALSE(Exists(disk.Native("tree")));

  disk.Write("file", "f");
  EXPECT_TRUE(MovePath(disk.Path("file"), memory.Path("file")));
  EXPECT_EQ(ReadContents(memory.Native("file")), "f");
  EXPECT_FALSE(Exists(disk.Native("file")));
  ASSERT_EQ(symlink("file", disk.Native("link").c_str()), 0);
  EXPECT_TRUE(MovePath(disk.Path("link"), memory.Path("link")));
  EXPECT_EQ(LinkTarget(memory.Native("link")), "file");
  EXPECT_FALSE(Exists(disk.Native("link")));

  // Back onto an existing directory on the disk: inside it.
  disk.MakeDir("home");
  EXPECT_TRUE(MovePath(memory.Path("moved"), disk.Path("home")));
  EXPECT_EQ(ReadContents(disk.Native("home/moved/sub/b")), "2");
  EXPECT_FALSE(Exists(memory.Native("moved")));

  // A copy that cannot complete leaves the source whole.
  disk.Write("partial/a", "1");
  ASSERT_EQ(mkfifo(disk.Native("partial/pipe").c_str(), 0644), 0);
  disk.Write("partial/z", "3");
  EXPECT_FALSE(MovePath(disk.Path("partial"), memory.Path("partial")));
  EXPECT_EQ(errno, EXDEV);
  EXPECT_EQ(ReadContents(disk.Native("partial/a")), "1");
  EXPECT_EQ(ReadContents(disk.Native("partial/z")), "3");
  EXPECT_TRUE(Exists(disk.Native("partial/pipe")));
}

TEST(FileOperationsTest, MakeAbsolutePath) {
  TempTree tree;
  ASSERT_TRUE(tree.ok());
  char saved[4096];
  ASSERT_NE(getcwd(saved, sizeof(saved)), nullptr);
  ASSERT_EQ(chdir(tree.root().c_str()), 0);
  EXPECT_EQ(Narrow(MakeAbsolutePath(FsPath(u"a/../b/./c"))), tree.root() + "/b/c");
  EXPECT_EQ(Narrow(MakeAbsolutePath(FsPath(u"."))), tree.root());
  EXPECT_EQ(Narrow(MakeAbsolutePath(FsPath(u"d/"))), tree.root() + "/d/");
  ASSERT_EQ(chdir(saved), 0);
  EXPECT_EQ(Narrow(MakeAbsolutePath(FsPath(u"/../x//y"))), "/x/y");
  EXPECT_EQ(Narrow(MakeAbsolutePath(FsPath(u"/"))), "/");
}

}  // namespace
}  // namespace updater
