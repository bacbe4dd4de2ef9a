#pragma once
// The VM instruction set, defined once.
//
// Code is an array of signed 32-bit words; an instruction is its opcode word followed
// by its operand words, and its position (ip) is the index of the opcode word. Every
// table the code generator, the interpreter and the disassembler need is generated
// from NUV_VM_INSTRUCTIONS below, so the three cannot disagree.
//
// Columns of NUV_VM_INSTRUCTIONS(X), one X(...) per instruction in opcode order:
//   NAME    enum suffix (VM_NAME)
//   text    mnemonic
//   opcode  numeric opcode (0..127, dense)
//   length  words including the opcode; for the call family the fixed part, which
//           ends with the argument count word
//   list    NoArguments, or ArgumentList for the variable-length call family
//   shape   one letter per operand word after the opcode (the call family's count
//           word is not part of it):
//             r  register (number * slot size); 0 as destination means "no result"
//             c  constant (data-area index * slot size): a member name, or the
//                value of const
//             n  register count (plain number) following a first register
//             t  jump (distance in words from the opcode word * 4)
//   form    the disassembler's printf template; each operand of the shape is one
//           argument in order (an "n" operand is printed as the last register of
//           the range). For the call family the form ends with "(", and the
//           arguments and ")" follow it.

#include <cstdint>

#include "engine/values/variant.h"

