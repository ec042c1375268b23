#ifndef HTTP_PATTERN_PROGRAM_H_
#define HTTP_PATTERN_PROGRAM_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace updater {

// Compilation results of a header pattern.
enum PatternError : int32_t {
  kPatternOk = 0,
  kPatternOutOfMemory = 1,  // also: nesting or program size beyond the compiler's limits
  kPatternUnclosedBrace = 2,
  kPatternUnclosedParenthesis = 3,
  kPatternUnclosedClass = 4,  // also: a range whose end character is missing
  kPatternBadAbbreviation = 5,
  kPatternEmptyClass = 6,
  kPatternBadBackReference = 7,
  kPatternReversedRange = 8,
  kPatternEmptyLoop = 9,
  kPatternEmpty = 10,
};

// One instruction of the backtracking machine; the operand's meaning depends on
// the kind (character code, group, slot or instruction index).
enum class InstructionKind : int32_t {
  Skip,
  SetGroupStart,
  SetGroupEnd,
  Char,
  AnyChar,
  CharInRanges,
  CharNotInRanges,
  Jump,
  PushPosition,
  PopPosition,
  Call,
  Return,
  SaveSlot,
  RestoreSlot,
  PositionToSlot,
  StackDepthToSlot,
  SlotToPosition,
  SlotToStackDepth,
  RequireProgress,
  BackReference,
  FailAll,
  AdvanceStart,
  Accept,
  SaveGroup,
  RestoreGroup,
};

struct Instruction {
  InstructionKind kind = InstructionKind::Skip;
  size_t operand = 0;  // pointer-sized

  friend bool operator==(const Instruction&, const Instruction&) = default;
};

// Kinds whose operand is an instruction index, which moves with the code.
constexpr bool HasInstructionOperand(InstructionKind kind) {
  return kind == InstructionKind::Jump || kind == InstructionKind::Call ||
         kind == InstructionKind::CharInRanges || kind == InstructionKind::CharNotInRanges;
}

struct PatternProgram {
  std::vector<Instruction> instructions;
  uint32_t group_count = 0;
  uint32_t slot_count = 0;
  // A character every match must begin with, so that start positions without
  // it can be passed over; 0 when there is none.
  char16_t first_char = 0;
};

}  // namespace updater

#endif  // HTTP_PATTERN_PROGRAM_H_
