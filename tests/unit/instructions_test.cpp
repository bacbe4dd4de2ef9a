// The instruction table, operand encodings, decoding, validation and the source
// position lookups. Expected opcodes and lengths are written out here by hand, not
// derived from the instruction list, so a slip in the list shows up.

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/vm/code_decoding.h"
#include "engine/vm/instructions.h"

namespace NUV {
namespace {

// Hand-assembled operand words for the 24-byte variant slot of this platform.
static_assert(NUVSlotSize == 24);
constexpr int32_t R(int32_t reg) { return reg * 24; }
constexpr int32_t K(int32_t index) { return index * 24; }

struct tExpectedOpcode {
  std::u16string Mnemonic;
  int32_t Length;   // fixed part for the call family
};

// Opcode i is entry i.
std::vector<tExpectedOpcode> ExpectedOpcodes() {
  std::vector<tExpectedOpcode> list = {
      {u"nop", 1},  {u"const", 3}, {u"cp", 3},    {u"cl", 2},   {u"ccl", 3},   {u"tt", 2},
      {u"tf", 2},   {u"ceq", 3},   {u"cdeq", 3},  {u"clt", 3},  {u"cgt", 3},   {u"setf", 2},
      {u"setnf", 2}, {u"lnot", 2}, {u"nf", 1},    {u"jf", 2},   {u"jnf", 2},   {u"jmp", 2},
      {u"inc", 2},  {u"incpd", 4}, {u"incpi", 4}, {u"incp", 3}, {u"dec", 2},   {u"decpd", 4},
      {u"decpi", 4}, {u"decp", 3}};
  for (const char16_t* name : {u"lor", u"land", u"bor", u"bxor", u"band", u"sar", u"sal", u"sr", u"add",
                               u"sub", u"mod", u"div", u"idiv", u"mul"}) {
    std::u16string base = name;
    list.push_back({base, 3});
    list.push_back({base + u"pd", 5});
    list.push_back({base + u"pi", 5});
    list.push_back({base + u"p", 4});
  }
  std::vector<tExpectedOpcode> rest = {
      {u"bnot", 2},   {u"typeof", 2}, {u"typeofd", 4}, {u"typeofi", 4}, {u"eval", 2},  {u"eexp", 2},
      {u"chkins", 3}, {u"asc", 2},    {u"chr", 2},     {u"num", 2},     {u"chs", 2},   {u"inv", 2},
      {u"chkinv", 2}, {u"int", 2},    {u"real", 2},    {u"str", 2},     {u"octet", 2}, {u"call", 4},
      {u"calld", 5},  {u"calli", 5},  {u"new", 4},     {u"gpd", 4},     {u"spd", 4},   {u"spde", 4},
      {u"spdeh", 4},  {u"gpi", 4},    {u"spi", 4},     {u"spie", 4},    {u"gpds", 4},  {u"spds", 4},
      {u"gpis", 4},   {u"spis", 4},   {u"setp", 3},    {u"getp", 3},    {u"deld", 4},  {u"deli", 4},
      {u"srv", 2},    {u"ret", 1},    {u"entry", 3},   {u"extry", 1},   {u"throw", 2}, {u"chgthis", 3},
      {u"global", 2}, {u"addci", 3},  {u"regmember", 1}, {u"debugger", 1}};
  list.insert(list.end(), rest.begin(), rest.end());
  return list;
}

TEST(tInstructionTableTest, EveryOpcodeHasItsMnemonicAndLength) {
  std::vector<tExpectedOpcode> expected = ExpectedOpcodes();
  ASSERT_EQ(expected.size(), 128u);
  ASSERT_EQ(NUVOpcodeCount, 128);
  for (int32_t opcode = 0; opcode < 128; ++opcode) {
    SCOPED_TRACE(opcode);
    EXPECT_TRUE(IsValidOpcode(opcode));
    EXPECT_EQ(std::u16string(InstructionInfo(opcode).Mnemonic), expected[opcode].Mnemonic);
    EXPECT_EQ(NUVInstructionLengthTable[opcode], expected[opcode].Length);
    bool isCall = opcode >= 99 && opcode <= 102;
    EXPECT_EQ(InstructionInfo(opcode).List == ArgumentList, isCall);
  }
  EXPECT_FALSE(IsValidOpcode(128));
  EXPECT_FALSE(IsValidOpcode(-1));
}

TEST(tInstructionTableTest, EnumNamesMatchOpcodes) {
  EXPECT_EQ(VM_NOP, 0);
  EXPECT_EQ(VM_CONST, 1);
  EXPECT_EQ(VM_JMP, 17);
  EXPECT_EQ(VM_LORPD, 27);
  EXPECT_EQ(VM_ADD, 58);
  EXPECT_EQ(VM_MULP, 81);
  EXPECT_EQ(VM_CALL, 99);
  EXPECT_EQ(VM_NEW, 102);
  EXPECT_EQ(VM_ENTRY, 120);
  EXPECT_EQ(VM_DEBUGGER, 127);
}

TEST(tOperandEncodingTest, RegistersConstantsAndJumps) {
  EXPECT_EQ(EncodeRegister(-3), -72);
  EXPECT_EQ(DecodeRegister(-72), -3);
  EXPECT_EQ(EncodeRegister(0), 0);
  EXPECT_EQ(EncodeConstant(5), 120);
  EXPECT_EQ(DecodeConstant(120), 5);
  // A jump at position 10 back to position 4.
  EXPECT_EQ(EncodeJump(10, 4), -24);
  EXPECT_EQ(DecodeJumpTarget(10, -24), 4);
  EXPECT_EQ(DecodeJumpTarget(3, EncodeJump(3, 40)), 40);
}

// The dispatch entries build a label table the interpreter can jump through; each
// label here answers the opcode it was written for.
int32_t DispatchOnce(int32_t opcode) {
  static void* const table[] = {NUV_VM_INSTRUCTIONS(NUV_VM_DISPATCH_ENTRY)};
  static_assert(sizeof(table) / sizeof(table[0]) == 128);
  goto* table[opcode];
#define ANSWERING_LABEL(NAME, text, opcode, length, list, shape, form) \
  NUV_VM_LABEL(NAME) : return opcode;
  NUV_VM_INSTRUCTIONS(ANSWERING_LABEL)
#undef ANSWERING_LABEL
}

TEST(tInstructionTableTest, DispatchEntriesFollowOpcodeOrder) {
  for (int32_t opcode = 0; opcode < NUVOpcodeCount; ++opcode) EXPECT_EQ(DispatchOnce(opcode), opcode);
}

// Lengths and decoding ---------------------------------------------------------------

int32_t LengthOf(const std::vector<int32_t>& code, tNUVCodeFault* fault = nullptr) {
  return DecodeInstructionLength({code.data(), static_cast<int32_t>(code.size())}, 0, fault);
}

TEST(tDecodingTest, FixedLengths) {
  EXPECT_EQ(LengthOf({VM_NOP}), 1);
  EXPECT_EQ(LengthOf({VM_CONST, R(1), K(0)}), 3);
  EXPECT_EQ(LengthOf({VM_ADDPD, R(1), R(2), K(0), R(3)}), 5);
  EXPECT_EQ(LengthOf({VM_ENTRY, 12, R(1)}), 3);
}

TEST(tDecodingTest, CallFamilyLengthsFollowTheCountWord) {
  // Omitted arguments: just the fixed part.
  EXPECT_EQ(LengthOf({VM_CALL, R(1), R(2), -1}), 4);
  EXPECT_EQ(LengthOf({VM_NEW, R(1), R(2), -1}), 4);
  EXPECT_EQ(LengthOf({VM_CALLD, R(1), R(2), K(0), -1}), 5);
  EXPECT_EQ(LengthOf({VM_CALLI, R(1), R(2), R(3), -1}), 5);
  // Plain arguments.
  EXPECT_EQ(LengthOf({VM_CALL, R(1), R(2), 0}), 4);
  EXPECT_EQ(LengthOf({VM_CALL, R(1), R(2), 2, R(3), R(4)}), 6);
  EXPECT_EQ(LengthOf({VM_CALLD, R(1), R(2), K(0), 1, R(3)}), 6);
  // Extended lists: 5 + 2m and 6 + 2m.
  EXPECT_EQ(LengthOf({VM_CALL, R(1), R(2), -2, 0}), 5);
  EXPECT_EQ(LengthOf({VM_CALL, R(1), R(2), -2, 2, 0, R(3), 1, R(4)}), 9);
  EXPECT_EQ(LengthOf({VM_NEW, R(1), R(2), -2, 1, 2, 0}), 7);
  EXPECT_EQ(LengthOf({VM_CALLI, R(1), R(2), R(3), -2, 1, 2, 0}), 8);
  EXPECT_EQ(LengthOf({VM_CALLD, R(1), R(2), K(0), -2, 2, 0, R(3), 1, R(4)}), 10);
  // The unchecked form the interpreter uses agrees.
  std::vector<int32_t> extended = {VM_CALLD, R(1), R(2), K(0), -2, 2, 0, R(3), 1, R(4)};
  EXPECT_EQ(CallInstructionLength(extended.data()), 10);
  std::vector<int32_t> omitted = {VM_CALLI, R(1), R(2), R(3), -1};
  EXPECT_EQ(CallInstructionLength(omitted.data()), 5);
}

TEST(tDecodingTest, MalformedInstructionsDoNotDecode) {
  tNUVCodeFault fault = cfNone;
  EXPECT_EQ(LengthOf({128}, &fault), 0);
  EXPECT_EQ(fault, cfUnknownOpcode);
  EXPECT_EQ(LengthOf({-1}, &fault), 0);
  EXPECT_EQ(fault, cfUnknownOpcode);
  EXPECT_EQ(LengthOf({VM_CONST, R(1)}, &fault), 0);
  EXPECT_EQ(fault, cfTruncated);
  EXPECT_EQ(LengthOf({VM_CALL, R(1), R(2)}, &fault), 0);
  EXPECT_EQ(fault, cfTruncated);
  EXPECT_EQ(LengthOf({VM_CALL, R(1), R(2), 3, R(3)}, &fault), 0);
  EXPECT_EQ(fault, cfTruncated);
  EXPECT_EQ(LengthOf({VM_CALL, R(1), R(2), -3}, &fault), 0);
  EXPECT_EQ(fault, cfBadArgumentCount);
  EXPECT_EQ(LengthOf({VM_CALL, R(1), R(2), -2}, &fault), 0);
  EXPECT_EQ(fault, cfTruncated);
  EXPECT_EQ(LengthOf({VM_CALL, R(1), R(2), -2, -1}, &fault), 0);
  EXPECT_EQ(fault, cfBadArgumentCount);
  // A pair count so large that 2m would overflow 32 bits.
  EXPECT_EQ(LengthOf({VM_CALL, R(1), R(2), -2, 0x7FFFFFFF}, &fault), 0);
  EXPECT_EQ(fault, cfTruncated);
  EXPECT_EQ(LengthOf({VM_CALL, R(1), R(2), 0x7FFFFFFF}, &fault), 0);
  EXPECT_EQ(fault, cfTruncated);
  EXPECT_EQ(LengthOf({VM_CALL, R(1), R(2), -2, 1, 3, R(3)}, &fault), 0);
  EXPECT_EQ(fault, cfBadArgumentKind);
}

// A hand-assembled area with instructions of every length class.
std::vector<int32_t> SampleCode() {
  return {
      VM_CONST, R(1), K(0),                       // 0
      VM_CALL, R(2), R(1), -2, 1, 1, R(1),        // 3
      VM_NOP,                                     // 10
      VM_JF, EncodeJump(11, 0),                   // 11
      VM_CALLD, 0, R(-1), K(1), 2, R(1), R(2),    // 13
      VM_ADDPI, R(3), R(-1), R(1), R(2),          // 20
      VM_RET,                                     // 25
  };
}

TEST(tDecodingTest, WalkerVisitsEveryInstructionToTheEnd) {
  std::vector<int32_t> code = SampleCode();
  std::vector<int32_t> positions;
  std::vector<int32_t> opcodes;
  for (tNUVCodeWalker walker({code.data(), static_cast<int32_t>(code.size())}); !walker.AtEnd(); walker.Next()) {
    ASSERT_GT(walker.Length(), 0);
    positions.push_back(walker.Position());
    opcodes.push_back(walker.Opcode());
  }
  EXPECT_EQ(positions, (std::vector<int32_t>{0, 3, 10, 11, 13, 20, 25}));
  EXPECT_EQ(opcodes, (std::vector<int32_t>{VM_CONST, VM_CALL, VM_NOP, VM_JF, VM_CALLD, VM_ADDPI, VM_RET}));
}

TEST(tDecodingTest, WalkerStepsOneWordPastUnknownOpcodesAndStopsAtOtherFaults) {
  std::vector<int32_t> code = {VM_NOP, 200, -5, VM_RET, VM_CONST, R(1)};
  std::vector<int32_t> positions;
  std::vector<tNUVCodeFault> faults;
  for (tNUVCodeWalker walker({code.data(), static_cast<int32_t>(code.size())}); !walker.AtEnd(); walker.Next()) {
    positions.push_back(walker.Position());
    faults.push_back(walker.Fault());
  }
  EXPECT_EQ(positions, (std::vector<int32_t>{0, 1, 2, 3, 4}));
  EXPECT_EQ(faults, (std::vector<tNUVCodeFault>{cfNone, cfUnknownOpcode, cfUnknownOpcode, cfNone, cfTruncated}));
  // A negative start is treated as the beginning.
  tNUVCodeWalker walker({code.data(), static_cast<int32_t>(code.size())}, -4);
  EXPECT_EQ(walker.Position(), 0);
}

// Validation ---------------------------------------------------------------------------

tNUVCodeCheck Validate(const std::vector<int32_t>& code, const tNUVCodeLimits* limits = nullptr) {
  return ValidateCode({code.data(), static_cast<int32_t>(code.size())}, limits);
}

TEST(tValidationTest, WellFormedCodePasses) {
  EXPECT_TRUE(Validate(SampleCode()).IsValid());
  tNUVCodeLimits limits = {-3, 3, 2};
  EXPECT_TRUE(Validate(SampleCode(), &limits).IsValid());
  EXPECT_TRUE(Validate({}).IsValid());
}

TEST(tValidationTest, CodeMustDecodeExactlyToItsEnd) {
  std::vector<int32_t> code = SampleCode();
  code.pop_back();
  code.push_back(VM_GPD);
  code.push_back(R(1));
  tNUVCodeCheck check = Validate(code);
  EXPECT_EQ(check.Fault, cfTruncated);
  EXPECT_EQ(check.Position, 25);
  check = Validate({VM_NOP, 128, VM_RET});
  EXPECT_EQ(check.Fault, cfUnknownOpcode);
  EXPECT_EQ(check.Position, 1);
}

TEST(tValidationTest, JumpsMustLandOnInstructionStarts) {
  // Into the operands of the const at 0.
  tNUVCodeCheck check = Validate({VM_CONST, R(1), K(0), VM_JMP, EncodeJump(3, 1), VM_RET});
  EXPECT_EQ(check.Fault, cfBadJumpTarget);
  EXPECT_EQ(check.Position, 3);
  // Before the area, past its end, and onto its end.
  EXPECT_EQ(Validate({VM_JMP, EncodeJump(0, -1), VM_RET}).Fault, cfBadJumpTarget);
  EXPECT_EQ(Validate({VM_JMP, EncodeJump(0, 9), VM_RET}).Fault, cfBadJumpTarget);
  EXPECT_EQ(Validate({VM_JMP, EncodeJump(0, 3), VM_RET}).Fault, cfBadJumpTarget);
  // The catch position of a try entry is checked too.
  EXPECT_EQ(Validate({VM_ENTRY, EncodeJump(0, 2), R(1), VM_RET}).Fault, cfBadJumpTarget);
  EXPECT_TRUE(Validate({VM_ENTRY, EncodeJump(0, 3), R(1), VM_RET}).IsValid());
  // A jump word that is not a whole number of code words.
  EXPECT_EQ(Validate({VM_JMP, 6, VM_RET}).Fault, cfMisalignedOperand);
}

TEST(tValidationTest, OperandsAreScaledAndInsideTheFrame) {
  EXPECT_EQ(Validate({VM_CP, R(1), 25}).Fault, cfMisalignedOperand);
  EXPECT_EQ(Validate({VM_CONST, R(1), 12}).Fault, cfMisalignedOperand);
  EXPECT_EQ(Validate({VM_CALL, 0, R(1), 1, 7}).Fault, cfMisalignedOperand);
  EXPECT_EQ(Validate({VM_CALL, 0, R(1), -2, 1, 0, 7}).Fault, cfMisalignedOperand);
  // The register word of an unnamed-arguments pair is unused.
  EXPECT_TRUE(Validate({VM_CALL, 0, R(1), -2, 1, 2, 7}).IsValid());
  EXPECT_EQ(Validate({VM_CCL, R(1), -1}).Fault, cfBadRegisterCount);

  tNUVCodeLimits limits = {-4, 5, 1};
  EXPECT_TRUE(Validate({VM_CP, R(-4), R(5)}, &limits).IsValid());
  EXPECT_EQ(Validate({VM_CP, R(-5), R(1)}, &limits).Fault, cfRegisterOutOfRange);
  EXPECT_EQ(Validate({VM_CP, R(1), R(6)}, &limits).Fault, cfRegisterOutOfRange);
  EXPECT_EQ(Validate({VM_CALL, R(1), R(2), 1, R(6)}, &limits).Fault, cfRegisterOutOfRange);
  EXPECT_EQ(Validate({VM_CALL, R(1), R(2), -2, 1, 1, R(-6)}, &limits).Fault, cfRegisterOutOfRange);
  EXPECT_TRUE(Validate({VM_CONST, R(1), K(0)}, &limits).IsValid());
  EXPECT_EQ(Validate({VM_CONST, R(1), K(1)}, &limits).Fault, cfConstantOutOfRange);
  EXPECT_EQ(Validate({VM_GPD, R(1), R(2), K(-1)}, &limits).Fault, cfConstantOutOfRange);
  // ccl clears a range: its last register must be in the frame as well.
  EXPECT_TRUE(Validate({VM_CCL, R(3), 3}, &limits).IsValid());
  EXPECT_EQ(Validate({VM_CCL, R(3), 4}, &limits).Fault, cfRegisterOutOfRange);
  EXPECT_EQ(Validate({VM_CCL, R(3), 0x7FFFFFFF}, &limits).Fault, cfRegisterOutOfRange);
}

// Source lines and positions -------------------------------------------------------------

TEST(tSourceLinesTest, SplitsAtCrLfAndCrLf) {
  std::u16string text = u"ab\ncd\r\nef\rgh";
  tNUVSourceLines lines(text.data(), static_cast<int32_t>(text.size()));
  ASSERT_EQ(lines.Count(), 4);
  EXPECT_EQ(lines.LineText(0), u"ab");
  EXPECT_EQ(lines.LineText(1), u"cd");
  EXPECT_EQ(lines.LineText(2), u"ef");
  EXPECT_EQ(lines.LineText(3), u"gh");
  EXPECT_EQ(lines.LineStart(2), 7);
  EXPECT_EQ(lines.LineOfPosition(0), 0);
  EXPECT_EQ(lines.LineOfPosition(2), 0);   // the break belongs to its line
  EXPECT_EQ(lines.LineOfPosition(3), 1);
  EXPECT_EQ(lines.LineOfPosition(6), 1);
  EXPECT_EQ(lines.LineOfPosition(100), 3);
  EXPECT_EQ(lines.LineOfPosition(-5), 0);
  EXPECT_EQ(lines.LineText(4), u"");
  EXPECT_EQ(lines.LineStart(-1), -1);

  std::u16string trailing = u"x\n\ny\n";
  tNUVSourceLines trailingLines(trailing.data(), static_cast<int32_t>(trailing.size()));
  EXPECT_EQ(trailingLines.Count(), 3);
  EXPECT_EQ(trailingLines.LineText(1), u"");

  tNUVSourceLines empty(u"", 0);
  EXPECT_EQ(empty.Count(), 0);
  EXPECT_EQ(empty.LineOfPosition(3), 0);
}

TEST(tSourceLinesTest, LineBaseOffsetsEveryLineNumber) {
  std::u16string text = u"a\nb";
  tNUVSourceLines lines(text.data(), static_cast<int32_t>(text.size()), 10);
  EXPECT_EQ(lines.LineOfPosition(2), 11);
  EXPECT_EQ(lines.LineText(11), u"b");
  EXPECT_EQ(lines.LineStart(10), 0);
  EXPECT_FALSE(lines.HasLine(0));
}

TEST(tSourcePositionTest, FindsTheLastPairNotAfterTheIp) {
  tNUVSourcePositionTable table;
  EXPECT_EQ(table.FindPosition(5), 0);   // empty table
  // Added out of order, as the code generator does for loop steps.
  table.Add(10, 100);
  table.Add(0, 7);
  table.Add(20, 200);
  table.Add(5, 50);
  EXPECT_EQ(table.FindPosition(0), 7);
  EXPECT_EQ(table.FindPosition(4), 7);
  EXPECT_EQ(table.FindPosition(5), 50);
  EXPECT_EQ(table.FindPosition(19), 100);
  EXPECT_EQ(table.FindPosition(1000), 200);
  std::vector<int32_t> order;
  for (const tNUVSourcePositionPair& pair : table.SortedPairs()) order.push_back(pair.CodePosition);
  EXPECT_EQ(order, (std::vector<int32_t>{0, 5, 10, 20}));
  // Pairs added after a lookup are sorted in before the next one.
  table.Add(2, 20);
  EXPECT_EQ(table.FindPosition(3), 20);
}

TEST(tSourcePositionTest, IpBeforeTheFirstPairAndRepeatedCodePositions) {
  tNUVSourcePositionTable table;
  table.Add(4, 30);
  table.Add(4, 33);
  table.Add(1, 10);
  EXPECT_EQ(table.FindPosition(0), 0);
  // Of two pairs at the same code position the one added last counts.
  EXPECT_EQ(table.FindPosition(4), 33);
}

TEST(tSourcePositionTest, FirstCodeOfTheLineHoldingAnIp) {
  // Line 0 "a = 1;" (0..5), line 1 "b = a + 2;" (7..16), line 2 "c();" (18..21).
  std::u16string text = u"a = 1;\nb = a + 2;\nc();";
  tNUVSourceLines lines(text.data(), static_cast<int32_t>(text.size()));
  tNUVSourcePositionTable table;
  table.Add(0, 0);
  table.Add(3, 7);
  table.Add(6, 11);
  table.Add(9, 9);
  table.Add(12, 18);
  EXPECT_EQ(table.FirstCodeOfLine(10, lines), 3);
  EXPECT_EQ(table.FirstCodeOfLine(6, lines), 3);
  EXPECT_EQ(table.FirstCodeOfLine(2, lines), 0);
  EXPECT_EQ(table.FirstCodeOfLine(14, lines), 12);
  tNUVSourcePositionTable empty;
  EXPECT_EQ(empty.FirstCodeOfLine(14, lines), 0);
}

}  // namespace
}  // namespace NUV
