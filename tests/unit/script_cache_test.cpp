// The script cache: which texts are compiled once and run again, which never are,
// the key (text, expression mode, result wanted), eviction of the least recently
// used of 64 expressions, and a cached block that is evicted while it runs.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/compiler/script_block.h"
#include "engine/compiler/script_cache.h"
#include "engine/objects/custom_object.h"
#include "engine/services/engine.h"
#include "engine/services/errors.h"
#include "engine/services/script_errors.h"

namespace NUV {
namespace {

class tQuietConsole final : public iNUVConsoleOutput {
public:
  void PrintOther(const char16_t*) override {}
  void Print(const char16_t* text) override { Lines.push_back(tNUVString(text).AsStdString()); }
  std::vector<std::string> Lines;
};

class ScriptCache : public testing::Test {
protected:
  void SetUp() override {
    Nuv = new tNUV;
    Nuv->SetConsoleOutput(&Console);
    Cache = Nuv->GetScriptCache();
  }
  void TearDown() override {
    Nuv->Shutdown();
    Nuv->Release();
  }
  tNUVVariant Eval(const std::u16string& text, iNUVDispatch2* thisObject = nullptr, const tNUVString* name = nullptr) {
    tNUVVariant result;
    Nuv->EvalExpression(tNUVString(text), &result, thisObject, name, 0);
    return result;
  }
  static iNUVDispatch2* ObjectWith(int64_t value) {
    iNUVDispatch2* object = NUVCreateCustomObject();
    tNUVVariant member(value);
    NUVThrowFromResultCode(object->SetMember(NUVMemberEnsure, u"v", nullptr, &member, object));
    return object;
  }
  static std::u16string Numbered(int32_t i) {
    std::string text = std::to_string(i) + " + 1000";
    return std::u16string(text.begin(), text.end());
  }

