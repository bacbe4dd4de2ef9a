// The script block on the compile side: its line table and labels, the error
// routine, the context stack and list, the references that keep a block alive,
// the preprocessor store and the dump.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/compiler/parser.h"
#include "engine/compiler/script_block.h"
#include "engine/services/errors.h"
#include "engine/services/messages.h"
#include "engine/vm/disassembler.h"

namespace NUV {
namespace {

using tLines = std::vector<std::u16string>;

std::u16string Text(const tNUVString& string) {
  return std::u16string(string.c_str(), static_cast<size_t>(string.GetLen()));
}

// A block whose printed lines are collected; the fixture drops its reference.
class ScriptBlock : public testing::Test {
protected:
  // As after running: a top level that bound functions holds them, and they hold
  // the block, until ReleaseTopLevel breaks the ring.
  void TearDown() override {
    if (!Block) return;
    Block->ReleaseTopLevel();
    Block->Release();
  }
  tNUVScriptBlock* NewBlock() {
    return new tNUVScriptBlock([this](const tNUVString& line) { Printed.push_back(Text(line)); });
  }
  tNUVScriptBlock* Make() { return Block = NewBlock(); }
  // Compiles and returns the message of the error it throws ("" when none).
  std::u16string CompileError(const std::u16string& text) {
    try {
      Block->Compile(tNUVString(text), false, false);
    } catch (const eNUV& error) {
      return Text(error.GetMessage());
    }
    return u"";
  }

