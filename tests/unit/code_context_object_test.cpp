// Code contexts as script objects: what calling, reading, writing and new do by
// kind, the property accessors, instance creation, and the lookups that fall back
// from a class to its super classes.

#include <string>
#include <vector>

#include "engine/compiler/script_block.h"
#include "engine/services/engine.h"
#include "engine/values/global_string_map.h"
#include "engine/values/string_heap.h"
#include "engine/vm/interpreter.h"
#include "objects_test_support.h"

namespace NUV::ObjectsTest {
namespace {

class tContextObjectTest : public tObjectTest {
protected:
  void SetUp() override {
    tObjectTest::SetUp();
    LiveStringsBefore = GetStringHeapStatus().LiveCount;
    NUVAddRefGlobalStringMap();
    NUVAddRefVariantArrayStack();
  }
  void TearDown() override {
    // The top level holds the other contexts, and they hold the block.
    if (Block) {
      Block->ReleaseTopLevel();
      Block->Release();
    }
    Block = nullptr;
    // Instances made by the tests refer to contexts; the engine and its global
    // object go last.
    if (Engine) {
      Engine->Shutdown();
      Engine->Release();
    }
    Engine = nullptr;
    NUVReleaseVariantArrayStack();
    NUVReleaseGlobalStringMap();
    // Every context, instance and name made by the test is gone again.
    EXPECT_EQ(GetStringHeapStatus().LiveCount, LiveStringsBefore);
    tObjectTest::TearDown();
  }

  // Compiles text; the block stays alive until the test ends. Code run from a
  // block without an engine sees no global object.
  void Compile(const std::u16string& text) {
    Block = Engine ? new tNUVScriptBlock(Engine)
                   : new tNUVScriptBlock([this](const tNUVString& line) { Printed.push_back(Text(line)); });
    Block->AssignName(tNUVString(u"test"), 0);
    Block->Compile(tNUVString(text.c_str()), false, false);
    ASSERT_TRUE(Printed.empty()) << std::string(Printed.front().begin(), Printed.front().end());
  }

  // Compiles text into a block of an engine, whose global object running code sees.
  void CompileWithGlobal(const std::u16string& text) {
    Engine = new tNUV;
    Compile(text);
  }
  iNUVDispatch2* Global() const { return Engine->GetGlobalNoAddRef(); }

  // The context of this kind and name (the top level is named "global").
  tNUVInterCodeContext* Context(tNUVContextKind kind, const std::u16string& name) {
    for (tNUVInterCodeContext* context : Block->GetContexts())
      if (context->GetKind() == kind && Text(context->GetName()) == name) return context;
    ADD_FAILURE() << "no context of kind " << kind;
    return nullptr;
  }

  // Makes the class contexts known to running code under their names.
  void PublishClasses(std::initializer_list<const char16_t*> names) {
    for (const char16_t* name : names)
      Put(Global(), name, tNUVVariant(static_cast<iNUVDispatch2*>(Context(ctClass, name))));
  }

