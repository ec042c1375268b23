// Compiles an arbitrary pattern of up to 64 characters and runs it over an
// arbitrary text with Match and FindAll: every position reported must lie
// inside the text and every value must be a piece of it. Hangs are caught by
// the fuzzer's time-out.
//
// Input: one byte of options, one byte of pattern length, the pattern, then
// the text; each byte is one character, those from 0x80 up mapped to
// U+FF80..U+FFFF so that ranges and comparisons beyond ASCII are exercised.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "http/header_pattern.h"

namespace {

constexpr size_t kMaxPatternLength = 64;

std::u16string Widen(const uint8_t* data, size_t size) {
  std::u16string text(size, u'\0');
  for (size_t i = 0; i < size; ++i) {
    text[i] = static_cast<char16_t>(data[i] < 0x80 ? data[i] : 0xFF00 | data[i]);
  }
  return text;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckMatch(const updater::HeaderPattern& pattern, const std::u16string& text) {
  updater::MatchState state;
  size_t end = 0;
  const bool matched = pattern.Match(text, &state, &end);
  const size_t length = text.find(u'\0') == std::u16string::npos ? text.size() : text.find(u'\0');
  Check(end <= length);
  if (!matched) return;
  Check(state.match_start <= state.match_end && state.match_end == end);
  for (const updater::GroupSpan& group : state.groups) {
    if (group.IsSet()) Check(group.end <= length);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t options = data[0];
  const size_t pattern_length = std::min<size_t>(data[1] % (kMaxPatternLength + 1), size - 2);
  const std::u16string pattern = Widen(data + 2, pattern_length);
  const std::u16string text = Widen(data + 2 + pattern_length, size - 2 - pattern_length);
  const bool case_sensitive = options & 1;
  const bool keep_duplicates = options & 2;

  updater::HeaderPattern compiled;
  const int32_t error = compiled.Compile(pattern, case_sensitive);
  Check(error >= 0 && error <= 10);
  if (error != 0) return 0;
  CheckMatch(compiled, text);

  const int group_count = 1 + (options >> 2) % 3;
  std::vector<std::u16string> values;
  compiled.FindAll(pattern, case_sensitive, group_count, text, &values, keep_duplicates);
  for (const std::u16string& value : values)
    Check(value.empty() || text.find(value) != std::u16string::npos);
  return 0;
}
