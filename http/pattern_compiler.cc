#include "http/pattern_compiler.h"

#include <array>
#include <initializer_list>
#include <limits>
#include <new>
#include <vector>

namespace updater {
namespace {

using Kind = InstructionKind;

// The CR and LF in the line-end entry are the characters themselves; `\t` in a
// class is the class's own tab escape.
constexpr std::array<Abbreviation, 9> kAbbreviations = {{
    {u'a', u"([a-zA-Z0-9])"},
    {u'b', u"([ \\t])"},
    {u'c', u"([a-zA-Z])"},
    {u'd', u"([0-9])"},
    {u'h', u"([0-9a-fA-F])"},
    {u'n', u"(\r|(\r?\n))"},
    {u'q', u"(\"[^\"]*\")|('[^']*')"},
    {u'w', u"([a-zA-Z]+)"},
    {u'z', u"([0-9]+)"},
}};

// Bounds that keep a hostile pattern from exhausting the compiler's own stack
// (each nesting level recurses) or memory (each `+` copies its atom, so nested
// `+` closures double the program).
constexpr int kMaxNesting = 200;
constexpr size_t kMaxInstructions = size_t{1} << 20;

struct CompileFailure {
  int32_t error;
};

// A compiled construct: its instructions run from `start` to the current end
// of the program.
struct Fragment {
  size_t start;
  bool may_be_empty;
};

enum class GroupState : uint8_t { kOpen, kMayBeEmpty, kNeverEmpty };

// What all parsers of one compilation share, the parser of an abbreviation's
// expansion included.
struct CompileContext {
  std::span<const Abbreviation> abbreviations;
  PatternProgram& program;
  std::vector<GroupState> groups;
  int nesting = 0;
};

bool IsCloser(char16_t c) {
  return c == u'}' || c == u']' || c == u')';
}

bool IsQuantifier(char16_t c) {
  return c == u'*' || c == u'+' || c == u'?';
}

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

class Parser {
 public:
  Parser(std::u16string_view text, CompileContext& context) : text_(text), context_(context) {}

  void CompileWholePattern() {
    const bool anchored = Peek() == u'^';
    if (anchored) ++pos_;
    Emit(Kind::Call, 2);
    Emit(anchored ? Kind::FailAll : Kind::AdvanceStart);
    ParseSequence();  // a stray closer ends the pattern; the rest is ignored
    Emit(Kind::Accept);
  }

  Fragment ParseExpansion() {
    if (!CanBeginAtom()) throw CompileFailure{kPatternBadAbbreviation};
    return ParseClosure();  // only the first closure of the expansion counts
  }

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  char16_t Peek() const { return AtEnd() ? 0 : text_[pos_]; }
  char16_t Next() { return text_[pos_++]; }
  bool CanBeginAtom() const { return !AtEnd() && !IsCloser(Peek()); }

  std::vector<Instruction>& Code() { return context_.program.instructions; }
  size_t Size() const { return context_.program.instructions.size(); }

  size_t Emit(Kind kind, size_t operand = 0) {
    if (Size() >= kMaxInstructions) throw CompileFailure{kPatternOutOfMemory};
    Code().push_back({kind, operand});
    return Size() - 1;
  }

  void Patch(size_t index, size_t operand) { Code()[index].operand = operand; }

  uint32_t NewSlot() { return context_.program.slot_count++; }

  // Moves the fragment at `start` on by `count` instructions, whose room is
  // left for the caller to fill. A fragment only jumps within itself, so every
  // instruction operand inside it moves too.
  void MakeRoom(size_t start, size_t count) {
    if (Size() + count > kMaxInstructions) throw CompileFailure{kPatternOutOfMemory};
    for (size_t i = start; i < Size(); ++i) {
      if (HasInstructionOperand(Code()[i].kind)) Code()[i].operand += count;
    }
    Code().insert(Code().begin() + static_cast<std::ptrdiff_t>(start), count, Instruction{});
  }

  void Place(size_t index, std::initializer_list<Instruction> instructions) {
    for (const Instruction& instruction : instructions) Code()[index++] = instruction;
  }

