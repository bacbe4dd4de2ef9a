// The disassembler's lines: every instruction's printed form (expected texts written
// out by hand), argument lists, constant comments and the source lines interleaved
// with the code.

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "engine/compiler/compile_host.h"
#include "engine/vm/disassembler.h"

namespace NUV {
namespace {

// Hand-assembled operand words for the 24-byte variant slot of this platform.
static_assert(NUVSlotSize == 24);
constexpr int32_t R(int32_t reg) { return reg * 24; }
constexpr int32_t K(int32_t index) { return index * 24; }

std::u16string Text(const tNUVString& string) {
  return std::u16string(string.c_str(), static_cast<size_t>(string.GetLen()));
}

void Collect(const tNUVString& line, void* userData) {
  static_cast<std::vector<std::u16string>*>(userData)->push_back(Text(line));
}

std::u16string Position(int32_t ip) {
  std::string digits = std::to_string(ip);
  std::u16string text(8 - digits.size(), u'0');
  for (char digit : digits) text += static_cast<char16_t>(digit);
  return text + u" ";
}

struct tSample {
  std::vector<int32_t> Words;
  std::u16string Expected;
};

// One instance of every instruction, with its printed form written by hand.
std::vector<tSample> EveryInstruction() {
  std::vector<tSample> samples = {
      {{VM_NOP}, u"nop"},
      {{VM_CONST, R(1), K(2)}, u"const %1, *2"},
      {{VM_CP, R(1), R(-3)}, u"cp %1, %-3"},
      {{VM_CL, R(4)}, u"cl %4"},
      {{VM_CCL, R(3), 4}, u"ccl %3-%6"},
      {{VM_TT, R(1)}, u"tt %1"},
      {{VM_TF, R(2)}, u"tf %2"},
      {{VM_CEQ, R(1), R(2)}, u"ceq %1, %2"},
      {{VM_CDEQ, R(1), R(2)}, u"cdeq %1, %2"},
      {{VM_CLT, R(1), R(2)}, u"clt %1, %2"},
      {{VM_CGT, R(1), R(2)}, u"cgt %1, %2"},
      {{VM_SETF, R(1)}, u"setf %1"},
      {{VM_SETNF, R(1)}, u"setnf %1"},
      {{VM_LNOT, R(1)}, u"lnot %1"},
      {{VM_NF}, u"nf"},
      {{VM_JF, 0}, u"jf"},     // jump texts are completed below, they depend on the position
      {{VM_JNF, 0}, u"jnf"},
      {{VM_JMP, 0}, u"jmp"},
      {{VM_INC, R(1)}, u"inc %1"},
      {{VM_INCPD, R(1), R(-1), K(0)}, u"incpd %1, %-1.*0"},
      {{VM_INCPI, 0, R(-1), R(2)}, u"incpi %0, %-1.%2"},
      {{VM_INCP, R(1), R(2)}, u"incp %1, %2"},
      {{VM_DEC, R(1)}, u"dec %1"},
      {{VM_DECPD, R(1), R(-1), K(0)}, u"decpd %1, %-1.*0"},
      {{VM_DECPI, 0, R(-1), R(2)}, u"decpi %0, %-1.%2"},
      {{VM_DECP, R(1), R(2)}, u"decp %1, %2"},
  };
  int32_t opcode = 26;
  for (const char16_t* name : {u"lor", u"land", u"bor", u"bxor", u"band", u"sar", u"sal", u"sr", u"add",
                               u"sub", u"mod", u"div", u"idiv", u"mul"}) {
    std::u16string base = name;
    samples.push_back({{opcode, R(1), R(2)}, base + u" %1, %2"});
    samples.push_back({{opcode + 1, R(3), R(-1), K(1), R(2)}, base + u"pd %3, %-1.*1, %2"});
    samples.push_back({{opcode + 2, 0, R(-2), R(4), R(2)}, base + u"pi %0, %-2.%4, %2"});
    samples.push_back({{opcode + 3, R(1), R(5), R(2)}, base + u"p %1, %5, %2"});
    opcode += 4;
  }
  std::vector<tSample> rest = {
      {{VM_BNOT, R(1)}, u"bnot %1"},
      {{VM_TYPEOF, R(1)}, u"typeof %1"},
      {{VM_TYPEOFD, R(1), R(-2), K(0)}, u"typeofd %1, %-2.*0"},
      {{VM_TYPEOFI, R(1), R(-2), R(3)}, u"typeofi %1, %-2.%3"},
      {{VM_EVAL, R(1)}, u"eval %1"},
      {{VM_EEXP, R(1)}, u"eexp %1"},
      {{VM_CHKINS, R(1), R(2)}, u"chkins %1, %2"},
      {{VM_ASC, R(1)}, u"asc %1"},
      {{VM_CHR, R(1)}, u"chr %1"},
      {{VM_NUM, R(1)}, u"num %1"},
      {{VM_CHS, R(1)}, u"chs %1"},
      {{VM_INV, R(1)}, u"inv %1"},
      {{VM_CHKINV, R(1)}, u"chkinv %1"},
      {{VM_INT, R(1)}, u"int %1"},
      {{VM_REAL, R(1)}, u"real %1"},
      {{VM_STR, R(1)}, u"str %1"},
      {{VM_OCTET, R(1)}, u"octet %1"},
      {{VM_CALL, R(1), R(2), 2, R(3), R(-4)}, u"call %1, %2(%3, %-4)"},
      {{VM_CALLD, 0, R(-1), K(1), -1}, u"calld %0, %-1.*1(...)"},
      {{VM_CALLI, R(1), R(2), R(3), 0}, u"calli %1, %2.%3()"},
      {{VM_NEW, R(1), R(2), -2, 3, 0, R(3), 1, R(4), 2, 0}, u"new %1, %2(%3, %4*, *)"},
      {{VM_GPD, R(1), R(-2), K(0)}, u"gpd %1, %-2.*0"},
      {{VM_SPD, R(-2), K(0), R(1)}, u"spd %-2.*0, %1"},
      {{VM_SPDE, R(-2), K(0), R(1)}, u"spde %-2.*0, %1"},
      {{VM_SPDEH, R(-2), K(0), R(1)}, u"spdeh %-2.*0, %1"},
      {{VM_GPI, R(1), R(2), R(3)}, u"gpi %1, %2.%3"},
      {{VM_SPI, R(1), R(2), R(3)}, u"spi %1.%2, %3"},
      {{VM_SPIE, R(1), R(2), R(3)}, u"spie %1.%2, %3"},
      {{VM_GPDS, R(1), R(-1), K(0)}, u"gpds %1, %-1.*0"},
      {{VM_SPDS, R(-1), K(0), R(1)}, u"spds %-1.*0, %1"},
      {{VM_GPIS, R(1), R(-1), R(2)}, u"gpis %1, %-1.%2"},
      {{VM_SPIS, R(-1), R(2), R(1)}, u"spis %-1.%2, %1"},
      {{VM_SETP, R(1), R(2)}, u"setp %1, %2"},
      {{VM_GETP, R(1), R(2)}, u"getp %1, %2"},
      {{VM_DELD, 0, R(1), K(0)}, u"deld %0, %1.*0"},
      {{VM_DELI, R(2), R(1), R(3)}, u"deli %2, %1.%3"},
      {{VM_SRV, R(1)}, u"srv %1"},
      {{VM_RET}, u"ret"},
      {{VM_ENTRY, 0, R(3)}, u"entry"},
      {{VM_EXTRY}, u"extry"},
      {{VM_THROW, R(1)}, u"throw %1"},
      {{VM_CHGTHIS, R(1), R(2)}, u"chgthis %1, %2"},
      {{VM_GLOBAL, R(1)}, u"global %1"},
      {{VM_ADDCI, R(1), R(2)}, u"addci %1, %2"},
      {{VM_REGMEMBER}, u"regmember"},
      {{VM_DEBUGGER}, u"debugger"},
  };
  samples.insert(samples.end(), rest.begin(), rest.end());
  return samples;
}

std::vector<std::u16string> Disassemble(const tNUVDisassemblyInput& input, int32_t first = 0, int32_t end = 0) {
  std::vector<std::u16string> lines;
  tNUVDisassembler(input, Collect, &lines).DisassembleRange(first, end);
  return lines;
}

tNUVDisassemblyInput InputFor(const std::vector<int32_t>& code) {
  tNUVDisassemblyInput input;
  input.Code = {code.data(), static_cast<int32_t>(code.size())};
  return input;
}

TEST(tDisassemblerTest, EveryInstructionInItsPrintedForm) {
  std::vector<tSample> samples = EveryInstruction();
  std::vector<int32_t> code;
  std::vector<std::u16string> expected;
  std::set<int32_t> opcodes;
  for (tSample& sample : samples) {
    int32_t ip = static_cast<int32_t>(code.size());
    opcodes.insert(sample.Words[0]);
    // Jumps go back to position 0 and the try entry forward to position 1000000.
    if (sample.Words[0] == VM_JF || sample.Words[0] == VM_JNF || sample.Words[0] == VM_JMP) {
      sample.Words[1] = -4 * ip;
      sample.Expected += u" 000000000";
    } else if (sample.Words[0] == VM_ENTRY) {
      sample.Words[1] = 4 * (1000000 - ip);
      sample.Expected += u" 001000000, %3";
    }
    code.insert(code.end(), sample.Words.begin(), sample.Words.end());
    expected.push_back(Position(ip) + sample.Expected);
  }
  ASSERT_EQ(opcodes.size(), 128u);
  EXPECT_EQ(Disassemble(InputFor(code)), expected);
}

TEST(tDisassemblerTest, JumpTargetsAreAbsoluteNineDigitPositions) {
  std::vector<int32_t> code = {VM_NOP, VM_NOP, VM_NOP, VM_NOP, VM_NOP, VM_NOP, VM_NOP, VM_NOP, VM_NOP, VM_NOP,
                               VM_JMP, -24, VM_JNF, 8};
  std::vector<std::u16string> lines = Disassemble(InputFor(code), 10);
  EXPECT_EQ(lines, (std::vector<std::u16string>{u"00000010 jmp 000000004", u"00000012 jnf 000000014"}));
}

TEST(tDisassemblerTest, UnknownAndMalformedInstructions) {
  std::vector<int32_t> code = {128, VM_NOP, -1, VM_CALL, R(1), R(2), -7, VM_NOP};
  EXPECT_EQ(Disassemble(InputFor(code)), (std::vector<std::u16string>{
                                             u"00000000 unknown instruction 128",
                                             u"00000001 nop",
                                             u"00000002 unknown instruction -1",
                                             // Words after a malformed instruction cannot be decoded.
                                             u"00000003 malformed instruction 99",
                                         }));
  std::vector<int32_t> truncated = {VM_NOP, VM_GPD, R(1)};
  EXPECT_EQ(Disassemble(InputFor(truncated)),
            (std::vector<std::u16string>{u"00000000 nop", u"00000001 malformed instruction 103"}));
}

TEST(tDisassemblerTest, RangeBounds) {
  std::vector<int32_t> code = {VM_NOP, VM_CL, R(1), VM_RET};
  EXPECT_EQ(Disassemble(InputFor(code), 1, 3), (std::vector<std::u16string>{u"00000001 cl %1"}));
  EXPECT_EQ(Disassemble(InputFor(code), -5, 1), (std::vector<std::u16string>{u"00000000 nop"}));
  EXPECT_EQ(Disassemble(InputFor(code), 3, 100), (std::vector<std::u16string>{u"00000003 ret"}));
  EXPECT_TRUE(Disassemble(InputFor(code), 4, 0).empty());
}

// Constant comments ---------------------------------------------------------------------

TEST(tDisassemblerTest, ConstantCommentsShowEachValueType) {
  std::vector<tNUVVariant> data;
  data.emplace_back();
  data.emplace_back(int64_t{42});
  data.emplace_back(2.5);
  data.emplace_back(u"name");
  std::vector<uint8_t> bytes = {0x01, 0xAB};
  data.emplace_back(bytes.data(), 2);
  data.emplace_back(static_cast<iNUVDispatch2*>(nullptr));
  data.emplace_back(tNUVString(std::u16string(600, u'x')));
  std::vector<int32_t> code = {
      VM_CONST, R(1), K(0),                   // 0
      VM_CONST, R(1), K(1),                   // 3
      VM_CONST, R(1), K(2),                   // 6
      VM_GPD, R(1), R(-1), K(3),              // 9
      VM_SPDE, R(-1), K(4), R(1),             // 13
      VM_CALLD, 0, R(-1), K(5), 1, R(1),      // 17
      VM_ADDPD, 0, R(-1), K(6), R(1),         // 23
      VM_CP, R(1), R(2),                      // 28
      VM_CONST, R(1), K(7),                   // 31: outside the data area
  };
  tNUVDisassemblyInput input = InputFor(code);
  input.Data = data.data();
  input.DataCount = static_cast<int32_t>(data.size());
  std::vector<std::u16string> lines = Disassemble(input);
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0], u"00000000 const %1, *0\t// *0 = (void)");
  EXPECT_EQ(lines[1], u"00000003 const %1, *1\t// *1 = (int)42");
  EXPECT_EQ(lines[2], u"00000006 const %1, *2\t// *2 = (real)2.5");
  EXPECT_EQ(lines[3], u"00000009 gpd %1, %-1.*3\t// *3 = (string)\"name\"");
  EXPECT_EQ(lines[4], u"00000013 spde %-1.*4, %1\t// *4 = (octet)<% 01 AB %>");
  EXPECT_EQ(lines[5], u"00000017 calld %0, %-1.*5(%1)\t// *5 = (object)(object 0x0000000000000000:0x0000000000000000)");
  // Cut to 512 characters of readable text.
  std::u16string prefix = u"00000023 addpd %0, %-1.*6, %1\t// *6 = ";
  ASSERT_EQ(lines[6].size(), prefix.size() + 512);
  EXPECT_EQ(lines[6].substr(0, prefix.size() + 12), prefix + u"(string)\"xxx");
  EXPECT_EQ(lines[6].substr(lines[6].size() - 3), u"...");
  EXPECT_EQ(lines[7], u"00000028 cp %1, %2");
  EXPECT_EQ(lines[8], u"00000031 const %1, *7");

