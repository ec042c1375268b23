#include "http/pattern_machine.h"

#include <algorithm>
#include <new>

namespace updater {
namespace {

using Kind = InstructionKind;

constexpr size_t kInitialStackEntries = 256;
constexpr uint64_t kBaseSteps = uint64_t{1} << 20;
constexpr uint64_t kStepsPerCharacter = 256;

void PrepareState(const PatternProgram& program, MatchState& state) {
  state.group_count = program.group_count;
  state.groups.assign(program.group_count, GroupSpan());
  state.slots.assign(program.slot_count, 0);
  state.limit_reached = false;
  state.match_start = state.match_end = 0;
  if (state.stack.size() < kInitialStackEntries) state.stack.resize(kInitialStackEntries);
}

// Grows the full stack to twice its depth plus 4 entries.
bool GrowStack(std::vector<size_t>& stack, size_t depth) {
  const size_t room = 2 * depth + 4;
  if (room > kMaxStackEntries) return false;
  try {
    stack.resize(room);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// The (low, high) pairs sit in the slots between a class instruction at `pc`
// and its operand.
bool InRanges(const Instruction* code, size_t pc, char16_t c) {
  for (size_t slot = pc + 1; slot + 1 < code[pc].operand; slot += 2) {
    if (code[slot].operand <= c && c <= code[slot + 1].operand) return true;
  }
  return false;
}

// The text is already folded when case does not matter, so an exact
// comparison serves both modes. A group that has not captured fails.
bool BackReferenceMatches(const GroupSpan& group, std::u16string_view text, size_t pos) {
  return group.IsSet() && group.length() <= text.size() - pos &&
         text.compare(pos, group.length(), text.substr(group.start, group.length())) == 0;
}

}  // namespace

uint64_t StepBudgetFor(size_t text_length) {
  return kBaseSteps + kStepsPerCharacter * static_cast<uint64_t>(text_length);
}

// The machine's registers are locals so that they stay out of memory that the
// stack and slot stores could alias.
bool RunPattern(const PatternProgram& program,
                std::u16string_view subject,
                size_t first_start,
                MatchState& state,
                uint64_t& steps_left) {
  if (program.instructions.empty()) return false;
  PrepareState(program, state);
  const Instruction* const code = program.instructions.data();
  const char16_t* const text = subject.data();
  const size_t length = subject.size();
  GroupSpan* const groups = state.groups.data();
  size_t* const slots = state.slots.data();
  size_t* stack = state.stack.data();
  size_t capacity = state.stack.size();
  size_t depth = 0;
  uint64_t steps = steps_left;

  // The next start position worth an attempt: the next occurrence of the
  // character every match begins with, or the end of the text.
  const auto next_candidate = [&](size_t from) {
    if (program.first_char == 0) return from;
    return std::min(subject.find(program.first_char, from), length);
  };
  const auto finish = [&](bool matched, size_t end) {
    state.match_end = end;
    steps_left = steps;
    return matched;
  };
  const auto pop = [&]() -> size_t { return depth == 0 ? 0 : stack[--depth]; };
  const auto push = [&](size_t value) {
    if (depth == capacity) [[unlikely]] {
      if (!GrowStack(state.stack, depth)) return false;
      stack = state.stack.data();
      capacity = state.stack.size();
    }
    stack[depth++] = value;
    return true;
  };

  size_t start = next_candidate(first_start);
  if (start > length || (start == length && length != 0)) return finish(false, length);
  size_t pos = start;
  size_t pc = 0;
  const auto fail = [&] { pc = pop(); };  // an empty stack restarts at instruction 0
  const auto give_up = [&] {
    state.limit_reached = true;
    return finish(false, start);
  };
  for (;;) {
    if (steps == 0) [[unlikely]]
      return give_up();
    --steps;
    const Instruction& instruction = code[pc];
    const size_t operand = instruction.operand;
    switch (instruction.kind) {
      case Kind::Skip:
        ++pc;
        break;
      case Kind::SetGroupStart:
        groups[operand].start = pos;
        ++pc;
        break;
      case Kind::SetGroupEnd:
        groups[operand].end = pos;
        ++pc;
        break;
      case Kind::Char:
        if (pos < length ? text[pos] == operand : operand == 0) {
          if (operand != 0) ++pos;  // the end of the text is matched, not consumed
          ++pc;
        } else {
          fail();
        }
        break;
      case Kind::AnyChar:
        if (pos < length) {
          ++pos;
          ++pc;
        } else {
          fail();
        }
        break;
      case Kind::CharInRanges:
      case Kind::CharNotInRanges:
        if (pos < length &&
            InRanges(code, pc, text[pos]) == (instruction.kind == Kind::CharInRanges)) {
          ++pos;
          pc = operand;
        } else {
          fail();
        }
        break;
      case Kind::Jump:
        pc = operand;
        break;
      case Kind::PushPosition:
        if (!push(pos)) return give_up();
        ++pc;
        break;
      case Kind::PopPosition:
        pos = std::min(pop(), length);
        ++pc;
        break;
      case Kind::Call:
        if (pc == 0) state.match_start = pos;
        if (!push(pc + 1)) return give_up();
        pc = operand;
        break;
      case Kind::Return:
        fail();
        break;
      case Kind::SaveSlot:
        if (!push(slots[operand])) return give_up();
        ++pc;
        break;
      case Kind::RestoreSlot:
        slots[operand] = pop();
        ++pc;
        break;
      case Kind::PositionToSlot:
        slots[operand] = pos;
        ++pc;
        break;
      case Kind::StackDepthToSlot:
        slots[operand] = depth;
        ++pc;
        break;
      case Kind::SlotToPosition:
        pos = std::min(slots[operand], length);
        ++pc;
        break;
      case Kind::SlotToStackDepth:
        depth = std::min(slots[operand], depth);
        ++pc;
        break;
      case Kind::RequireProgress:
        if (pos == slots[operand]) {
          fail();
        } else {
          ++pc;
        }
        break;
      case Kind::BackReference:
        // Comparing costs a step per character, so that the budget bounds
        // the work rather than the instruction count.
        if (groups[operand].IsSet() && groups[operand].length() >= steps) return give_up();
        if (groups[operand].IsSet()) steps -= groups[operand].length();
        if (BackReferenceMatches(groups[operand], subject, pos)) {
          pos += groups[operand].length();
          ++pc;
        } else {
          fail();
        }
        break;
      case Kind::FailAll:
        return finish(false, start);
      case Kind::AdvanceStart:
        start = next_candidate(start + 1);
        if (start >= length) return finish(false, length);
        depth = 0;
        pos = start;
        pc = 0;
        break;
      case Kind::Accept:
        return finish(true, pos);
      case Kind::SaveGroup:
        if (!push(groups[operand].start) || !push(groups[operand].end)) return give_up();
        ++pc;
        break;
      case Kind::RestoreGroup:
        groups[operand].end = pop();
        groups[operand].start = pop();
        ++pc;
        break;
    }
  }
}

}  // namespace updater