  // Appends a copy of the fragment at `start`; returns where the copy begins.
  size_t CopyFragment(size_t start) {
    const size_t end = Size();
    if (end + (end - start) > kMaxInstructions) throw CompileFailure{kPatternOutOfMemory};
    const size_t offset = end - start;
    for (size_t i = start; i < end; ++i) {
      Instruction copy = Code()[i];
      if (HasInstructionOperand(copy.kind)) copy.operand += offset;
      Code().push_back(copy);
    }
    return end;
  }

  class NestingScope {
   public:
    explicit NestingScope(CompileContext& context) : context_(context) {
      if (++context_.nesting > kMaxNesting) throw CompileFailure{kPatternOutOfMemory};
    }
    ~NestingScope() { --context_.nesting; }
    NestingScope(const NestingScope&) = delete;
    NestingScope& operator=(const NestingScope&) = delete;

   private:
    CompileContext& context_;
  };

  // Sequence: terms up to the end or a closer, which the caller consumes.
  Fragment ParseSequence() {
    Fragment sequence{Size(), true};
    while (CanBeginAtom()) sequence.may_be_empty &= ParseTerm().may_be_empty;
    return sequence;
  }

  // Term: closure, optionally `|` and another term. A chain of alternatives
  // nests to the right and every alternative ends at the same place, so the
  // chain is built in a loop.
  Fragment ParseTerm() {
    Fragment term = ParseClosure();
    size_t alternative = term.start;
    std::vector<size_t> jumps_to_end;
    while (Peek() == u'|') {
      ++pos_;
      MakeRoom(alternative, 4);
      Place(alternative, {{Kind::PushPosition},
                          {Kind::Call, alternative + 4},
                          {Kind::PopPosition},
                          {Kind::Jump, 0}});
      jumps_to_end.push_back(Emit(Kind::Jump));
      const size_t jump_to_second = alternative + 3;
      alternative = Size();
      Patch(jump_to_second, alternative);
      // A `|` with nothing after it alternates with the empty text.
      const bool second_may_be_empty = CanBeginAtom() ? ParseClosure().may_be_empty : true;
      term.may_be_empty |= second_may_be_empty;
    }
    for (size_t jump : jumps_to_end) Patch(jump, Size());
    return term;
  }

  // Closure: atom and at most one quantifier; a further quantifier character
  // begins a new atom.
  Fragment ParseClosure() {
    const Fragment atom = ParseAtom();
    const char16_t quantifier = Peek();
    if (!IsQuantifier(quantifier)) return atom;
    ++pos_;
    const bool lazy = Peek() == u'?';
    if (lazy) ++pos_;
    if (quantifier != u'?' && atom.may_be_empty) throw CompileFailure{kPatternEmptyLoop};
    switch (quantifier) {
      case u'*':
        lazy ? WrapLazy(atom.start, true) : WrapGreedy(atom.start, true);
        return {atom.start, true};
      case u'+':
        lazy ? WrapLazy(CopyFragment(atom.start), true)
             : WrapGreedy(CopyFragment(atom.start), true);
        return {atom.start, lazy || atom.may_be_empty};
      default:
        lazy ? WrapLazy(atom.start, false) : WrapGreedy(atom.start, false);
        return {atom.start, true};
    }
  }

  // X* (repeat) or X?: one more X is tried first and given back on failure;
  // an X that consumed nothing does not count.
  void WrapGreedy(size_t start, bool repeat) {
    const size_t slot = NewSlot();
    MakeRoom(start, 7);
    Place(start, {{Kind::SaveSlot, slot},
                  {Kind::PositionToSlot, slot},
                  {Kind::PushPosition},
                  {Kind::Call, start + 7},
                  {Kind::PopPosition},
                  {Kind::RestoreSlot, slot},
                  {Kind::Jump, 0}});
    Emit(Kind::RequireProgress, slot);
    Emit(Kind::PositionToSlot, slot);
    if (repeat) Emit(Kind::Jump, start);
    Patch(start + 6, Size());
  }

