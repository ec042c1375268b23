#include "base/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/at_exit.h"
#include "base/command_string_split.h"
#include "base/process_facts_platform.h"

namespace updater {
namespace {

ParsedCommandLine Parse(const std::vector<std::u16string>& items) {
  return ParsedCommandLine::FromArguments(items);
}

std::vector<std::string> SwitchNames(const ParsedCommandLine& command_line) {
  std::vector<std::string> names;
  for (const auto& [name, value] : command_line.Switches()) names.push_back(name);
  return names;
}

TEST(ParsedCommandLineTest, RecognisesTheThreePrefixesAndValues) {
  const ParsedCommandLine command_line =
      Parse({u"updater", u"--kr-check-update", u"/langid=zh-CN", u"-current=1.5.0.1", u"--x=",
             u"--a=b=c", u"-", u"/", u"plain"});
  EXPECT_TRUE(command_line.IsPresent("kr-check-update"));
  EXPECT_EQ(command_line.GetValue("kr-check-update"), u"");
  EXPECT_EQ(command_line.GetValue("langid"), u"zh-CN");
  EXPECT_EQ(command_line.GetAsciiValue("current"), "1.5.0.1");
  EXPECT_TRUE(command_line.IsPresent("x"));
  EXPECT_EQ(command_line.GetValue("a"), u"b=c");
  EXPECT_FALSE(command_line.IsPresent("missing"));
  EXPECT_EQ(command_line.GetValue("missing"), u"");
  // A lone prefix is a positional argument, and all arguments follow all switches.
  EXPECT_EQ(command_line.ToCommandString(),
            u"updater --kr-check-update /langid=zh-CN -current=1.5.0.1 --x --a=b=c - / plain");
}

TEST(ParsedCommandLineTest, FoldsNamesKeepsValuesAndLastOneWins) {
  const ParsedCommandLine command_line =
      Parse({u"p", u"--LANGID=RU", u"--current=1", u"--Current=2", u"--64BIT"});
  EXPECT_EQ(command_line.GetValue("langid"), u"RU");
  EXPECT_EQ(command_line.GetValue("current"), u"2");
  EXPECT_FALSE(command_line.IsPresent("LANGID"));
  EXPECT_TRUE(command_line.IsPresent("64bit"));

  // A name outside ASCII matches none of the ASCII names, whatever its low byte.
  const ParsedCommandLine look_alikes =
      Parse({u"p", u"--\u016Cangid=ru", u"--\u0163\u0175\u0172\u0172\u0165\u016E\u0174=1",
             u"/\uFF2Bangid=x"});
  EXPECT_FALSE(look_alikes.IsPresent("langid"));
  EXPECT_FALSE(look_alikes.IsPresent("current"));
  EXPECT_EQ(look_alikes.GetValue("langid"), u"");
}

TEST(ParsedCommandLineTest, SwitchesAreListedInByteOrder) {
  const ParsedCommandLine command_line =
      Parse({u"p", u"--real-exe-path=x", u"--pepper-version=1", u"--langid=ru", u"--current=1",
             u"--64bit", u"--\u00e9t\u00e9", u"--Zeta"});
  // 0xE9 sorts after every ASCII name: bytes compare unsigned.
  EXPECT_EQ(SwitchNames(command_line),
            (std::vector<std::string>{"64bit", "current", "langid", "pepper-version",
                                      "real-exe-path", "zeta", "\xE9t\xE9"}));
}

TEST(ParsedCommandLineTest, DoubleDashEndsTheSwitches) {
  const ParsedCommandLine command_line = Parse({u"p", u"--a", u"--", u"--b", u"-c=d"});
  EXPECT_EQ(SwitchNames(command_line), std::vector<std::string>{"a"});
  EXPECT_EQ(command_line.ToCommandString(), u"p --a -- --b -c=d");
}

TEST(ParsedCommandLineTest, TrimsWhiteSpaceAndTreatsBlankLinesAsEmpty) {
  const ParsedCommandLine blank = Parse({u"  ", u"\u3000"});
  EXPECT_EQ(blank.program(), u"");
  EXPECT_TRUE(blank.Switches().empty());
  EXPECT_EQ(Parse({}).program(), u"");

  const ParsedCommandLine trimmed = Parse({u" prog\t", u"\u00a0--langid=ru\u2028"});
  EXPECT_EQ(trimmed.program(), u"prog");
  EXPECT_EQ(trimmed.GetValue("langid"), u"ru");
  EXPECT_EQ(ParsedCommandLine::FromCommandString(u"  \t ").program(), u"");
}

TEST(ParsedCommandLineTest, NonAsciiValuesAndPathValues) {
  const ParsedCommandLine command_line =
      Parse({u"p", u"--langid=\u0440\u0443", std::u16string(u"--path=/tmp/x\0/etc/passwd", 25)});
  EXPECT_EQ(command_line.GetValue("langid"), u"\u0440\u0443");
  EXPECT_EQ(command_line.GetAsciiValue("langid"), "");
  EXPECT_EQ(command_line.GetPathValue("path").value(), u"/tmp/x");
  EXPECT_EQ(command_line.GetPathValue("absent").value(), u"");
}

TEST(ParsedCommandLineTest, WritesInstallerCommandLines) {
  ParsedCommandLine setup(u"C:\\Temp\\setup.exe");
  setup.AddArgument(std::string_view("-s"));
  setup.AddArgument(u"two words");
  EXPECT_EQ(setup.ToCommandString(), u"\"C:\\Temp\\setup.exe\" -s \"two words\"");

  ParsedCommandLine bare(u"setup.exe");
  bare.AddSwitch("kr-auto-update", u"");
  EXPECT_EQ(bare.ToCommandString(), u"setup.exe --kr-auto-update");

  // The extraction argument carries its own quotation marks and is written
  // as a switch, unquoted.
  ParsedCommandLine package(u"/tmp/my pkg.exe");
  package.AddArgument(std::string_view("-s"));
  package.AddArgument(std::string_view("-d\"/opt/My Browser/KR_63DA7_PORTABLE.tmp\""));
  EXPECT_EQ(package.ToCommandString(),
            u"\"/tmp/my pkg.exe\" -s -d\"/opt/My Browser/KR_63DA7_PORTABLE.tmp\"");
  EXPECT_EQ(SplitCommandString(package.ToCommandString())[2],
            u"-d/opt/My Browser/KR_63DA7_PORTABLE.tmp");

  // Switches added later still go before the positional arguments.
  package.AddSwitch("/Mode", u"x y");
  EXPECT_EQ(SplitCommandString(package.ToCommandString())[1], u"/mode=x y");
  EXPECT_EQ(SplitCommandString(package.ToCommandString())[3],
            u"-d/opt/My Browser/KR_63DA7_PORTABLE.tmp");
}

TEST(ParsedCommandLineTest, QuoteArgumentFollowsTheSplitterRules) {
  EXPECT_EQ(QuoteArgument(u"plain"), u"plain");
  EXPECT_EQ(QuoteArgument(u""), u"");
  EXPECT_EQ(QuoteArgument(u"C:\\Program Files\\x.exe"), u"\"C:\\Program Files\\x.exe\"");
  EXPECT_EQ(QuoteArgument(u"C:\\dir\\"), u"\"C:\\dir\\\\\"");
  EXPECT_EQ(QuoteArgument(u"say \"hi\""), u"\"say \\\"hi\\\"\"");
  EXPECT_EQ(QuoteArgument(u"a\\\"b"), u"\"a\\\\\\\"b\"");
  EXPECT_EQ(QuoteArgument(u"a\tb"), u"\"a\tb\"");
}

TEST(ParsedCommandLineTest, CommandStringsRoundTripThroughTheSplitter) {
  const std::vector<std::u16string> arguments = {
      u"two words", u"trailing\\", u"trail \\\\", u"quote\"inside", u"\\\"",
      u"\\\\\"x\\", u"tab\tin",    u"=",          u"a=b",           u"\u00e9\u4e2d",
      u"/x",        u"-y",         u"--",         u"--after=a b",   u"\"quoted\""};
  ParsedCommandLine built(u"/opt/My Apps/prog");
  built.AddSwitch("real-exe-path", u"C:\\Program Files\\Browser\\brelix.exe");
  built.AddSwitch("odd", u"ends with \\");
  built.AddSwitch("eq", u"k=v w");
  for (const std::u16string& argument : arguments) built.AddArgument(argument);

  const std::vector<std::u16string> items = SplitCommandString(built.ToCommandString());
  const ParsedCommandLine reparsed = ParsedCommandLine::FromCommandString(built.ToCommandString());
  EXPECT_EQ(items.front(), u"/opt/My Apps/prog");
  for (const char* name : {"real-exe-path", "odd", "eq"}) {
    EXPECT_EQ(reparsed.GetValue(name), built.GetValue(name)) << name;
  }
  // Items after "--" come back exactly as added.
  const auto terminator = std::find(items.begin(), items.end(), u"--");
  ASSERT_NE(terminator, items.end());
  EXPECT_EQ(std::vector<std::u16string>(terminator + 1, items.end()),
            (std::vector<std::u16string>{u"--after=a b", u"\"quoted\""}));
  EXPECT_EQ(std::vector<std::u16string>(items.begin() + 4, terminator),
            std::vector<std::u16string>(arguments.begin(), arguments.end() - 3));
}

TEST(ParsedCommandLineTest, ProcessCommandLineLivesUntilTheRegistryIsTornDown) {
  const ParsedCommandLine* first = nullptr;
  {
    AtExitManager at_exit;
    first = &CurrentProcessCommandLine();
    EXPECT_EQ(first, &CurrentProcessCommandLine());
    EXPECT_FALSE(CurrentProcessCommandLine().program().empty());
  }
  AtExitManager at_exit;
  EXPECT_EQ(CurrentProcessCommandLine().program(), platform::CurrentProcessArguments().front());
}

}  // namespace
}  // namespace updater
