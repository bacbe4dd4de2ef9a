// Compiles and runs arbitrary text in a fresh script environment per input.
//
// Scripts run on a budget: the interrupt callback stops them after a number of
// polls or a few tens of milliseconds, so endless loops and recursions end.
// Nothing touches files (no stream factories), print and println convert their
// argument and drop it, readline reads nothing, and the console goes nowhere.

#include <chrono>

#include "engine/objects/native_class.h"
#include "engine/services/engine.h"
#include "engine/services/text_stream.h"
#include "environment/environment.h"
#include "tests/fuzz/fuzz_support.h"

using namespace NUV;

namespace {

using tClock = std::chrono::steady_clock;

struct tBudget {
  int32_t Polls = 0;
  tClock::time_point Start;
};
tBudget Budget;

constexpr int32_t MaximumPolls = 2000;
constexpr auto MaximumTime = std::chrono::milliseconds(50);

bool StopRequested(void*) {
  return ++Budget.Polls > MaximumPolls || tClock::now() - Budget.Start > MaximumTime;
}

Fuzz::tSilentConsole Console;

class tDroppingPrint final : public tNUVNativeFunction {
public:
  int32_t Process(tNUVVariant*, int32_t count, tNUVVariant** arguments, iNUVDispatch2*) override {
    for (int32_t i = 0; i < count; ++i)
      if (arguments[i]) (void)arguments[i]->AsString();
    return NUVResultOk;
  }
};

class tEmptyReadLine final : public tNUVNativeFunction {
public:
  int32_t Process(tNUVVariant* result, int32_t, tNUVVariant**, iNUVDispatch2*) override {
    if (result) *result = tNUVVariant();
    return NUVResultOk;
  }
};

void Replace(iNUVDispatch2* global, const char16_t* name, iNUVDispatch2* function) {
  tNUVVariant value(function, nullptr);
  function->Release();
  global->SetMember(NUVMemberEnsure, name, nullptr, &value, global);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tNUVString text;
  if (!Fuzz::InputText(data, size, text)) return 0;
  MrvkInitScriptEnvironment();
  NUVSetTextReadStreamFactory(nullptr);
  NUVSetTextWriteStreamFactory(nullptr);
  MrvkCurrentEngine()->SetConsoleOutput(&Console);
  iNUVDispatch2* global = MrvkGetGlobalObject();
  Replace(global, u"print", new tDroppingPrint);
  Replace(global, u"println", new tDroppingPrint);
  Replace(global, u"readline", new tEmptyReadLine);

  Budget.Polls = 0;
  Budget.Start = tClock::now();
  MrvkSetInterruptCallback(StopRequested, nullptr);
  tNUVString name(u"fuzz");
  MrvkExecScript(&text, nullptr, nullptr, &name);
  MrvkSetInterruptCallback(nullptr, nullptr);
  MrvkFreeScriptEngine();
  return 0;
}