namespace NUV {

// The four forms of a binary arithmetic operator: plain (r = r op a), direct member,
// indirect member and property object.
#define NUV_VM_ARITHMETIC_FAMILY(X, NAME, text, base)                                 \
  X(NAME, u##text, base, 3, NoArguments, "rr", u##text u" %%%d, %%%d")               \
  X(NAME##PD, u##text u"pd", base + 1, 5, NoArguments, "rrcr",                        \
    u##text u"pd %%%d, %%%d.*%d, %%%d")                                               \
  X(NAME##PI, u##text u"pi", base + 2, 5, NoArguments, "rrrr",                        \
    u##text u"pi %%%d, %%%d.%%%d, %%%d")                                              \
  X(NAME##P, u##text u"p", base + 3, 4, NoArguments, "rrr", u##text u"p %%%d, %%%d, %%%d")

#define NUV_VM_INSTRUCTIONS(X)                                                      \
  X(NOP, u"nop", 0, 1, NoArguments, "", u"nop")                                     \
  X(CONST, u"const", 1, 3, NoArguments, "rc", u"const %%%d, *%d")                  \
  X(CP, u"cp", 2, 3, NoArguments, "rr", u"cp %%%d, %%%d")                           \
  X(CL, u"cl", 3, 2, NoArguments, "r", u"cl %%%d")                                  \
  X(CCL, u"ccl", 4, 3, NoArguments, "rn", u"ccl %%%d-%%%d")                         \
  X(TT, u"tt", 5, 2, NoArguments, "r", u"tt %%%d")                                  \
  X(TF, u"tf", 6, 2, NoArguments, "r", u"tf %%%d")                                  \
  X(CEQ, u"ceq", 7, 3, NoArguments, "rr", u"ceq %%%d, %%%d")                        \
  X(CDEQ, u"cdeq", 8, 3, NoArguments, "rr", u"cdeq %%%d, %%%d")                     \
  X(CLT, u"clt", 9, 3, NoArguments, "rr", u"clt %%%d, %%%d")                        \
  X(CGT, u"cgt", 10, 3, NoArguments, "rr", u"cgt %%%d, %%%d")                       \
  X(SETF, u"setf", 11, 2, NoArguments, "r", u"setf %%%d")                           \
  X(SETNF, u"setnf", 12, 2, NoArguments, "r", u"setnf %%%d")                        \
  X(LNOT, u"lnot", 13, 2, NoArguments, "r", u"lnot %%%d")                           \
  X(NF, u"nf", 14, 1, NoArguments, "", u"nf")                                       \
  X(JF, u"jf", 15, 2, NoArguments, "t", u"jf %09d")                                 \
  X(JNF, u"jnf", 16, 2, NoArguments, "t", u"jnf %09d")                              \
  X(JMP, u"jmp", 17, 2, NoArguments, "t", u"jmp %09d")                              \
  X(INC, u"inc", 18, 2, NoArguments, "r", u"inc %%%d")                              \
  X(INCPD, u"incpd", 19, 4, NoArguments, "rrc", u"incpd %%%d, %%%d.*%d")            \
  X(INCPI, u"incpi", 20, 4, NoArguments, "rrr", u"incpi %%%d, %%%d.%%%d")           \
  X(INCP, u"incp", 21, 3, NoArguments, "rr", u"incp %%%d, %%%d")                    \
  X(DEC, u"dec", 22, 2, NoArguments, "r", u"dec %%%d")                              \
  X(DECPD, u"decpd", 23, 4, NoArguments, "rrc", u"decpd %%%d, %%%d.*%d")            \
  X(DECPI, u"decpi", 24, 4, NoArguments, "rrr", u"decpi %%%d, %%%d.%%%d")           \
  X(DECP, u"decp", 25, 3, NoArguments, "rr", u"decp %%%d, %%%d")                    \
  NUV_VM_ARITHMETIC_FAMILY(X, LOR, "lor", 26)                                       \
  NUV_VM_ARITHMETIC_FAMILY(X, LAND, "land", 30)                                     \
  NUV_VM_ARITHMETIC_FAMILY(X, BOR, "bor", 34)                                       \
  NUV_VM_ARITHMETIC_FAMILY(X, BXOR, "bxor", 38)                                     \
  NUV_VM_ARITHMETIC_FAMILY(X, BAND, "band", 42)                                     \
  NUV_VM_ARITHMETIC_FAMILY(X, SAR, "sar", 46)                                       \
  NUV_VM_ARITHMETIC_FAMILY(X, SAL, "sal", 50)                                       \
  NUV_VM_ARITHMETIC_FAMILY(X, SR, "sr", 54)                                         \
  NUV_VM_ARITHMETIC_FAMILY(X, ADD, "add", 58)                                       \
  NUV_VM_ARITHMETIC_FAMILY(X, SUB, "sub", 62)                                       \
  NUV_VM_ARITHMETIC_FAMILY(X, MOD, "mod", 66)                                       \
  NUV_VM_ARITHMETIC_FAMILY(X, DIV, "div", 70)                                       \
  NUV_VM_ARITHMETIC_FAMILY(X, IDIV, "idiv", 74)                                     \
  NUV_VM_ARITHMETIC_FAMILY(X, MUL, "mul", 78)                                       \
  X(BNOT, u"bnot", 82, 2, NoArguments, "r", u"bnot %%%d")                           \
  X(TYPEOF, u"typeof", 83, 2, NoArguments, "r", u"typeof %%%d")                     \
  X(TYPEOFD, u"typeofd", 84, 4, NoArguments, "rrc", u"typeofd %%%d, %%%d.*%d")      \
  X(TYPEOFI, u"typeofi", 85, 4, NoArguments, "rrr", u"typeofi %%%d, %%%d.%%%d")     \
  X(EVAL, u"eval", 86, 2, NoArguments, "r", u"eval %%%d")                           \
  X(EEXP, u"eexp", 87, 2, NoArguments, "r", u"eexp %%%d")                           \
  X(CHKINS, u"chkins", 88, 3, NoArguments, "rr", u"chkins %%%d, %%%d")              \
  X(ASC, u"asc", 89, 2, NoArguments, "r", u"asc %%%d")                              \
  X(CHR, u"chr", 90, 2, NoArguments, "r", u"chr %%%d")                              \
  X(NUM, u"num", 91, 2, NoArguments, "r", u"num %%%d")                              \
  X(CHS, u"chs", 92, 2, NoArguments, "r", u"chs %%%d")                              \
  X(INV, u"inv", 93, 2, NoArguments, "r", u"inv %%%d")                              \
  X(CHKINV, u"chkinv", 94, 2, NoArguments, "r", u"chkinv %%%d")                     \
  X(INT, u"int", 95, 2, NoArguments, "r", u"int %%%d")                              \
  X(REAL, u"real", 96, 2, NoArguments, "r", u"real %%%d")                           \
  X(STR, u"str", 97, 2, NoArguments, "r", u"str %%%d")                              \
  X(OCTET, u"octet", 98, 2, NoArguments, "r", u"octet %%%d")                        \
  X(CALL, u"call", 99, 4, ArgumentList, "rr", u"call %%%d, %%%d(")                  \
  X(CALLD, u"calld", 100, 5, ArgumentList, "rrc", u"calld %%%d, %%%d.*%d(")         \
  X(CALLI, u"calli", 101, 5, ArgumentList, "rrr", u"calli %%%d, %%%d.%%%d(")        \
  X(NEW, u"new", 102, 4, ArgumentList, "rr", u"new %%%d, %%%d(")                    \
  X(GPD, u"gpd", 103, 4, NoArguments, "rrc", u"gpd %%%d, %%%d.*%d")                 \
  X(SPD, u"spd", 104, 4, NoArguments, "rcr", u"spd %%%d.*%d, %%%d")                 \
  X(SPDE, u"spde", 105, 4, NoArguments, "rcr", u"spde %%%d.*%d, %%%d")              \
  X(SPDEH, u"spdeh", 106, 4, NoArguments, "rcr", u"spdeh %%%d.*%d, %%%d")           \
  X(GPI, u"gpi", 107, 4, NoArguments, "rrr", u"gpi %%%d, %%%d.%%%d")                \
  X(SPI, u"spi", 108, 4, NoArguments, "rrr", u"spi %%%d.%%%d, %%%d")                \
  X(SPIE, u"spie", 109, 4, NoArguments, "rrr", u"spie %%%d.%%%d, %%%d")             \
  X(GPDS, u"gpds", 110, 4, NoArguments, "rrc", u"gpds %%%d, %%%d.*%d")              \
  X(SPDS, u"spds", 111, 4, NoArguments, "rcr", u"spds %%%d.*%d, %%%d")              \
  X(GPIS, u"gpis", 112, 4, NoArguments, "rrr", u"gpis %%%d, %%%d.%%%d")             \
  X(SPIS, u"spis", 113, 4, NoArguments, "rrr", u"spis %%%d.%%%d, %%%d")             \
  X(SETP, u"setp", 114, 3, NoArguments, "rr", u"setp %%%d, %%%d")                   \
  X(GETP, u"getp", 115, 3, NoArguments, "rr", u"getp %%%d, %%%d")                   \
  X(DELD, u"deld", 116, 4, NoArguments, "rrc", u"deld %%%d, %%%d.*%d")              \
  X(DELI, u"deli", 117, 4, NoArguments, "rrr", u"deli %%%d, %%%d.%%%d")             \
  X(SRV, u"srv", 118, 2, NoArguments, "r", u"srv %%%d")                             \
  X(RET, u"ret", 119, 1, NoArguments, "", u"ret")                                   \
  X(ENTRY, u"entry", 120, 3, NoArguments, "tr", u"entry %09d, %%%d")                \
  X(EXTRY, u"extry", 121, 1, NoArguments, "", u"extry")                             \
  X(THROW, u"throw", 122, 2, NoArguments, "r", u"throw %%%d")                       \
  X(CHGTHIS, u"chgthis", 123, 3, NoArguments, "rr", u"chgthis %%%d, %%%d")          \
  X(GLOBAL, u"global", 124, 2, NoArguments, "r", u"global %%%d")                    \
  X(ADDCI, u"addci", 125, 3, NoArguments, "rr", u"addci %%%d, %%%d")                \
  X(REGMEMBER, u"regmember", 126, 1, NoArguments, "", u"regmember")                 \
  X(DEBUGGER, u"debugger", 127, 1, NoArguments, "", u"debugger")

// Opcodes ------------------------------------------------------------------------

#define NUV_VM_ENUM_ENTRY(NAME, text, opcode, length, list, shape, form) VM_##NAME = opcode,
enum tNUVOpcode : int32_t { NUV_VM_INSTRUCTIONS(NUV_VM_ENUM_ENTRY) };
#undef NUV_VM_ENUM_ENTRY

#define NUV_VM_COUNT_ENTRY(NAME, text, opcode, length, list, shape, form) +1
// Number of opcodes; every opcode word from 0 below this is an instruction.
inline constexpr int32_t NUVOpcodeCount = 0 NUV_VM_INSTRUCTIONS(NUV_VM_COUNT_ENTRY);
#undef NUV_VM_COUNT_ENTRY

enum tNUVArgumentListKind : uint8_t { NoArguments = 0, ArgumentList = 1 };

// One row of the instruction table.
struct tNUVInstructionInfo {
  const char16_t* Mnemonic;
  int32_t Opcode;
  int32_t Length;            // fixed part for the call family
  tNUVArgumentListKind List;
  const char* Shape;
  const char16_t* Form;
};

#define NUV_VM_INFO_ENTRY(NAME, text, opcode, length, list, shape, form) \
  {text, opcode, length, list, shape, form},
inline constexpr tNUVInstructionInfo NUVInstructionTable[] = {
    NUV_VM_INSTRUCTIONS(NUV_VM_INFO_ENTRY)};
#undef NUV_VM_INFO_ENTRY

inline constexpr int32_t NUVInstructionLengthTable[] = {
#define NUV_VM_LENGTH_ENTRY(NAME, text, opcode, length, list, shape, form) length,
    NUV_VM_INSTRUCTIONS(NUV_VM_LENGTH_ENTRY)
#undef NUV_VM_LENGTH_ENTRY
};

namespace InstructionTableChecks {
constexpr int32_t ShapeLength(const char* shape) {
  int32_t length = 0;
  while (shape[length] != 0) ++length;
  return length;
}
// Opcodes are dense and in order, and each shape accounts for the words of its
// instruction (plus the count word of the call family).
constexpr bool TableIsConsistent() {
  for (int32_t i = 0; i < NUVOpcodeCount; ++i) {
    const tNUVInstructionInfo& info = NUVInstructionTable[i];
    if (info.Opcode != i) return false;
    int32_t words = 1 + ShapeLength(info.Shape) + (info.List == ArgumentList ? 1 : 0);
    if (words != info.Length) return false;
  }
  return true;
}
}  // namespace InstructionTableChecks

static_assert(NUVOpcodeCount == 128);
static_assert(InstructionTableChecks::TableIsConsistent());

inline bool IsValidOpcode(int32_t opcode) { return opcode >= 0 && opcode < NUVOpcodeCount; }
// The table row of a valid opcode.
inline const tNUVInstructionInfo& InstructionInfo(int32_t opcode) { return NUVInstructionTable[opcode]; }

// Operand encodings ------------------------------------------------------------------

// Register and constant operands are scaled by the variant slot so that the
// interpreter adds them to the frame base or the data area without multiplying.
inline constexpr int32_t NUVSlotSize = static_cast<int32_t>(sizeof(tNUVVariant));
// A code word's size: jump operands are distances in bytes of code.
inline constexpr int32_t NUVCodeWordSize = 4;

constexpr int32_t EncodeRegister(int32_t reg) { return reg * NUVSlotSize; }
constexpr int32_t DecodeRegister(int32_t word) { return word / NUVSlotSize; }
constexpr int32_t EncodeConstant(int32_t index) { return index * NUVSlotSize; }
constexpr int32_t DecodeConstant(int32_t word) { return word / NUVSlotSize; }
// The jump operand of an instruction at position from that goes to position to.
constexpr int32_t EncodeJump(int32_t from, int32_t to) { return (to - from) * NUVCodeWordSize; }
// The absolute target of a jump operand of the instruction at position from.
constexpr int32_t DecodeJumpTarget(int32_t from, int32_t word) { return from + word / NUVCodeWordSize; }

// Argument lists of the call family ----------------------------------------------------
//
// The count word ends the fixed part: n >= 0 plain argument registers follow;
// NUVArgumentsOmitted passes the running function's own arguments and nothing
// follows; NUVArgumentsExtended is followed by a pair count m and m (kind, register)
// pairs.
inline constexpr int32_t NUVArgumentsOmitted = -1;
inline constexpr int32_t NUVArgumentsExtended = -2;

enum tNUVArgumentKind : int32_t {
  akPlain = 0,      // the register's value
  akExpand = 1,     // the elements of the Array held in the register
  akUnnamed = 2,    // the running function's arguments beyond its named parameters
};

// Length of a call-family instruction of well-formed code (no bounds checks; the
// interpreter runs only code that passed ValidateCode).
inline int32_t CallInstructionLength(const int32_t* instruction) {
  int32_t fixed = NUVInstructionLengthTable[instruction[0]];
  int32_t count = instruction[fixed - 1];
  if (count >= 0) return fixed + count;
  if (count == NUVArgumentsOmitted) return fixed;
  return fixed + 1 + 2 * instruction[fixed];
}

// Dispatch ------------------------------------------------------------------------------
//
// The interpreter's computed-goto table: each instruction jumps to the label
// NUV_VM_LABEL(NAME), for example
//   static void* const table[] = {NUV_VM_INSTRUCTIONS(NUV_VM_DISPATCH_ENTRY)};
//   ...
//   NUV_VM_LABEL(CONST): ...
#define NUV_VM_LABEL(NAME) NUVLabel_VM_##NAME
#define NUV_VM_DISPATCH_ENTRY(NAME, text, opcode, length, list, shape, form) &&NUV_VM_LABEL(NAME),

}  // namespace NUV
