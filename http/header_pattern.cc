#include "http/header_pattern.h"

#include <algorithm>
#include <new>

#include "base/string_util.h"
#include "http/pattern_compiler.h"
#include "http/pattern_machine.h"

namespace updater {
namespace {

std::u16string_view UpToFirstNul(std::u16string_view text) {
  return text.substr(0, text.find(u'\0'));
}

void FoldInto(std::u16string_view text, std::u16string& folded) {
  folded.assign(text);
  for (char16_t& c : folded) c = ToLowerASCII(c);
}

bool EqualsFolded(std::u16string_view a, std::u16string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char16_t x, char16_t y) { return ToLowerASCII(x) == ToLowerASCII(y); });
}

// Where one match's values sit in the output list.
struct Tuple {
  size_t first;
  size_t count;
};

class TupleCollector {
 public:
  TupleCollector(std::vector<std::u16string>& values, bool case_sensitive, bool keep_duplicates)
      : values_(values), case_sensitive_(case_sensitive), keep_duplicates_(keep_duplicates) {}

  // Appends the groups of one match, up to the first that did not capture,
  // unless an equal tuple is already there.
  void Add(const MatchState& state, int group_count, std::u16string_view input) {
    const size_t first = values_.size();
    for (int group = 0; group < group_count; ++group) {
      const GroupSpan& span = state.groups[static_cast<size_t>(group)];
      if (!span.IsSet()) break;
      values_.emplace_back(input.substr(span.start, span.length()));
    }
    const Tuple tuple{first, values_.size() - first};
    if (tuple.count == 0) return;
    if (!keep_duplicates_ && IsKnown(tuple)) {
      values_.resize(first);
      return;
    }
    tuples_.push_back(tuple);
  }

 private:
  bool IsKnown(const Tuple& tuple) const {
    return std::any_of(tuples_.begin(), tuples_.end(),
                       [&](const Tuple& known) { return Equal(known, tuple); });
  }

  bool Equal(const Tuple& a, const Tuple& b) const {
    if (a.count != b.count) return false;
    for (size_t i = 0; i < a.count; ++i) {
      const std::u16string& x = values_[a.first + i];
      const std::u16string& y = values_[b.first + i];
      if (case_sensitive_ ? x != y : !EqualsFolded(x, y)) return false;
    }
    return true;
  }

  std::vector<std::u16string>& values_;
  const bool case_sensitive_;
  const bool keep_duplicates_;
  std::vector<Tuple> tuples_;
};

}  // namespace

int32_t HeaderPattern::Compile(std::u16string_view pattern, bool case_sensitive) {
  case_sensitive_ = case_sensitive;
  pattern = UpToFirstNul(pattern);
  try {
    std::u16string folded;
    if (!case_sensitive) FoldInto(pattern, folded);
    error_ = CompilePattern(case_sensitive ? pattern : std::u16string_view(folded),
                            HeaderPatternAbbreviations(), &program_);
  } catch (const std::bad_alloc&) {
    program_ = PatternProgram();
    error_ = kPatternOutOfMemory;
  }
  return error_;
}

bool HeaderPattern::Match(std::u16string_view text, MatchState* state, size_t* end) const {
  if (state == nullptr) return false;
  if (program_.instructions.empty()) {  // nothing compiled, or compilation failed
    if (end != nullptr) *end = 0;
    return false;
  }
  text = UpToFirstNul(text);
  std::u16string_view subject = text;
  try {
    if (!case_sensitive_) {
      FoldInto(text, state->folded_text);
      subject = state->folded_text;
    }
  } catch (const std::bad_alloc&) {
    if (end != nullptr) *end = 0;
    return false;
  }
  uint64_t steps_left = StepBudgetFor(text.size());
  const bool matched = RunPattern(program_, subject, 0, *state, steps_left);
  if (end != nullptr) *end = state->match_end;
  return matched;
}

bool HeaderPattern::FindAll(std::u16string_view pattern,
                            bool case_sensitive,
                            int group_count,
                            std::u16string_view input,
                            std::vector<std::u16string>* values,
                            bool keep_duplicates) {
  if (values == nullptr) return false;
  values->clear();
  pattern = UpToFirstNul(pattern);
  input = UpToFirstNul(input);
  if (pattern.empty() || input.empty() || group_count < 1) return false;
  if (Compile(pattern, case_sensitive) != kPatternOk) return false;
  if (static_cast<uint32_t>(group_count) > program_.group_count) return false;

  MatchState state;
  std::u16string_view subject = input;
  try {
    if (!case_sensitive) {
      FoldInto(input, state.folded_text);
      subject = state.folded_text;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  TupleCollector collector(*values, case_sensitive, keep_duplicates);
  uint64_t steps_left = StepBudgetFor(input.size());
  size_t position = 0;
  while (position < input.size() && RunPattern(program_, subject, position, state, steps_left)) {
    collector.Add(state, group_count, input);
    // An empty match would be found again at the same place.
    position = state.match_end > position ? state.match_end : position + 1;
  }
  return !state.limit_reached;
}

}  // namespace updater
