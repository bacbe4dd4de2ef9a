#pragma once
// Reading VM code without running it: instruction lengths, a walker over a code
// area, the validation the interpreter relies on, and the mapping between code
// positions and the script text.
//
// None of these depend on the code context class: they work on a view of the code
// words (tNUVCodeView), a source position table and the script text's lines, which
// the context owns and hands in.

#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/vm/instructions.h"

namespace NUV {

// A code area: Length words at Words (Words may be null when Length is 0). Not owned.
struct tNUVCodeView {
  const int32_t* Words = nullptr;
  int32_t Length = 0;
};

// Why code does not decode or does not pass validation.
enum tNUVCodeFault : int32_t {
  cfNone = 0,
  cfUnknownOpcode,        // opcode word outside 0..127
  cfTruncated,            // the instruction runs past the end of the code area
  cfBadArgumentCount,     // count word below -2, or a negative pair count
  cfBadArgumentKind,      // an extended argument pair of a kind other than 0, 1, 2
  cfMisalignedOperand,    // register or constant word not a multiple of the slot size,
                          // or jump word not a multiple of the code word size
  cfBadJumpTarget,        // a jump target that is not the start of an instruction
  cfBadRegisterCount,     // ccl with a negative count
  cfRegisterOutOfRange,   // register outside the frame (only with limits)
  cfConstantOutOfRange,   // constant index outside the data area (only with limits)
};

// The length in words of the instruction at ip, or 0 when it does not decode there
// (fault, when given, says why). Checks the structure only: the opcode, the argument
// list of the call family, and that every word lies inside the code area.
int32_t DecodeInstructionLength(const tNUVCodeView& code, int32_t ip, tNUVCodeFault* fault = nullptr);

// Walks the instructions of a code area from a start position. An instruction that
// does not decode has length 0; Next then steps one word past an unknown opcode (so
// a reader can go on looking) and to the end of the area past any other fault,
// whose words cannot be told apart from operands.
class tNUVCodeWalker {
public:
  explicit tNUVCodeWalker(const tNUVCodeView& code, int32_t start = 0);
  bool AtEnd() const { return Ip >= Code.Length; }
  int32_t Position() const { return Ip; }
  int32_t Opcode() const { return Code.Words[Ip]; }
  const int32_t* Instruction() const { return Code.Words + Ip; }
  int32_t Length() const { return CurrentLength; }
  tNUVCodeFault Fault() const { return CurrentFault; }
  void Next();

private:
  void Decode();
  tNUVCodeView Code;
  int32_t Ip;
  int32_t CurrentLength = 0;
  tNUVCodeFault CurrentFault = cfNone;
};

// The frame and data area a code area must stay inside: registers from
// LowestRegister (minus locals and reserved registers) to HighestRegister (the
// frame register count), constants below ConstantCount.
struct tNUVCodeLimits {
  int32_t LowestRegister;
  int32_t HighestRegister;
  int32_t ConstantCount;
};

// The outcome of ValidateCode: the first fault and the position of the instruction
// that has it.
struct tNUVCodeCheck {
  tNUVCodeFault Fault = cfNone;
  int32_t Position = 0;
  bool IsValid() const { return Fault == cfNone; }
};

// Checks that the code decodes instruction by instruction exactly to its end, that
// operand words are properly scaled, and that every jump (and try entry) lands on
// the start of an instruction inside the area. With limits, also that registers and
// constants stay inside the frame and the data area.
tNUVCodeCheck ValidateCode(const tNUVCodeView& code, const tNUVCodeLimits* limits = nullptr);

// The lines of a script text, split at CR, LF and CR LF. A last line without a
// break counts; an empty text has no lines. Line numbers start at lineBase (the
// number of the text's first line within its file; 0-based). The text is not
// copied and must outlive the table.
class tNUVSourceLines {
public:
  tNUVSourceLines() = default;
  tNUVSourceLines(const char16_t* text, int32_t length, int32_t lineBase = 0);
  int32_t Count() const { return static_cast<int32_t>(Starts.size()); }
  int32_t LineBase() const { return Base; }
  // The last line whose start is not after position (lineBase for an empty text or
  // a position before the text).
  int32_t LineOfPosition(int32_t position) const;
  // The start offset of a line, or -1 when the text has no such line.
  int32_t LineStart(int32_t line) const;
  bool HasLine(int32_t line) const { return line - Base >= 0 && line - Base < Count(); }
  // The text of a line without its break; empty when there is no such line.
  std::u16string_view LineText(int32_t line) const;

private:
  const char16_t* Text = nullptr;
  int32_t Base = 0;
  std::vector<int32_t> Starts;
  std::vector<int32_t> Lengths;
};

// One entry of a source position table.
struct tNUVSourcePositionPair {
  int32_t CodePosition;
  int32_t SourcePosition;
};

// Maps code positions to character positions in the script text. The code
// generator adds pairs in any order; lookups sort the table first (stably, so of
// pairs with the same code position the one added last wins).
class tNUVSourcePositionTable {
public:
  void Add(int32_t codePosition, int32_t sourcePosition);
  int32_t Count() const { return static_cast<int32_t>(Pairs.size()); }
  bool IsEmpty() const { return Pairs.empty(); }
  // The source position of the last pair whose code position is not greater than
  // ip; 0 for an empty table or an ip before the first pair.
  int32_t FindPosition(int32_t ip);
  // The first code position of the source line holding ip: the smallest code
  // position among the pairs whose source position is at or after the start of
  // that line; 0 when there is none.
  int32_t FirstCodeOfLine(int32_t ip, const tNUVSourceLines& lines);
  // The smallest code position among the pairs whose source position is at or
  // after lineStart; 0 when there is none.
  int32_t FirstCodeAtOrAfter(int32_t lineStart) const;
  // The pairs, sorted by code position.
  const std::vector<tNUVSourcePositionPair>& SortedPairs();
  // Code was inserted: the range [start, end) became end - start + delta words.
  // Pairs behind the range move by delta; pairs inside it move to start.
  void Relocate(int32_t start, int32_t end, int32_t delta);
  void ShrinkToFit() { Pairs.shrink_to_fit(); }

private:
  void Sort();
  std::vector<tNUVSourcePositionPair> Pairs;
  bool Sorted = true;
};

}  // namespace NUV