  // Without a data area there are no comments.
  input.Data = nullptr;
  input.DataCount = 0;
  EXPECT_EQ(Disassemble(input)[0], u"00000000 const %1, *0");
}

// Source lines ------------------------------------------------------------------------------

// A script of sixteen lines "line 1" ... "line 16" and the start of each line.
struct tScript {
  std::u16string Text;
  std::vector<int32_t> Starts;
  tScript() {
    for (int32_t i = 1; i <= 16; ++i) {
      Starts.push_back(static_cast<int32_t>(Text.size()));
      std::string number = std::to_string(i);
      Text += u"line ";
      for (char digit : number) Text += static_cast<char16_t>(digit);
      Text += u"\n";
    }
  }
  // The source position of a 1-based line.
  int32_t At(int32_t line) const { return Starts[static_cast<size_t>(line - 1)]; }
};

// Code of NOPs, instruction i placed on the 1-based line lines[i].
struct tPlacedCode {
  std::vector<int32_t> Code;
  tNUVSourcePositionTable Positions;
  tNUVSourceLines Lines;
  tNUVDisassemblyInput Input;
  tPlacedCode(const tScript& script, const std::vector<int32_t>& lines)
      : Code(lines.size(), VM_NOP), Lines(script.Text.data(), static_cast<int32_t>(script.Text.size())) {
    for (size_t i = 0; i < lines.size(); ++i) Positions.Add(static_cast<int32_t>(i), script.At(lines[i]) + 2);
    Input.Code = {Code.data(), static_cast<int32_t>(Code.size())};
    Input.Positions = &Positions;
    Input.Lines = &Lines;
  }
};

