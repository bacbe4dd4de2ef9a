// The engine object: its console helpers and the context dump, the preprocessor
// values, the built-in classes on the global object, reference counting with
// script blocks, running scripts (errors included) and shutdown, which must free
// everything scripts defined.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/compiler/script_block.h"
#include "engine/compiler/script_cache.h"
#include "engine/objects/array.h"
#include "engine/objects/custom_object.h"
#include "engine/services/engine.h"
#include "engine/services/error_report.h"
#include "engine/services/errors.h"
#include "engine/services/messages.h"
#include "engine/services/script_errors.h"

namespace NUV {
namespace {

using tLines = std::vector<std::string>;

std::string Utf8(const tNUVString& text) { return text.AsStdString(); }

class tRecordingConsole final : public iNUVConsoleOutput {
public:
  void PrintOther(const char16_t* text) override { Other.push_back(Utf8(tNUVString(text))); }
  void Print(const char16_t* text) override { Lines.push_back(Utf8(tNUVString(text))); }
  tLines Lines;
  tLines Other;
};

bool HasMember(iNUVDispatch2* object, const char16_t* name) {
  tNUVVariant value;
  return object->GetMember(0, name, nullptr, &value, object) >= 0;
}

tNUVVariant Member(iNUVDispatch2* object, const char16_t* name) {
  tNUVVariant value;
  NUVThrowFromResultCode(object->GetMember(0, name, nullptr, &value, object), name);
  return value;
}

class Engine : public testing::Test {
protected:
  void SetUp() override {
    Nuv = new tNUV;
    Nuv->SetConsoleOutput(&Console);
  }
  void TearDown() override {
    Nuv->Shutdown();
    Nuv->Release();
  }
  iNUVDispatch2* Global() { return Nuv->GetGlobalNoAddRef(); }
  // Runs a script that must fail to compile; returns the error.
  std::string CompileFailure(const char16_t* text, const tNUVString* name = nullptr, int32_t lineBase = 0,
                             std::string* position = nullptr) {
    try {
      Nuv->ExecScript(tNUVString(text), nullptr, nullptr, name, lineBase);
    } catch (const eNUVCompileError& error) {
      if (position) *position = Utf8(NUVBlockPositionDescription(error.GetBlock(), error.GetPosition()));
      return Utf8(error.GetMessage());
    }
    ADD_FAILURE() << "no compile error";
    return "";
  }

