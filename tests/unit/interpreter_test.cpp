// The interpreter's machinery on hand-assembled code: frames from the segmented
// register stack and the heap, the condition flag and jumps, try regions and how
// each kind of exception is caught or passed, the conversion of escaping errors
// with the exception dump, traces, the nesting limit, and the argument forms.
// A fake owner stands in for the script block (lines are 10 characters long, the
// block is "blk"), a fake runtime for the engine.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/objects/array.h"
#include "engine/objects/custom_object.h"
#include "engine/objects/native_class.h"
#include "engine/services/error_report.h"
#include "engine/services/errors.h"
#include "engine/services/exception_class.h"
#include "engine/services/messages.h"
#include "engine/services/script_errors.h"
#include "engine/values/global_string_map.h"
#include "engine/vm/code_context.h"
#include "engine/vm/interpreter.h"
#include "engine/vm/primitive_operations.h"
#include "engine/vm/runtime.h"
#include "engine/vm/variant_array_stack.h"

namespace NUV {
namespace {

std::string Utf8(const tNUVString& text) { return text.AsStdString(); }

// A native function whose body a test supplies. It counts its calls after the
// body ran, so a function released during its own call is caught by the
// sanitizer build.
using tNativeBody = std::function<int32_t(tNUVVariant* result, int32_t count, tNUVVariant** arguments,
                                          iNUVDispatch2* objThis)>;
class tNativeFunction final : public tNUVNativeFunction {
public:
  explicit tNativeFunction(tNativeBody body) : Body(std::move(body)) {}
  int32_t Process(tNUVVariant* result, int32_t count, tNUVVariant** arguments, iNUVDispatch2* objThis) override {
    int32_t code = Body(result, count, arguments, objThis);
    ++Calls;
    return code;
  }
  int32_t Calls = 0;

private:
  tNativeBody Body;
};

class tFakeRuntime final : public iNUVRuntime {
public:
  tFakeRuntime() : Global(static_cast<tNUVCustomObject*>(NUVCreateCustomObject())) {}
  ~tFakeRuntime() { NUVReleaseNoThrow(Global); }
  tNUVCustomObject* GetGlobalNoAddRef() override { return Global; }
  void OutputToConsole(const tNUVString& line) override { Console.push_back(Utf8(line)); }
  void OutputExceptionToConsole(const tNUVString& line) override { Console.push_back(Utf8(line)); }
  void EvalExpression(const tNUVString& text, tNUVVariant* result, iNUVDispatch2* thisObject) override {
    Evaluated.push_back(Utf8(text));
    EvaluatedThis = thisObject;
    if (result) *result = tNUVString(u"evaluated:") + text;
  }

  void Put(const char16_t* name, const tNUVVariant& value) {
    ASSERT_GE(Global->SetMember(NUVMemberEnsure, name, nullptr, &value, Global), 0);
  }
  void Define(const char16_t* name, tNativeBody body) {
    iNUVDispatch2* function = new tNativeFunction(std::move(body));
    Put(name, tNUVVariant(function, nullptr));
    function->Release();
  }
  tNUVVariant Get(const char16_t* name) {
    tNUVVariant value;
    Global->GetMember(0, name, nullptr, &value, Global);
    return value;
  }

  tNUVCustomObject* Global;
  std::vector<std::string> Console;
  std::vector<std::string> Evaluated;
  iNUVDispatch2* EvaluatedThis = nullptr;
};

class tFakeOwner final : public iNUVCodeContextOwner {
public:
  void RegisterContext(tNUVInterCodeContext*) override {}
  void UnregisterContext(tNUVInterCodeContext*) override {}
  void AddRefOwner() override {}
  void ReleaseOwner() override {}
  [[noreturn]] void RaiseCompileError(const tNUVString& message, int32_t) override { NUVThrowError(message); }
  void ReportError(const tNUVString&, int32_t) override {}
  void PrintLine(const tNUVString& line) override { Printed.push_back(Utf8(line)); }
  tNUVString GetNameForMessages() override { return tNUVString(u"blk"); }
  int32_t SourcePositionToLine(int32_t position) override { return position / 10; }
  int32_t LineToSourcePosition(int32_t line) override { return line * 10; }
  tNUVString LineLabel(int32_t position) override { return tNUVString::Formatted(u"blk(%d)", position / 10 + 1); }
  void RecordTrackedTypeName(tNUVInterCodeContext*, const tNUVString&) override {}
  iNUVRuntime* GetRuntime() override { return Runtime; }

  iNUVRuntime* Runtime = nullptr;
  std::vector<std::string> Printed;
};

class Interpreter : public testing::Test {
protected:
  void SetUp() override {
    NUVAddRefGlobalStringMap();
    NUVAddRefVariantArrayStack();
    Owner.Runtime = &Runtime;
  }
  void TearDown() override {
    for (tNUVInterCodeContext* context : Contexts) context->Release();
    EXPECT_EQ(NUVActivationDepth(), 0);
    EXPECT_EQ(NUVGetVariantArrayStack()->GetSegmentsInUse(), 0);
    NUVReleaseVariantArrayStack();
    NUVReleaseSharedArrayClass();
    NUVReleaseGlobalStringMap();
  }

  // A context released at the end of the test; kind 0 has registers %-1, %-2.
  tNUVInterCodeContext* NewContext(tNUVContextKind kind = ctTopLevel, const char16_t* name = u"global") {
    tNUVInterCodeContext* context = new tNUVInterCodeContext(nullptr, tNUVString(name), &Owner, kind);
    Contexts.push_back(context);
    return context;
  }
  static int32_t Constant(tNUVInterCodeContext* context, const tNUVVariant& value) {
    return context->AddConstant(value);
  }
  // Runs a committed context with no this; returns what it returned.
  tNUVVariant Run(tNUVInterCodeContext* context, std::vector<tNUVVariant> arguments = {},
                  iNUVDispatch2* thisObject = nullptr) {
    std::vector<tNUVVariant*> pointers;
    for (tNUVVariant& argument : arguments) pointers.push_back(&argument);
    tNUVVariant result;
    NUVRunAsFunction(context, thisObject, pointers.data(), static_cast<int32_t>(pointers.size()), &result);
    return result;
  }
  // Runs and returns the message of the error that leaves (empty when none).
  std::string RunError(tNUVInterCodeContext* context) {
    try {
      Run(context);
    } catch (const eNUV& error) {
      return Utf8(error.GetMessage());
    }
    return "";
  }