  tNUVScriptBlock* Block = nullptr;
  tLines Printed;
};

TEST_F(ScriptBlock, LineTableBreaksAtLfCrAndCrLf) {
  Make()->Compile(tNUVString(u"a;\nbb;\r\nccc;\r;\n\ne;\n"), false, false);
  const tLines expected = {u"a;", u"bb;", u"ccc;", u";", u"", u"e;", u""};   // no line after the last break
  ASSERT_EQ(Block->GetLineCount(), 6);
  for (int32_t line = -1; line <= 6; ++line) EXPECT_EQ(Text(Block->LineText(line)), expected[line < 0 ? 6 : line]);
  const int32_t lineOf[][2] = {{-5, 0}, {3, 1}, {6, 1}, {7, 1}, {8, 2}, {1000, 5}};   // 6, 7: CR LF
  for (auto [position, line] : lineOf) EXPECT_EQ(Block->SourcePositionToLine(position), line) << position;
  EXPECT_EQ(Block->LineToSourcePosition(2), 8);
  EXPECT_EQ(Block->LineToSourcePosition(99), 16);   // clamped to the last line

  tNUVScriptBlock* empty = new tNUVScriptBlock(nullptr);
  empty->Compile(tNUVString(), false, false);
  EXPECT_EQ(empty->GetContextCount(), 0);
  EXPECT_EQ(empty->SourcePositionToLine(7), 0);
  EXPECT_EQ(empty->LineToSourcePosition(3), 0);
  empty->Release();
}

TEST_F(ScriptBlock, NamesLabelsAndLineBase) {
  Make()->AssignName(tNUVString(u"x"), 10);
  Block->Compile(tNUVString(u"a;\nb;"), false, false);
  EXPECT_EQ(Block->SourcePositionToLine(0), 10);
  EXPECT_EQ(Text(Block->LineLabel(0)), u"x(11)");
  EXPECT_EQ(Text(Block->LineLabel(3)), u"x(12)");
  EXPECT_EQ(Text(Block->NameWithOffset()), u"x(line +10)");
  EXPECT_EQ(Block->LineToSourcePosition(11), 3);
  Block->AssignName(tNUVString(u"y"), 0);
  EXPECT_EQ(Text(Block->NameWithOffset()), u"y");

  tNUVScriptBlock* other = new tNUVScriptBlock(nullptr);
  other->Compile(tNUVString(u"1;\n2;"), false, false);
  EXPECT_EQ(Text(other->LineLabel(3)),
            Text(tNUVString::Formatted(u"anonymous@0x%p(2)", static_cast<const void*>(other))));
  other->Release();
}

TEST_F(ScriptBlock, SyntaxErrorsArePrintedCountedAndTheFirstIsThrown) {
  Make();
  std::u16string message = CompileError(u"a = ;\nb = ;\n\nc = ;\n");
  ASSERT_EQ(Printed.size(), 3u);
  EXPECT_EQ(Printed[0], message + u" at line 1");
  EXPECT_TRUE(Printed[1].ends_with(u" at line 2"));
  EXPECT_TRUE(Printed[2].ends_with(u" at line 4"));
  tNUVString parserMessage(u"syntax error, unexpected \";\"");
  EXPECT_EQ(message, Text(NUVFillMessage(NUVSyntaxError.Text(), &parserMessage)));
  EXPECT_EQ(Block->GetErrorCount(), 3);
  EXPECT_EQ(Text(Block->GetFirstErrorMessage()), message);
  EXPECT_EQ(Block->GetFirstErrorPosition(), 4);
  // Nothing of a failed text is kept.
  EXPECT_EQ(Block->GetContextCount(), 0);
  EXPECT_EQ(Block->GetTopLevel(), nullptr);
  EXPECT_EQ(Block->GetReferenceCount(), 1);
}

TEST_F(ScriptBlock, StackOverflowIsCountedAndLexicalErrorsStopAtOnce) {
  Make();
  EXPECT_NE(CompileError(std::u16string(NUVParserMaximumStack + 10, u'(') + u"a;"), u"");
  EXPECT_EQ(Printed, (tLines{u"parser stack overflow at line 1"}));   // no syntax error: used as it is
  EXPECT_EQ(Block->GetErrorCount(), 1);
  EXPECT_EQ(Block->GetContextCount(), 0);

  tNUVScriptBlock* lexical = NewBlock();
  EXPECT_THROW(lexical->Compile(tNUVString(u"a;\n@endif"), false, false), eNUV);
  EXPECT_EQ(lexical->GetFirstErrorPosition(), 9);
  EXPECT_EQ(lexical->GetContextCount(), 0);
  EXPECT_EQ(Printed.size(), 1u);   // exceptions are not printed
  lexical->Release();
}

TEST_F(ScriptBlock, OneTopLevelAndHooksNeedAContext) {
  Make();
  EXPECT_THROW(Block->AllocateNode(0, 0), eNUV);
  EXPECT_THROW(Block->EmitBreak(), eNUV);
  EXPECT_THROW(Block->BeginContext(tNUVString(u"f"), ctFunction), eNUV);   // nothing encloses it
  EXPECT_EQ(Block->GetContextCount(), 0);

  Block->BeginContext(tNUVString(u"global"), ctTopLevel);
  EXPECT_THROW(Block->BeginContext(tNUVString(u"global"), ctTopLevel), eNUV);   // nested top level
  Block->EndContext();
  EXPECT_EQ(CompileError(u"again;"), Text(tNUVString(NUVInternalError.Text())));   // a second text
  EXPECT_THROW(Block->BeginContext(tNUVString(u"again"), ctTopLevel), eNUV);
  EXPECT_EQ(Text(Block->GetFirstErrorMessage()), Text(tNUVString(NUVInternalError.Text())));
  EXPECT_EQ(Block->GetContextCount(), 1);
  EXPECT_TRUE(Block->GetTopLevel()->IsFinished());
  EXPECT_EQ(Block->GetTopLevel()->GetRefCount(), 1);   // the block's own
}

TEST_F(ScriptBlock, FunctionsKeepTheBlockAliveAfterTheTopLevelGoes) {
  Make()->Compile(tNUVString(u"function f() { return 1; }\nf();"), false, false);
  ASSERT_EQ(Block->GetContextCount(), 2);
  tNUVInterCodeContext* top = Block->GetContexts()[0];
  tNUVInterCodeContext* function = Block->GetContexts()[1];
  EXPECT_EQ(top, Block->GetTopLevel());
  EXPECT_EQ(Text(function->GetName()), u"f");
  EXPECT_EQ(Block->GetReferenceCount(), 2);   // ours and the function's
  EXPECT_EQ(Block->GetTotalCodeSize(), top->GetCodeCount() + function->GetCodeCount());
  EXPECT_EQ(Block->GetTotalDataSize(), top->GetConstantCount() + function->GetConstantCount());

  function->AddRef();   // as the global object would after running
  Block->ReleaseTopLevel();
  EXPECT_EQ(Block->GetTopLevel(), nullptr);
  ASSERT_EQ(Block->GetContextCount(), 1);
  EXPECT_EQ(Block->GetContexts()[0], function);
  tNUVScriptBlock* block = Block;
  Block = nullptr;
  block->Release();
  EXPECT_EQ(block->GetReferenceCount(), 1);   // still alive through the function
  EXPECT_EQ(function->GetOwner(), block);
  function->Release();   // the block goes with it (checked by the leak checker)
}

TEST_F(ScriptBlock, ALoneTopLevelStays) {
  Make()->Compile(tNUVString(u"a = 1;"), false, false);
  Block->ReleaseTopLevel();
  ASSERT_NE(Block->GetTopLevel(), nullptr);
  EXPECT_EQ(Block->GetContextCount(), 1);
  EXPECT_EQ(Block->GetReferenceCount(), 1);
}

TEST_F(ScriptBlock, ContextsLeftOpenBySyntaxErrorsAreReleased) {
  for (const char16_t* text : {u"function f() { a + } b;", u"function f() { function g() { x( } }",
                               u"class C { property p { getter { a + } } }", u"var v = function() { 1 +",
                               u"function f() { a + } ; function g() { } ;"}) {
    Make();
    EXPECT_NE(CompileError(text), u"") << tNUVString(text).AsStdString();
    EXPECT_EQ(Block->GetContextCount(), 0) << tNUVString(text).AsStdString();
    EXPECT_EQ(Block->GetReferenceCount(), 1);
    Block->Release();
    Block = nullptr;
  }
}

TEST_F(ScriptBlock, PreprocessorValuesLiveInTheStore) {
  tNUVPreprocessorStore store;
  Make()->SetPreprocessorStore(&store);
  Block->Compile(tNUVString(u"@set (LEVEL = 3)\na;"), false, false);
  EXPECT_TRUE(Block->UsedPreprocessor());
  EXPECT_EQ(store[u"LEVEL"], 3);

  tNUVScriptBlock* second = new tNUVScriptBlock(nullptr);
  EXPECT_EQ(second->GetPreprocessorValue(tNUVString(u"LEVEL")), 0);   // its own values until given the store
  second->SetPreprocessorStore(&store);
  EXPECT_EQ(second->GetPreprocessorValue(tNUVString(u"LEVEL")), 3);
  second->SetPreprocessorValue(tNUVString(u"OTHER"), -2);
  EXPECT_EQ(Block->GetPreprocessorValue(tNUVString(u"OTHER")), -2);
  second->Release();
}

TEST_F(ScriptBlock, DumpPrintsEveryContextWithHeaderSourceAndCode) {
  Make()->Compile(tNUVString(u"a = 1;\nfunction f() { return 2; }"), false, false);
  Printed.clear();
  Block->Dump();
  std::vector<size_t> headers;
  for (size_t i = 1; i < Printed.size(); ++i) {
    if (Printed[i].starts_with(u"(")) headers.push_back(i);
  }
  ASSERT_EQ(headers.size(), 2u);
  headers.push_back(Printed.size() + 1);
  const char16_t* sources[] = {u"#(1) a = 1;", u"#(2) function f() { return 2; }"};
  for (size_t n = 0; n < 2; ++n) {
    const tNUVInterCodeContext* context = Block->GetContexts()[n];
    EXPECT_EQ(Printed[headers[n] - 1], u"");
    EXPECT_EQ(Printed[headers[n]], Text(tNUVString::Formatted(u"(%ls) %ls 0x%p", ContextKindName(context->GetKind()),
                                                              context->GetName().c_str(), static_cast<const void*>(context))));
    EXPECT_EQ(Printed[headers[n] + 1], sources[n]);
    // Every further line of the section is an instruction.
    for (size_t i = headers[n] + 2; i + 1 < headers[n + 1]; ++i) EXPECT_TRUE(Printed[i].starts_with(u"0000")) << n;
    EXPECT_GE(headers[n + 1] - headers[n], 5u);
  }
}

}  // namespace
}  // namespace NUV
