#ifndef HTTP_PATTERN_MACHINE_H_
#define HTTP_PATTERN_MACHINE_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "http/match_state.h"
#include "http/pattern_program.h"

namespace updater {

// Backtracking is exponential in the worst case, so every search carries a
// budget of executed instructions: generous for any linear or moderately
// quadratic search of a text of this length, and reached within about a
// second by a runaway one.
uint64_t StepBudgetFor(size_t text_length);

// The backtracking stack never holds more entries than this.
inline constexpr size_t kMaxStackEntries = size_t{1} << 22;

// Runs `program` over `subject`, trying start positions from `first_start` on
// (only `first_start` for an anchored program). Fills `state`; positions are
// offsets into `subject`. Spends from `steps_left`; when it or the stack runs
// out, the search fails with `state.limit_reached` set.
bool RunPattern(const PatternProgram& program,
                std::u16string_view subject,
                size_t first_start,
                MatchState& state,
                uint64_t& steps_left);

}  // namespace updater

#endif  // HTTP_PATTERN_MACHINE_H_