TEST(tDisassemblerSourceTest, LongGapsShowTheLineAndTheTwoBefore) {
  tScript script;
  tPlacedCode placed(script, {1, 10, 12, 16});
  EXPECT_EQ(Disassemble(placed.Input), (std::vector<std::u16string>{
                                           u"#(1) line 1",
                                           u"00000000 nop",
                                           u"#(8) line 8",
                                           u"#(9) line 9",
                                           u"#(10) line 10",
                                           u"00000001 nop",
                                           // Two lines ahead: both are shown.
                                           u"#(11) line 11",
                                           u"#(12) line 12",
                                           u"00000002 nop",
                                           // Exactly three lines ahead: 13 is skipped.
                                           u"#(14) line 14",
                                           u"#(15) line 15",
                                           u"#(16) line 16",
                                           u"00000003 nop",
                                       }));
}

TEST(tDisassemblerSourceTest, ABackJumpShowsItsLineOnceWhenTheLineChanges) {
  tScript script;
  // A loop: condition on line 3, body on line 4, the jump back on line 3, then line 5.
  tPlacedCode placed(script, {2, 3, 4, 4, 3, 3, 5});
  EXPECT_EQ(Disassemble(placed.Input), (std::vector<std::u16string>{
                                           u"#(2) line 2",
                                           u"00000000 nop",
                                           u"#(3) line 3",
                                           u"00000001 nop",
                                           u"#(4) line 4",
                                           u"00000002 nop",
                                           u"00000003 nop",
                                           u"#(3) line 3",
                                           u"00000004 nop",
                                           u"00000005 nop",
                                           u"#(5) line 5",
                                           u"00000006 nop",
                                       }));
}