  tFakeRuntime Runtime;
  tFakeOwner Owner;
  std::vector<tNUVInterCodeContext*> Contexts;
};

// ---------------------------------------------------------------------------------
// The loop

TEST_F(Interpreter, LoopWithFlagAndJumpsSumsIntegers) {
  tNUVInterCodeContext* top = NewContext();
  top->CoverRegister(3);
  top->Emit(VM_CONST, {1, Constant(top, tNUVVariant(0))});
  top->Emit(VM_CONST, {2, Constant(top, tNUVVariant(1))});
  top->Emit(VM_CONST, {3, Constant(top, tNUVVariant(100))});
  int32_t loop = top->Emit(VM_CGT, {2, 3});
  std::vector<int32_t> exit;
  top->EmitForwardJump(VM_JF, exit);
  top->Emit(VM_ADD, {1, 2});
  top->Emit(VM_INC, {2});
  top->Emit(VM_JMP, {loop});
  top->ResolvePatches(exit, top->GetCodeCount());
  top->Emit(VM_SRV, {1});
  top->Emit(VM_RET, {});
  top->Finish();
  tNUVVariant result = Run(top);
  EXPECT_EQ(result.vt, tvtInteger);
  EXPECT_EQ(result.Integer, 5050);
}

TEST_F(Interpreter, IntegerFastPathsAgreeWithTheVariantRules) {
  struct tCase {
    tNUVOpcode Opcode;
    tNUVVariant Left, Right;
  } cases[] = {
      {VM_ADD, tNUVVariant(int64_t{INT64_MAX}), tNUVVariant(1)},
      {VM_SUB, tNUVVariant(int64_t{INT64_MIN}), tNUVVariant(1)},
      {VM_MUL, tNUVVariant(int64_t{1} << 62), tNUVVariant(4)},
      {VM_MUL, tNUVVariant(2.5), tNUVVariant(4.0)},
      {VM_SUB, tNUVVariant(2.5), tNUVVariant(4)},
      {VM_ADD, tNUVVariant(u"1"), tNUVVariant(2)},
      {VM_BAND, tNUVVariant(12), tNUVVariant(10)},
      {VM_BOR, tNUVVariant(12), tNUVVariant(10)},
      {VM_BXOR, tNUVVariant(12), tNUVVariant(10)},
      {VM_IDIV, tNUVVariant(-7), tNUVVariant(2)},
      {VM_MOD, tNUVVariant(-7), tNUVVariant(2)},
  };
  for (const tCase& test : cases) {
    tNUVInterCodeContext* top = NewContext();
    top->CoverRegister(2);
    top->Emit(VM_CONST, {1, Constant(top, test.Left)});
    top->Emit(VM_CONST, {2, Constant(top, test.Right)});
    top->Emit(test.Opcode, {1, 2});
    top->Emit(VM_SRV, {1});
    top->Emit(VM_RET, {});
    top->Finish();
    tNUVVariant expected(test.Left);
    switch (test.Opcode) {
      case VM_ADD: expected.AddAssign(test.Right); break;
      case VM_SUB: expected.SubtractAssign(test.Right); break;
      case VM_MUL: expected.MultiplyAssign(test.Right); break;
      case VM_BAND: expected.BitAndAssign(test.Right); break;
      case VM_BOR: expected.BitOrAssign(test.Right); break;
      case VM_BXOR: expected.BitXorAssign(test.Right); break;
      case VM_IDIV: expected.IntegerDivideAssign(test.Right); break;
      default: expected.ModuloAssign(test.Right); break;
    }
    tNUVVariant result = Run(top);
    EXPECT_TRUE(result.DiscernCompareStrictReal(expected))
        << Utf8(InstructionInfo(test.Opcode).Mnemonic) << ": " << Utf8(result.ReadableText(100)) << " vs "
        << Utf8(expected.ReadableText(100));
  }
}

TEST_F(Interpreter, UnaryInstructions) {
  struct tCase {
    tNUVOpcode Opcode;
    tNUVVariant Value;
    tNUVVariant Expected;
  } cases[] = {
      {VM_CHS, tNUVVariant(int64_t{INT64_MIN}), tNUVVariant(int64_t{INT64_MIN})},
      {VM_CHS, tNUVVariant(5), tNUVVariant(-5)},
      {VM_CHS, tNUVVariant(u"2.5"), tNUVVariant(-2.5)},
      {VM_BNOT, tNUVVariant(0), tNUVVariant(-1)},
      {VM_LNOT, tNUVVariant(7), tNUVVariant(0)},
      {VM_LNOT, tNUVVariant(), tNUVVariant(1)},
      {VM_INC, tNUVVariant(), tNUVVariant(1)},
      {VM_DEC, tNUVVariant(u"10"), tNUVVariant(9)},
      {VM_INT, tNUVVariant(u"42"), tNUVVariant(42)},
      {VM_REAL, tNUVVariant(3), tNUVVariant(3.0)},
      {VM_NUM, tNUVVariant(u"0x10"), tNUVVariant(16)},
      {VM_STR, tNUVVariant(12), tNUVVariant(u"12")},
      {VM_ASC, tNUVVariant(u"AB"), tNUVVariant(65)},
      {VM_ASC, tNUVVariant(u""), tNUVVariant(0)},
      {VM_CHR, tNUVVariant(0x10041), tNUVVariant(u"A")},
      {VM_CHR, tNUVVariant(0), tNUVVariant(u"")},
      {VM_TYPEOF, tNUVVariant(1.5), tNUVVariant(u"Real")},
      {VM_TYPEOF, tNUVVariant(), tNUVVariant(u"void")},
  };
  for (const tCase& test : cases) {
    tNUVInterCodeContext* top = NewContext();
    top->CoverRegister(1);
    top->Emit(VM_CONST, {1, Constant(top, test.Value)});
    top->Emit(test.Opcode, {1});
    top->Emit(VM_SRV, {1});
    top->Emit(VM_RET, {});
    top->Finish();
    tNUVVariant result = Run(top);
    EXPECT_TRUE(result.DiscernCompare(test.Expected))
        << Utf8(InstructionInfo(test.Opcode).Mnemonic) << " " << Utf8(test.Value.ReadableText(50)) << " gave "
        << Utf8(result.ReadableText(50));
  }
}

TEST_F(Interpreter, ComparisonsSetTheFlag) {
  struct tCase {
    tNUVOpcode Opcode;
    tNUVVariant Left, Right;
    bool Expected;
  } cases[] = {
      {VM_CEQ, tNUVVariant(1), tNUVVariant(1.0), true},   {VM_CDEQ, tNUVVariant(1), tNUVVariant(1.0), false},
      {VM_CEQ, tNUVVariant(u"1"), tNUVVariant(1), true},  {VM_CLT, tNUVVariant(1), tNUVVariant(2), true},
      {VM_CLT, tNUVVariant(2), tNUVVariant(2), false},    {VM_CGT, tNUVVariant(3), tNUVVariant(2.5), true},
      {VM_CLT, tNUVVariant(u"a"), tNUVVariant(u"b"), true}, {VM_CGT, tNUVVariant(-1), tNUVVariant(0), false},
  };
  for (const tCase& test : cases) {
    for (tNUVOpcode store : {VM_SETF, VM_SETNF}) {
      tNUVInterCodeContext* top = NewContext();
      top->CoverRegister(2);
      top->Emit(VM_CONST, {1, Constant(top, test.Left)});
      top->Emit(VM_CONST, {2, Constant(top, test.Right)});
      top->Emit(test.Opcode, {1, 2});
      top->Emit(store, {1});
      top->Emit(VM_SRV, {1});
      top->Emit(VM_RET, {});
      top->Finish();
      bool expected = store == VM_SETF ? test.Expected : !test.Expected;
      EXPECT_EQ(Run(top).AsInteger(), expected ? 1 : 0) << Utf8(InstructionInfo(test.Opcode).Mnemonic);
    }
  }
}

TEST_F(Interpreter, ArgumentsThisAndTheFixedRegisters) {
  // f(a, b): returns [this, %-2 is the proxy or the global, a, b, %0 is void].
  tNUVInterCodeContext* function = NewContext(ctFunction, u"f");
  function->AddParameter(tNUVString(u"a"));
  function->AddParameter(tNUVString(u"b"));
  function->CoverRegister(1);
  function->Emit(VM_CP, {1, -1});
  function->Emit(VM_SRV, {1});
  function->Emit(VM_RET, {});
  function->Finish();
  ASSERT_EQ(function->GetArgCount(), 2);

  iNUVDispatch2* self = NUVCreateCustomObject();
  tNUVVariant result = Run(function, {}, self);
  EXPECT_EQ(result.vt, tvtObject);
  EXPECT_EQ(result.Object.Object, self);
  EXPECT_EQ(result.Object.ObjThis, self);
  result = Run(function);
  EXPECT_EQ(result.vt, tvtObject);
  EXPECT_EQ(result.Object.Object, nullptr) << "no this: an object value holding nothing";

  // Surplus arguments are not copied; missing ones stay void.
  tNUVInterCodeContext* second = NewContext(ctFunction, u"g");
  second->AddParameter(tNUVString(u"a"));
  second->AddParameter(tNUVString(u"b"));
  second->CoverRegister(2);
  second->Emit(VM_TYPEOF, {-4});
  second->Emit(VM_ADD, {-3, -4});
  second->Emit(VM_SRV, {-3});
  second->Emit(VM_RET, {});
  second->Finish();
  EXPECT_EQ(Utf8(Run(second, {tNUVVariant(u"x")}).AsString()), "xvoid");
  EXPECT_EQ(Utf8(Run(second, {tNUVVariant(u"x"), tNUVVariant(1), tNUVVariant(2)}).AsString()), "xInteger");
  self->Release();
}

TEST_F(Interpreter, ThisProxyFindsThisFirstAndTheGlobalSecond) {
  Runtime.Put(u"both", tNUVVariant(u"global"));
  Runtime.Put(u"onlyGlobal", tNUVVariant(u"global"));
  iNUVDispatch2* self = NUVCreateCustomObject();
  tNUVVariant mine(u"this");
  self->SetMember(NUVMemberEnsure, u"both", nullptr, &mine, self);

  tNUVInterCodeContext* function = NewContext(ctFunction, u"f");
  function->CoverRegister(2);
  function->Emit(VM_GPD, {1, -2, Constant(function, tNUVVariant(u"both"))});
  function->Emit(VM_GPD, {2, -2, Constant(function, tNUVVariant(u"onlyGlobal"))});
  function->Emit(VM_ADD, {1, 2});
  function->Emit(VM_SRV, {1});
  function->Emit(VM_RET, {});
  function->Finish();
  EXPECT_EQ(Utf8(Run(function, {}, self).AsString()), "thisglobal");
  EXPECT_EQ(Utf8(Run(function).AsString()), "globalglobal");
  self->Release();
}

// ---------------------------------------------------------------------------------
// Frames

TEST_F(Interpreter, LargeFramesComeFromTheHeapAndSmallOnesFromSegments) {
  tNUVVariantArrayStack* stack = NUVGetVariantArrayStack();
  int32_t segmentsSeen = -1;
  int32_t usedSeen = -1;
  Runtime.Define(u"probe", [&](tNUVVariant*, int32_t, tNUVVariant**, iNUVDispatch2*) {
    segmentsSeen = stack->GetSegmentsInUse();
    usedSeen = stack->GetCurrentUsed();
    return NUVResultOk;
  });
  for (int32_t highest : {3, 1020, 1021, 5000}) {
    tNUVInterCodeContext* top = NewContext();
    top->CoverRegister(highest);
    top->Emit(VM_CONST, {highest, Constant(top, tNUVVariant(u"far"))});
    top->Emit(VM_GPD, {1, -2, Constant(top, tNUVVariant(u"probe"))});
    top->EmitCall(VM_CALL, {0, 1}, nullptr);
    top->Emit(VM_CP, {1, highest});
    top->Emit(VM_SRV, {1});
    top->Emit(VM_RET, {});
    top->Finish();
    EXPECT_EQ(Utf8(Run(top).AsString()), "far") << highest;
    int32_t slots = top->GetLocalSlotCount() + top->GetReservedCount() + 1 + highest;
    if (slots <= 1023) {
      EXPECT_EQ(segmentsSeen, 1) << highest;
      EXPECT_EQ(usedSeen, slots) << highest;
    } else {
      EXPECT_EQ(segmentsSeen, 0) << highest;
    }
    EXPECT_EQ(stack->GetSegmentsInUse(), 0);
  }
}

TEST_F(Interpreter, NestedFramesOpenSegmentsAndCompactFreesThem) {
  tNUVVariantArrayStack* stack = NUVGetVariantArrayStack();
  // A 600-slot frame that calls "down" until the counter reaches 0; two such
  // frames never share a segment.
  tNUVInterCodeContext* top = NewContext();
  top->CoverRegister(590);
  top->Emit(VM_GPD, {1, -2, Constant(top, tNUVVariant(u"down"))});
  top->EmitCall(VM_CALL, {2, 1}, nullptr);
  top->Emit(VM_SRV, {2});
  top->Emit(VM_RET, {});
  top->Finish();
  int32_t remaining = 5;
  int32_t deepest = 0;
  Runtime.Define(u"down", [&](tNUVVariant* result, int32_t, tNUVVariant**, iNUVDispatch2*) {
    deepest = std::max(deepest, stack->GetSegmentsInUse());
    if (remaining-- > 0) {
      NUVRunAsFunction(top, nullptr, nullptr, 0, result);
    } else if (result) {
      *result = tNUVVariant(u"bottom");
    }
    return NUVResultOk;
  });
  EXPECT_EQ(Utf8(Run(top).AsString()), "bottom");
  EXPECT_EQ(deepest, 6);
  EXPECT_EQ(stack->GetSegmentsInUse(), 0);
  EXPECT_EQ(stack->GetSegmentsAllocated(), 6) << "emptied segments are kept for reuse";
  NUVCompactVariantArrayStack();
  EXPECT_EQ(stack->GetSegmentsAllocated(), 0);
  // And the stack still works after compaction.
  remaining = 1;
  EXPECT_EQ(Utf8(Run(top).AsString()), "bottom");
}

TEST_F(Interpreter, FramesAreEmptiedWhenAnExceptionLeaves) {
  // The frame holds an object when the error passes; the object must be released.
  iNUVDispatch2* held = NUVCreateCustomObject();
  Runtime.Put(u"held", tNUVVariant(held, nullptr));
  tNUVInterCodeContext* top = NewContext();
  top->CoverRegister(2);
  top->Emit(VM_GPD, {1, -2, Constant(top, tNUVVariant(u"held"))});
  top->Emit(VM_GPD, {2, -2, Constant(top, tNUVVariant(u"missing"))});
  top->Emit(VM_RET, {});
  top->Finish();
  held->AddRef();
  int32_t before = static_cast<tNUVDispatch*>(held)->GetRefCount();
  EXPECT_FALSE(RunError(top).empty());
  EXPECT_EQ(static_cast<tNUVDispatch*>(held)->GetRefCount(), before);
  held->Release();
  held->Release();
}

TEST_F(Interpreter, CollapseParameterGathersTheRemainingArguments) {
  tNUVInterCodeContext* function = NewContext(ctFunction, u"f");
  function->AddParameter(tNUVString(u"a"));
  function->AddRestParameter(tNUVString(u"rest"));
  function->CoverRegister(1);
  function->Emit(VM_SRV, {-4});
  function->Emit(VM_RET, {});
  function->Finish();
  ASSERT_EQ(function->GetCollapseBase(), 1);
  tNUVVariant result = Run(function, {tNUVVariant(1), tNUVVariant(2), tNUVVariant(u"three")});
  ASSERT_EQ(result.vt, tvtObject);
  tNUVArrayNI* array = NUVFindArray(result.Object.Object);
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(result.Object.ObjThis, result.Object.Object);
  ASSERT_EQ(array->GetCount(), 2);
  EXPECT_EQ(array->At(0).AsInteger(), 2);
  EXPECT_EQ(Utf8(array->At(1).AsString()), "three");
  result = Run(function, {tNUVVariant(1)});
  ASSERT_NE(NUVFindArray(result.AsObject()), nullptr);
  EXPECT_EQ(NUVFindArray(result.AsObject())->GetCount(), 0);
}

// ---------------------------------------------------------------------------------
// Calls

// A native function that records its arguments as text.
class InterpreterCalls : public Interpreter {
protected:
  void SetUp() override {
    Interpreter::SetUp();
    Runtime.Define(u"record", [this](tNUVVariant* result, int32_t count, tNUVVariant** arguments,
                                     iNUVDispatch2* objThis) {
      std::string text;
      for (int32_t i = 0; i < count; ++i) text += (i ? "," : "") + Utf8(arguments[i]->AsString());
      Recorded.push_back(text);
      LastThis = objThis;
      if (result) *result = static_cast<int64_t>(count);
      return NUVResultOk;
    });
  }
  std::vector<std::string> Recorded;
  iNUVDispatch2* LastThis = nullptr;
};

TEST_F(InterpreterCalls, PlainOmittedAndExtendedArgumentLists) {
  iNUVDispatch2* array = CreateArrayObject();
  tNUVVariant arrayValue(array, array);
  array->Release();
  for (int i = 0; i < 3; ++i) {
    tNUVVariant element(static_cast<int32_t>(10 + i));
    array->SetMemberByNum(0, i, &element, array);
  }
  Runtime.Put(u"list", arrayValue);

  // f(a, *) called with (1, 2, 3): the unnamed arguments are 2 and 3.
  tNUVInterCodeContext* function = NewContext(ctFunction, u"f");
  function->AddParameter(tNUVString(u"a"));
  function->AddRestParameter(tNUVString());
  function->CoverRegister(3);
  function->Emit(VM_GPD, {1, -2, Constant(function, tNUVVariant(u"record"))});
  function->Emit(VM_GPD, {2, -2, Constant(function, tNUVVariant(u"list"))});
  function->Emit(VM_CONST, {3, Constant(function, tNUVVariant(u"x"))});
  std::vector<int32_t> plain = {3, -3, 3};
  function->EmitCall(VM_CALL, {0, 1}, &plain);
  function->EmitCall(VM_CALL, {0, 1}, nullptr);
  function->EmitCallExtended(VM_CALL, {0, 1}, {{akPlain, 3}, {akExpand, 2}, {akUnnamed, 0}, {akPlain, -3}});
  std::vector<int32_t> many;
  for (int i = 0; i < 25; ++i) many.push_back(3);
  function->EmitCall(VM_CALL, {0, 1}, &many);
  function->Emit(VM_RET, {});
  function->Finish();
  Run(function, {tNUVVariant(1), tNUVVariant(2), tNUVVariant(3)});
  ASSERT_EQ(Recorded.size(), 4u);
  EXPECT_EQ(Recorded[0], "x,1,x");
  EXPECT_EQ(Recorded[1], "1,2,3");
  EXPECT_EQ(Recorded[2], "x,10,11,12,2,3,1");
  EXPECT_EQ(std::count(Recorded[3].begin(), Recorded[3].end(), 'x'), 25);
  // With fewer arguments than named parameters, "*" passes nothing.
  Recorded.clear();
  Run(function, {});
  EXPECT_EQ(Recorded[2], "x,10,11,12,");
}

TEST_F(InterpreterCalls, ExpandingANonArrayRaises) {
  tNUVInterCodeContext* top = NewContext();
  top->CoverRegister(2);
  top->Emit(VM_GPD, {1, -2, Constant(top, tNUVVariant(u"record"))});
  top->Emit(VM_CONST, {2, Constant(top, tNUVVariant(5))});
  top->EmitCallExtended(VM_CALL, {0, 1}, {{akExpand, 2}});
  top->Emit(VM_RET, {});
  top->Finish();
  EXPECT_EQ(RunError(top), Utf8(tNUVString(NUVSpecifyArray.Text())));
}

TEST_F(InterpreterCalls, CallThisPrefersTheBindingThenThisThenTheObject) {
  iNUVDispatch2* bound = NUVCreateCustomObject();
  iNUVDispatch2* self = NUVCreateCustomObject();
  tNUVVariant record = Runtime.Get(u"record");
  tNUVInterCodeContext* function = NewContext(ctFunction, u"f");
  function->CoverRegister(2);
  function->Emit(VM_GPD, {1, -2, Constant(function, tNUVVariant(u"record"))});
  function->EmitCall(VM_CALL, {0, 1}, nullptr);
  function->Emit(VM_CONST, {2, Constant(function, tNUVVariant(record.Object.Object, bound))});
  function->EmitCall(VM_CALL, {0, 2}, nullptr);
  function->Emit(VM_RET, {});
  function->Finish();
  Run(function, {}, self);
  EXPECT_EQ(LastThis, bound);
  Recorded.clear();
  function = NewContext(ctFunction, u"g");
  function->CoverRegister(1);
  function->Emit(VM_CONST, {1, Constant(function, tNUVVariant(record.Object.Object, nullptr))});
  function->EmitCall(VM_CALL, {0, 1}, nullptr);
  function->Emit(VM_RET, {});
  function->Finish();
  Run(function, {}, self);
  EXPECT_EQ(LastThis, self);
  Run(function);
  EXPECT_EQ(LastThis, record.Object.Object) << "no binding, no this: the object itself";
  bound->Release();
  self->Release();
}

TEST_F(InterpreterCalls, ResultMayReplaceTheCalledFunction) {
  // call %1, %1(): the function's own register receives the result; the function
  // (only referenced by that register) must survive its own call.
  Runtime.Define(u"make", [](tNUVVariant* result, int32_t, tNUVVariant**, iNUVDispatch2*) {
    iNUVDispatch2* function = new tNativeFunction([](tNUVVariant* inner, int32_t, tNUVVariant**, iNUVDispatch2*) {
      if (inner) *inner = tNUVVariant(u"done");
      return NUVResultOk;
    });
    if (result) result->SetObject(function, nullptr);
    function->Release();
    return NUVResultOk;
  });
  tNUVInterCodeContext* top = NewContext();
  top->CoverRegister(1);
  top->Emit(VM_GPD, {1, -2, Constant(top, tNUVVariant(u"make"))});
  top->EmitCall(VM_CALL, {1, 1}, nullptr);
  top->EmitCall(VM_CALL, {1, 1}, nullptr);
  top->Emit(VM_SRV, {1});
  top->Emit(VM_RET, {});
  top->Finish();
  EXPECT_EQ(Utf8(Run(top).AsString()), "done");
}

TEST_F(InterpreterCalls, FailingCodesNameTheMember) {
  struct tCase {
    std::function<void(tNUVInterCodeContext*)> Emit;
    std::string Expected;
  } cases[] = {
      {[](tNUVInterCodeContext* top) {
         top->EmitCall(VM_CALLD, {0, -2, Constant(top, tNUVVariant(u"nothere"))}, nullptr);
       },
       "nothere"},
      {[](tNUVInterCodeContext* top) {
         top->Emit(VM_CONST, {1, Constant(top, tNUVVariant(u"named"))});
         top->EmitCall(VM_CALLI, {0, -2, 1}, nullptr);
       },
       "named"},
      {[](tNUVInterCodeContext* top) {
         top->Emit(VM_CONST, {1, Constant(top, tNUVVariant(7))});
         top->Emit(VM_GPI, {2, -2, 1});
       },
       "7"},
  };
  for (size_t i = 0; i < 3; ++i) {
    tNUVInterCodeContext* top = NewContext();
    top->CoverRegister(2);
    cases[i].Emit(top);
    top->Emit(VM_RET, {});
    top->Finish();
    tNUVString name(cases[i].Expected.c_str());
    EXPECT_EQ(RunError(top), Utf8(NUVFillMessage(NUVMemberNotFound.Text(), &name))) << i;
  }
  // call on a function with an empty name and new on a non-class.
  tNUVInterCodeContext* top = NewContext();
  top->CoverRegister(1);
  top->Emit(VM_GPD, {1, -2, Constant(top, tNUVVariant(u"record"))});
  top->EmitCall(VM_NEW, {1, 1}, nullptr);
  top->Emit(VM_RET, {});
  top->Finish();
  EXPECT_EQ(RunError(top), Utf8(tNUVString(NUVNotImplemented.Text())));
}

// ---------------------------------------------------------------------------------
// Try regions and errors

class InterpreterErrors : public Interpreter {
protected:
  void SetUp() override {
    Interpreter::SetUp();
    iNUVDispatch2* exceptionClass = new tNUVNC_Exception();
    Runtime.Put(u"Exception", tNUVVariant(exceptionClass, nullptr));
    exceptionClass->Release();
    Runtime.Define(u"fail", [this](tNUVVariant*, int32_t, tNUVVariant**, iNUVDispatch2*) -> int32_t {
      Raise();
      return NUVResultOk;
    });
  }
  // try { fail(); r = "no"; } catch (e) { r = e; } return r; with the failure
  // raised by Raise.
  tNUVInterCodeContext* TryAroundFail() {
    tNUVInterCodeContext* top = NewContext();
    top->CoverRegister(3);
    std::vector<int32_t> entry;
    top->EmitForwardJump(VM_ENTRY, entry, -1, 2);
    top->Emit(VM_GPD, {1, -2, Constant(top, tNUVVariant(u"fail"))}, 10);
    top->EmitCall(VM_CALL, {0, 1}, nullptr, 10);
    top->Emit(VM_CONST, {3, Constant(top, tNUVVariant(u"no"))});
    top->Emit(VM_EXTRY, {});
    std::vector<int32_t> after;
    top->EmitForwardJump(VM_JMP, after);
    top->ResolvePatches(entry, top->GetCodeCount());
    top->Emit(VM_CP, {3, 2});
    top->ResolvePatches(after, top->GetCodeCount());
    top->Emit(VM_SRV, {3});
    top->Emit(VM_RET, {});
    top->Finish();
    return top;
  }
  std::function<void()> Raise;
};

TEST_F(InterpreterErrors, TryCatchesEachKindOfException) {
  tNUVInterCodeContext* top = TryAroundFail();
  auto messageOf = [](const tNUVVariant& value) {
    tNUVVariant message;
    EXPECT_GE(value.AsObject()->GetMember(0, u"message", nullptr, &message, nullptr), 0);
    return Utf8(message.AsString());
  };

  Raise = [] { NUVThrowError(tNUVString(u"engine")); };
  tNUVVariant caught = Run(top);
  EXPECT_EQ(messageOf(caught), "engine");

  Raise = [] { throw std::runtime_error("standard"); };
  EXPECT_EQ(messageOf(Run(top)), "standard");

  Raise = [] { throw eNUVScriptException(tNUVString(u"ignored"), nullptr, 0, tNUVVariant(u"thrown value")); };
  EXPECT_EQ(Utf8(Run(top).AsString()), "thrown value");

  Raise = [] {
    eNUVScriptError error(tNUVString(u"script"), nullptr, 0);
    error.AddTrace(tNUVString(u"somewhere"));
    throw error;
  };
  caught = Run(top);
  EXPECT_EQ(messageOf(caught), "script");
  tNUVVariant trace;
  caught.AsObject()->GetMember(0, u"trace", nullptr, &trace, nullptr);
  // The try region's loop adds its own position before the handler catches.
  EXPECT_EQ(Utf8(trace.AsString()), "somewhere <-- blk(2)[(top level script) global]");

  Raise = [] { throw 42; };
  EXPECT_TRUE(Run(top).IsVoid());

  Runtime.Console.clear();
  Raise = [] { throw eNUVSilent(); };
  EXPECT_THROW(Run(top), eNUVSilent);
  EXPECT_TRUE(Runtime.Console.empty()) << "a quiet stop writes nothing";
}

TEST_F(InterpreterErrors, MissingExceptionClassRaisesExceptionNotFound) {
  tNUVInterCodeContext* top = TryAroundFail();
  Runtime.Global->DeleteMember(0, u"Exception", nullptr, nullptr);
  Raise = [] { NUVThrowError(tNUVString(u"engine")); };
  EXPECT_EQ(RunError(top), Utf8(tNUVString(NUVExceptionNotFound.Text())));
  // A thrown value needs no Exception class.
  Raise = [] { throw eNUVScriptException(tNUVString(u"x"), nullptr, 0, tNUVVariant(1)); };
  EXPECT_EQ(Run(top).AsInteger(), 1);
}

TEST_F(InterpreterErrors, ThrowBuildsItsMessageFromTheMessageMember) {
  iNUVDispatch2* withMessage = NUVCreateCustomObject();
  tNUVVariant text(u"went wrong");
  withMessage->SetMember(NUVMemberEnsure, u"message", nullptr, &text, withMessage);
  iNUVDispatch2* without = NUVCreateCustomObject();
  struct tCase {
    tNUVVariant Value;
    std::string Message;
  } cases[] = {
      {tNUVVariant(withMessage, withMessage), "script exception : went wrong"},
      {tNUVVariant(without, nullptr), "script exception"},
      {tNUVVariant(u"text"), "script exception"},
      {tNUVVariant(static_cast<iNUVDispatch2*>(nullptr)), "script exception"},
  };
  withMessage->Release();
  without->Release();
  for (const tCase& test : cases) {
    tNUVInterCodeContext* top = NewContext();
    top->CoverRegister(1);
    top->Emit(VM_CONST, {1, Constant(top, test.Value)}, 20);
    top->Emit(VM_THROW, {1}, 20);
    top->Emit(VM_RET, {});
    top->Finish();
    try {
      Run(top);
      ADD_FAILURE() << "nothing thrown";
    } catch (const eNUVScriptException& exception) {
      EXPECT_EQ(Utf8(exception.GetMessage()), test.Message);
      EXPECT_TRUE(exception.GetValue().DiscernCompare(test.Value));
      EXPECT_EQ(exception.GetPosition(), 20);
      EXPECT_EQ(Utf8(exception.GetTrace()), "blk(3)[(top level script) global]");
    }
  }
  EXPECT_TRUE(Runtime.Console.empty()) << "script exceptions are not dumped";
}

TEST_F(InterpreterErrors, EscapingEngineErrorIsDumpedAndBecomesAScriptError) {
  tNUVInterCodeContext* top = NewContext();
  top->AddName(tNUVString(u"local"));
  top->CoverRegister(2);
  top->Emit(VM_CONST, {-3, Constant(top, tNUVVariant(u"a local"))}, 0);
  top->Emit(VM_CONST, {1, Constant(top, tNUVVariant(1.5))}, 10);
  top->Emit(VM_CONST, {2, Constant(top, tNUVVariant(5))}, 10);
  top->Emit(VM_GPD, {2, 2, Constant(top, tNUVVariant(u"field"))}, 10);
  top->Emit(VM_RET, {});
  top->Finish();
  tNUVString readable(u"(int)5");
  std::string expectedMessage = Utf8(NUVFillMessage(NUVVariantConvertErrorToObject.Text(), &readable));
  try {
    Run(top);
    ADD_FAILURE() << "nothing thrown";
  } catch (const eNUVScriptError& error) {
    EXPECT_EQ(error.GetPosition(), 10);
    EXPECT_EQ(Utf8(error.GetTrace()), "blk(2)[(top level script) global]");
    EXPECT_EQ(Utf8(error.GetMessage()), expectedMessage);
  }
  const std::string header = "==== An exception occured at blk(2)[(top level script) global], VM ip = 9 ====";
  ASSERT_GE(Runtime.Console.size(), 8u);
  EXPECT_EQ(Runtime.Console[0], header);
  EXPECT_EQ(Runtime.Console[1], "-- Disassembled VM code --");
  // From the first instruction of line 2 up to the failing one.
  EXPECT_EQ(Runtime.Console[2], "00000003 const %1, *1\t// *1 = (real)1.5");
  EXPECT_EQ(Runtime.Console[3], "00000006 const %2, *2\t// *2 = (int)5");
  EXPECT_EQ(Runtime.Console[4], "00000009 gpd %2, %2.*3\t// *3 = (string)\"field\"");
  EXPECT_EQ(Runtime.Console[5], "-- Register dump --");
  // Registers %-3 .. %2, packed into lines no longer than the header.
  std::string registers;
  size_t line = 6;
  for (; line + 1 < Runtime.Console.size(); ++line) {
    EXPECT_LE(Runtime.Console[line].size(), header.size());
    registers += (registers.empty() ? "" : "  ") + Runtime.Console[line];
  }
  EXPECT_EQ(registers.rfind("%-3=(string)\"a local\"  %-2=(object)(object 0x", 0), 0u) << registers;
  EXPECT_NE(registers.find("%0=(void)  %1=(real)1.5  %2=(int)5"), std::string::npos) << registers;
  EXPECT_EQ(Runtime.Console.back(), std::string(header.size(), '-'));
  // Then the script error's own line through the block.
  ASSERT_EQ(Owner.Printed.size(), 1u);
  EXPECT_EQ(Owner.Printed[0], expectedMessage + " at blk(2)[(top level script) global]");
}

}  // namespace
}  // namespace NUV