  tNUV* Nuv = nullptr;
  tRecordingConsole Console;
};

// Console helpers and the dump ----------------------------------------------------------------

TEST_F(Engine, DumpWithoutBlocksPrintsHeaderVersionAndNotice) {
  Nuv->Dump(80);
  const tLines expected = {std::string(80, '#'),
                           std::string(32, ' ') + "NUV Context Dump",
                           std::string(80, '#'),
                           "NUV version 2.4.19 (Nov 20 2005 09:54:28)",
                           "",
                           "",
                           "There are no script blocks in the system."};
  EXPECT_EQ(Console.Lines, expected);
  EXPECT_TRUE(Console.Other.empty());

  Console.Lines.clear();
  Nuv->Dump(20);
  ASSERT_EQ(Console.Lines.size(), 7u);
  EXPECT_EQ(Console.Lines[0], std::string(20, '#'));
  EXPECT_EQ(Console.Lines[1], "  NUV Context Dump");
}

TEST_F(Engine, CenteringAndSeparatorLines) {
  Nuv->OutputToConsoleWithCentering(tNUVString(u"abc"), 10);     // (10 - 3) / 2 = 3
  Nuv->OutputToConsoleWithCentering(tNUVString(u"abc"), 4);      // 0
  Nuv->OutputToConsoleWithCentering(tNUVString(u"abcdef"), 2);   // negative: none
  Nuv->OutputToConsoleWithCentering(tNUVString(u"abc"), -9);     // rounds toward zero: none
  Nuv->OutputToConsoleSeparator(tNUVString(u"ab"), 3);
  Nuv->OutputToConsoleSeparator(tNUVString(u"-"), 0);
  Nuv->OutputExceptionToConsole(tNUVString(u"exception line"));
  EXPECT_EQ(Console.Lines, (tLines{"   abc", "abc", "abcdef", "abc", "ababab", "", "exception line"}));

  // Without a console every output does nothing.
  Nuv->SetConsoleOutput(nullptr);
  Nuv->OutputToConsole(tNUVString(u"lost"));
  Nuv->Dump();
  Nuv->SetConsoleOutput(&Console);
  EXPECT_EQ(Console.Lines.size(), 7u);
}

TEST_F(Engine, DumpListsEveryBlockWithItsStatisticsAndCode) {
  tNUVString name(u"lib");
  Nuv->ExecScript(tNUVString(u"function twice(n) { return n * 2; }\n"), nullptr, nullptr, &name, 10);
  Nuv->ExecScript(tNUVString(u"function half(n) { return n / 2; }\n"), nullptr, nullptr);
  const std::vector<tNUVScriptBlock*>& blocks = Nuv->GetScriptBlocks();
  ASSERT_EQ(blocks.size(), 2u);
  const std::string named = "lib(line +10) " + Utf8(tNUVString::Formatted(u"0x%p", static_cast<void*>(blocks[0])));
  const std::string unnamed =
      "(no-named script block) " + Utf8(tNUVString::Formatted(u"0x%p", static_cast<void*>(blocks[1])));
  const int32_t contexts = blocks[0]->GetContextCount() + blocks[1]->GetContextCount();
  const int32_t code = blocks[0]->GetTotalCodeSize() + blocks[1]->GetTotalCodeSize();
  const int32_t data = blocks[0]->GetTotalDataSize() + blocks[1]->GetTotalDataSize();
  EXPECT_EQ(blocks[0]->GetContextCount(), 1) << "the top level is released after the run";

  Nuv->Dump();
  const tLines& lines = Console.Lines;
  ASSERT_GT(lines.size(), 30u);
  EXPECT_EQ(lines[5], "Total 2 script block(s)");
  EXPECT_EQ(lines[6], "");
  EXPECT_EQ(lines[7], named);
  EXPECT_EQ(lines[8], "\tCount of contexts      : 1");
  EXPECT_EQ(lines[9], "\tVM code area size      : " + std::to_string(blocks[0]->GetTotalCodeSize()) + " words");
  EXPECT_EQ(lines[10], "\tVM constant data count : " + std::to_string(blocks[0]->GetTotalDataSize()));
  EXPECT_EQ(lines[11], "");
  EXPECT_EQ(lines[12], unnamed);
  EXPECT_EQ(lines[17], "Total count of contexts      : " + std::to_string(contexts));
  EXPECT_EQ(lines[18], "Total VM code area size      : " + std::to_string(code) + " words");
  EXPECT_EQ(lines[19], "Total VM constant data count : " + std::to_string(data));
  EXPECT_EQ(lines[20], "");
  EXPECT_EQ(lines[21], std::string(80, '-'));
  EXPECT_EQ(lines[22], std::string((80 - named.size()) / 2, ' ') + named);
  EXPECT_EQ(lines[23], std::string(80, '-'));
  // The block's own dump: an empty line, then the context's title line.
  EXPECT_EQ(lines[24], "");
  EXPECT_EQ(lines[25].rfind("(function) twice 0x", 0), 0u) << lines[25];
  int32_t separators = 0;
  for (const std::string& line : lines) separators += line == std::string(80, '-');
  EXPECT_EQ(separators, 4);
  EXPECT_EQ(lines[lines.size() - 1], "");
  EXPECT_EQ(lines[lines.size() - 2], "");
}

// Preprocessor values ----------------------------------------------------------------------------

TEST_F(Engine, PreprocessorValuesPersistAndUnsetNamesReadZero) {
  EXPECT_EQ(Nuv->GetPPValue(tNUVString(u"version")), 33816595);
  EXPECT_EQ(Nuv->GetPPValue(tNUVString(u"Version")), 0);
  EXPECT_EQ(Nuv->GetPPValue(tNUVString(u"unset")), 0);
  Nuv->SetPPValue(tNUVString(u"LEVEL"), 3);
  Nuv->SetPPValue(tNUVString(u"LEVEL"), -7);
  EXPECT_EQ(Nuv->GetPPValue(tNUVString(u"LEVEL")), -7);

  // Far more names than buckets: every chain keeps its entries.
  for (int32_t i = 0; i < 300; ++i) Nuv->SetPPValue(tNUVString::Formatted(u"name%d", i), i * 3);
  for (int32_t i = 0; i < 300; ++i) EXPECT_EQ(Nuv->GetPPValue(tNUVString::Formatted(u"name%d", i)), i * 3) << i;
  EXPECT_EQ(Nuv->GetPPValue(tNUVString(u"version")), 33816595);
}

TEST_F(Engine, ScriptsShareThePreprocessorValuesWithTheHost) {
  Nuv->SetPPValue(tNUVString(u"HOST"), 2);
  Nuv->ExecScript(tNUVString(u"@set (FROM_SCRIPT = HOST * 10)\n"), nullptr, nullptr);
  EXPECT_EQ(Nuv->GetPPValue(tNUVString(u"FROM_SCRIPT")), 20);
  Nuv->ExecScript(tNUVString(u"@if (FROM_SCRIPT == 20) var seen = 1; @endif\n"
                             u"@if (FROM_SCRIPT != 20) var other = 1; @endif\n"),
                  nullptr, nullptr);
  EXPECT_TRUE(HasMember(Global(), u"seen"));
  EXPECT_FALSE(HasMember(Global(), u"other"));
}

// The global object ----------------------------------------------------------------------------

TEST_F(Engine, BuiltInClassesAreMembersOfTheGlobalObject) {
  for (const char16_t* name : {u"Array", u"Dictionary", u"Exception"}) {
    tNUVVariant value = Member(Global(), name);
    ASSERT_EQ(value.vt, tvtObject) << Utf8(tNUVString(name));
    EXPECT_NE(value.Object.Object, nullptr);
    EXPECT_EQ(value.Object.ObjThis, nullptr) << "class objects are stored without a bound this";
  }
  tNUVVariant arrayClass = Member(Global(), u"Array");
  iNUVDispatch2* array = nullptr;
  ASSERT_GE(arrayClass.Object.Object->CreateInstance(0, nullptr, nullptr, &array, 0, nullptr, nullptr), 0);
  EXPECT_NE(NUVFindArray(array), nullptr);
  array->Release();

}

TEST_F(Engine, RandomGeneratorIsAMemberOfMathOnly) {
  EXPECT_FALSE(HasMember(Global(), u"RandomGenerator"));
  if (!HasMember(Global(), u"Math")) GTEST_SKIP() << "the Math class is not built yet";
  tNUVVariant math = Member(Global(), u"Math");
  EXPECT_TRUE(HasMember(math.Object.Object, u"RandomGenerator"));
}

TEST_F(Engine, GetGlobalAddsAReference) {
  auto* global = static_cast<tNUVCustomObject*>(Global());
  int32_t before = global->GetRefCount();
  iNUVDispatch2* held = Nuv->GetGlobal();
  EXPECT_EQ(held, Global());
  EXPECT_EQ(global->GetRefCount(), before + 1);
  held->Release();
  EXPECT_EQ(global->GetRefCount(), before);
}

// Lifetime ------------------------------------------------------------------------------------

TEST(EngineLifetime, ABlockKeepsItsEngineAlive) {
  tNUV* engine = new tNUV;
  auto* block = new tNUVScriptBlock(engine);
  EXPECT_EQ(engine->GetReferenceCount(), 2);
  ASSERT_EQ(engine->GetScriptBlocks().size(), 1u);
  EXPECT_EQ(block->GetRuntime(), static_cast<iNUVRuntime*>(engine));
  EXPECT_EQ(block->GetScriptBlock(), block);

  engine->Release();
  // Still alive: the block holds the last reference.
  EXPECT_EQ(engine->GetReferenceCount(), 1);
  ASSERT_EQ(engine->GetScriptBlocks().size(), 1u);
  EXPECT_EQ(engine->GetScriptBlocks().front(), block);
  EXPECT_EQ(engine->GetPPValue(tNUVString(u"version")), 33816595);
  // The block's destruction takes the engine with it (the sanitizer build reports
  // a leak or a late access otherwise).
  block->Release();
}

TEST(EngineLifetime, RemoveScriptBlockErasesOneEntry) {
  tNUV* engine = new tNUV;
  auto* first = new tNUVScriptBlock(engine);
  auto* second = new tNUVScriptBlock(engine);
  EXPECT_EQ(engine->GetScriptBlocks(), (std::vector<tNUVScriptBlock*>{first, second}));
  first->Release();
  EXPECT_EQ(engine->GetScriptBlocks(), (std::vector<tNUVScriptBlock*>{second}));
  engine->Release();
  second->Release();
}

TEST(EngineLifetime, TwoEnginesAreIndependent) {
  tNUV* one = new tNUV;
  tNUV* two = new tNUV;
  one->SetPPValue(tNUVString(u"X"), 1);
  EXPECT_EQ(two->GetPPValue(tNUVString(u"X")), 0);
  EXPECT_NE(one->GetGlobalNoAddRef(), two->GetGlobalNoAddRef());
  one->ExecScript(tNUVString(u"var onlyHere = 1;"), nullptr, nullptr);
  EXPECT_FALSE(HasMember(two->GetGlobalNoAddRef(), u"onlyHere"));
  one->Shutdown();
  one->Release();
  // The shared tables stay usable for the engine that is left.
  two->ExecScript(tNUVString(u"var a = [1, 2, 3]; var n = a.count;"), nullptr, nullptr);
  EXPECT_EQ(Member(two->GetGlobalNoAddRef(), u"n").AsInteger(), 3);
  two->Shutdown();
  two->Release();
}

// Running scripts ------------------------------------------------------------------------------

TEST_F(Engine, ScriptsRunAgainstTheGlobalObjectOrTheGivenThis) {
  Nuv->ExecScript(tNUVString(u"var answer = 6 * 7;\n"), nullptr, nullptr);
  EXPECT_EQ(Member(Global(), u"answer").AsInteger(), 42);

  iNUVDispatch2* object = NUVCreateCustomObject();
  Nuv->ExecScript(tNUVString(u"var own = answer + 1;\n"), nullptr, object);
  EXPECT_EQ(Member(object, u"own").AsInteger(), 43);
  EXPECT_FALSE(HasMember(Global(), u"own"));
  object->Release();

  tNUVVariant result;
  Nuv->EvalExpression(tNUVString(u"answer * 2"), &result, nullptr, nullptr, 0);
  EXPECT_EQ(result.AsInteger(), 84);
  // A block that only ran is gone afterwards (or kept by the expression cache).
  EXPECT_EQ(Nuv->GetScriptBlocks().size(), 1u);
  EXPECT_EQ(Nuv->GetScriptCache()->GetCount(), 1);
  // Empty text does nothing.
  Nuv->ExecScript(tNUVString(), nullptr, nullptr);
  EXPECT_TRUE(Console.Lines.empty());
}

TEST_F(Engine, SyntaxErrorsArePrintedThenRaisedAndNothingRuns) {
  std::string position;
  std::string message = CompileFailure(u"ran = 1;\na = ;\n\nb = ;\n", nullptr, 0, &position);
  ASSERT_EQ(Console.Lines.size(), 3u);
  EXPECT_EQ(Console.Lines[0], message + " at line 2");
  EXPECT_TRUE(Console.Lines[1].ends_with(" at line 4")) << Console.Lines[1];
  // The compile error's own line names the block by its identity.
  EXPECT_EQ(Console.Lines[2], message + " at " + position);
  EXPECT_EQ(position.rfind("anonymous@0x", 0), 0u) << position;
  EXPECT_TRUE(position.ends_with("(2)")) << position;
  EXPECT_FALSE(HasMember(Global(), u"ran"));
  // The failed block went with the exception.
  EXPECT_TRUE(Nuv->GetScriptBlocks().empty());
}

TEST_F(Engine, ANamedScriptReportsLinesWithItsOffset) {
  tNUVString name(u"unit");
  std::string position;
  std::string message = CompileFailure(u"x = 1;\ny = ;\n", &name, 10, &position);
  ASSERT_EQ(Console.Lines.size(), 2u);
  EXPECT_EQ(Console.Lines[0], message + " at line 12");
  EXPECT_EQ(Console.Lines[1], message + " at unit(12)");
}

TEST_F(Engine, CompileWarningsNameTheBlockEvenWithoutAName) {
  const std::string warning =
      Utf8(tNUVString(NUVWarning.Text()) + tNUVString(NUVSubstitutionInBooleanContext.Text()));
  // The functions keep the blocks alive, so their identities can be compared.
  Nuv->ExecScript(tNUVString(u"function f() {}\nvar x; if (x = 1) {}\n"), nullptr, nullptr);
  tNUVString name(u"lib");
  Nuv->ExecScript(tNUVString(u"function g() {}\n\nvar y; if (y = 1) {}\n"), nullptr, nullptr, &name, 10);
  const std::vector<tNUVScriptBlock*>& blocks = Nuv->GetScriptBlocks();
  ASSERT_EQ(blocks.size(), 2u);
  const std::string anonymous = Utf8(tNUVString::Formatted(u"anonymous@0x%p", static_cast<void*>(blocks[0])));
  EXPECT_EQ(Console.Lines, (tLines{warning + " at " + anonymous + " line 2", warning + " at lib(line +10) line 13"}));
}

TEST_F(Engine, RuntimeErrorsPropagateAndTheEngineGoesOn) {
  Nuv->ExecScript(tNUVString(u"function fails() { var o = void; return o.member; }\n"), nullptr, nullptr);
  EXPECT_THROW(Nuv->EvalExpression(tNUVString(u"fails()"), nullptr, nullptr, nullptr, 0), eNUVScriptError);
  EXPECT_FALSE(Console.Lines.empty()) << "the uncaught error is dumped through the console";
  tNUVVariant result;
  Nuv->EvalExpression(tNUVString(u"'still ' + 'running'"), &result, nullptr, nullptr, 0);
  EXPECT_EQ(Utf8(result.AsString()), "still running");
}

TEST_F(Engine, TheEvalOperatorGoesThroughTheEngine) {
  Nuv->ExecScript(tNUVString(u"var base = 4;\nvar viaEval = ('base * 10')!;\n"), nullptr, nullptr);
  EXPECT_EQ(Member(Global(), u"viaEval").AsInteger(), 40);
  EXPECT_TRUE(Nuv->GetScriptCache()->Contains(tNUVString(u"base * 10"), true));
}

// Shutdown -------------------------------------------------------------------------------------

TEST_F(Engine, ShutdownFreesEverythingScriptsDefined) {
  Nuv->ExecScript(tNUVString(u"function f() { return 1; }\n"
                             u"class Point {\n"
                             u"  var x = 0;\n"
                             u"  function Point(a) { x = a; }\n"
                             u"  function get() { return x; }\n"
                             u"  property twice { getter { return x * 2; } }\n"
                             u"}\n"
                             u"var p = new Point(5);\n"
                             u"var g = function() { return p.get() + f(); };\n"
                             u"var held = [p, g, new Dictionary()];\n"),
                  nullptr, nullptr);
  tNUVVariant result;
  Nuv->EvalExpression(tNUVString(u"g() + p.twice"), &result, nullptr, nullptr, 0);
  EXPECT_EQ(result.AsInteger(), 16);
  EXPECT_EQ(Nuv->GetScriptBlocks().size(), 2u) << "the defining block and the cached expression";

  Nuv->Shutdown();
  EXPECT_TRUE(Nuv->GetScriptBlocks().empty());
  EXPECT_EQ(Nuv->GetGlobal(), nullptr);
  EXPECT_EQ(Nuv->GetGlobalNoAddRef(), nullptr);
  EXPECT_EQ(Nuv->GetScriptCache(), nullptr);
  EXPECT_THROW(Nuv->ExecScript(tNUVString(u"1;"), nullptr, nullptr), eNUVError);
  EXPECT_THROW(Nuv->EvalExpression(tNUVString(u"1"), nullptr, nullptr, nullptr, 0), eNUVError);
  Nuv->Shutdown();   // a second shutdown finds nothing left to do
}

TEST_F(Engine, AFailingFinalizerIsReportedAndShutdownCompletes) {
  Nuv->ExecScript(tNUVString(u"class Bad {\n"
                             u"  function finalize() { throw new Exception('finalizer failed'); }\n"
                             u"}\n"
                             u"var bad = new Bad();\n"
                             u"var other = new Bad();\n"),
                  nullptr, nullptr);
  EXPECT_NO_THROW(Nuv->Shutdown());
  EXPECT_TRUE(Nuv->GetScriptBlocks().empty());
  bool reported = false;
  for (const std::string& line : Console.Lines) reported |= line.find("finalizer failed") != std::string::npos;
  EXPECT_TRUE(reported);
}

TEST_F(Engine, ErrorsThatCannotPropagateAreReportedThroughTheConsole) {
  try {
    NUVThrowError(tNUVString(u"nowhere to go"));
  } catch (...) {
    NUVReportCurrentException();
  }
  EXPECT_EQ(Console.Lines, (tLines{"nowhere to go"}));
}

}  // namespace
}  // namespace NUV