TEST(tDisassemblerSourceTest, TheFirstInstructionShowsOnlyItsOwnLine) {
  tScript script;
  tPlacedCode placed(script, {6, 6, 7});
  EXPECT_EQ(Disassemble(placed.Input), (std::vector<std::u16string>{
                                           u"#(6) line 6",
                                           u"00000000 nop",
                                           u"00000001 nop",
                                           u"#(7) line 7",
                                           u"00000002 nop",
                                       }));
}

TEST(tDisassemblerSourceTest, LineNumbersIncludeTheLineBaseAndBreaksAreAnyOfCrLfCrLf) {
  std::u16string text = u"a = 1;\r\nb = 2;\rc = 3;";
  tNUVSourceLines lines(text.data(), static_cast<int32_t>(text.size()), 10);
  tNUVSourcePositionTable positions;
  positions.Add(0, 0);
  positions.Add(1, 8);
  positions.Add(2, 15);
  std::vector<int32_t> code = {VM_NOP, VM_NOP, VM_RET};
  tNUVDisassemblyInput input = InputFor(code);
  input.Positions = &positions;
  input.Lines = &lines;
  EXPECT_EQ(Disassemble(input), (std::vector<std::u16string>{u"#(11) a = 1;", u"00000000 nop", u"#(12) b = 2;",
                                                             u"00000001 nop", u"#(13) c = 3;", u"00000002 ret"}));
}

