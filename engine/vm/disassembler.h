#pragma once
// The disassembler: VM code as text, one line per instruction, with the constants
// it names and the source lines it came from.
//
// It reads an abstract description of a code context (tNUVDisassemblyInput) rather
// than the context itself, so the exception dump, the context dump and the tests
// can all feed it. Lines go to an output routine one at a time; nothing is kept.

#include <cstdint>

#include "engine/values/nuv_string.h"
#include "engine/values/variant.h"
#include "engine/vm/code_decoding.h"

namespace NUV {

// What the disassembler reads. Everything is borrowed; pointers may be null (no
// data area, no position table, no script text) and the matching part of the
// output is left out.
struct tNUVDisassemblyInput {
  tNUVCodeView Code;
  const tNUVVariant* Data = nullptr;
  int32_t DataCount = 0;
  // Not const: lookups sort the table on first use.
  tNUVSourcePositionTable* Positions = nullptr;
  const tNUVSourceLines* Lines = nullptr;
  // For the header line of a whole-context dump.
  int32_t Kind = 0;
  tNUVString Name;
  const void* Identity = nullptr;
};

// Receives one output line (without a line break).
using tNUVLineOutput = void (*)(const tNUVString& line, void* userData);

// The printed name of a context kind ("unknown" outside the known kinds).
const char16_t* ContextKindName(int32_t kind);

// The text of the instruction at ip in its printed form, without position or
// comment; length receives the instruction's length (0 when it does not decode:
// the text is then "unknown instruction N" or "malformed instruction N").
tNUVString InstructionText(const tNUVCodeView& code, int32_t ip, int32_t* length = nullptr);

class tNUVDisassembler {
public:
  tNUVDisassembler(const tNUVDisassemblyInput& input, tNUVLineOutput output, void* userData);

  // The instructions from first while the ip is below end (end <= 0: the end of the
  // code area), each preceded by the source lines it starts.
  void DisassembleRange(int32_t first, int32_t end);
  void DisassembleAll() { DisassembleRange(0, 0); }
  // From the first instruction of the source line holding ip up to and including
  // the instruction at ip.
  void DisassembleAround(int32_t ip);
  // An empty line, the header "(kind) name 0x<identity>", then every instruction.
  void DumpContext();

private:
  void Emit(const tNUVString& line) { Output(line, UserData); }
  void EmitSourceLine(int32_t line);
  // The comment naming the constant an instruction refers to; empty when none.
  tNUVString ConstantComment(int32_t ip) const;

  const tNUVDisassemblyInput& Input;
  tNUVLineOutput Output;
  void* UserData;
};

}  // namespace NUV