namespace NUV {
namespace {

TEST_F(InterpreterErrors, InvalidOpcodeIsAScriptErrorAtItsPosition) {
  tNUVInterCodeContext* top = NewContext();
  top->Emit(VM_NOP, {}, 0);
  top->EmitWord(128, 30);
  top->Emit(VM_RET, {});
  top->Finish();
  try {
    Run(top);
    ADD_FAILURE() << "nothing thrown";
  } catch (const eNUVScriptError& error) {
    EXPECT_EQ(Utf8(error.GetMessage()), Utf8(tNUVString(NUVInvalidOpecode.Text())));
    EXPECT_EQ(error.GetPosition(), 30);
  }
  ASSERT_GE(Runtime.Console.size(), 3u);
  EXPECT_EQ(Runtime.Console[0], "==== An exception occured at blk(4)[(top level script) global], VM ip = 1 ====");
  EXPECT_EQ(Runtime.Console[2], "00000001 unknown instruction 128");
}

TEST_F(InterpreterErrors, IpBeforeThePositionTableMapsToPositionZero) {
  tNUVInterCodeContext* top = NewContext();
  top->CoverRegister(1);
  // The failing instruction has no position; the table starts behind it.
  top->Emit(VM_GPD, {1, 1, Constant(top, tNUVVariant(u"x"))});
  top->Emit(VM_NOP, {}, 40);
  top->Emit(VM_RET, {});
  top->Finish();
  try {
    Run(top);
    ADD_FAILURE() << "nothing thrown";
  } catch (const eNUVScriptError& error) {
    EXPECT_EQ(error.GetPosition(), 0);
    EXPECT_EQ(Utf8(error.GetTrace()), "blk(1)[(top level script) global]");
  }
}

TEST_F(InterpreterErrors, ScriptErrorsCollectATraceAtEveryActivationTheyLeave) {
  // Three nested runs of a context whose call of "down" goes one level deeper
  // until the innermost raises an engine error.
  tNUVInterCodeContext* function = NewContext(ctFunction, u"f");
  function->CoverRegister(1);
  function->Emit(VM_GPD, {1, -2, Constant(function, tNUVVariant(u"down"))}, 50);
  function->EmitCall(VM_CALL, {0, 1}, nullptr, 50);
  function->Emit(VM_RET, {});
  function->Finish();
  int32_t level = 0;
  Runtime.Define(u"down", [&](tNUVVariant*, int32_t, tNUVVariant**, iNUVDispatch2*) -> int32_t {
    if (++level < 3) {
      NUVRunAsFunction(function, nullptr, nullptr, 0, nullptr);
      return NUVResultOk;
    }
    return NUVResultInvalidParam;
  });
  try {
    Run(function);
    ADD_FAILURE() << "nothing thrown";
  } catch (const eNUVScriptError& error) {
    const std::string entry = "blk(6)[(function) f]";
    EXPECT_EQ(Utf8(error.GetTrace()), entry + " <-- " + entry + " <-- " + entry);
    EXPECT_EQ(Utf8(error.GetMessage()), Utf8(tNUVString(NUVInvalidParam.Text())));
  }
  // Dumped once, at the innermost activation.
  EXPECT_EQ(std::count_if(Runtime.Console.begin(), Runtime.Console.end(),
                          [](const std::string& line) { return line.rfind("==== ", 0) == 0; }),
            1);
}

// ---------------------------------------------------------------------------------
// The nesting limit

class InterpreterLimits : public InterpreterErrors {
protected:
  // A context that calls "again" (which runs it once more) and returns its result.
  tNUVInterCodeContext* Recursive() {
    tNUVInterCodeContext* function = NewContext(ctFunction, u"f");
    function->CoverRegister(2);
    function->Emit(VM_GPD, {1, -2, Constant(function, tNUVVariant(u"again"))}, 10);
    function->EmitCall(VM_CALL, {2, 1}, nullptr, 10);
    function->Emit(VM_SRV, {2});
    function->Emit(VM_RET, {});
    function->Finish();
    return function;
  }
};

TEST_F(InterpreterLimits, RunawayRecursionRaisesACatchableErrorAndTheEngineGoesOn) {
  tNUVInterCodeContext* function = Recursive();
  int32_t deepest = 0;
  Runtime.Define(u"again", [&](tNUVVariant* result, int32_t, tNUVVariant**, iNUVDispatch2*) {
    deepest = std::max(deepest, NUVActivationDepth());
    NUVRunAsFunction(function, nullptr, nullptr, 0, result);
    return NUVResultOk;
  });
  for (int round = 0; round < 2; ++round) {
    try {
      Run(function);
      ADD_FAILURE() << "nothing thrown";
    } catch (const eNUVScriptError& error) {
      EXPECT_EQ(Utf8(error.GetMessage()), Utf8(tNUVString(NUVStackOverflow.Text())));
      EXPECT_GE(error.GetTrace().GetLen(), NUVTraceLimit);
      EXPECT_LT(error.GetTrace().GetLen(), NUVTraceLimit + 100) << "the trace stops growing";
    }
    EXPECT_EQ(deepest, NUVMaxActivationDepth);
    EXPECT_EQ(NUVActivationDepth(), 0);
    EXPECT_EQ(NUVGetVariantArrayStack()->GetSegmentsInUse(), 0);
  }

  // Caught by a try region deep down, the error lets the script go on.
  tNUVInterCodeContext* guarded = NewContext(ctFunction, u"g");
  guarded->CoverRegister(3);
  std::vector<int32_t> entry;
  guarded->EmitForwardJump(VM_ENTRY, entry, -1, 3);
  guarded->Emit(VM_GPD, {1, -2, Constant(guarded, tNUVVariant(u"again"))});
  guarded->EmitCall(VM_CALL, {2, 1}, nullptr);
  guarded->Emit(VM_SRV, {2});
  guarded->Emit(VM_EXTRY, {});
  guarded->Emit(VM_RET, {});
  guarded->ResolvePatches(entry, guarded->GetCodeCount());
  guarded->Emit(VM_GPD, {3, 3, Constant(guarded, tNUVVariant(u"message"))});
  guarded->Emit(VM_SRV, {3});
  guarded->Emit(VM_RET, {});
  guarded->Finish();
  Runtime.Define(u"again", [&](tNUVVariant* result, int32_t, tNUVVariant**, iNUVDispatch2*) {
    NUVRunAsFunction(guarded, nullptr, nullptr, 0, result);
    return NUVResultOk;
  });
  EXPECT_EQ(Utf8(Run(guarded).AsString()), Utf8(tNUVString(NUVStackOverflow.Text())));
  EXPECT_EQ(NUVActivationDepth(), 0);
}

// The native stack one nested activation costs here (run, loop, call, a native
// function in between) times the limit must leave most of an 8 MiB stack free.
TEST_F(InterpreterLimits, FrameCostFitsTheStack) {
  tNUVInterCodeContext* function = Recursive();
  std::vector<uintptr_t> addresses;
  Runtime.Define(u"again", [&](tNUVVariant* result, int32_t, tNUVVariant**, iNUVDispatch2*) {
    addresses.push_back(reinterpret_cast<uintptr_t>(__builtin_frame_address(0)));
    if (addresses.size() < 200) NUVRunAsFunction(function, nullptr, nullptr, 0, result);
    return NUVResultOk;
  });
  Run(function);
  ASSERT_EQ(addresses.size(), 200u);
  uintptr_t perLevel = (addresses[50] - addresses[150]) / 100;
  std::cout << "[ info ] native stack per nested activation: " << perLevel << " bytes\n";
  EXPECT_LT(perLevel * NUVMaxActivationDepth, 4u << 20);
}

}  // namespace
}  // namespace NUV