TEST(tDisassemblerSourceTest, AroundAnIpStartsAtTheFirstInstructionOfItsLine) {
  tScript script;
  tPlacedCode placed(script, {1, 2, 2, 2, 3});
  std::vector<std::u16string> lines;
  tNUVDisassembler(placed.Input, Collect, &lines).DisassembleAround(3);
  EXPECT_EQ(lines, (std::vector<std::u16string>{u"#(2) line 2", u"00000001 nop", u"00000002 nop", u"00000003 nop"}));
  lines.clear();
  // Past the end of the code: up to the last instruction.
  tNUVDisassembler(placed.Input, Collect, &lines).DisassembleAround(99);
  EXPECT_EQ(lines.back(), u"00000004 nop");
}

TEST(tDisassemblerTest, ContextDumpHeader) {
  std::vector<int32_t> code = {VM_RET};
  tNUVDisassemblyInput input = InputFor(code);
  input.Kind = ctFunction;
  input.Name = u"fib";
  input.Identity = reinterpret_cast<const void*>(uintptr_t{0xABC0});
  std::vector<std::u16string> lines;
  tNUVDisassembler(input, Collect, &lines).DumpContext();
  EXPECT_EQ(lines, (std::vector<std::u16string>{u"", u"(function) fib 0x000000000000ABC0", u"00000000 ret"}));
  EXPECT_EQ(std::u16string(ContextKindName(0)), u"top level script");
  EXPECT_EQ(std::u16string(ContextKindName(2)), u"function expression");
  EXPECT_EQ(std::u16string(ContextKindName(7)), u"super class getter proxy");
  EXPECT_EQ(std::u16string(ContextKindName(8)), u"unknown");
  EXPECT_EQ(std::u16string(ContextKindName(-1)), u"unknown");
}

}  // namespace
}  // namespace NUV
