// A host program as any embedder writes one: only the public header and the
// shared library. The library has set up its environment when it was loaded.

#include <gtest/gtest.h>

#include <string>

#include "mervanik/mervanik.h"

namespace {

using NUV::tNUVString;

std::u16string Text(const tNUVString& string) { return std::u16string(string.c_str(), string.GetLen()); }

class tCountingCallback : public NUV::MrvkObjectRegistrationCallback {
public:
  int32_t Register() override {
    ++Calls;
    return 7;
  }
  int Calls = 0;
};

class tGlobalCheck : public NUV::MrvkObjectRegistrationCallback {
public:
  int32_t Register() override { return MrvkGetGlobalObject() != nullptr ? 1 : 0; }
};

TEST(Host, VersionAndAcceptanceBounds) {
  int32_t major = -1, minor = -1, release = -1;
  MrvkGetDLLVersion(&major, &minor, &release);
  EXPECT_EQ(major, 0);
  EXPECT_EQ(minor, 0);
  EXPECT_EQ(release, 2);

  tNUVString message(u"untouched");
  EXPECT_TRUE(MrvkCheckDLLAcceptance(0, 0, 0, 0, 0, -1, &message));
  EXPECT_EQ(Text(message), u"untouched");
  EXPECT_TRUE(MrvkCheckDLLAcceptance(-1, -1, -1, -1, 2, 2, &message));

  // Each component on its own: a minimum minor of 1 rejects 0.0.2 whatever the
  // major bounds are.
  EXPECT_FALSE(MrvkCheckDLLAcceptance(0, 0, 1, -1, -1, -1, &message));
  EXPECT_EQ(Text(message), u"このバージョンのDLL(ver. 0.0.2)は使用できません。");
  EXPECT_FALSE(MrvkCheckDLLAcceptance(-1, -1, -1, -1, 3, -1, &message));
  EXPECT_FALSE(MrvkCheckDLLAcceptance(-1, -1, -1, -1, -1, 1, &message));
  EXPECT_FALSE(MrvkCheckDLLAcceptance(1, -1, -1, -1, -1, -1, &message));
}

TEST(Host, ExecutionReportsFailuresAsMinusOneAndGoesOn) {
  tNUVString broken(u"var x = 1 +;");
  EXPECT_EQ(MrvkExecScript(&broken, nullptr, nullptr, nullptr), -1);
  tNUVString throwing(u"throw new Exception('no');");
  EXPECT_EQ(MrvkExecScript(&throwing, nullptr, nullptr, nullptr), -1);

  tNUVString fine(u"var hostValue = 6 * 7; return hostValue;");
  NUV::tNUVVariant_S result{};
  result.vt = NUV::tvtVoid;
  EXPECT_EQ(MrvkExecScript(&fine, &result, nullptr, nullptr), 0);
  EXPECT_EQ(result.vt, NUV::tvtInteger);
  EXPECT_EQ(result.Integer, 42);
  EXPECT_EQ(MrvkExecScript(&fine, nullptr, nullptr, nullptr), 0);

  tNUVString expression(u"hostValue + 1");
  EXPECT_EQ(MrvkEvalExpression(&expression, &result, nullptr, nullptr), 0);
  EXPECT_EQ(result.Integer, 43);
  tNUVString badExpression(u"hostValue +");
  EXPECT_EQ(MrvkEvalExpression(&badExpression, &result, nullptr, nullptr), -1);
  EXPECT_EQ(MrvkExecSimpleScript(&fine), 0);
  EXPECT_EQ(MrvkExecSimpleScript(&broken), -1);
}

TEST(Host, GlobalObjectIsCachedWithOneReference) {
  NUV::iNUVDispatch2* global = MrvkGetGlobalObject();
  ASSERT_NE(global, nullptr);
  int32_t held = global->AddRef();
  global->Release();
  EXPECT_EQ(MrvkGetGlobalObject(), global);
  EXPECT_EQ(global->AddRef(), held);
  global->Release();

  EXPECT_EQ(MrvkFreeGlobalObject(), 1);
  EXPECT_EQ(MrvkFreeGlobalObject(), 2);
  EXPECT_EQ(global->AddRef(), held - 1);
  global->Release();
  EXPECT_EQ(MrvkGetGlobalObject(), global);
}

TEST(Host, RegistrationCallbacks) {
  EXPECT_EQ(MrvkRegisterGlobalObject(nullptr), -1);
  tCountingCallback counting;
  EXPECT_EQ(MrvkRegisterGlobalObject(&counting), 7);
  EXPECT_EQ(counting.Calls, 1);
  tGlobalCheck check;
  EXPECT_EQ(MrvkRegisterGlobalObject(&check), 1);
}

TEST(Host, FreeingAndReinitialisingTheEngine) {
  tNUVString define(u"var survivor = 1;");
  ASSERT_EQ(MrvkExecScript(&define, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(MrvkFreeScriptEngine(), 0);
  EXPECT_EQ(MrvkFreeScriptEngine(), 2);
  EXPECT_EQ(MrvkGetGlobalObject(), nullptr);
  EXPECT_EQ(MrvkFreeGlobalObject(), 2);
  tNUVString use(u"return 1;");
  EXPECT_EQ(MrvkExecScript(&use, nullptr, nullptr, nullptr), -1);

  EXPECT_EQ(MrvkInitScriptEnvironment(), 0);
  EXPECT_NE(MrvkGetGlobalObject(), nullptr);
  // A fresh engine: the old global variable is gone, the built-ins are back.
  tNUVString builtins(u"println; readline; Scripts; CommandLine; Array; return 1;");
  EXPECT_EQ(MrvkExecScript(&builtins, nullptr, nullptr, nullptr), 0);
  tNUVString oldName(u"survivor;");
  EXPECT_EQ(MrvkExecScript(&oldName, nullptr, nullptr, nullptr), -1);

  EXPECT_EQ(MrvkReleaseScriptEnvironment(), 2);
  EXPECT_EQ(MrvkGetGlobalObject(), nullptr);
  EXPECT_EQ(MrvkInitScriptEnvironment(), 0);
}

TEST(Host, ThrowFunctionsRaise) {
  tNUVString first(u"x");
  EXPECT_ANY_THROW(MrvkThrowExceptionMessage_n(u"plain"));
  EXPECT_ANY_THROW(MrvkThrowExceptionMessage_s(u"%1", &first));
  EXPECT_ANY_THROW(MrvkThrowExceptionMessage_si(u"%1 %2 %%", &first, -5));
  EXPECT_ANY_THROW(MrvkThrowExceptionMessage_ss(u"%1%2", &first, nullptr));
}

TEST(Host, TextFunctions) {
  char16_t buffer[12];
  for (char16_t& unit : buffer) unit = u'#';
  EXPECT_EQ(MrvkCopyWideToWide(u"abc", buffer, 2), 0);
  EXPECT_EQ(std::u16string(buffer), u"ab");
  EXPECT_EQ(MrvkCopyWideToWide(u"abc", buffer, 10), 0);
  EXPECT_EQ(std::u16string(buffer), u"abc");
  EXPECT_EQ(MrvkCopyWideToWide(nullptr, buffer, 10), 0);
  EXPECT_EQ(buffer[0], u'\0');
  EXPECT_EQ(MrvkCopyWideToWide(u"abc", nullptr, 10), 0);

  tNUVString text(u"äbc");
  char* narrow = MrvkAllocNarrowString(&text);
  EXPECT_STREQ(narrow, "\xC3\xA4" "bc");
  MrvkDeallocNarrowString(narrow);
  tNUVString empty;
  narrow = MrvkAllocNarrowString(&empty);
  EXPECT_STREQ(narrow, "");
  MrvkDeallocNarrowString(narrow);
  MrvkDeallocNarrowString(nullptr);

  testing::internal::CaptureStdout();
  MrvkPrintString(&empty);
  MrvkPrintString(&text);
  MrvkPrintWide(u"!");
  EXPECT_EQ(MrvkPrintNarrow("\n"), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\xC3\xA4" "bc!\n");
}

TEST(Host, StringsMadeByTheLibrary) {
  tNUVString narrow("narrow ü");
  tNUVString copy(narrow);
  EXPECT_EQ(Text(copy), u"narrow ü");
  tNUVString other;
  EXPECT_TRUE(other.IsEmpty());
  other = copy;
  EXPECT_EQ(other.GetLen(), 8);
}

}  // namespace

TEST(Host, DebugModeIsReadWhenAnEngineIsMade) {
  tNUVString trace(u"function inner() { return Scripts.getTraceString(0, '|'); } return inner();");
  auto history = [&] {
    NUV::tNUVVariant result;
    EXPECT_EQ(MrvkExecScript(&trace, &result, nullptr, nullptr), 0);
    return result.AsString().AsU16String();
  };

  // A known start, whatever NUV_DEBUG said when the library was loaded.
  EXPECT_FALSE(MrvkEnableNUVDebugMode(false));
  ASSERT_EQ(MrvkInitScriptEnvironment(), 0);
  EXPECT_TRUE(MrvkEnableNUVDebugMode(true));
  // The running engine was made without it: nothing is traced yet.
  EXPECT_EQ(history(), u"");

  ASSERT_EQ(MrvkInitScriptEnvironment(), 0);
  std::u16string text = history();
  EXPECT_NE(text.find(u"[(function) inner]|"), std::u16string::npos);
  EXPECT_NE(text.find(u"[(top level script) global]"), std::u16string::npos);
  // Everything the scripts made is freed: the engine reports no object.
  testing::internal::CaptureStdout();
  EXPECT_EQ(MrvkFreeScriptEngine(), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

  EXPECT_FALSE(MrvkEnableNUVDebugMode(false));
  ASSERT_EQ(MrvkInitScriptEnvironment(), 0);
  EXPECT_EQ(history(), u"");
}

// A host's execution limit: the callback counts its polls and asks to stop after
// a budget of them.
struct tPollBudget {
  int Polls = 0;
  int Limit = 0;
};
bool OverBudget(void* data) {
  auto* budget = static_cast<tPollBudget*>(data);
  return ++budget->Polls > budget->Limit;
}

TEST(Host, InterruptCallbackStopsRunawayScriptsAndTheEngineGoesOn) {
  tPollBudget budget;
  budget.Limit = 50;
  MrvkSetInterruptCallback(OverBudget, &budget);
  const char16_t* runaways[] = {
      u"while (true) {}",
      // try/catch does not catch the stop, nor does a loop around it.
      u"var caught = 0; for (;;) { try { while (true) {} } catch (e) { caught++; } }",
      // Recursion without loops, which catches the depth error and goes on.
      u"function f() { try { f(); } catch (e) {} f(); } f();",
      // A script run by the script does not swallow the stop for its caller.
      u"for (var k = 0; k < 3; k++) { Scripts.exec('while (true) {}'); caught++; }",
      u"for (;;) Scripts.exec('for (var i = 0; i < 5000; i++) {}');",
      u"for (;;) Scripts.eval('(function { while (true) {} })()');",
  };
  for (const char16_t* text : runaways) {
    budget.Polls = 0;
    tNUVString script(text);
    EXPECT_EQ(MrvkExecScript(&script, nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(budget.Polls, budget.Limit + 1);
  }
  tNUVString caught(u"caught");
  NUV::tNUVVariant result;
  ASSERT_EQ(MrvkEvalExpression(&caught, &result, nullptr, nullptr), 0);
  EXPECT_EQ(result.AsString().AsU16String(), u"0");

  // A script that ends in time runs to its end.
  budget.Polls = 0;
  tNUVString finite(u"var s = 0; for (var i = 0; i < 10000; i++) s += i; return s;");
  ASSERT_EQ(MrvkExecScript(&finite, &result, nullptr, nullptr), 0);
  EXPECT_EQ(result.AsString().AsU16String(), u"49995000");
  EXPECT_GT(budget.Polls, 0);

  MrvkSetInterruptCallback(nullptr, nullptr);
  budget.Polls = 0;
  ASSERT_EQ(MrvkExecScript(&finite, &result, nullptr, nullptr), 0);
  EXPECT_EQ(budget.Polls, 0);
}