namespace NUV {
namespace {

// ---------------------------------------------------------------------------------
// What member instructions hand to the object interface

// Records what it is asked; answers by member name.
class tRecorder final : public tNUVDispatch {
public:
  int32_t GetMember(uint32_t flags, const char16_t* name, uint32_t* hint, tNUVVariant* result,
                    iNUVDispatch2* objThis) override {
    // Not a property: reading the object itself gives the object.
    if (!name) return NUVResultNotImplemented;
    Note("get", flags, name, hint, objThis);
    std::u16string member = name;
    if (member == u"positive") {
      if (result) *result = tNUVVariant(u"fetched");
      return 2;
    }
    if (member == u"missing") return NUVResultMemberNotFound;
    if (result) *result = tNUVVariant(3);
    return NUVResultOk;
  }
  int32_t GetMemberByNum(uint32_t flags, int32_t number, tNUVVariant* result, iNUVDispatch2* objThis) override {
    Note("getnum", flags, std::to_string(number), nullptr, objThis);
    if (result) *result = tNUVVariant(number * 10);
    return NUVResultOk;
  }
  int32_t SetMemberByBody(uint32_t flags, tNUVVariantString* name, const tNUVVariant*, iNUVDispatch2* objThis) override {
    Note("setbody", flags, name ? name->Text() : u"", nullptr, objThis);
    return BodyAnswer;
  }
  int32_t SetMember(uint32_t flags, const char16_t* name, uint32_t* hint, const tNUVVariant* value,
                    iNUVDispatch2* objThis) override {
    Note("set", flags, name, hint, objThis);
    LastValue = *value;
    return NUVResultOk;
  }
  int32_t DeleteMember(uint32_t flags, const char16_t* name, uint32_t* hint, iNUVDispatch2* objThis) override {
    Note("delete", flags, name, hint, objThis);
    return std::u16string(name) == u"missing" ? NUVResultMemberNotFound : NUVResultOk;
  }
  int32_t ApplyOperation(uint32_t flags, const char16_t* name, uint32_t* hint, tNUVVariant* result,
                         const tNUVVariant* operand, iNUVDispatch2* objThis) override {
    Note("apply", flags, name ? name : u"(none)", hint, objThis);
    LastValue = operand ? *operand : tNUVVariant(u"no operand");
    if (result) *result = tNUVVariant(u"applied");
    return NUVResultOk;
  }
  int32_t ApplyOperationByNum(uint32_t flags, int32_t number, tNUVVariant* result, const tNUVVariant* operand,
                              iNUVDispatch2* objThis) override {
    Note("applynum", flags, std::to_string(number), nullptr, objThis);
    LastValue = operand ? *operand : tNUVVariant();
    if (result) *result = tNUVVariant(u"applied");
    return NUVResultOk;
  }
  int32_t Invalidate(uint32_t flags, const char16_t* name, uint32_t* hint, iNUVDispatch2* objThis) override {
    Note("invalidate", flags, name ? name : u"(none)", hint, objThis);
    return NUVResultTrue;
  }
  int32_t IsValid(uint32_t flags, const char16_t* name, uint32_t* hint, iNUVDispatch2* objThis) override {
    Note("isvalid", flags, name ? name : u"(none)", hint, objThis);
    return NUVResultNotImplemented;
  }
  int32_t IsInstanceOf(uint32_t, const char16_t*, uint32_t*, const char16_t* className, iNUVDispatch2*) override {
    return std::u16string(className) == u"Recorder" ? NUVResultTrue : NUVResultFalse;
  }
  int32_t ClassInfo(int32_t kind, int32_t, tNUVVariant* value) override {
    if (kind == 1) ClassNames.push_back(Utf8(value->AsString()));
    return NUVResultOk;
  }

