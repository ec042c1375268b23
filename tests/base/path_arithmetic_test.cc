#include "base/path_arithmetic.h"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "base/fs_path.h"
#include "base/path_rules.h"

namespace updater {
namespace {

using Components = std::vector<std::u16string>;

struct PathCase {
  std::u16string_view input;
  std::u16string_view expected;
};

FsPath P(std::u16string_view text) {
  return FsPath(text);
}

// Each case's input through `operation` under `rules` gives its expected path.
void ExpectCases(std::span<const PathCase> cases,
                 FsPath (*operation)(const FsPath&, const PathRules&),
                 const PathRules& rules,
                 const char* label) {
  for (const PathCase& c : cases) {
    EXPECT_EQ(operation(P(c.input), rules).value(), c.expected)
        << label << ": " << std::string(c.input.begin(), c.input.end());
  }
}

TEST(PathOperationsTest, TrimTrailingSeparators) {
  const PathCase windows[] = {
      {u"C:\\dir\\\\", u"C:\\dir"},
      {u"C:\\", u"C:\\"},
      {u"\\", u"\\"},
      {u"\\\\", u"\\\\"},
      {u"\\\\\\", u"\\"},
      {u"C:\\a\\", u"C:\\a"},
      {u"C:\\\\", u"C:\\\\"},
      {u"C:\\\\\\", u"C:\\"},
      {u"C:\\\\\\\\", u"C:\\"},
      {u"a/\\/", u"a"},
      {u"C:a\\", u"C:a"},
      {u"C:", u"C:"},
      {u"", u""},
      {u"a", u"a"},
  };
  ExpectCases(windows, TrimTrailingSeparators, kWindowsPathRules, "windows");
  const PathCase posix[] = {
      {u"/a//", u"/a"}, {u"/", u"/"},     {u"//", u"//"},  {u"///", u"/"},
      {u"a/", u"a"},    {u"a\\", u"a\\"}, {u"C:/", u"C:"}, {u"", u""},
  };
  ExpectCases(posix, TrimTrailingSeparators, kPosixPathRules, "posix");
}

TEST(PathOperationsTest, ParentDir) {
  const PathCase windows[] = {
      {u"C:\\a\\b.exe", u"C:\\a"},
      {u"C:\\a", u"C:\\"},
      {u"b.exe", u"."},
      {u"brelix.exe", u"."},
      {u"C:b.exe", u"C:"},
      {u"C:\\", u"C:\\"},
      {u"C:", u"C:"},
      {u"\\\\server\\share", u"\\\\server"},
      {u"\\\\server", u"\\\\"},
      {u"C:/a/b/", u"C:/a"},
      {u"\\a", u"\\"},
      {u"a\\\\b", u"a"},
      {u"", u"."},
  };
  ExpectCases(windows, ParentDir, kWindowsPathRules, "windows");
  const PathCase posix[] = {
      {u"/a/b", u"/a"}, {u"/a", u"/"},   {u"/", u"/"},    {u"a", u"."},      {u"a\\b", u"."},
      {u"C:/a", u"C:"}, {u"//a", u"//"}, {u"a//b", u"a"}, {u"/a/b/", u"/a"},
  };
  ExpectCases(posix, ParentDir, kPosixPathRules, "posix");
}

TEST(PathOperationsTest, LastComponent) {
  EXPECT_EQ(LastComponent(P(u"C:\\a\\b\\"), kWindowsPathRules), u"b");
  EXPECT_EQ(LastComponent(P(u"C:\\"), kWindowsPathRules), u"\\");
  EXPECT_EQ(LastComponent(P(u"C:"), kWindowsPathRules), u"");
  EXPECT_EQ(LastComponent(P(u"C:b"), kWindowsPathRules), u"b");
  EXPECT_EQ(LastComponent(P(u"a/b"), kWindowsPathRules), u"b");
  EXPECT_EQ(LastComponent(P(u"/a/b/"), kPosixPathRules), u"b");
  EXPECT_EQ(LastComponent(P(u"/"), kPosixPathRules), u"/");
  EXPECT_EQ(LastComponent(P(u"a\\b"), kPosixPathRules), u"a\\b");
  EXPECT_EQ(LastComponent(P(u"C:b"), kPosixPathRules), u"C:b");
}

TEST(PathOperationsTest, JoinPath) {
  struct JoinCase {
    std::u16string_view path;
    std::u16string_view component;
    std::u16string_view expected;
  };
  const JoinCase windows[] = {
      {u"C:\\a", u"b", u"C:\\a\\b"},
      {u"C:\\", u"b", u"C:\\b"},
      {u"C:", u"b", u"C:b"},
      {u"", u"b", u"b"},
      {u".", u"x", u"x"},
      {u"C:\\a\\\\", u"b", u"C:\\a\\b"},
      {u"C:\\a", u"", u"C:\\a"},
      {u"a/", u"b", u"a\\b"},
      {u"\\\\", u"s", u"\\\\s"},
      {u"./", u"x", u".\\x"},
  };
  for (const JoinCase& c : windows) {
    EXPECT_EQ(JoinPath(P(c.path), c.component, kWindowsPathRules).value(), c.expected);
  }
  const JoinCase posix[] = {
      {u"/a", u"b", u"/a/b"}, {u"/", u"b", u"/b"},      {u"C:", u"b", u"C:/b"},
      {u".", u"x", u"x"},     {u"a\\", u"b", u"a\\/b"}, {u"/a//", u"b", u"/a/b"},
  };
  for (const JoinCase& c : posix) {
    EXPECT_EQ(JoinPath(P(c.path), c.component, kPosixPathRules).value(), c.expected);
  }
  // The component ends at its first NUL.
  EXPECT_EQ(JoinPath(P(u"/a"), std::u16string_view(u"b\0c", 3), kPosixPathRules).value(), u"/a/b");
  // The parent of a bare file name joins back to the bare name.
  EXPECT_EQ(
      JoinPath(ParentDir(P(u"brelix.exe"), kWindowsPathRules), u"x", kWindowsPathRules).value(),
      u"x");
}

TEST(PathOperationsTest, SplitComponents) {
  EXPECT_EQ(SplitComponents(P(u"C:\\a\\b"), kWindowsPathRules),
            (Components{u"C:", u"\\", u"a", u"b"}));
  EXPECT_EQ(SplitComponents(P(u"C:a"), kWindowsPathRules), (Components{u"C:", u"a"}));
  EXPECT_EQ(SplitComponents(P(u"a\\b"), kWindowsPathRules), (Components{u"a", u"b"}));
  EXPECT_EQ(SplitComponents(P(u"\\\\server\\share\\"), kWindowsPathRules),
            (Components{u"\\", u"server", u"share"}));
  EXPECT_EQ(SplitComponents(P(u"C:/a//b/"), kWindowsPathRules),
            (Components{u"C:", u"/", u"a", u"b"}));
  EXPECT_EQ(SplitComponents(P(u"C:\\"), kWindowsPathRules), (Components{u"C:", u"\\"}));
  EXPECT_EQ(SplitComponents(P(u""), kWindowsPathRules), Components{});
  EXPECT_EQ(SplitComponents(P(u"."), kWindowsPathRules), Components{});

  EXPECT_EQ(SplitComponents(P(u"/a/b"), kPosixPathRules), (Components{u"/", u"a", u"b"}));
  EXPECT_EQ(SplitComponents(P(u"a/b/"), kPosixPathRules), (Components{u"a", u"b"}));
  EXPECT_EQ(SplitComponents(P(u"C:\\x"), kPosixPathRules), (Components{u"C:\\x"}));
  EXPECT_EQ(SplitComponents(P(u"/"), kPosixPathRules), (Components{u"/"}));
  EXPECT_EQ(SplitComponents(P(u"../a"), kPosixPathRules), (Components{u"..", u"a"}));
}

TEST(PathOperationsTest, HasParentReference) {
  EXPECT_TRUE(HasParentReference(P(u"C:\\a\\..\\b"), kWindowsPathRules));
  EXPECT_TRUE(HasParentReference(P(u"C:\\a\\ ..\\b"), kWindowsPathRules));
  EXPECT_TRUE(HasParentReference(P(u"C:\\a\\..\t\\b"), kWindowsPathRules));
  EXPECT_TRUE(HasParentReference(P(u"..\\x"), kWindowsPathRules));
  EXPECT_TRUE(HasParentReference(P(u"C:/a/.."), kWindowsPathRules));
  EXPECT_FALSE(HasParentReference(P(u"C:\\a\\..b"), kWindowsPathRules));
  EXPECT_FALSE(HasParentReference(P(u"C:\\a\\b.."), kWindowsPathRules));
  EXPECT_FALSE(HasParentReference(P(u"C:\\a\\.\\b"), kWindowsPathRules));

  EXPECT_TRUE(HasParentReference(P(u"/a/../b"), kPosixPathRules));
  EXPECT_FALSE(HasParentReference(P(u"/a/..b"), kPosixPathRules));
  EXPECT_FALSE(HasParentReference(P(u"a\\..\\b"), kPosixPathRules));
}

TEST(PathOperationsTest, RelativeTail) {
  FsPath base = P(u"D:\\t");
  EXPECT_TRUE(RelativeTail(P(u"C:\\a"), P(u"c:\\a\\b\\c"), base, kWindowsPathRules));
  EXPECT_EQ(base.value(), u"D:\\t\\b\\c");

  base = P(u"D:\\t");
  EXPECT_TRUE(RelativeTail(P(u"C:\\a\\"), P(u"C:\\a/b"), base, kWindowsPathRules));
  EXPECT_EQ(base.value(), u"D:\\t\\b");

  const FsPath untouched = P(u"keep");
  const struct {
    std::u16string_view parent;
    std::u16string_view child;
  } refused[] = {
      {u"C:\\a", u"C:\\A\\b"},  // components other than the drive compare exactly
      {u"C:\\a", u"C:\\a"},     // not below
      {u"", u"C:\\a"},          // no parent components
      {u"C:\\a", u"D:\\a\\b"},  // another drive
      {u"\\a", u"C:\\a\\b"},    // only one has a drive
      {u"C:\\a\\b", u"C:\\a"},  // above
  };
  for (const auto& c : refused) {
    base = untouched;
    EXPECT_FALSE(RelativeTail(P(c.parent), P(c.child), base, kWindowsPathRules));
    EXPECT_EQ(base.value(), untouched.value());
  }

  base = P(u"/t");
  EXPECT_TRUE(RelativeTail(P(u"/a"), P(u"/a/b/c"), base, kPosixPathRules));
  EXPECT_EQ(base.value(), u"/t/b/c");
  base = P(u"/t");
  EXPECT_FALSE(RelativeTail(P(u"/a"), P(u"/ab/c"), base, kPosixPathRules));
  base = P(u"");
  EXPECT_TRUE(RelativeTail(P(u"a"), P(u"a/b"), base, kPosixPathRules));
  EXPECT_EQ(base.value(), u"b");
}

TEST(PathOperationsTest, Equality) {
  EXPECT_TRUE(PathsEqual(P(u"C:\\a"), P(u"c:\\a"), kWindowsPathRules));
  EXPECT_FALSE(PathsEqual(P(u"C:\\A"), P(u"C:\\a"), kWindowsPathRules));
  EXPECT_FALSE(PathsEqual(P(u"C:\\a"), P(u"C:\\a\\"), kWindowsPathRules));
  EXPECT_FALSE(PathsEqual(P(u"C:/a"), P(u"c:/a"), kPosixPathRules));
  EXPECT_TRUE(P(u"/a") == P(u"/a"));
  EXPECT_FALSE(P(u"/a") == P(u"/A"));
  // Text after a NUL is no part of the path.
  EXPECT_TRUE(P(std::u16string_view(u"/a\0b", 4)) == P(u"/a"));
}

}  // namespace
}  // namespace updater
