#ifndef HTTP_MATCH_STATE_H_
#define HTTP_MATCH_STATE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace updater {

inline constexpr size_t kNoPosition = static_cast<size_t>(-1);

// A captured span of the text; unset until the group has matched.
struct GroupSpan {
  size_t start = kNoPosition;
  size_t end = kNoPosition;

  bool IsSet() const { return start != kNoPosition && end != kNoPosition && start <= end; }
  size_t length() const { return end - start; }
};

// The record of one match. A state kept across matches keeps its buffers, so
// that repeated matching allocates nothing once they have grown.
struct MatchState {
  uint32_t group_count = 0;
  size_t match_start = 0;
  size_t match_end = 0;  // after the match, or where the search stopped
  std::vector<size_t> slots;
  std::vector<GroupSpan> groups;
  std::vector<size_t> stack;  // room for the backtracking stack; its depth is the machine's
  // The search gave up because it reached its step or stack limit, rather
  // than because nothing matches.
  bool limit_reached = false;
  std::u16string folded_text;  // the lower-cased copy matched when case does not matter
};

}  // namespace updater

#endif  // HTTP_MATCH_STATE_H_
