#include "http/header_pattern.h"

#include <array>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "http/pattern_compiler.h"
#include "http/pattern_machine.h"

namespace updater {

void PrintTo(const Instruction& instruction, std::ostream* out) {
  *out << "{" << static_cast<int>(instruction.kind) << ", " << instruction.operand << "}";
}

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Kind = InstructionKind;

struct Span {
  size_t start;
  size_t end;
  friend bool operator==(const Span&, const Span&) = default;
};

// The span of the first match of `pattern` in `text`, if any.
std::optional<Span> Find(std::u16string_view pattern,
                         std::u16string_view text,
                         bool case_sensitive = true) {
  HeaderPattern compiled;
  EXPECT_EQ(compiled.Compile(pattern, case_sensitive), 0);
  MatchState state;
  size_t end = 0;
  if (!compiled.Match(text, &state, &end)) return std::nullopt;
  EXPECT_EQ(end, state.match_end);
  return Span{state.match_start, state.match_end};
}

std::vector<std::u16string> Values(std::u16string_view pattern,
                                   std::u16string_view input,
                                   bool keep_duplicates = false,
                                   bool case_sensitive = false,
                                   int group_count = 1) {
  HeaderPattern compiled;
  std::vector<std::u16string> values;
  EXPECT_TRUE(
      compiled.FindAll(pattern, case_sensitive, group_count, input, &values, keep_duplicates));
  return values;
}

int32_t ErrorOf(std::u16string_view pattern, bool case_sensitive = true) {
  return HeaderPattern().Compile(pattern, case_sensitive);
}

TEST(HeaderPatternCompileTest, EachErrorNumberAndANearMiss) {
  const struct {
    std::u16string_view pattern;
    int32_t error;
  } kCases[] = {
      {u"", 10},        {std::u16string_view(u"\0a", 2), 10},
      {u"a", 0},        {u"{a", 2},
      {u"{a)", 2},      {u"{a}", 0},
      {u"(a", 3},       {u"(a}", 3},
      {u"(a)", 0},      {u"[ab", 4},
      {u"[a-", 4},      {u"[a-]", 4},
      {u"[a\\", 4},     {u"[a\\-]", 0},
      {u"[]", 6},       {u"[^]", 6},
      {u"[\\]]", 0},    {u"[^a]", 0},
      {u"\\0{a}", 7},   {u"{a}\\1", 7},
      {u"{a}\\0", 0},   {u"{a}{b}\\1", 0},
      {u"{a\\0}", 0},   {u"[z-a]", 8},
      {u"[a-a]", 0},    {u"(a*)*", 9},
      {u"{.*}*", 9},    {u"(a?)+", 9},
      {u"(a*)*?", 9},   {u"(a*)+?", 9},
      {u"(a+?)+", 9},   {u"(a|)*", 9},
      {u"a**", 0},      {u"(a*)?", 0},
      {u"(a*)??", 0},   {u"(a+)*", 0},
      {u"(!a)*", 9},    {u"!a*?", 9},
      {u"{a?}\\0*", 9}, {u"{a\\0*}", 9},
      {u"{}\\0+?", 9},  {u"{a}\\0*", 0},
      {u"(!a)?", 0},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(ErrorOf(c.pattern), c.error) << std::string(c.pattern.begin(), c.pattern.end());
  }
  // The pattern is folded before its classes are read.
  EXPECT_EQ(ErrorOf(u"[Z-a]", true), 0);
  EXPECT_EQ(ErrorOf(u"[Z-a]", false), 8);
}

TEST(HeaderPatternCompileTest, AbbreviationThatFailsToCompileIsError5) {
  const std::array<Abbreviation, 2> table = {{{u'x', u"(ab"}, {u'y', u""}}};
  PatternProgram program;
  EXPECT_EQ(CompilePattern(u"a\\x", table, &program), 5);
  EXPECT_TRUE(program.instructions.empty());
  EXPECT_EQ(CompilePattern(u"a\\y", table, &program), 5);
  EXPECT_EQ(CompilePattern(u"a\\z", table, &program), 0);
}

TEST(HeaderPatternCompileTest, ResourceLimitsAreError1) {
  EXPECT_EQ(ErrorOf(std::u16string(150, u'(') + u"a" + std::u16string(150, u')')), 0);
  EXPECT_EQ(ErrorOf(std::u16string(300, u'(') + u"a" + std::u16string(300, u')')), 1);
  EXPECT_EQ(ErrorOf(std::u16string(300, u'!') + u"a"), 1);
  // Each `+` copies its atom: 24 nested ones would need 2^24 copies of "a".
  std::u16string doubling = u"a";
  for (int i = 0; i < 24; ++i) doubling = u"(" + doubling + u")+";
  EXPECT_EQ(ErrorOf(doubling), 1);
}

TEST(HeaderPatternCompileTest, ErrorStaysAndRecompilingReplacesTheProgram) {
  HeaderPattern pattern;
  EXPECT_EQ(pattern.Compile(u"{a", true), 2);
  EXPECT_EQ(pattern.error(), 2);
  MatchState state;
  size_t end = 7;
  EXPECT_FALSE(pattern.Match(u"a", &state, &end));
  EXPECT_EQ(end, 0u);
  EXPECT_EQ(pattern.Compile(u"{a}{b}", true), 0);
  EXPECT_EQ(pattern.error(), 0);
  EXPECT_EQ(pattern.group_count(), 2u);
  EXPECT_FALSE(pattern.Match(u"a", nullptr, &end));
}

TEST(HeaderPatternCompileTest, ProgramsFollowTheCompilationSchemes) {
  HeaderPattern p;
  p.Compile(u"a|b", true);
  EXPECT_THAT(p.instructions(),
              ElementsAre(Instruction{Kind::Call, 2}, Instruction{Kind::AdvanceStart},
                          Instruction{Kind::PushPosition}, Instruction{Kind::Call, 6},
                          Instruction{Kind::PopPosition}, Instruction{Kind::Jump, 8},
                          Instruction{Kind::Char, 'a'}, Instruction{Kind::Jump, 9},
                          Instruction{Kind::Char, 'b'}, Instruction{Kind::Accept}));
  p.Compile(u"^{[a-c]}*", true);
  EXPECT_THAT(
      p.instructions(),
      ElementsAre(Instruction{Kind::Call, 2}, Instruction{Kind::FailAll},
                  Instruction{Kind::SaveSlot, 0}, Instruction{Kind::PositionToSlot, 0},
                  Instruction{Kind::PushPosition}, Instruction{Kind::Call, 9},
                  Instruction{Kind::PopPosition}, Instruction{Kind::RestoreSlot, 0},
                  Instruction{Kind::Jump, 21}, Instruction{Kind::SaveGroup, 0},
                  Instruction{Kind::SetGroupStart, 0}, Instruction{Kind::Call, 14},
                  Instruction{Kind::RestoreGroup, 0}, Instruction{Kind::Return},
                  Instruction{Kind::CharInRanges, 17}, Instruction{Kind::Skip, 'a'},
                  Instruction{Kind::Skip, 'c'}, Instruction{Kind::SetGroupEnd, 0},
                  Instruction{Kind::RequireProgress, 0}, Instruction{Kind::PositionToSlot, 0},
                  Instruction{Kind::Jump, 2}, Instruction{Kind::Accept}));
  p.Compile(u"a+?", true);
  EXPECT_THAT(p.instructions(),
              ElementsAre(Instruction{Kind::Call, 2}, Instruction{Kind::AdvanceStart},
                          Instruction{Kind::Char, 'a'}, Instruction{Kind::Call, 6},
                          Instruction{Kind::Char, 'a'}, Instruction{Kind::Jump, 3},
                          Instruction{Kind::Accept}));
  p.Compile(u"!a", true);
  EXPECT_THAT(
      p.instructions(),
      ElementsAre(Instruction{Kind::Call, 2}, Instruction{Kind::AdvanceStart},
                  Instruction{Kind::PositionToSlot, 0}, Instruction{Kind::StackDepthToSlot, 1},
                  Instruction{Kind::Call, 8}, Instruction{Kind::SlotToPosition, 0},
                  Instruction{Kind::SlotToStackDepth, 1}, Instruction{Kind::Jump, 12},
                  Instruction{Kind::Char, 'a'}, Instruction{Kind::SlotToPosition, 0},
                  Instruction{Kind::SlotToStackDepth, 1}, Instruction{Kind::Return},
                  Instruction{Kind::Accept}));
  EXPECT_EQ(p.slot_count(), 2u);
}

TEST(HeaderPatternMatchTest, AlternationJoinsSingleClosures) {
  EXPECT_EQ(Find(u"ab|cd", u"abd"), (Span{0, 3}));
  EXPECT_EQ(Find(u"ab|cd", u"xacd"), (Span{1, 4}));
  EXPECT_EQ(Find(u"ab|cd", u"ab"), std::nullopt);
  EXPECT_EQ(Find(u"ab|cd", u"cd"), std::nullopt);
  EXPECT_EQ(Find(u"(ab)|(cd)", u"cd"), (Span{0, 2}));
  EXPECT_EQ(Find(u"a|b|c", u"xc"), (Span{1, 2}));
  // `|` and quantifiers out of operator position are literal.
  EXPECT_EQ(Find(u"|a", u"|a"), (Span{0, 2}));
  EXPECT_EQ(Find(u"a||b", u"|b"), (Span{0, 2}));
  EXPECT_EQ(Find(u"*a", u"*a"), (Span{0, 2}));
  EXPECT_EQ(Find(u"a**", u"aa*"), (Span{0, 3}));
  EXPECT_EQ(Find(u"a**", u"aa"), std::nullopt);
  EXPECT_EQ(Find(u"(?)", u"?"), (Span{0, 1}));
  // A stray closer ends the pattern; what follows it is ignored.
  EXPECT_EQ(Find(u"ab)cd", u"xabq"), (Span{1, 3}));
  EXPECT_EQ(Find(u"a]b", u"a]b"), (Span{0, 1}));
  EXPECT_EQ(Find(u"}x", u"y"), (Span{0, 0}));
  // A `|` with nothing after it alternates with the empty text.
  EXPECT_EQ(Find(u"xa|", u"xb"), (Span{0, 1}));
}

TEST(HeaderPatternMatchTest, GreedyAndLazyQuantifiers) {
  EXPECT_THAT(Values(u"{a*}", u"aaa"), ElementsAre(u"aaa"));
  EXPECT_THAT(Values(u"{a+}", u"aaa"), ElementsAre(u"aaa"));
  EXPECT_THAT(Values(u"{a+?}", u"aaa", true), ElementsAre(u"a", u"a", u"a"));
  EXPECT_THAT(Values(u"{a??}b", u"ab"), ElementsAre(u"a"));
  EXPECT_THAT(Values(u"{a?}a", u"a"), ElementsAre(u""));
  EXPECT_THAT(Values(u"<{.*}>", u"<a><b>"), ElementsAre(u"a><b"));
  EXPECT_THAT(Values(u"<{.*?}>", u"<a><b>"), ElementsAre(u"a", u"b"));
  EXPECT_THAT(Values(u"{(ab)+}", u"ababa"), ElementsAre(u"abab"));
  EXPECT_THAT(Values(u"{[^,]+}", u"x1,y2"), ElementsAre(u"x1", u"y2"));
  EXPECT_THAT(Values(u"{[-\\t]+}", u"a\t-\tb"), ElementsAre(u"\t-\t"));
}

TEST(HeaderPatternMatchTest, LineEndTriesCrFirst) {
  EXPECT_THAT(Values(u"{\\n}", u"\r\n"), ElementsAre(u"\r", u"\n"));
  EXPECT_THAT(Values(u"x{\\n}y", u"x\r\ny"), ElementsAre(u"\r\n"));
  EXPECT_THAT(Values(u"x{\\n}y", u"x\ny"), ElementsAre(u"\n"));
  EXPECT_THAT(Values(u"{.+?}\\n", u"id=1\r\nx"), ElementsAre(u"id=1"));
  EXPECT_THAT(Values(u"{.+?}\\N", u"id=1\nx"), ElementsAre(u"id=1"));  // folded to \n
  EXPECT_EQ(Find(u"a\\Nb", u"a\nb"), std::nullopt);  // case-sensitive: a literal N
}

TEST(HeaderPatternMatchTest, OtherAbbreviationsAndEscapes) {
  EXPECT_THAT(Values(u"{\\a+}", u"-x9-"), ElementsAre(u"x9"));
  EXPECT_THAT(Values(u"x{\\b*}y", u"x \t y"), ElementsAre(u" \t "));
  EXPECT_THAT(Values(u"{\\c+}", u"1ab2"), ElementsAre(u"ab"));
  EXPECT_THAT(Values(u"{\\d\\d}", u"a123"), ElementsAre(u"12"));
  EXPECT_THAT(Values(u"{\\h+}", u"xx0fAgg"), ElementsAre(u"0fA"));
  EXPECT_THAT(Values(u"{\\w}", u"1abc2"), ElementsAre(u"abc"));
  EXPECT_THAT(Values(u"{\\z}", u"a0123b"), ElementsAre(u"0123"));
  EXPECT_THAT(Values(u"={\\q}", u"a=\"x y\";b='z'"), ElementsAre(u"\"x y\""));
  EXPECT_EQ(Find(u"\\t\\.\\{\\\\", u"t.{\\"), (Span{0, 4}));
  EXPECT_EQ(Find(u"a\\", u"xa\\"), (Span{1, 3}));  // lone trailing backslash
  EXPECT_EQ(Find(u"a!", u"a!"), (Span{0, 2}));     // `!` with nothing to look at
  EXPECT_EQ(Find(u"a.c", u"a\nc"), (Span{0, 3}));
}

TEST(HeaderPatternMatchTest, LookAheadConsumesNothingAndDropsItsChoices) {
  EXPECT_THAT(Values(u"{!x.}", u"xy"), ElementsAre(u"y"));
  EXPECT_THAT(Values(u"{(!,.)+}", u"ab,c"), ElementsAre(u"ab", u"c"));
  // Were the second way of matching "ab" retried after the first, the
  // look-ahead would end up succeeding at 0.
  EXPECT_EQ(Find(u"!(a|ab).", u"ab"), (Span{1, 2}));
  EXPECT_EQ(Find(u"a!b", u"ab"), std::nullopt);
  EXPECT_EQ(Find(u"a!b", u"ac"), (Span{0, 1}));
}

TEST(HeaderPatternMatchTest, Anchors) {
  EXPECT_EQ(Find(u"^ab", u"ab"), (Span{0, 2}));
  EXPECT_EQ(Find(u"^ab", u"xab"), std::nullopt);
  EXPECT_EQ(Find(u"ab$", u"xab"), (Span{1, 3}));  // the end is matched, not passed
  EXPECT_EQ(Find(u"ab$", u"abx"), std::nullopt);
  EXPECT_EQ(Find(u"a$b", u"xa$b"), (Span{1, 4}));
  EXPECT_EQ(Find(u"a^b", u"a^b"), (Span{0, 3}));
  EXPECT_EQ(Find(u"^$", u""), (Span{0, 0}));
  EXPECT_EQ(Find(u"^", u"abc"), (Span{0, 0}));
  // The end of a non-empty text is never a start position.
  EXPECT_EQ(Find(u"$", u"ab"), std::nullopt);
  EXPECT_EQ(Find(u"b*$", u"ab"), (Span{1, 2}));
  // Where the search stopped: the anchored start, or the end of the text.
  HeaderPattern pattern;
  MatchState state;
  size_t end = 99;
  pattern.Compile(u"^b", true);
  EXPECT_FALSE(pattern.Match(u"abc", &state, &end));
  EXPECT_EQ(end, 0u);
  pattern.Compile(u"x", true);
  EXPECT_FALSE(pattern.Match(u"abc", &state, &end));
  EXPECT_EQ(end, 3u);
}

TEST(HeaderPatternMatchTest, BackReferencesFollowTheCaseMode) {
  EXPECT_EQ(Find(u"{a}\\0", u"aa"), (Span{0, 2}));
  EXPECT_EQ(Find(u"{[a-z]+}-\\0", u"abc-ABC"), std::nullopt);
  EXPECT_EQ(Find(u"{[a-z]+}-\\0", u"Abc-aBC", false), (Span{0, 7}));
  EXPECT_THAT(Values(u"{[a-z]+}-\\0", u"xAbc-aBC"), ElementsAre(u"Abc"));
  EXPECT_EQ(Find(u"{ab}\\0*", u"ababab"), (Span{0, 6}));
  // A group that has not captured matches nothing.
  EXPECT_EQ(Find(u"({x}|y)\\0", u"yy"), std::nullopt);
  EXPECT_EQ(Find(u"({x}|y)\\0", u"yxx"), (Span{1, 3}));
  EXPECT_EQ(Find(u"{a}{b}{c}{d}{e}{f}{g}{h}{i}{j}{k}\\10", u"abcdefghijkk"), (Span{0, 12}));
}

TEST(HeaderPatternMatchTest, FoldingKeepsTheCallersTextAndPositions) {
  HeaderPattern pattern;
  ASSERT_EQ(pattern.Compile(u"{B+}", false), 0);
  const std::u16string text = u"xAbBbC";
  MatchState state;
  size_t end = 0;
  ASSERT_TRUE(pattern.Match(text, &state, &end));
  EXPECT_EQ(text, u"xAbBbC");
  EXPECT_EQ(state.match_start, 2u);
  EXPECT_EQ(end, 5u);
  EXPECT_EQ(state.groups[0].start, 2u);
  EXPECT_EQ(state.groups[0].end, 5u);
  // The text ends at its first NUL.
  EXPECT_FALSE(pattern.Match(std::u16string_view(u"a\0b", 3), &state, &end));
  EXPECT_EQ(end, 1u);
}

TEST(HeaderPatternFindAllTest, ResumesAtTheMatchEndAndDropsDuplicates) {
  EXPECT_THAT(Values(u"{a+}", u"aa-aaa-a", true), ElementsAre(u"aa", u"aaa", u"a"));
  EXPECT_THAT(Values(u"{aa}", u"aaaaa", true), ElementsAre(u"aa", u"aa"));
  EXPECT_THAT(Values(u"{[a-z]}", u"aAbBa"), ElementsAre(u"a", u"b"));
  EXPECT_THAT(Values(u"{[a-z]}", u"aAbBa", false, true), ElementsAre(u"a", u"b"));
  EXPECT_THAT(Values(u"{[a-zA-Z]}", u"aAbBa", false, true), ElementsAre(u"a", u"A", u"b", u"B"));
  // An anchored pattern is anchored at each place the search resumes.
  EXPECT_THAT(Values(u"^{a}", u"aab", true), ElementsAre(u"a", u"a"));
  // Tuples are compared whole; a match's tuple ends at its first unset group.
  EXPECT_THAT(Values(u"{\\w}={\\z}", u"a=1 A=1 a=2", false, false, 2),
              ElementsAre(u"a", u"1", u"a", u"2"));
  EXPECT_THAT(Values(u"({a}|{b})|c", u"bacab", true, true, 2), ElementsAre(u"a", u"a"));
}

TEST(HeaderPatternFindAllTest, RefusesBadRequests) {
  HeaderPattern pattern;
  std::vector<std::u16string> values = {u"stale"};
  EXPECT_FALSE(pattern.FindAll(u"{a}", false, 1, u"", &values, false));
  EXPECT_THAT(values, IsEmpty());
  values = {u"stale"};
  EXPECT_FALSE(pattern.FindAll(u"", false, 1, u"a", &values, false));
  EXPECT_THAT(values, IsEmpty());
  EXPECT_FALSE(pattern.FindAll(u"{a}", false, 0, u"a", &values, false));
  EXPECT_FALSE(pattern.FindAll(u"{a}", false, 2, u"a", &values, false));
  EXPECT_FALSE(pattern.FindAll(u"{a", false, 1, u"a", &values, false));
  EXPECT_EQ(pattern.error(), 2);
  EXPECT_FALSE(pattern.FindAll(u"{a}", false, 1, u"a", nullptr, false));
  EXPECT_TRUE(pattern.FindAll(u"{x}", false, 1, u"a", &values, false));
  EXPECT_THAT(values, IsEmpty());
}

TEST(HeaderPatternFindAllTest, EmptyMatchesMoveOnAndEnd) {
  EXPECT_THAT(Values(u"{a*}", u"baab", true), ElementsAre(u"", u"aa", u""));
  EXPECT_THAT(Values(u"{a*}", u"baab"), ElementsAre(u"", u"aa"));
  EXPECT_THAT(Values(u"{}", u"abc", true), ElementsAre(u"", u"", u""));
  EXPECT_THAT(Values(u"{x?}$", u"ab", true), IsEmpty());
  EXPECT_THAT(Values(u"{(a+)?}", u"ab", true), ElementsAre(u"a", u""));
}

TEST(HeaderPatternLimitsTest, RunawaySearchesGiveUp) {
  HeaderPattern pattern;
  ASSERT_EQ(pattern.Compile(u"(.+)+x", true), 0);
  MatchState state;
  size_t end = 0;
  EXPECT_FALSE(pattern.Match(std::u16string(40, u'a'), &state, &end));
  EXPECT_TRUE(state.limit_reached);
  EXPECT_EQ(end, 0u);
  std::vector<std::u16string> values;
  EXPECT_FALSE(pattern.FindAll(u"{(.+)+}x", true, 1, std::u16string(4096, u'a'), &values, false));
  // A plain failure is not a limit.
  EXPECT_FALSE(pattern.Match(u"aaa", &state, &end));
  EXPECT_FALSE(state.limit_reached);
  // Long greedy runs grow the stack as far as they need.
  ASSERT_EQ(pattern.Compile(u"{.*}$", true), 0);
  const std::u16string long_text(200000, u'z');
  ASSERT_TRUE(pattern.Match(long_text, &state, &end));
  EXPECT_EQ(end, long_text.size());
  EXPECT_GE(state.stack.size(), 3 * long_text.size());
  // Three entries per character: a run beyond the stack's limit gives up.
  const std::u16string too_long(kMaxStackEntries / 3 + 1000, u'z');
  EXPECT_FALSE(pattern.Match(too_long, &state, &end));
  EXPECT_TRUE(state.limit_reached);
  EXPECT_LE(state.stack.size(), kMaxStackEntries);
}

// A response head as the update service sends it.
constexpr std::u16string_view kResponseHead =
    u"HTTP/1.1 302 Found\r\n"
    u"Date: Tue, 08 Dec 2026 10:00:00 GMT\r\n"
    u"Content-Type: text/html; charset=UTF-8\r\n"
    u"content-length: 1234\r\n"
    u"Location:   https://dl.example.test/brelix_56.0.exe\r\n"
    u"Set-Cookie: id=1\r\n"
    u"SET-COOKIE: ID=1\r\n"
    u"Set-Cookie:\tlang=en; path=/\r\n"
    u"Kora-Version: 56.0.2924.76\r\n"
    u"X-Version: 1\r\n"
    u"\r\n";

TEST(HeaderPatternClientTest, TheClientsPatternsOnAResponseHead) {
  EXPECT_THAT(Values(u"charset={[A-Za-z0-9\\-_]+}", kResponseHead), ElementsAre(u"UTF-8"));
  EXPECT_THAT(Values(u"Content-Length: {[0-9]+}", kResponseHead), ElementsAre(u"1234"));
  EXPECT_THAT(Values(u"Location:\\b*{.+?}[\r\n]", kResponseHead),
              ElementsAre(u"https://dl.example.test/brelix_56.0.exe"));
  EXPECT_THAT(Values(u"Set-Cookie:\\b*{.+?}\\n", kResponseHead),
              ElementsAre(u"id=1", u"lang=en; path=/"));
  EXPECT_THAT(Values(u"Kora-Version:\\b*{.+?}[\r\n]", kResponseHead), ElementsAre(u"56.0.2924.76"));
  // A name is not anchored to the start of a line.
  EXPECT_THAT(Values(u"Version:\\b*{.+?}[\r\n]", u"X-Version: 1\r\n"), ElementsAre(u"1"));
  EXPECT_THAT(Values(u"Kora-Location:\\b*{.+?}[\r\n]", kResponseHead), IsEmpty());
  EXPECT_THAT(Values(u"Location:\\b*{.+?}[\r\n]", u"Location: x  \r\n"), ElementsAre(u"x  "));
  EXPECT_THAT(Values(u"{<html>}", u"<!DOCTYPE html>\n<HTML><body>"), ElementsAre(u"<HTML>"));
  EXPECT_THAT(Values(u"{</html>}", u"<html>...</Html>\n"), ElementsAre(u"</Html>"));
  EXPECT_THAT(Values(u"{</html>}", u"<html>..."), IsEmpty());
  // The same value found deep in a long text.
  std::u16string long_head;
  for (int i = 0; i < 20000; ++i) long_head += u"X-Filler: abcdefghijklmnopqrstuvwxyz\r\n";
  long_head += u"Content-Length: 99\r\n\r\n";
  EXPECT_THAT(Values(u"Content-Length: {[0-9]+}", long_head), ElementsAre(u"99"));
}

}  // namespace
}  // namespace updater
