#include "engine/vm/disassembler.h"

namespace NUV {

namespace {

// Readable constant values are cut to this many characters.
constexpr int32_t NUVConstantTextLimit = 512;

tNUVString RegisterText(int32_t word) { return tNUVString::Formatted(u"%%%d", DecodeRegister(word)); }

// "(" arguments ")" of a call-family instruction that decoded.
tNUVString ArgumentListText(const int32_t* instruction, int32_t fixed, int32_t length) {
  tNUVString text;
  int32_t count = instruction[fixed - 1];
  if (count == NUVArgumentsOmitted) {
    text += u"...";
  } else if (count >= 0) {
    for (int32_t i = 0; i < count; ++i) {
      if (i > 0) text += u", ";
      text += RegisterText(instruction[fixed + i]);
    }
  } else {
    for (int32_t i = fixed + 1; i + 1 < length; i += 2) {
      if (i > fixed + 1) text += u", ";
      int32_t kind = instruction[i];
      if (kind == akUnnamed) {
        text += u"*";
      } else {
        text += RegisterText(instruction[i + 1]);
        if (kind == akExpand) text += u"*";
      }
    }
  }
  text += u")";
  return text;
}

}  // namespace

const char16_t* ContextKindName(int32_t kind) {
  switch (kind) {
    case 0: return u"top level script";
    case 1: return u"function";
    case 2: return u"function expression";
    case 3: return u"property";
    case 4: return u"property setter";
    case 5: return u"property getter";
    case 6: return u"class";
    case 7: return u"super class getter proxy";
    default: return u"unknown";
  }
}

tNUVString InstructionText(const tNUVCodeView& code, int32_t ip, int32_t* length) {
  tNUVCodeFault fault = cfNone;
  int32_t decoded = DecodeInstructionLength(code, ip, &fault);
  if (length) *length = decoded;
  if (decoded == 0) {
    int32_t opcode = (ip >= 0 && ip < code.Length) ? code.Words[ip] : 0;
    if (fault == cfUnknownOpcode) return tNUVString::Formatted(u"unknown instruction %d", opcode);
    return tNUVString::Formatted(u"malformed instruction %d", opcode);
  }
  const int32_t* instruction = code.Words + ip;
  const tNUVInstructionInfo& info = InstructionInfo(instruction[0]);
  // Every operand of the shape becomes one argument of the form, in order.
  int32_t values[4] = {0, 0, 0, 0};
  int32_t operands = 0;
  for (; info.Shape[operands] != 0; ++operands) {
    int32_t word = instruction[1 + operands];
    int32_t value = 0;
    switch (info.Shape[operands]) {
      case 'r': value = DecodeRegister(word); break;
      case 'c': value = DecodeConstant(word); break;
      case 't': value = DecodeJumpTarget(ip, word); break;
      // The last register of a range; 64-bit so a corrupt count cannot overflow.
      case 'n': value = static_cast<int32_t>(static_cast<int64_t>(values[operands - 1]) + word - 1); break;
    }
    values[operands] = value;
  }
  tNUVString text = tNUVString::Formatted(info.Form, values[0], values[1], values[2], values[3]);
  if (info.List == ArgumentList) text += ArgumentListText(instruction, info.Length, decoded);
  return text;
}

tNUVDisassembler::tNUVDisassembler(const tNUVDisassemblyInput& input, tNUVLineOutput output, void* userData)
    : Input(input), Output(output), UserData(userData) {}

tNUVString tNUVDisassembler::ConstantComment(int32_t ip) const {
  if (!Input.Data || Input.DataCount <= 0) return tNUVString();
  const int32_t* instruction = Input.Code.Words + ip;
  const tNUVInstructionInfo& info = InstructionInfo(instruction[0]);
  for (int32_t i = 0; info.Shape[i] != 0; ++i) {
    if (info.Shape[i] != 'c') continue;
    int32_t word = instruction[1 + i];
    int32_t index = DecodeConstant(word);
    // A constant outside the data area is a fault of the code; it gets no comment
    // rather than a read past the area.
    if (word < 0 || word % NUVSlotSize != 0 || index >= Input.DataCount) return tNUVString();
    tNUVString comment = tNUVString::Formatted(u"*%d = ", index);
    comment += Input.Data[index].ReadableText(NUVConstantTextLimit);
    return comment;
  }
  return tNUVString();
}

void tNUVDisassembler::EmitSourceLine(int32_t line) {
  const tNUVSourceLines* lines = Input.Lines;
  if (!lines || !lines->HasLine(line)) return;
  std::u16string_view text = lines->LineText(line);
  int32_t number = line + 1;
  tNUVString output = number < 0 ? tNUVString(u"# ") : tNUVString::Formatted(u"#(%d) ", number);
  // Appended rather than formatted: a source line may be longer than the formatter's
  // output limit.
  output.Append(text.data(), static_cast<int32_t>(text.size()));
  Emit(output);
}

void tNUVDisassembler::DisassembleRange(int32_t first, int32_t end) {
  const tNUVCodeView& code = Input.Code;
  if (end <= 0 || end > code.Length) end = code.Length;
  bool printedLine = false;
  int32_t nextLine = 0;
  int32_t previousLine = 0;
  for (tNUVCodeWalker walker(code, first); !walker.AtEnd() && walker.Position() < end; walker.Next()) {
    int32_t ip = walker.Position();
    if (Input.Lines) {
      int32_t position = Input.Positions ? Input.Positions->FindPosition(ip) : 0;
      int32_t line = Input.Lines->LineOfPosition(position);
      if (!printedLine || line >= nextLine) {
        int32_t from = printedLine ? nextLine : line;
        // A long gap shows only the line and the two before it.
        if (line - from >= 3) from = line - 2;
        for (int32_t shown = from; shown <= line; ++shown) EmitSourceLine(shown);
        nextLine = line + 1;
        printedLine = true;
      } else if (line != previousLine) {
        // Back on an earlier line (a loop): show it again once.
        EmitSourceLine(line);
      }
      previousLine = line;
    }
    tNUVString text = InstructionText(code, ip);
    tNUVString output = tNUVString::Formatted(u"%08d ", ip);
    output += text;
    if (walker.Length() > 0) {
      tNUVString comment = ConstantComment(ip);
      if (!comment.IsEmpty()) {
        output += u"\t// ";
        output += comment;
      }
    }
    Emit(output);
  }
}

void tNUVDisassembler::DisassembleAround(int32_t ip) {
  int32_t first = 0;
  if (Input.Positions && Input.Lines) first = Input.Positions->FirstCodeOfLine(ip, *Input.Lines);
  if (ip < 0) return;
  DisassembleRange(first, ip < Input.Code.Length ? ip + 1 : Input.Code.Length);
}

void tNUVDisassembler::DumpContext() {
  Emit(tNUVString());
  tNUVString header = tNUVString::Formatted(u"(%ls) ", ContextKindName(Input.Kind));
  header += Input.Name;
  header += tNUVString::Formatted(u" 0x%p", Input.Identity);
  Emit(header);
  DisassembleAll();
}

}  // namespace NUV
