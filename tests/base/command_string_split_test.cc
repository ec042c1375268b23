#include "base/command_string_split.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace updater {
namespace {

using Items = std::vector<std::u16string>;

TEST(SplitCommandStringTest, ProgramNameHasNoEscapes) {
  EXPECT_EQ(SplitCommandString(u""), Items{});
  EXPECT_EQ(SplitCommandString(u"prog"), Items{u"prog"});
  EXPECT_EQ(SplitCommandString(u"\"C:\\Program Files\\x.exe\" a"),
            (Items{u"C:\\Program Files\\x.exe", u"a"}));
  // A quoted program ends at the next quotation mark whatever follows.
  EXPECT_EQ(SplitCommandString(u"\"a b\"c d"), (Items{u"a b", u"c", u"d"}));
  EXPECT_EQ(SplitCommandString(u"C:\\dir\\\" x"), (Items{u"C:\\dir\\\"", u"x"}));
  // Leading white space makes the program empty.
  EXPECT_EQ(SplitCommandString(u" a"), (Items{u"", u"a"}));
}

TEST(SplitCommandStringTest, ItemsFollowTheBackslashAndQuotationRules) {
  struct Case {
    std::u16string command;
    Items items;
  };
  const Case cases[] = {
      {u"p a\tb   c", {u"p", u"a", u"b", u"c"}},
      {u"p \"a b\" c", {u"p", u"a b", u"c"}},
      {u"p a\\b\\\\c", {u"p", u"a\\b\\\\c"}},  // no quotation mark follows
      {u"p a\\\\\"b c\"", {u"p", u"a\\b c"}},  // 2n: n, then a quote toggle
      {u"p a\\\\\\\"b", {u"p", u"a\\\"b"}},    // 2n+1: n and a literal mark
      {u"p \"a\\\"b\"", {u"p", u"a\"b"}},
      {u"p \"C:\\dir\\\\\"", {u"p", u"C:\\dir\\"}},
      {u"p \"\"", {u"p", u""}},                    // an empty quoted item
      {u"p \"a\"\"b c\"", {u"p", u"a\"b", u"c"}},  // "" inside: literal, then unquoted
      {u"p \"\"\"a b", {u"p", u"\"a", u"b"}},      // three marks: one literal
      {u"p -d\"C:\\x y\\z\"", {u"p", u"-dC:\\x y\\z"}},
      {u"p --k=\"v w\" tail ", {u"p", u"--k=v w", u"tail"}},
      {u"p \"unterminated x", {u"p", u"unterminated x"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitCommandString(c.command), c.items)
        << "command: " << std::string(c.command.begin(), c.command.end());
  }
}

}  // namespace
}  // namespace updater
