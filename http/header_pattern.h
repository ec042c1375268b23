#ifndef HTTP_HEADER_PATTERN_H_
#define HTTP_HEADER_PATTERN_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "http/match_state.h"
#include "http/pattern_program.h"

namespace updater {

// A small backtracking pattern engine over UTF-16 text, used to pull values
// out of HTTP response heads ("Content-Length: {[0-9]+}").
//
// Syntax: an optional leading `^` anchors the match to the start of the text.
// `{...}` captures (groups numbered 0, 1, ... by their opening brace), `(...)`
// groups, `[...]`/`[^...]` are classes of characters and ranges (`\t` is a tab
// there, `\` takes the next character literally), `.` is any character, a final
// `$` the end of the text, `!X` a negative look-ahead, `\0`.. a back-reference,
// and `\a \b \c \d \h \n \q \w \z` abbreviations (letter or digit, blank,
// letter, digit, hex digit, line end with CR tried first, double-quoted string,
// letters, digits). `*`, `+`, `?` are greedy, `*?`, `+?`, `??` lazy.
// Alternation joins single closures: "ab|cd" is a, then b or c, then d.
// Operators out of place (`*` at the start, a second quantifier, a `$` before
// the end) and stray closers are literal or, at the top level, end the
// pattern. Matching without regard to case folds A-Z only, in the pattern and
// in a copy of the text; positions always refer to the caller's text.
//
// Choices where nothing else fixes the behaviour:
// - Texts and patterns end at their first NUL character.
// - A lone trailing `\` matches a backslash; a `!` with no atom after it (the
//   end or a closer) matches a `!`; a `|` with nothing after it alternates
//   with the empty text.
// - The final `$` matches the end without consuming it, so match ends stay
//   inside the text. Start positions run from the first character to the
//   last (the end only for an empty text), so "$" alone never matches a
//   non-empty text.
// - A negative look-ahead and a back-reference to a group that may capture
//   the empty text both count as able to match the empty text, so that `*`
//   and `+` after them are refused (error 9) like any other loop over
//   something empty: a lazy loop over them would never end.
// - A back-reference to a group that has not captured fails.
// - A look-ahead whose atom matched drops every choice made since it began,
//   the undoing of captures inside it included: such a capture stays set
//   even when the match then succeeds another way.
// - FindAll resumes one character after an empty match (never at the same
//   place twice), and reports no empty match at the very end of the input.
// - Every search has a budget of steps proportional to the text's length
//   (StepBudgetFor; a back-reference costs a step per character compared)
//   and a backtracking stack of at most kMaxStackEntries entries (a greedy
//   loop takes three per repetition). A search that exhausts either gives up
//   as "no match" with MatchState::limit_reached set, and FindAll then
//   returns false with the values found so far.
// - Compilation refuses, with error 1, patterns nested more than 200 deep or
//   whose program would exceed 2^20 instructions.
class HeaderPattern {
 public:
  HeaderPattern() = default;

  // Compiles `pattern`, replacing any earlier program; returns the error
  // number (0 on success), which also stays in error().
  int32_t Compile(std::u16string_view pattern, bool case_sensitive);

  // Searches `text` from its beginning (only at its beginning when anchored).
  // On a match fills `state` and `*end` (the position after the match) and
  // returns true; otherwise `*end` is where the search stopped.
  bool Match(std::u16string_view text, MatchState* state, size_t* end) const;

  // Compiles `pattern` and collects groups 0 .. group_count - 1 of every
  // successive match in `input` into `values` (cleared first), dropping
  // tuples equal to an earlier one unless `keep_duplicates`. False for an
  // empty pattern or input, a group_count below 1 or above the pattern's
  // number of groups, a compilation error, or a search that hit its limits.
  bool FindAll(std::u16string_view pattern,
               bool case_sensitive,
               int group_count,
               std::u16string_view input,
               std::vector<std::u16string>* values,
               bool keep_duplicates);

  int32_t error() const { return error_; }
  const std::vector<Instruction>& instructions() const { return program_.instructions; }
  uint32_t group_count() const { return program_.group_count; }
  uint32_t slot_count() const { return program_.slot_count; }
  bool case_sensitive() const { return case_sensitive_; }

 private:
  int32_t error_ = kPatternOk;
  PatternProgram program_;
  bool case_sensitive_ = true;
};

}  // namespace updater

#endif  // HTTP_HEADER_PATTERN_H_