  void Note(const char* what, uint32_t flags, const std::u16string& name, uint32_t* hint, iNUVDispatch2* objThis) {
    Note(what, flags, Utf8(tNUVString(name)), hint, objThis);
  }
  void Note(const char* what, uint32_t flags, const std::string& name, uint32_t* hint, iNUVDispatch2* objThis) {
    std::string entry = std::string(what) + " " + name + " " + std::to_string(flags);
    Log.push_back(entry);
    LastHint = hint;
    LastThis = objThis;
  }

  int32_t BodyAnswer = NUVResultNotImplemented;
  std::vector<std::string> Log;
  std::vector<std::string> ClassNames;
  uint32_t* LastHint = nullptr;
  iNUVDispatch2* LastThis = nullptr;
  tNUVVariant LastValue;
};

class InterpreterMembers : public Interpreter {
protected:
  void SetUp() override {
    Interpreter::SetUp();
    Recorder = new tRecorder();
    Runtime.Put(u"rec", tNUVVariant(Recorder, Recorder));
  }
  void TearDown() override {
    Recorder->Release();
    Interpreter::TearDown();
  }
  // A top level that loads rec into %1 and then runs what emit adds; returns %2.
  tNUVVariant RunOnRecorder(const std::function<void(tNUVInterCodeContext*)>& emit) {
    tNUVInterCodeContext* top = NewContext();
    top->CoverRegister(4);
    top->Emit(VM_GPD, {1, -2, Constant(top, tNUVVariant(u"rec"))});
    emit(top);
    top->Emit(VM_SRV, {2});
    top->Emit(VM_RET, {});
    top->Finish();
    Recorder->Log.clear();
    return Run(top);
  }
  tRecorder* Recorder = nullptr;
};

TEST_F(InterpreterMembers, ConstantNamesCarryTheirHintAndSetTriesTheBodyFirst) {
  tNUVVariantString* body = nullptr;
  RunOnRecorder([&](tNUVInterCodeContext* top) {
    int32_t name = Constant(top, tNUVVariant(u"field"));
    body = top->GetData()[static_cast<size_t>(name)].String;
    top->Emit(VM_GPD, {2, 1, name});
  });
  EXPECT_EQ(Recorder->Log, (std::vector<std::string>{"get field 0"}));
  EXPECT_EQ(Recorder->LastHint, &body->Hint);
  EXPECT_EQ(Recorder->LastThis, Recorder) << "bound this";

  struct tCase {
    tNUVOpcode Opcode;
    uint32_t Flags;
  } cases[] = {{VM_SPD, 0}, {VM_SPDE, 0x200}, {VM_SPDEH, 0x1200}, {VM_SPDS, 0xA00}};
  for (const tCase& test : cases) {
    RunOnRecorder([&](tNUVInterCodeContext* top) {
      top->Emit(VM_CONST, {3, Constant(top, tNUVVariant(9))});
      top->Emit(test.Opcode, {1, Constant(top, tNUVVariant(u"field")), 3});
    });
    std::string flags = std::to_string(test.Flags);
    EXPECT_EQ(Recorder->Log, (std::vector<std::string>{"setbody field " + flags, "set field " + flags}));
    EXPECT_NE(Recorder->LastHint, nullptr);
    EXPECT_EQ(Recorder->LastValue.AsInteger(), 9);
  }
  Recorder->BodyAnswer = NUVResultOk;
  RunOnRecorder([&](tNUVInterCodeContext* top) {
    top->Emit(VM_SPD, {1, Constant(top, tNUVVariant(u"field")), 0});
  });
  EXPECT_EQ(Recorder->Log, (std::vector<std::string>{"setbody field 0"}));
}

TEST_F(InterpreterMembers, RegisterNamesGoWithoutHintAndIntegersByNumber) {
  tNUVVariant result = RunOnRecorder([&](tNUVInterCodeContext* top) {
    top->Emit(VM_CONST, {3, Constant(top, tNUVVariant(4))});
    top->Emit(VM_GPIS, {2, 1, 3});
  });
  EXPECT_EQ(Recorder->Log, (std::vector<std::string>{"getnum 4 2048"}));
  EXPECT_EQ(result.AsInteger(), 40);
  RunOnRecorder([&](tNUVInterCodeContext* top) {
    top->Emit(VM_CONST, {3, Constant(top, tNUVVariant(4.5))});
    top->Emit(VM_SPIE, {1, 3, 3});
  });
  EXPECT_EQ(Recorder->Log, (std::vector<std::string>{"set 4.5 512"}));
  EXPECT_EQ(Recorder->LastHint, nullptr);
}

TEST_F(InterpreterMembers, ReadModifyWriteFormsPassTheirOperatorCode) {
  tNUVVariant result = RunOnRecorder([&](tNUVInterCodeContext* top) {
    top->Emit(VM_CONST, {3, Constant(top, tNUVVariant(u"operand"))});
    top->Emit(VM_MULPD, {2, 1, Constant(top, tNUVVariant(u"m")), 3});
  });
  EXPECT_EQ(Recorder->Log, (std::vector<std::string>{"apply m 9"}));
  EXPECT_EQ(Utf8(Recorder->LastValue.AsString()), "operand");
  EXPECT_EQ(Utf8(result.AsString()), "applied");

  RunOnRecorder([&](tNUVInterCodeContext* top) {
    top->Emit(VM_CONST, {3, Constant(top, tNUVVariant(2))});
    top->Emit(VM_DECPI, {0, 1, 3});
    top->Emit(VM_INCP, {0, 1});
    top->Emit(VM_SARP, {0, 1, 3});
    top->Emit(VM_CONST, {4, Constant(top, tNUVVariant(u"k"))});
    top->Emit(VM_LORPI, {0, 1, 4, 3});
  });
  EXPECT_EQ(Recorder->Log,
            (std::vector<std::string>{"applynum 2 16", "apply (none) 15", "apply (none) 12", "apply k 10"}));
}

TEST_F(InterpreterMembers, TypeofDeleteValidityAndInstanceTests) {
  auto typeOf = [&](const char16_t* member) {
    return Utf8(RunOnRecorder([&](tNUVInterCodeContext* top) {
                  top->Emit(VM_TYPEOFD, {2, 1, Constant(top, tNUVVariant(member))});
                }).AsString());
  };
  EXPECT_EQ(typeOf(u"present"), "Integer");
  EXPECT_EQ(Recorder->Log, (std::vector<std::string>{"get present 1024"}));
  EXPECT_EQ(typeOf(u"missing"), "undefined");
  EXPECT_EQ(typeOf(u"positive"), "fetched") << "other success codes leave the value as fetched";

  auto deleted = [&](const char16_t* member) {
    return RunOnRecorder([&](tNUVInterCodeContext* top) {
             top->Emit(VM_DELD, {2, 1, Constant(top, tNUVVariant(member))});
           }).AsInteger();
  };
  EXPECT_EQ(deleted(u"present"), 1);
  EXPECT_EQ(deleted(u"missing"), 0);

  tNUVVariant valid = RunOnRecorder([&](tNUVInterCodeContext* top) {
    top->Emit(VM_CP, {2, 1});
    top->Emit(VM_CHKINV, {2});
  });
  EXPECT_EQ(valid.AsInteger(), 1) << "not implemented counts as valid";
  tNUVVariant invalidated = RunOnRecorder([&](tNUVInterCodeContext* top) {
    top->Emit(VM_CP, {2, 1});
    top->Emit(VM_INV, {2});
  });
  EXPECT_EQ(invalidated.AsInteger(), 1);

  auto instance = [&](const tNUVVariant& value, const char16_t* className) {
    return RunOnRecorder([&](tNUVInterCodeContext* top) {
             if (value.IsVoid()) {
               top->Emit(VM_CP, {2, 1});
             } else {
               top->Emit(VM_CONST, {2, Constant(top, value)});
             }
             top->Emit(VM_CONST, {3, Constant(top, tNUVVariant(className))});
             top->Emit(VM_CHKINS, {2, 3});
           }).AsInteger();
  };
  EXPECT_EQ(instance(tNUVVariant(), u"Recorder"), 1);
  EXPECT_EQ(instance(tNUVVariant(), u"Other"), 0);
  EXPECT_EQ(instance(tNUVVariant(), u"Object"), 1);
  EXPECT_EQ(instance(tNUVVariant(static_cast<iNUVDispatch2*>(nullptr)), u"Recorder"), 0);
  EXPECT_EQ(instance(tNUVVariant(1.5), u"Number"), 1);
  EXPECT_EQ(instance(tNUVVariant(u"s"), u"Number"), 0);
  EXPECT_EQ(instance(tNUVVariant(u"s"), u"String"), 1);
}

TEST_F(InterpreterMembers, ClassInfoGlobalChangeThisAndDebugger) {
  tNUVVariant result = RunOnRecorder([&](tNUVInterCodeContext* top) {
    top->Emit(VM_CONST, {3, Constant(top, tNUVVariant(u"SomeClass"))});
    top->Emit(VM_ADDCI, {1, 3});
    top->Emit(VM_DEBUGGER, {});
    top->Emit(VM_GLOBAL, {4});
    top->Emit(VM_CP, {2, 1});
    top->Emit(VM_CHGTHIS, {2, 4});
  });
  EXPECT_EQ(Recorder->ClassNames, (std::vector<std::string>{"SomeClass"}));
  EXPECT_EQ(result.Object.Object, Recorder);
  EXPECT_EQ(result.Object.ObjThis, Runtime.Global);
}

TEST_F(InterpreterMembers, EvalHandsTheRunningThisToTheEngine) {
  iNUVDispatch2* self = NUVCreateCustomObject();
  tNUVInterCodeContext* function = NewContext(ctFunction, u"f");
  function->CoverRegister(2);
  function->Emit(VM_CONST, {1, Constant(function, tNUVVariant(u"1 + 1"))});
  function->Emit(VM_EVAL, {1});
  function->Emit(VM_CONST, {2, Constant(function, tNUVVariant(u"side effect"))});
  function->Emit(VM_EEXP, {2});
  function->Emit(VM_ADD, {1, 2});
  function->Emit(VM_CONST, {2, Constant(function, tNUVVariant(u""))});
  function->Emit(VM_EVAL, {2});
  function->Emit(VM_TYPEOF, {2});
  function->Emit(VM_ADD, {1, 2});
  function->Emit(VM_SRV, {1});
  function->Emit(VM_RET, {});
  function->Finish();
  EXPECT_EQ(Utf8(Run(function, {}, self).AsString()), "evaluated:1 + 1side effectvoid");
  EXPECT_EQ(Runtime.Evaluated, (std::vector<std::string>{"1 + 1", "side effect"}));
  EXPECT_EQ(Runtime.EvaluatedThis, self);
  self->Release();
}

TEST_F(InterpreterMembers, StringReceiversUseThePrimitiveOperations) {
  tNUVInterCodeContext* top = NewContext();
  top->CoverRegister(5);
  top->Emit(VM_CONST, {1, Constant(top, tNUVVariant(u"text"))});
  top->Emit(VM_CONST, {5, Constant(top, tNUVVariant(2))});
  top->Emit(VM_GPD, {2, 1, Constant(top, tNUVVariant(u"length"))});
  top->Emit(VM_CONST, {3, Constant(top, tNUVVariant(1))});
  top->Emit(VM_GPI, {3, 1, 3});
  top->Emit(VM_ADD, {3, 2});
  std::vector<int32_t> arguments = {5};
  top->EmitCall(VM_CALLD, {4, 1, Constant(top, tNUVVariant(u"substring"))}, &arguments);
  top->Emit(VM_ADD, {3, 4});
  top->Emit(VM_SRV, {3});
  top->Emit(VM_RET, {});
  top->Finish();
  EXPECT_EQ(Utf8(Run(top).AsString()), "e4xt");
}

}  // namespace
}  // namespace NUV