  tNUVScriptBlock* Block = nullptr;
  tNUV* Engine = nullptr;
  std::vector<std::u16string> Printed;
  decltype(tNUVStringHeapStatus::LiveCount) LiveStringsBefore = 0;
};

// new on a class: the instance (owned by the caller) and the code.
int32_t New(iNUVDispatch2* classObject, tArguments& arguments, iNUVDispatch2** instance) {
  *instance = nullptr;
  return classObject->CreateInstance(0, nullptr, nullptr, instance, arguments.Count(), arguments.Data(), nullptr);
}

tNUVVariant CallNamed(iNUVDispatch2* object, const char16_t* name, tArguments& arguments, int32_t* code = nullptr) {
  tNUVVariant result;
  int32_t answer = object->CallMember(0, name, nullptr, &result, arguments.Count(), arguments.Data(), object);
  if (code) *code = answer;
  return result;
}

const char16_t* const KindsScript =
    u"function f() { return 1; }\n"
    u"var expression = function() { return 2; };\n"
    u"property both { getter { return this.v * 2; } setter (x) { this.v = x + 1; } }\n"
    u"property readOnly { getter { return 5; } }\n"
    u"property writeOnly { setter (x) { } }\n"
    u"class Plain { }\n";

// ---------------------------------------------------------------------------------
// Answers that run no code

using ContextObjectKinds = tContextObjectTest;

TEST_F(ContextObjectKinds, InstanceOfAnswersByKind) {
  Compile(KindsScript);
  struct tCase {
    tNUVContextKind Kind;
    const char16_t* Name;
    int32_t Function, Property, Class;
  } cases[] = {
      {ctFunction, u"f", NUVResultTrue, NUVResultFalse, NUVResultFalse},
      {ctExprFunction, u"(anonymous)", NUVResultTrue, NUVResultFalse, NUVResultFalse},
      {ctProperty, u"both", NUVResultFalse, NUVResultTrue, NUVResultFalse},
      {ctClass, u"Plain", NUVResultFalse, NUVResultFalse, NUVResultTrue},
      {ctTopLevel, u"global", NUVResultFalse, NUVResultFalse, NUVResultFalse},
      {ctPropertyGetter, u"(getter)", NUVResultFalse, NUVResultFalse, NUVResultFalse},
  };
  for (const tCase& item : cases) {
    tNUVInterCodeContext* context = Context(item.Kind, item.Name);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(context->IsInstanceOf(0, nullptr, nullptr, u"Function", nullptr), item.Function) << item.Kind;
    EXPECT_EQ(context->IsInstanceOf(0, nullptr, nullptr, u"Property", nullptr), item.Property) << item.Kind;
    EXPECT_EQ(context->IsInstanceOf(0, nullptr, nullptr, u"Class", nullptr), item.Class) << item.Kind;
    // Every object is an Object; a null class name is no class.
    EXPECT_EQ(context->IsInstanceOf(0, nullptr, nullptr, u"Object", nullptr), NUVResultTrue) << item.Kind;
    EXPECT_EQ(context->IsInstanceOf(0, nullptr, nullptr, nullptr, nullptr), NUVResultFalse) << item.Kind;
  }
}

TEST_F(ContextObjectKinds, WhatCannotBeCalledOrInstantiated) {
  Compile(KindsScript);
  iNUVDispatch2* created = nullptr;
  tNUVVariant result;
  EXPECT_EQ(Context(ctProperty, u"both")->CallMember(0, nullptr, nullptr, &result, 0, nullptr, nullptr),
            NUVResultInvalidType);
  for (tNUVContextKind kind : {ctFunction, ctProperty, ctTopLevel}) {
    tNUVInterCodeContext* context = Context(kind, kind == ctFunction ? u"f" : kind == ctProperty ? u"both" : u"global");
    EXPECT_EQ(context->CreateInstance(0, nullptr, nullptr, &created, 0, nullptr, nullptr), NUVResultInvalidType);
    EXPECT_EQ(created, nullptr);
  }
  // new needs somewhere to put the instance, and a usable argument list.
  tNUVInterCodeContext* plain = Context(ctClass, u"Plain");
  EXPECT_EQ(plain->CreateInstance(0, nullptr, nullptr, nullptr, 0, nullptr, nullptr), NUVResultInvalidParam);
  EXPECT_EQ(plain->CreateInstance(0, nullptr, nullptr, &created, 2, nullptr, nullptr), NUVResultInvalidParam);
  EXPECT_EQ(plain->CreateInstance(0, nullptr, nullptr, &created, -1, nullptr, nullptr), NUVResultInvalidParam);
  EXPECT_EQ(Context(ctFunction, u"f")->CallMember(0, nullptr, nullptr, &result, 1, nullptr, nullptr),
            NUVResultInvalidParam);
  EXPECT_EQ(created, nullptr);
}

TEST_F(ContextObjectKinds, PropertyWithoutAccessorDeniesAccess) {
  Compile(KindsScript);
  tObjectHold self(new tTestObject());
  tNUVVariant value(int32_t{1});
  tNUVVariant result;
  tNUVInterCodeContext* readOnly = Context(ctProperty, u"readOnly");
  tNUVInterCodeContext* writeOnly = Context(ctProperty, u"writeOnly");
  EXPECT_EQ(readOnly->SetMember(0, nullptr, nullptr, &value, self), NUVResultAccessDenied);
  EXPECT_EQ(writeOnly->GetMember(0, nullptr, nullptr, &result, self), NUVResultAccessDenied);
  // A compound assignment needs both; nothing is written when the read is refused.
  EXPECT_EQ(writeOnly->ApplyOperation(NUVOpAdd, nullptr, nullptr, &result, &value, self), NUVResultAccessDenied);
  EXPECT_EQ(MemberCount(self), 0);
  // A set through the setter needs a value.
  EXPECT_EQ(Context(ctProperty, u"both")->SetMember(0, nullptr, nullptr, nullptr, self), NUVResultInvalidParam);
}

TEST_F(ContextObjectKinds, ContextsKeepMembersLikeGeneralObjects) {
  Compile(KindsScript);
  tNUVInterCodeContext* function = Context(ctFunction, u"f");
  EXPECT_EQ(Put(function, u"counter", int32_t{3}), NUVResultOk);
  EXPECT_EQ(Get(function, u"counter").AsInteger(), 3);
  tNUVVariant four(int32_t{4});
  EXPECT_EQ(function->ApplyOperation(NUVOpAdd, u"counter", nullptr, nullptr, &four, function), NUVResultOk);
  EXPECT_EQ(Get(function, u"counter").AsInteger(), 7);
  EXPECT_EQ(function->DeleteMember(0, u"counter", nullptr, function), NUVResultOk);

  // A class without super classes finds only its own members; a set by body is
  // refused so that sets always take the path that knows about super classes.
  tNUVInterCodeContext* plain = Context(ctClass, u"Plain");
  int32_t code = 0;
  Get(plain, u"absent", 0, &code);
  EXPECT_EQ(code, NUVResultMemberNotFound);
  tNUVString name(u"absent");
  EXPECT_EQ(plain->SetMemberByBody(NUVMemberEnsure, name.GetBody(), &four, plain), NUVResultNotImplemented);
  EXPECT_EQ(plain->SetMember(0, u"absent", nullptr, &four, plain), NUVResultMemberNotFound);
  EXPECT_EQ(plain->SetMember(NUVMemberEnsure, u"absent", nullptr, &four, plain), NUVResultOk);
  EXPECT_EQ(Get(plain, u"absent").AsInteger(), 4);
}

TEST_F(ContextObjectKinds, InvalidatedContextRefusesUse) {
  Compile(KindsScript);
  tNUVInterCodeContext* function = Context(ctFunction, u"f");
  Put(function, u"member", int32_t{1});
  EXPECT_EQ(function->Invalidate(0, nullptr, nullptr, function), NUVResultTrue);
  tNUVVariant value(int32_t{1});
  tNUVVariant result;
  iNUVDispatch2* created = nullptr;
  EXPECT_EQ(function->CallMember(0, nullptr, nullptr, &result, 0, nullptr, nullptr), NUVResultInvalidObject);
  EXPECT_EQ(function->GetMember(0, u"member", nullptr, &result, nullptr), NUVResultInvalidObject);
  EXPECT_EQ(function->SetMember(NUVMemberEnsure, u"member", nullptr, &value, nullptr), NUVResultInvalidObject);
  EXPECT_EQ(function->IsInstanceOf(0, nullptr, nullptr, u"Function", nullptr), NUVResultInvalidObject);
  EXPECT_EQ(function->IsValid(0, nullptr, nullptr, nullptr), NUVResultFalse);
  EXPECT_EQ(function->Invalidate(0, nullptr, nullptr, nullptr), NUVResultInvalidObject);

  tNUVInterCodeContext* plain = Context(ctClass, u"Plain");
  plain->Invalidate(0, nullptr, nullptr, nullptr);
  EXPECT_EQ(plain->CreateInstance(0, nullptr, nullptr, &created, 0, nullptr, nullptr), NUVResultInvalidObject);
  EXPECT_EQ(created, nullptr);
  tNUVInterCodeContext* property = Context(ctProperty, u"both");
  property->Invalidate(0, nullptr, nullptr, nullptr);
  EXPECT_EQ(property->GetMember(0, nullptr, nullptr, &result, nullptr), NUVResultInvalidObject);
  EXPECT_EQ(property->SetMember(0, nullptr, nullptr, &value, nullptr), NUVResultInvalidObject);
  EXPECT_EQ(property->ApplyOperation(NUVOpIncrement, nullptr, nullptr, &result, nullptr, nullptr),
            NUVResultInvalidObject);
}

TEST_F(ContextObjectKinds, SuperClassGetterContextDoesNothingWhenCalled) {
  Compile(u"class Base { }\nclass Derived extends Base { }\n");
  tNUVInterCodeContext* getter = Context(ctClass, u"Derived")->GetSuperProxy();
  ASSERT_NE(getter, nullptr);
  EXPECT_EQ(getter->GetKind(), ctSuperClassGetter);
  tNUVVariant result(int32_t{9});
  // Running it would raise: without a global object Base cannot be found.
  EXPECT_EQ(getter->CallMember(0, nullptr, nullptr, &result, 0, nullptr, nullptr), NUVResultOk);
  EXPECT_EQ(result.AsInteger(), 9);
}

// ---------------------------------------------------------------------------------
// Properties and calls that run code

using ContextObjectRunning = tContextObjectTest;

TEST_F(ContextObjectRunning, PropertyReadsAndWritesThroughItsAccessorsOnTheCallThis) {
  Compile(KindsScript);
  tObjectHold self(new tTestObject());
  Put(self, u"v", int32_t{10});
  tNUVInterCodeContext* property = Context(ctProperty, u"both");
  tNUVVariant result;
  EXPECT_EQ(property->GetMember(0, nullptr, nullptr, &result, self), NUVResultOk);
  EXPECT_EQ(result.AsInteger(), 20);

  tNUVVariant value(int32_t{4});
  EXPECT_EQ(property->SetMember(0, nullptr, nullptr, &value, self), NUVResultOk);
  EXPECT_EQ(Get(self, u"v").AsInteger(), 5);

  // Read (10), add 3, write (the setter stores 14); the result is the written value.
  tNUVVariant three(int32_t{3});
  EXPECT_EQ(property->ApplyOperation(NUVOpAdd, nullptr, nullptr, &result, &three, self), NUVResultOk);
  EXPECT_EQ(result.AsInteger(), 13);
  EXPECT_EQ(Get(self, u"v").AsInteger(), 14);
  EXPECT_EQ(property->ApplyOperation(0, nullptr, nullptr, &result, &three, self), NUVResultInvalidParam);

  // Held by a general object, the property is read and written through its value.
  tObjectHold holder(new tTestObject());
  Put(holder, u"both", tNUVVariant(static_cast<iNUVDispatch2*>(property), self.get()), NUVIgnoreProperty);
  EXPECT_EQ(Get(holder, u"both").AsInteger(), 28);
  EXPECT_EQ(Get(holder, u"both", NUVIgnoreProperty).AsObjectNoError(), property);
}

TEST_F(ContextObjectRunning, CallingAFunctionPassesArgumentsAndThis) {
  Compile(u"function add(a, b) { return a + b + this.base; }\n");
  tObjectHold self(new tTestObject());
  Put(self, u"base", int32_t{100});
  tArguments arguments{tNUVVariant(int32_t{1}), tNUVVariant(int32_t{2})};
  tNUVVariant result;
  EXPECT_EQ(Context(ctFunction, u"add")->CallMember(0, nullptr, nullptr, &result, arguments.Count(),
                                                     arguments.Data(), self),
            NUVResultOk);
  EXPECT_EQ(result.AsInteger(), 103);
}

TEST_F(ContextObjectRunning, CallingTheTopLevelRunsItAgainOnTheGlobalObject) {
  CompileWithGlobal(u"runs = runs + 1;\n");
  Put(Global(), u"runs", int32_t{0});
  tNUVInterCodeContext* top = Context(ctTopLevel, u"global");
  tArguments ignored{tNUVVariant(int32_t{7})};
  EXPECT_EQ(top->CallMember(0, nullptr, nullptr, nullptr, ignored.Count(), ignored.Data(), nullptr), NUVResultOk);
  EXPECT_EQ(top->CallMember(0, nullptr, nullptr, nullptr, 0, nullptr, nullptr), NUVResultOk);
  EXPECT_EQ(Get(Global(), u"runs").AsInteger(), 2);
  // With a call-this, that object is the one the script works on.
  tObjectHold self(new tTestObject());
  Put(self, u"runs", int32_t{40});
  EXPECT_EQ(top->CallMember(0, nullptr, nullptr, nullptr, 0, nullptr, self), NUVResultOk);
  EXPECT_EQ(Get(self, u"runs").AsInteger(), 41);
  EXPECT_EQ(Get(Global(), u"runs").AsInteger(), 2);
}

// ---------------------------------------------------------------------------------
// Instance creation

using ContextObjectNew = tContextObjectTest;

const char16_t* const CounterScript =
    u"class Counter {\n"
    u"  var count = 10;\n"
    u"  var made = 'body';\n"
    u"  function Counter(start) { count = start; made = made + ' and constructor'; }\n"
    u"  function add(n) { count += n; return count; }\n"
    u"  property doubled { getter { return count * 2; } }\n"
    u"}\n"
    u"class Plain { var ready = 'yes'; function ask() { return ready; } }\n"
    u"class Failing { var x = 1; function Failing() { throw 'refused'; } }\n";

TEST_F(ContextObjectNew, InstanceGetsMembersFieldsAndConstructorRun) {
  Compile(CounterScript);
  tArguments arguments{tNUVVariant(int32_t{5})};
  iNUVDispatch2* created = nullptr;
  ASSERT_EQ(New(Context(ctClass, u"Counter"), arguments, &created), NUVResultOk);
  ASSERT_NE(created, nullptr);
  tHold<iNUVDispatch2> instance(created);

  EXPECT_EQ(Get(instance, u"count").AsInteger(), 5);
  EXPECT_EQ(Text(Get(instance, u"made")), u"body and constructor");
  EXPECT_EQ(instance->IsInstanceOf(0, nullptr, nullptr, u"Counter", nullptr), NUVResultTrue);
  EXPECT_EQ(instance->IsInstanceOf(0, nullptr, nullptr, u"Class", nullptr), NUVResultFalse);

  tArguments two{tNUVVariant(int32_t{2})};
  EXPECT_EQ(CallNamed(instance, u"add", two).AsInteger(), 7);
  EXPECT_EQ(Get(instance, u"doubled").AsInteger(), 14);

  // A method read from the instance stays bound to it, whatever this a later call passes.
  tNUVVariant method = Get(instance, u"add");
  tObjectHold stranger(new tTestObject());
  tNUVVariant result;
  EXPECT_EQ(NUVCallThroughValue(method, 0, &result, two.Count(), two.Data(), stranger), NUVResultOk);
  EXPECT_EQ(result.AsInteger(), 9);
  EXPECT_EQ(MemberCount(stranger), 0);
}

TEST_F(ContextObjectNew, ClassWithoutConstructorStillYieldsAnInitialisedInstance) {
  Compile(CounterScript);
  tArguments none;
  iNUVDispatch2* created = nullptr;
  ASSERT_EQ(New(Context(ctClass, u"Plain"), none, &created), NUVResultOk);
  tHold<iNUVDispatch2> instance(created);
  EXPECT_EQ(Text(Get(instance, u"ready")), u"yes");
  EXPECT_EQ(Text(CallNamed(instance, u"ask", none)), u"yes");
  // Each instance has fields of its own.
  iNUVDispatch2* second = nullptr;
  ASSERT_EQ(New(Context(ctClass, u"Plain"), none, &second), NUVResultOk);
  tHold<iNUVDispatch2> other(second);
  Put(other, u"ready", u"changed");
  EXPECT_EQ(Text(CallNamed(instance, u"ask", none)), u"yes");
}

TEST_F(ContextObjectNew, ConstructorThatThrowsLeavesNoInstance) {
  Compile(CounterScript);
  tNUVInterCodeContext* failing = Context(ctClass, u"Failing");
  const int32_t references = failing->GetRefCount();
  tArguments none;
  iNUVDispatch2* created = nullptr;
  EXPECT_ANY_THROW(New(failing, none, &created));
  EXPECT_EQ(created, nullptr);
  // The half-made instance is released (the leak checker would see it otherwise)
  // and the class holds no reference more than before.
  EXPECT_EQ(failing->GetRefCount(), references);
  // new on a member the class does not have.
  EXPECT_EQ(failing->CreateInstance(0, u"absent", nullptr, &created, 0, nullptr, nullptr), NUVResultMemberNotFound);
  EXPECT_EQ(created, nullptr);
}

// ---------------------------------------------------------------------------------
// Super classes

using ContextObjectSuperClasses = tContextObjectTest;

const char16_t* const FamilyScript =
    u"class A { function who() { return 'A'; } function onlyA() { return 'a'; } }\n"
    u"class B { function who() { return 'B'; } function self() { return this; } }\n"
    u"class C extends A, B { function own() { return 'C'; } }\n";

TEST_F(ContextObjectSuperClasses, LaterSuperClassIsAskedFirst) {
  CompileWithGlobal(FamilyScript);
  PublishClasses({u"A", u"B", u"C"});
  tNUVInterCodeContext* derived = Context(ctClass, u"C");
  tArguments none;
  int32_t code = 0;
  EXPECT_EQ(Text(CallNamed(derived, u"who", none, &code)), u"B");
  EXPECT_EQ(code, NUVResultOk);
  EXPECT_EQ(Text(CallNamed(derived, u"onlyA", none)), u"a");
  EXPECT_EQ(Text(CallNamed(derived, u"own", none)), u"C");
  CallNamed(derived, u"nowhere", none, &code);
  EXPECT_EQ(code, NUVResultMemberNotFound);

  // The super class runs on the call-this given to the class.
  tObjectHold self(new tTestObject());
  tNUVVariant result;
  EXPECT_EQ(derived->CallMember(0, u"self", nullptr, &result, 0, nullptr, self), NUVResultOk);
  EXPECT_EQ(result.AsObjectNoError(), self.get());

  tNUVVariant value;
  EXPECT_EQ(derived->GetMember(NUVIgnoreProperty, u"who", nullptr, &value, derived), NUVResultOk);
  EXPECT_EQ(value.AsObjectNoError(), Get(Context(ctClass, u"B"), u"who", NUVIgnoreProperty).AsObjectNoError());
  EXPECT_EQ(derived->IsInstanceOf(0, u"onlyA", nullptr, u"Function", derived), NUVResultTrue);
  EXPECT_EQ(derived->IsValid(0, u"onlyA", nullptr, derived), NUVResultTrue);
}

TEST_F(ContextObjectSuperClasses, SettingAMemberOnlyASuperClassHasChangesTheSuperClass) {
  CompileWithGlobal(FamilyScript);
  PublishClasses({u"A", u"B", u"C"});
  tNUVInterCodeContext* base = Context(ctClass, u"A");
  tNUVInterCodeContext* derived = Context(ctClass, u"C");
  const int32_t derivedCount = derived->GetCount();
  tNUVVariant value(u"replaced");
  EXPECT_EQ(derived->SetMember(NUVMemberEnsure, u"onlyA", nullptr, &value, derived), NUVResultOk);
  EXPECT_EQ(Text(Get(base, u"onlyA")), u"replaced");
  EXPECT_EQ(derived->GetCount(), derivedCount);

  // Ignoring properties stores on the class itself, shadowing the super class.
  tNUVVariant five(int32_t{5});
  EXPECT_EQ(derived->SetMember(NUVMemberEnsure | NUVIgnoreProperty, u"onlyA", nullptr, &five, derived),
            NUVResultOk);
  EXPECT_EQ(Get(derived, u"onlyA").AsInteger(), 5);
  EXPECT_EQ(derived->GetCount(), derivedCount + 1);
  EXPECT_EQ(Text(Get(base, u"onlyA")), u"replaced");
}

// Super classes given as function expressions need no global object to be found:
// the getter yields the expression's own context, whose members a test can set.
TEST_F(ContextObjectSuperClasses, FallbackOrderAndTrialSetWithAnonymousSuperClasses) {
  Compile(u"class C extends function() { }, function() { } { function own() { return 'C'; } }\n");
  std::vector<tNUVInterCodeContext*> supers;
  for (tNUVInterCodeContext* context : Block->GetContexts())
    if (context->GetKind() == ctExprFunction) supers.push_back(context);
  ASSERT_EQ(supers.size(), 2u);
  Put(supers[0], u"who", u"first");
  Put(supers[1], u"who", u"second");
  Put(supers[0], u"onlyFirst", int32_t{1});
  tNUVInterCodeContext* derived = Context(ctClass, u"C");
  const int32_t derivedCount = derived->GetCount();

  EXPECT_EQ(Text(Get(derived, u"who")), u"second");
  EXPECT_EQ(Get(derived, u"onlyFirst").AsInteger(), 1);
  int32_t count = 0;
  EXPECT_EQ(derived->GetMemberCount(&count, u"own", nullptr, derived), NUVResultOk);
  EXPECT_EQ(derived->IsInstanceOf(0, u"onlyFirst", nullptr, u"Number", derived), NUVResultTrue);

  tNUVVariant value(int32_t{7});
  EXPECT_EQ(derived->SetMember(NUVMemberEnsure, u"onlyFirst", nullptr, &value, derived), NUVResultOk);
  EXPECT_EQ(Get(supers[0], u"onlyFirst").AsInteger(), 7);
  EXPECT_EQ(derived->ApplyOperation(NUVOpIncrement | NUVMemberEnsure, u"onlyFirst", nullptr, nullptr, nullptr,
                                    derived),
            NUVResultOk);
  EXPECT_EQ(Get(supers[0], u"onlyFirst").AsInteger(), 8);
  EXPECT_EQ(derived->GetCount(), derivedCount);
  EXPECT_EQ(derived->ApplyOperation(NUVOpIncrement, u"nowhere", nullptr, nullptr, nullptr, derived),
            NUVResultMemberNotFound);

  EXPECT_EQ(derived->SetMember(0, u"fresh", nullptr, &value, derived), NUVResultMemberNotFound);
  EXPECT_EQ(derived->SetMember(NUVMemberEnsure, u"fresh", nullptr, &value, derived), NUVResultOk);
  EXPECT_EQ(derived->GetCount(), derivedCount + 1);

  // Deleting removes the copy that a lookup would find: the second's, then the first's.
  EXPECT_EQ(derived->DeleteMember(0, u"who", nullptr, derived), NUVResultOk);
  EXPECT_EQ(Text(Get(derived, u"who")), u"first");
  EXPECT_EQ(derived->DeleteMember(0, u"who", nullptr, derived), NUVResultOk);
  EXPECT_EQ(derived->DeleteMember(0, u"who", nullptr, derived), NUVResultMemberNotFound);

  // Once the class is invalidated its super classes are not asked any more.
  EXPECT_EQ(derived->Invalidate(0, nullptr, nullptr, derived), NUVResultTrue);
  EXPECT_EQ(derived->IsValid(0, u"onlyFirst", nullptr, derived), NUVResultMemberNotFound);
}

TEST_F(ContextObjectSuperClasses, SuperClassGetterMustYieldAnObject) {
  Compile(u"class Odd extends 5 { }\nclass Empty extends null { }\n");
  tNUVVariant result;
  EXPECT_THROW(Context(ctClass, u"Odd")->GetMember(0, u"x", nullptr, &result, nullptr), eNUVVariantError);
  ExpectError([&] { Context(ctClass, u"Empty")->GetMember(0, u"x", nullptr, &result, nullptr); }, NUVNullAccess);
  // Members the class has itself never reach the getter (a plain store makes one).
  Put(Context(ctClass, u"Odd"), u"x", int32_t{1}, NUVIgnoreProperty);
  EXPECT_EQ(Get(Context(ctClass, u"Odd"), u"x").AsInteger(), 1);
}

TEST_F(ContextObjectSuperClasses, ClassesNamingEachOtherRaiseInsteadOfRecursingForever) {
  CompileWithGlobal(u"class P extends Q { }\nclass Q extends P { }\n");
  PublishClasses({u"P", u"Q"});
  tNUVVariant result;
  ExpectError([&] { Context(ctClass, u"P")->GetMember(0, u"absent", nullptr, &result, nullptr); }, NUVStackOverflow);
  EXPECT_EQ(NUVActivationDepth(), 0);
  // Members the classes have are still found.
  Put(Context(ctClass, u"Q"), u"there", int32_t{3}, NUVIgnoreProperty);
  EXPECT_EQ(Get(Context(ctClass, u"P"), u"there").AsInteger(), 3);
}

// The super class body runs as part of the class body; its constructor only when
// the derived constructor calls it.
TEST_F(ContextObjectSuperClasses, InstanceOfDerivedClassRunsEveryBody) {
  CompileWithGlobal(
      u"class A { var fromA = 1; function A(n) { fromA = n; } }\n"
      u"class C extends A { var fromC = fromA + 10; function C(n) { if (n) super.A(n); } }\n");
  PublishClasses({u"A", u"C"});
  tArguments none;
  iNUVDispatch2* created = nullptr;
  ASSERT_EQ(New(Context(ctClass, u"C"), none, &created), NUVResultOk);
  tHold<iNUVDispatch2> instance(created);
  EXPECT_EQ(instance->IsInstanceOf(0, nullptr, nullptr, u"A", nullptr), NUVResultTrue);
  EXPECT_EQ(instance->IsInstanceOf(0, nullptr, nullptr, u"C", nullptr), NUVResultTrue);
  EXPECT_EQ(Get(instance, u"fromA").AsInteger(), 1);
  EXPECT_EQ(Get(instance, u"fromC").AsInteger(), 11);

  tArguments seven{tNUVVariant(int32_t{7})};
  ASSERT_EQ(New(Context(ctClass, u"C"), seven, &created), NUVResultOk);
  tHold<iNUVDispatch2> second(created);
  EXPECT_EQ(Get(second, u"fromA").AsInteger(), 7);
  EXPECT_EQ(Get(second, u"fromC").AsInteger(), 11);
}

}  // namespace
}  // namespace NUV::ObjectsTest
