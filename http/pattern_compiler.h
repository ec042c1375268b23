#ifndef HTTP_PATTERN_COMPILER_H_
#define HTTP_PATTERN_COMPILER_H_

#include <cstdint>
#include <span>
#include <string_view>

#include "http/pattern_program.h"

namespace updater {

// `\` followed by `letter` in a pattern stands for `expansion`, compiled in
// place as a single closure.
struct Abbreviation {
  char16_t letter;
  std::u16string_view expansion;
};

// The table every header pattern uses.
std::span<const Abbreviation> HeaderPatternAbbreviations();

// Compiles `pattern` (already folded when case does not matter, and ending at
// its first NUL) into `program`, replacing what was there. Returns a
// PatternError; on failure `program` is left empty.
int32_t CompilePattern(std::u16string_view pattern,
                       std::span<const Abbreviation> abbreviations,
                       PatternProgram* program);

}  // namespace updater

#endif  // HTTP_PATTERN_COMPILER_H_