  // X*? (repeat) or X??: the continuation is tried first, one more X on failure.
  void WrapLazy(size_t start, bool repeat) {
    MakeRoom(start, 1);
    if (repeat) Emit(Kind::Jump, start);
    Place(start, {{Kind::Call, Size()}});
  }

  Fragment ParseAtom() {
    const char16_t c = Next();
    switch (c) {
      case u'{':
        return ParseCaptureGroup();
      case u'(':
        return ParsePlainGroup();
      case u'[':
        return ParseClass();
      case u'\\':
        return ParseEscape();
      case u'!':
        return CanBeginAtom() ? ParseLookAhead() : EmitLiteral(c);
      case u'.':
        return {Emit(Kind::AnyChar), false};
      case u'$':
        // Only the final `$` is the end of the text, which it matches without
        // consuming anything.
        if (AtEnd()) return {Emit(Kind::Char, 0), true};
        return EmitLiteral(c);
      default:
        return EmitLiteral(c);
    }
  }

  Fragment EmitLiteral(char16_t c) { return {Emit(Kind::Char, c), false}; }

  // The content of a group; an empty one still needs an instruction to enter.
  Fragment ParseGroupBody() {
    Fragment body = ParseSequence();
    if (Size() == body.start) Emit(Kind::Skip);
    return body;
  }

  void Expect(char16_t closer, int32_t error) {
    if (Peek() != closer) throw CompileFailure{error};
    ++pos_;
  }

  Fragment ParseCaptureGroup() {
    NestingScope scope(context_);
    const auto group = static_cast<size_t>(context_.groups.size());
    context_.groups.push_back(GroupState::kOpen);
    ++context_.program.group_count;
    const size_t start = Emit(Kind::SaveGroup, group);
    Emit(Kind::SetGroupStart, group);
    Emit(Kind::Call, start + 5);
    Emit(Kind::RestoreGroup, group);
    Emit(Kind::Return);
    const bool may_be_empty = ParseGroupBody().may_be_empty;
    Expect(u'}', kPatternUnclosedBrace);
    Emit(Kind::SetGroupEnd, group);
    context_.groups[group] = may_be_empty ? GroupState::kMayBeEmpty : GroupState::kNeverEmpty;
    return {start, may_be_empty};
  }

  Fragment ParsePlainGroup() {
    NestingScope scope(context_);
    const size_t start = Emit(Kind::Call, Size() + 2);
    Emit(Kind::Return);
    const bool may_be_empty = ParseGroupBody().may_be_empty;
    Expect(u')', kPatternUnclosedParenthesis);
    return {start, may_be_empty};
  }

  // A negative look-ahead consumes nothing, whatever its atom does, so it may
  // always match the empty text.
  Fragment ParseLookAhead() {
    NestingScope scope(context_);
    const size_t position_slot = NewSlot();
    const size_t depth_slot = NewSlot();
    const size_t start = Emit(Kind::PositionToSlot, position_slot);
    Emit(Kind::StackDepthToSlot, depth_slot);
    Emit(Kind::Call, start + 6);
    Emit(Kind::SlotToPosition, position_slot);
    Emit(Kind::SlotToStackDepth, depth_slot);
    const size_t jump_to_end = Emit(Kind::Jump);
    ParseAtom();
    Emit(Kind::SlotToPosition, position_slot);
    Emit(Kind::SlotToStackDepth, depth_slot);
    Emit(Kind::Return);
    Patch(jump_to_end, Size());
    return {start, true};
  }

  Fragment ParseClass() {
    const bool negated = Peek() == u'^';
    if (negated) ++pos_;
    const size_t start = Emit(negated ? Kind::CharNotInRanges : Kind::CharInRanges);
    if (Peek() == u']') throw CompileFailure{kPatternEmptyClass};
    while (Peek() != u']') {
      if (AtEnd()) throw CompileFailure{kPatternUnclosedClass};
      const char16_t low = NextClassCharacter();
      char16_t high = low;
      if (Peek() == u'-') {
        ++pos_;
        if (AtEnd() || Peek() == u']') throw CompileFailure{kPatternUnclosedClass};
        high = Next();  // taken as written
        if (high < low) throw CompileFailure{kPatternReversedRange};
      }
      Emit(Kind::Skip, low);
      Emit(Kind::Skip, high);
    }
    ++pos_;
    Patch(start, Size());
    return {start, false};
  }

