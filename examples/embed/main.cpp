// Embedding the NUV2 engine: a host program that gives scripts a native class
// Counter, runs a script file and then calls one of the script's functions.
//
// Usage: embed_counter SCRIPT [LABEL] [TIMES]
// Only the public header and the shared library are used.

#include <cstdio>
#include <cstdlib>

#include "mervanik/mervanik.h"

using NUV::iNUVDispatch2;
using NUV::tNUVString;
using NUV::tNUVVariant;
using NUV::tNUVVariant_S;

namespace {

// The data of one Counter object. The library asks the factory below for one
// per `new Counter(...)` and calls Destruct when the object goes away.
class tCounter final : public NUV::iNUVNativeInstance {
public:
  int32_t Construct(int32_t argumentCount, tNUVVariant_S** arguments, iNUVDispatch2*) override {
    if (argumentCount > 0) Value = tNUVVariant::From(*arguments[0]).AsInteger();
    return NUV::NUVResultOk;
  }
  void Invalidate() override {}
  void Destruct() override { delete this; }

  int64_t Value = 0;
};

// The class id the library gave the name "Counter".
int32_t CounterClassID = -1;

NUV::iNUVNativeInstance* NewCounter() { return new tCounter; }

// The Counter data of the object a member was called on; null when the member
// was called on an object of another class.
tCounter* CounterOf(iNUVDispatch2* object) { return NUV::NUVNativeInstanceOf<tCounter>(object, CounterClassID); }

// new Counter(start = 0)
int32_t CounterConstructor(tNUVVariant_S*, int32_t argumentCount, tNUVVariant_S** arguments, iNUVDispatch2* self) {
  tCounter* counter = CounterOf(self);
  if (!counter) return NUV::NUVResultNativeClassCrash;
  return counter->Construct(argumentCount, arguments, self);
}

// counter.increment(step = 1): adds step and answers the new value.
int32_t CounterIncrement(tNUVVariant_S* result, int32_t argumentCount, tNUVVariant_S** arguments,
                         iNUVDispatch2* self) {
  tCounter* counter = CounterOf(self);
  if (!counter) return NUV::NUVResultNativeClassCrash;
  counter->Value += argumentCount > 0 ? tNUVVariant::From(*arguments[0]).AsInteger() : 1;
  // result is null when the caller does not use the value.
  if (result) tNUVVariant::From(*result) = counter->Value;
  return NUV::NUVResultOk;
}

// counter.value, read and written.
int32_t CounterGetValue(tNUVVariant_S* result, iNUVDispatch2* self) {
  tCounter* counter = CounterOf(self);
  if (!counter) return NUV::NUVResultNativeClassCrash;
  tNUVVariant::From(*result) = counter->Value;
  return NUV::NUVResultOk;
}

int32_t CounterSetValue(const tNUVVariant_S* value, iNUVDispatch2* self) {
  tCounter* counter = CounterOf(self);
  if (!counter) return NUV::NUVResultNativeClassCrash;
  counter->Value = tNUVVariant::From(*value).AsInteger();
  return NUV::NUVResultOk;
}

// Builds the class object and stores it in the global object as "Counter".
class tCounterRegistration : public NUV::MrvkObjectRegistrationCallback {
public:
  int32_t Register() override {
    CounterClassID = Mrvk_00E1_Export_Func(u"Counter");
    iNUVDispatch2* counterClass = Mrvk_00E9_Export_Func(u"Counter", CounterClassID, &NewCounter);
    // Each member object is handed over to the class (00E7 takes its reference).
    // The constructor is the member named like the class.
    Mrvk_00E7_Export_Func(counterClass, u"Counter", Mrvk_00E5_Export_Func(&CounterConstructor), u"Counter",
                          1, 0);
    Mrvk_00E7_Export_Func(counterClass, u"increment", Mrvk_00E4_Export_Func(&CounterIncrement), u"Counter", 1,
                          0);
    Mrvk_00E7_Export_Func(counterClass, u"value", Mrvk_00E6_Export_Func(&CounterGetValue, &CounterSetValue),
                          u"Counter", 2, 0);

    // The global object is borrowed; the variant holds its own reference to the
    // class, so ours is released once the class is stored.
    iNUVDispatch2* global = MrvkGetGlobalObject();
    tNUVVariant classValue(counterClass);
    counterClass->Release();
    return global->SetMember(NUV::NUVMemberEnsure, u"Counter", nullptr, &classValue, global);
  }
};

void PrintLine(const tNUVString& text) {
  MrvkPrintString(&text);
  MrvkPrintNarrow("\n");
}

int Run(int argc, char** argv) {
  tNUVString message;
  if (!MrvkCheckDLLAcceptance(0, 0, 0, 0, 2, -1, &message)) {
    PrintLine(message);
    return 2;
  }
  tCounterRegistration registration;
  if (MrvkRegisterGlobalObject(&registration) != NUV::NUVResultOk) return 2;

  // Load the script as text and run it; failures have been reported by the engine.
  tNUVString scriptName(argv[1]);
  tNUVString scriptText;
  if (MrvkLoadScriptFile(&scriptName, &scriptText) != 0) {
    PrintLine(tNUVString(u"cannot read ") + scriptName);
    return 1;
  }
  if (MrvkExecScript(&scriptText, nullptr, nullptr, &scriptName) != 0) return 1;

  // Call report(label, times) on the global object and print what it returns.
  tNUVVariant label(tNUVString(argc > 2 ? argv[2] : "taps"));
  tNUVVariant times(int32_t{argc > 3 ? std::atoi(argv[3]) : 3});
  tNUVVariant result;
  tNUVVariant_S* arguments[] = {&label, &times};
  iNUVDispatch2* global = MrvkGetGlobalObject();
  int32_t code = global->CallMember(0, u"report", nullptr, &result, 2, arguments, global);
  if (code < 0) {
    PrintLine(tNUVString(u"report failed with code ") + tNUVString::FromInteger(code));
    return 1;
  }
  PrintLine(tNUVString(u"report returned: ") + result.AsString());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s SCRIPT [LABEL] [TIMES]\n", argv[0]);
    return 2;
  }
  int status;
  try {
    status = Run(argc, argv);
  } catch (...) {
    // An engine error raised outside a script run (here: by the script function).
    std::fprintf(stderr, "the engine raised an error\n");
    status = 1;
  }
  MrvkFreeScriptEngine();
  return status;
}
