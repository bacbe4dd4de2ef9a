#include "engine/vm/code_decoding.h"

#include <algorithm>

namespace NUV {

namespace {

// Length of the argument list part of a call-family instruction whose fixed part
// (ending with the count word) starts at ip; 0 with a fault when malformed. Lengths
// are computed in 64 bits so that a huge count cannot wrap around.
int32_t DecodeCallLength(const tNUVCodeView& code, int32_t ip, int32_t fixed, tNUVCodeFault* fault) {
  int64_t available = static_cast<int64_t>(code.Length) - ip;
  int32_t count = code.Words[ip + fixed - 1];
  int64_t length;
  if (count >= 0) {
    length = static_cast<int64_t>(fixed) + count;
  } else if (count == NUVArgumentsOmitted) {
    length = fixed;
  } else if (count == NUVArgumentsExtended) {
    if (available < fixed + 1) {
      *fault = cfTruncated;
      return 0;
    }
    int32_t pairs = code.Words[ip + fixed];
    if (pairs < 0) {
      *fault = cfBadArgumentCount;
      return 0;
    }
    length = static_cast<int64_t>(fixed) + 1 + 2 * static_cast<int64_t>(pairs);
    if (length > available) {
      *fault = cfTruncated;
      return 0;
    }
    for (int32_t i = 0; i < pairs; ++i) {
      int32_t kind = code.Words[ip + fixed + 1 + 2 * i];
      if (kind != akPlain && kind != akExpand && kind != akUnnamed) {
        *fault = cfBadArgumentKind;
        return 0;
      }
    }
  } else {
    *fault = cfBadArgumentCount;
    return 0;
  }
  if (length > available) {
    *fault = cfTruncated;
    return 0;
  }
  return static_cast<int32_t>(length);
}

bool IsInRange(int64_t value, int64_t lowest, int64_t highest) { return value >= lowest && value <= highest; }

// Checks the operand words of one decoded instruction (not the jump targets, which
// need all instruction starts).
tNUVCodeFault CheckOperands(const int32_t* instruction, int32_t length, const tNUVCodeLimits* limits) {
  const tNUVInstructionInfo& info = InstructionInfo(instruction[0]);
  auto checkRegister = [limits](int32_t word) {
    if (word % NUVSlotSize != 0) return cfMisalignedOperand;
    if (limits && !IsInRange(DecodeRegister(word), limits->LowestRegister, limits->HighestRegister))
      return cfRegisterOutOfRange;
    return cfNone;
  };
  for (int32_t i = 0; info.Shape[i] != 0; ++i) {
    int32_t word = instruction[1 + i];
    tNUVCodeFault fault = cfNone;
    switch (info.Shape[i]) {
      case 'r':
        fault = checkRegister(word);
        break;
      case 'c':
        if (word % NUVSlotSize != 0) {
          fault = cfMisalignedOperand;
        } else if (limits && (word < 0 || DecodeConstant(word) >= limits->ConstantCount)) {
          fault = cfConstantOutOfRange;
        }
        break;
      case 'n': {
        // A register count after its first register: the whole range must fit.
        if (word < 0) {
          fault = cfBadRegisterCount;
        } else if (limits && word > 0) {
          int64_t last = static_cast<int64_t>(DecodeRegister(instruction[i])) + word - 1;
          if (!IsInRange(last, limits->LowestRegister, limits->HighestRegister)) fault = cfRegisterOutOfRange;
        }
        break;
      }
      case 't':
        if (word % NUVCodeWordSize != 0) fault = cfMisalignedOperand;
        break;
    }
    if (fault != cfNone) return fault;
  }
  if (info.List == ArgumentList) {
    int32_t fixed = info.Length;
    int32_t count = instruction[fixed - 1];
    if (count >= 0) {
      for (int32_t i = 0; i < count; ++i) {
        tNUVCodeFault fault = checkRegister(instruction[fixed + i]);
        if (fault != cfNone) return fault;
      }
    } else if (count == NUVArgumentsExtended) {
      for (int32_t i = fixed + 1; i + 1 < length; i += 2) {
        // The register word of an unnamed-arguments pair is unused.
        if (instruction[i] == akUnnamed) continue;
        tNUVCodeFault fault = checkRegister(instruction[i + 1]);
        if (fault != cfNone) return fault;
      }
    }
  }
  return cfNone;
}

}  // namespace

int32_t DecodeInstructionLength(const tNUVCodeView& code, int32_t ip, tNUVCodeFault* fault) {
  tNUVCodeFault ignored;
  if (!fault) fault = &ignored;
  *fault = cfNone;
  if (ip < 0 || ip >= code.Length) {
    *fault = cfTruncated;
    return 0;
  }
  int32_t opcode = code.Words[ip];
  if (!IsValidOpcode(opcode)) {
    *fault = cfUnknownOpcode;
    return 0;
  }
  const tNUVInstructionInfo& info = InstructionInfo(opcode);
  if (info.Length > code.Length - ip) {
    *fault = cfTruncated;
    return 0;
  }
  if (info.List == NoArguments) return info.Length;
  return DecodeCallLength(code, ip, info.Length, fault);
}

// Walker ----------------------------------------------------------------------------

tNUVCodeWalker::tNUVCodeWalker(const tNUVCodeView& code, int32_t start) : Code(code), Ip(start < 0 ? 0 : start) {
  Decode();
}

void tNUVCodeWalker::Decode() {
  CurrentFault = cfNone;
  CurrentLength = AtEnd() ? 0 : DecodeInstructionLength(Code, Ip, &CurrentFault);
}

void tNUVCodeWalker::Next() {
  if (AtEnd()) return;
  if (CurrentLength > 0) {
    Ip += CurrentLength;
  } else if (CurrentFault == cfUnknownOpcode) {
    ++Ip;
  } else {
    Ip = Code.Length;
  }
  Decode();
}

// Validation -------------------------------------------------------------------------

tNUVCodeCheck ValidateCode(const tNUVCodeView& code, const tNUVCodeLimits* limits) {
  tNUVCodeCheck check;
  if (code.Length < 0 || (code.Length > 0 && !code.Words)) {
    check.Fault = cfTruncated;
    return check;
  }
  std::vector<bool> starts(static_cast<size_t>(code.Length), false);
  for (tNUVCodeWalker walker(code); !walker.AtEnd(); walker.Next()) {
    check.Position = walker.Position();
    if (walker.Length() == 0) {
      check.Fault = walker.Fault();
      return check;
    }
    check.Fault = CheckOperands(walker.Instruction(), walker.Length(), limits);
    if (check.Fault != cfNone) return check;
    starts[walker.Position()] = true;
  }
  // Every instruction decoded, so jump operands can be read safely now.
  for (tNUVCodeWalker walker(code); !walker.AtEnd(); walker.Next()) {
    const tNUVInstructionInfo& info = InstructionInfo(walker.Opcode());
    for (int32_t i = 0; info.Shape[i] != 0; ++i) {
      if (info.Shape[i] != 't') continue;
      int64_t target = walker.Position() + static_cast<int64_t>(walker.Instruction()[1 + i] / NUVCodeWordSize);
      if (target < 0 || target >= code.Length || !starts[static_cast<size_t>(target)]) {
        check.Fault = cfBadJumpTarget;
        check.Position = walker.Position();
        return check;
      }
    }
  }
  check.Position = 0;
  return check;
}

// Source lines ------------------------------------------------------------------------

tNUVSourceLines::tNUVSourceLines(const char16_t* text, int32_t length, int32_t lineBase)
    : Text(text), Base(lineBase) {
  if (!text || length <= 0) return;
  int32_t start = 0;
  int32_t i = 0;
  while (i < length) {
    char16_t unit = text[i];
    if (unit == u'\r' || unit == u'\n') {
      Starts.push_back(start);
      Lengths.push_back(i - start);
      i += (unit == u'\r' && i + 1 < length && text[i + 1] == u'\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < length) {
    Starts.push_back(start);
    Lengths.push_back(length - start);
  }
}

int32_t tNUVSourceLines::LineOfPosition(int32_t position) const {
  auto after = std::upper_bound(Starts.begin(), Starts.end(), position);
  if (after == Starts.begin()) return Base;
  return Base + static_cast<int32_t>(after - Starts.begin()) - 1;
}

int32_t tNUVSourceLines::LineStart(int32_t line) const {
  return HasLine(line) ? Starts[static_cast<size_t>(line - Base)] : -1;
}

std::u16string_view tNUVSourceLines::LineText(int32_t line) const {
  if (!HasLine(line)) return {};
  size_t index = static_cast<size_t>(line - Base);
  return std::u16string_view(Text + Starts[index], static_cast<size_t>(Lengths[index]));
}

// Source position table -------------------------------------------------------------------

void tNUVSourcePositionTable::Add(int32_t codePosition, int32_t sourcePosition) {
  if (!Pairs.empty() && codePosition < Pairs.back().CodePosition) Sorted = false;
  Pairs.push_back({codePosition, sourcePosition});
}

void tNUVSourcePositionTable::Sort() {
  if (Sorted) return;
  std::stable_sort(Pairs.begin(), Pairs.end(), [](const tNUVSourcePositionPair& a, const tNUVSourcePositionPair& b) {
    return a.CodePosition < b.CodePosition;
  });
  Sorted = true;
}

const std::vector<tNUVSourcePositionPair>& tNUVSourcePositionTable::SortedPairs() {
  Sort();
  return Pairs;
}

int32_t tNUVSourcePositionTable::FindPosition(int32_t ip) {
  Sort();
  auto after = std::upper_bound(Pairs.begin(), Pairs.end(), ip,
                                [](int32_t value, const tNUVSourcePositionPair& pair) { return value < pair.CodePosition; });
  if (after == Pairs.begin()) return 0;
  return (after - 1)->SourcePosition;
}

int32_t tNUVSourcePositionTable::FirstCodeOfLine(int32_t ip, const tNUVSourceLines& lines) {
  int32_t line = lines.LineOfPosition(FindPosition(ip));
  int32_t lineStart = lines.LineStart(line);
  return FirstCodeAtOrAfter(lineStart < 0 ? 0 : lineStart);
}

int32_t tNUVSourcePositionTable::FirstCodeAtOrAfter(int32_t lineStart) const {
  bool found = false;
  int32_t first = 0;
  for (const tNUVSourcePositionPair& pair : Pairs) {
    if (pair.SourcePosition >= lineStart && (!found || pair.CodePosition < first)) {
      first = pair.CodePosition;
      found = true;
    }
  }
  return first;
}

// Relative order is kept, so a sorted table stays sorted.
void tNUVSourcePositionTable::Relocate(int32_t start, int32_t end, int32_t delta) {
  for (tNUVSourcePositionPair& pair : Pairs) {
    if (pair.CodePosition >= end) {
      pair.CodePosition += delta;
    } else if (pair.CodePosition > start) {
      pair.CodePosition = start;
    }
  }
}

}  // namespace NUV