  char16_t NextClassCharacter() {
    const char16_t c = Next();
    if (c != u'\\') return c;
    if (AtEnd()) throw CompileFailure{kPatternUnclosedClass};
    const char16_t escaped = Next();
    return escaped == u't' ? u'\t' : escaped;
  }

  Fragment ParseEscape() {
    if (AtEnd()) return EmitLiteral(u'\\');  // a lone trailing backslash stands for itself
    const char16_t c = Next();
    if (IsDigit(c)) return ParseBackReference(c);
    for (const Abbreviation& abbreviation : context_.abbreviations) {
      if (abbreviation.letter == c) return ParseAbbreviation(abbreviation.expansion);
    }
    return EmitLiteral(c);
  }

  // A back-reference consumes nothing when its group captured the empty text,
  // and its own group is still open while it runs.
  Fragment ParseBackReference(char16_t first_digit) {
    size_t group = first_digit - u'0';
    while (IsDigit(Peek())) {
      const size_t digit = Next() - u'0';
      group = group > (std::numeric_limits<uint32_t>::max() - digit) / 10
                  ? std::numeric_limits<uint32_t>::max()
                  : group * 10 + digit;
    }
    if (group >= context_.groups.size()) throw CompileFailure{kPatternBadBackReference};
    return {Emit(Kind::BackReference, group), context_.groups[group] != GroupState::kNeverEmpty};
  }

  Fragment ParseAbbreviation(std::u16string_view expansion) {
    NestingScope scope(context_);
    Parser expansion_parser(expansion, context_);
    try {
      return expansion_parser.ParseExpansion();
    } catch (const CompileFailure& failure) {
      if (failure.error == kPatternOutOfMemory) throw;
      throw CompileFailure{kPatternBadAbbreviation};
    }
  }

  std::u16string_view text_;
  size_t pos_ = 0;
  CompileContext& context_;
};

// Follows the entry of the program through group entries, whose fall-through
// only undoes the group and fails, to a literal character every match must
// begin with.
char16_t FindFirstChar(const std::vector<Instruction>& code) {
  size_t pc = 2;
  for (size_t steps = 0; steps < code.size() && pc < code.size(); ++steps) {
    const Instruction& instruction = code[pc];
    switch (instruction.kind) {
      case Kind::SaveGroup:
      case Kind::SetGroupStart:
        ++pc;
        break;
      case Kind::Call: {
        const bool returns_only =
            code[pc + 1].kind == Kind::Return ||
            (code[pc + 1].kind == Kind::RestoreGroup && code[pc + 2].kind == Kind::Return);
        if (!returns_only) return 0;
        pc = instruction.operand;
        break;
      }
      case Kind::Char:
        return static_cast<char16_t>(instruction.operand);
      default:
        return 0;
    }
  }
  return 0;
}

}  // namespace

std::span<const Abbreviation> HeaderPatternAbbreviations() {
  return kAbbreviations;
}

int32_t CompilePattern(std::u16string_view pattern,
                       std::span<const Abbreviation> abbreviations,
                       PatternProgram* program) {
  *program = PatternProgram();
  if (pattern.empty()) return kPatternEmpty;
  try {
    CompileContext context{abbreviations, *program, {}, 0};
    Parser(pattern, context).CompileWholePattern();
    if (program->instructions[1].kind == Kind::AdvanceStart) {
      program->first_char = FindFirstChar(program->instructions);
    }
    return kPatternOk;
  } catch (const CompileFailure& failure) {
    *program = PatternProgram();
    return failure.error;
  } catch (const std::bad_alloc&) {
    *program = PatternProgram();
    return kPatternOutOfMemory;
  }
}

}  // namespace updater
