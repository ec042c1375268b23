#include "base/directory_walker.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/path_arithmetic.h"
#include "base/string_util.h"
#include "base/wildcard_match.h"
#include "tests/base/temp_tree.h"

namespace updater {
namespace {

std::vector<std::string> Walk(DirectoryWalker& walker, const TempTree& tree) {
  std::vector<std::string> relative;
  for (FsPath path = walker.Next(); !path.empty(); path = walker.Next()) {
    relative.push_back(Narrow(path).substr(tree.root().size() + 1));
  }
  return relative;
}

std::string ParentOf(const std::string& relative) {
  const size_t slash = relative.rfind('/');
  return slash == std::string::npos ? "" : relative.substr(0, slash);
}

TEST(DirectoryWalkerTest, RecursiveOrderIsLastFoundDirectoryFirst) {
  TempTree tree;
  ASSERT_TRUE(tree.ok());
  const std::set<std::string> directories = {"a", "a/a1", "a/a1/x", "a/a2", "b", "c", "c/c1"};
  for (const std::string& directory : directories) tree.MakeDir(directory);
  for (const char* file : {"f", "a/f", "a/a1/f", "a/a1/x/f", "b/f", "b/g", "c/c1/f"}) {
    tree.Write(file, "");
  }

  DirectoryWalker walker(tree.Path(), true, kWalkFiles | kWalkDirectories);
  const std::vector<std::string> walked = Walk(walker, tree);
  ASSERT_EQ(walked.size(), directories.size() + 7);

  // Replays the walk: each directory's entries come as one block, and the
  // next block read is that of the subdirectory reported last among those
  // still pending.
  std::vector<std::string> pending = {""};
  size_t i = 0;
  while (!pending.empty()) {
    const std::string current = pending.back();
    pending.pop_back();
    for (; i < walked.size() && ParentOf(walked[i]) == current; ++i) {
      if (directories.contains(walked[i])) pending.push_back(walked[i]);
    }
  }
  EXPECT_EQ(i, walked.size()) << "entry out of order: " << walked[i];
}

TEST(DirectoryWalkerTest, PatternSelectsInTheStartingDirectoryOnly) {
  TempTree tree;
  ASSERT_TRUE(tree.ok());
  tree.Write("top.dll", "");
  tree.Write("top.txt", "");
  tree.Write("lib.dll/inner.txt", "");
  tree.Write("plain/hidden.dll", "");

  DirectoryWalker walker(tree.Path(), true, kWalkFiles | kWalkDirectories, u"*.dll");
  const std::vector<std::string> walked = Walk(walker, tree);
  const std::set<std::string> seen(walked.begin(), walked.end());
  EXPECT_EQ(seen, (std::set<std::string>{"top.dll", "lib.dll", "lib.dll/inner.txt"}));
}

TEST(DirectoryWalkerTest, TypesDotDotAndLinks) {
  TempTree tree;
  ASSERT_TRUE(tree.ok());
  tree.Write("outside/secret", "");
  tree.Write("root/file", "");
  tree.Write("root/dir/inner", "");
  ASSERT_EQ(symlink(tree.Native("outside").c_str(), tree.Native("root/link").c_str()), 0);

  DirectoryWalker directories(tree.Path("root"), true, kWalkDirectories);
  std::map<std::string, WalkEntry> entries;
  for (FsPath path = directories.Next(); !path.empty(); path = directories.Next()) {
    entries[LastComponent(path) == u"link" ? "link" : Narrow(path)] = directories.Entry();
  }
  ASSERT_EQ(entries.size(), 2u);  // dir and the link, never "outside/..."
  EXPECT_TRUE(entries["link"].IsDirectory());
  EXPECT_TRUE(entries["link"].IsReparsePoint());
  EXPECT_EQ(entries["link"].name, u"link");

  DirectoryWalker files(tree.Path("root"), true, kWalkFiles);
  const std::vector<std::string> walked = Walk(files, tree);
  EXPECT_EQ(std::set<std::string>(walked.begin(), walked.end()),
            (std::set<std::string>{"root/file", "root/dir/inner"}));

  DirectoryWalker dot_dot(tree.Path("root/dir"), false, kWalkDirectories | kWalkIncludeDotDot);
  EXPECT_EQ(LastComponent(dot_dot.Next()), u"..");
  EXPECT_TRUE(dot_dot.Next().empty());
  // Recursive: ".." once for each directory read, never climbed.
  constexpr int kBound = 100;
  DirectoryWalker climbing(tree.Path("root"), true, kWalkDirectories | kWalkIncludeDotDot);
  int walked_count = 0;
  int dot_dot_count = 0;
  for (FsPath path = climbing.Next(); !path.empty() && walked_count < kBound;
       path = climbing.Next()) {
    ++walked_count;
    if (LastComponent(path) == u"..") ++dot_dot_count;
  }
  EXPECT_LT(walked_count, kBound);
  EXPECT_EQ(dot_dot_count, 2);  // root and root/dir; the link is not entered

  DirectoryWalker missing(tree.Path("nothing"), true, kWalkFiles | kWalkDirectories);
  EXPECT_TRUE(missing.Next().empty());
  EXPECT_TRUE(missing.Next().empty());
}

TEST(WildcardMatchTest, StarsAndQuestionMarks) {
  EXPECT_TRUE(MatchesWildcard(u"a.tmp", u"*.tmp"));
  EXPECT_TRUE(MatchesWildcard(u".tmp", u"*.tmp"));
  EXPECT_FALSE(MatchesWildcard(u"a.tmpx", u"*.tmp"));
  EXPECT_TRUE(MatchesWildcard(u"abc", u"a?c"));
  EXPECT_FALSE(MatchesWildcard(u"ac", u"a?c"));
  EXPECT_TRUE(MatchesWildcard(u"*x", u"*"));
  EXPECT_TRUE(MatchesWildcard(u"", u"*"));
  EXPECT_FALSE(MatchesWildcard(u"", u"?"));
  EXPECT_TRUE(MatchesWildcard(u"aXbXc", u"a*b*c"));
  EXPECT_TRUE(MatchesWildcard(u"abcbd", u"*b?"));
  EXPECT_FALSE(MatchesWildcard(u"A.TMP", u"*.tmp"));
  EXPECT_TRUE(MatchesWildcard(std::u16string(2000, u'a'), u"*a*a*a*a*a*a*a*a*"));
}

}  // namespace
}  // namespace updater