  tNUV* Nuv = nullptr;
  tNUVScriptCache* Cache = nullptr;
  tQuietConsole Console;
};

TEST_F(ScriptCache, TheSameExpressionIsCompiledOnceAndRunsWithTheNewThis) {
  iNUVDispatch2* first = ObjectWith(1);
  iNUVDispatch2* second = ObjectWith(2);
  EXPECT_EQ(Eval(u"this.v * 10", first).AsInteger(), 10);
  EXPECT_EQ(Cache->GetCompileCount(), 1);
  EXPECT_EQ(Eval(u"this.v * 10", second).AsInteger(), 20);
  EXPECT_EQ(Cache->GetCompileCount(), 1);
  EXPECT_TRUE(Cache->Contains(tNUVString(u"this.v * 10"), true));
  EXPECT_EQ(Nuv->GetScriptBlocks().size(), 1u);

  // Without a result variant the code differs: another key, another block.
  Nuv->EvalExpression(tNUVString(u"this.v * 10"), nullptr, first, nullptr, 0);
  EXPECT_EQ(Cache->GetCompileCount(), 2);
  EXPECT_TRUE(Cache->Contains(tNUVString(u"this.v * 10"), false));
  EXPECT_EQ(Cache->GetCount(), 2);
  first->Release();
  second->Release();
}

TEST_F(ScriptCache, KeysHashAsTextXorModeXorResult) {
  using tKey = tNUVScriptCache::tScriptCacheData;
  tNUVString text(u"a + b");
  EXPECT_EQ(tNUVScriptCache::tScriptCacheHashFunc::Make(tKey{text, true, true}), HashString(text));
  EXPECT_EQ(tNUVScriptCache::tScriptCacheHashFunc::Make(tKey{text, true, false}), HashString(text) ^ 1u);
  EXPECT_FALSE((tKey{text, true, true}) == (tKey{text, true, false}));
  EXPECT_TRUE((tKey{text, true, true}) == (tKey{tNUVString(u"a + b"), true, true}));
}

TEST_F(ScriptCache, NamedEvaluationsAreNeverCached) {
  tNUVString name(u"calc");
  EXPECT_EQ(Eval(u"2 + 3", nullptr, &name).AsInteger(), 5);
  EXPECT_EQ(Eval(u"2 + 3", nullptr, &name).AsInteger(), 5);
  EXPECT_EQ(Cache->GetCompileCount(), 2);
  EXPECT_EQ(Cache->GetCount(), 0);
  EXPECT_TRUE(Nuv->GetScriptBlocks().empty());
  // An empty name counts as none.
  tNUVString empty;
  Eval(u"2 + 3", nullptr, &empty);
  EXPECT_TRUE(Cache->Contains(tNUVString(u"2 + 3"), true));
}

TEST_F(ScriptCache, AnExpressionThatDefinesAFunctionIsNeverCached) {
  tNUVVariant function = Eval(u"function(n) { return n + 1; }");
  ASSERT_EQ(function.vt, tvtObject);
  Eval(u"function(n) { return n + 1; }");
  EXPECT_EQ(Cache->GetCompileCount(), 2);
  EXPECT_EQ(Cache->GetCount(), 0);
  // The function value keeps its block; the second block went at once.
  EXPECT_EQ(Nuv->GetScriptBlocks().size(), 1u);
  function.Clear();
  EXPECT_TRUE(Nuv->GetScriptBlocks().empty());
}

TEST_F(ScriptCache, AnExpressionThatUsesThePreprocessorIsNeverCached) {
  const std::u16string text = u"@if (MODE == 1) 'one' @endif @if (MODE == 2) 'two' @endif";
  Nuv->SetPPValue(tNUVString(u"MODE"), 1);
  EXPECT_EQ(Eval(text).AsString().AsStdString(), "one");
  Nuv->SetPPValue(tNUVString(u"MODE"), 2);
  EXPECT_EQ(Eval(text).AsString().AsStdString(), "two");
  EXPECT_EQ(Cache->GetCompileCount(), 2);
  EXPECT_EQ(Cache->GetCount(), 0);
}

TEST_F(ScriptCache, FailingExpressionsAreNotCached) {
  EXPECT_THROW(Eval(u"1 +"), eNUVCompileError);
  EXPECT_THROW(Eval(u"1 +"), eNUVCompileError);
  EXPECT_EQ(Cache->GetCompileCount(), 2);
  Nuv->ExecScript(tNUVString(u"function fails() { var o = void; return o.member; }\n"), nullptr, nullptr);
  EXPECT_THROW(Eval(u"fails()"), eNUVScriptError);
  EXPECT_FALSE(Cache->Contains(tNUVString(u"fails()"), true));
  EXPECT_EQ(Cache->GetCount(), 0);
  EXPECT_EQ(Nuv->GetScriptBlocks().size(), 1u) << "only the block of fails()";
}

TEST_F(ScriptCache, The65thExpressionEvictsTheLeastRecentlyUsed) {
  for (int32_t i = 0; i < 64; ++i) EXPECT_EQ(Eval(Numbered(i)).AsInteger(), i + 1000);
  EXPECT_EQ(Cache->GetCount(), 64);
  // Using the oldest makes the second one the least recently used.
  Eval(Numbered(0));
  EXPECT_EQ(Cache->GetCompileCount(), 64);
  Eval(Numbered(64));
  EXPECT_EQ(Cache->GetCount(), 64);
  EXPECT_TRUE(Cache->Contains(tNUVString(Numbered(0)), true));
  EXPECT_FALSE(Cache->Contains(tNUVString(Numbered(1)), true));
  EXPECT_TRUE(Cache->Contains(tNUVString(Numbered(2)), true));
  EXPECT_TRUE(Cache->Contains(tNUVString(Numbered(64)), true));
  // The evicted block is gone; using it again compiles it again.
  EXPECT_EQ(Nuv->GetScriptBlocks().size(), 64u);
  EXPECT_EQ(Eval(Numbered(1)).AsInteger(), 1001);
  EXPECT_EQ(Cache->GetCompileCount(), 66);
}

TEST_F(ScriptCache, ABlockEvictedWhileItRunsFinishesItsRun) {
  // The cached "churn()" is evicted by the evaluations it makes itself.
  Nuv->ExecScript(tNUVString(u"function churn() {\n"
                             u"  var sum = 0;\n"
                             u"  for (var i = 0; i < 70; i++) sum += (i + ' + 1000')!;\n"
                             u"  return sum;\n"
                             u"}\n"),
                  nullptr, nullptr);
  const int64_t expected = 70 * 1000 + 69 * 70 / 2;
  EXPECT_EQ(Eval(u"churn()").AsInteger(), expected);
  EXPECT_TRUE(Cache->Contains(tNUVString(u"churn()"), true));
  EXPECT_EQ(Eval(u"churn()").AsInteger(), expected);
  EXPECT_FALSE(Cache->Contains(tNUVString(u"churn()"), true));
  EXPECT_EQ(Cache->GetCount(), 64);
}

TEST_F(ScriptCache, AnExpressionCachedDuringItsOwnRunIsKeptOnce) {
  // The inner evaluation of the same text caches it first; the outer one must
  // not add the key a second time.
  Nuv->ExecScript(tNUVString(u"var depth = 0;\n"
                             u"function again() { if (++depth < 2) return ('again()')!; return depth; }\n"),
                  nullptr, nullptr);
  const int32_t before = Cache->GetCompileCount();
  EXPECT_EQ(Eval(u"again()").AsInteger(), 2);
  EXPECT_EQ(Cache->GetCompileCount(), before + 2);
  EXPECT_EQ(Cache->GetCount(), 1);
  EXPECT_EQ(Nuv->GetScriptBlocks().size(), 2u) << "the function's block and one cached block";
}

TEST_F(ScriptCache, ScriptsAreNeverCached) {
  Nuv->ExecScript(tNUVString(u"var x = 1;"), nullptr, nullptr);
  Nuv->ExecScript(tNUVString(u"var x = 1;"), nullptr, nullptr);
  EXPECT_EQ(Cache->GetCompileCount(), 2);
  EXPECT_EQ(Cache->GetCount(), 0);
  EXPECT_TRUE(Nuv->GetScriptBlocks().empty());
}

}  // namespace
}  // namespace NUV
