// Classes implemented in native code: class objects, `new`, construct-into, the
// method, constructor and property objects and their calling conventions, and the
// script-visible Exception class.

#include <string>
#include <vector>

#include "engine/services/exception_class.h"
#include "objects_test_support.h"

namespace NUV::ObjectsTest {
namespace {

std::vector<std::string>& InstanceLog() {
  static std::vector<std::string> log;
  return log;
}

// The native data of a Counter: a value, a limit and a write-only secret.
class tCounterInstance : public tNUVNativeInstance {
public:
  static inline int32_t ClassID = -1;
  tCounterInstance() { Track(this); }
  ~tCounterInstance() override { Untrack(this); }
  int32_t Construct(int32_t count, tNUVVariant** arguments, iNUVDispatch2* owner) override {
    Owner = owner;
    ConstructArguments = count;
    if (count > 0) Value = arguments[0]->AsInteger();
    return Value < 0 ? NUVResultInvalidParam : NUVResultOk;
  }
  void Invalidate() override { InstanceLog().push_back("invalidate"); }
  void Destruct() override {
    InstanceLog().push_back("destruct");
    delete this;
  }
  int64_t Value = 0;
  int64_t Limit = 100;
  int64_t Secret = 0;
  int32_t ConstructArguments = -1;
  iNUVDispatch2* Owner = nullptr;
};

int32_t Add(tCounterInstance& self, const tNUVNativeCall& call) {
  self.Value += call.Argument(0).AsInteger();
  call.SetResult(self.Value);
  return NUVResultOk;
}
int32_t GetValue(tCounterInstance& self, tNUVVariant& result) {
  result = self.Value;
  return NUVResultOk;
}
int32_t GetLimit(tCounterInstance& self, tNUVVariant& result) {
  result = self.Limit;
  return NUVResultOk;
}
int32_t SetLimit(tCounterInstance& self, const tNUVVariant& value) {
  self.Limit = value.AsInteger();
  return NUVResultOk;
}
int32_t SetSecret(tCounterInstance& self, const tNUVVariant& value) {
  self.Secret = value.AsInteger();
  return NUVResultOk;
}
int32_t Describe(const tNUVNativeCall& call) {
  call.SetResult(tNUVString(u"counts"));
  return NUVResultOk;
}
int32_t FinalizeCalls = 0;
iNUVDispatch2* FinalizedThis = nullptr;
int32_t FinalizeCounter(tNUVVariant*, int32_t, tNUVVariant**, iNUVDispatch2* objThis) {
  ++FinalizeCalls;
  FinalizedThis = objThis;
  return NUVResultOk;
}
int32_t ConstructCounter(tNUVVariant*, int32_t count, tNUVVariant** arguments, iNUVDispatch2* objThis) {
  return NUVConstructNativeInstance(tCounterInstance::ClassID, count, arguments, objThis);
}

template <typename tMember, typename... tArguments>
iNUVDispatch2* NewMember(tArguments... arguments) {
  return new tTracked<tMember>(arguments...);
}

// Counter: new Counter(start); add(n) -> value; value (read-only); limit
// (read-write); secret (write-only); describe() (static); finalize.
class tCounterClass : public tNUVNativeClass {
public:
  tCounterClass() : tNUVNativeClass(u"Counter") {
    Track(this);
    tCounterInstance::ClassID = ClassID;
    RegisterMember(u"Counter", NewMember<tNUVNativeClassConstructor>(ConstructCounter), NUVNativeMemberMethod);
    RegisterMember(u"add", NewMember<tNUVNativeClassMethod>(NUVInstanceMethod<tCounterInstance, 1, Add>),
                   NUVNativeMemberMethod);
    RegisterMember(u"value",
                   NewMember<tNUVNativeClassProperty>(NUVInstanceGetter<tCounterInstance, GetValue>,
                                                      tNUVNativeSetter(nullptr)),
                   NUVNativeMemberProperty);
    RegisterMember(u"limit",
                   NewMember<tNUVNativeClassProperty>(NUVInstanceGetter<tCounterInstance, GetLimit>,
                                                      NUVInstanceSetter<tCounterInstance, SetLimit>),
                   NUVNativeMemberProperty);
    RegisterMember(u"secret",
                   NewMember<tNUVNativeClassProperty>(tNUVNativeGetter(nullptr),
                                                      NUVInstanceSetter<tCounterInstance, SetSecret>),
                   NUVNativeMemberProperty);
    RegisterMember(u"describe", NewMember<tNUVNativeClassMethod>(NUVStaticMethod<0, Describe>),
                   NUVNativeMemberMethod, NUVStaticMember);
    RegisterMember(u"finalize", NewMember<tNUVNativeClassMethod>(FinalizeCounter), NUVNativeMemberMethod);
  }
  ~tCounterClass() override { Untrack(this); }
  iNUVNativeInstance* CreateNativeInstance() override { return new tCounterInstance(); }
  iNUVDispatch2* CreateBaseObject() override { return new tTestObject(3); }
};

// A class without constructor and without native data.
class tBareClass : public tNUVNativeClass {
public:
  tBareClass() : tNUVNativeClass(u"Bare") {
    Track(this);
    RegisterMember(u"hello", NewMember<tNUVNativeClassMethod>(NUVStaticMethod<0, Describe>), NUVNativeMemberMethod);
  }
  ~tBareClass() override { Untrack(this); }
  iNUVDispatch2* CreateBaseObject() override { return new tTestObject(3); }
};

class tNativeClassTest : public tObjectTest {
protected:
  void SetUp() override {
    tObjectTest::SetUp();
    InstanceLog().clear();
    FinalizeCalls = 0;
    FinalizedThis = nullptr;
  }
};

iNUVDispatch2* New(iNUVDispatch2* someClass, tArguments arguments, int32_t* code = nullptr) {
  iNUVDispatch2* created = nullptr;
  int32_t answer = someClass->CreateInstance(0, nullptr, nullptr, &created, arguments.Count(), arguments.Data(),
                                             nullptr);
  if (code) *code = answer;
  return created;
}

tCounterInstance* CounterOf(iNUVDispatch2* object) {
  iNUVNativeInstance* instance = nullptr;
  if (NUVFailed(object->NativeInstanceSlot(2, tCounterInstance::ClassID, &instance))) return nullptr;
  return static_cast<tCounterInstance*>(instance);
}

using NativeClass = tNativeClassTest;

TEST_F(NativeClass, ClassObjectHoldsUnboundMembers) {
  tHold<tCounterClass> counter(new tCounterClass());
  EXPECT_EQ(counter->GetRefCount(), 1);
  EXPECT_EQ(MemberCount(counter), 7);
  EXPECT_EQ(FindNativeClassID(u"Counter"), counter->GetClassID());
  tNUVVariant add = Get(counter, u"add", NUVIgnoreProperty);
  ASSERT_EQ(add.vt, tvtObject);
  EXPECT_EQ(add.Object.ObjThis, nullptr);
  EXPECT_EQ(static_cast<tNUVDispatch*>(add.Object.Object)->GetRefCount(), 2) << "class and this variant";

  auto isA = [&](const char16_t* member, const char16_t* className) {
    return counter->IsInstanceOf(0, member, nullptr, className, counter);
  };
  EXPECT_EQ(isA(nullptr, u"Class"), NUVResultTrue);
  EXPECT_EQ(isA(nullptr, u"Counter"), NUVResultTrue);
  EXPECT_EQ(isA(nullptr, u"Object"), NUVResultTrue);
  EXPECT_EQ(isA(nullptr, u"Array"), NUVResultFalse);
  EXPECT_EQ(isA(u"add", u"Function"), NUVResultTrue);
  EXPECT_EQ(isA(u"Counter", u"Function"), NUVResultTrue);
  EXPECT_EQ(isA(u"value", u"Property"), NUVResultTrue);
  EXPECT_EQ(isA(u"add", u"Property"), NUVResultNotImplemented);
  EXPECT_EQ(isA(u"value", u"Function"), NUVResultNotImplemented);
  EXPECT_EQ(isA(u"add", u"Object"), NUVResultTrue);

  std::vector<tVisit> visits = Enumerate(counter, NUVEnumerateNoValue);
  for (const tVisit& visit : visits)
    EXPECT_EQ(visit.Flags, visit.Name == u"describe" ? int64_t{NUVStaticMember} : 0) << std::string(
        visit.Name.begin(), visit.Name.end());
}

TEST_F(NativeClass, NewBuildsAnInstanceWithBoundCopiesOfTheMembers) {
  tHold<tCounterClass> counter(new tCounterClass());
  int32_t code = 0;
  tHold<iNUVDispatch2> instance(New(counter, {tNUVVariant(7)}, &code));
  ASSERT_EQ(code, NUVResultOk);
  ASSERT_NE(instance.get(), nullptr);
  EXPECT_EQ(LiveObjects().count(instance.get()), 1u) << "made by CreateBaseObject";
  EXPECT_EQ(static_cast<tNUVDispatch*>(instance.get())->GetRefCount(), 1) << "bound members do not count";

  EXPECT_EQ(instance->IsInstanceOf(0, nullptr, nullptr, u"Counter", instance), NUVResultTrue);
  EXPECT_EQ(instance->IsInstanceOf(0, nullptr, nullptr, u"Class", instance), NUVResultFalse);
  tNUVVariant name;
  EXPECT_EQ(instance->ClassInfo(0, 0, &name), NUVResultOk);
  EXPECT_EQ(Text(name), u"Counter");

  tCounterInstance* data = CounterOf(instance);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->Value, 7);
  EXPECT_EQ(data->ConstructArguments, 1);
  EXPECT_EQ(data->Owner, instance.get());

  // Non-static members are copied and bound; static ones stay on the class.
  EXPECT_EQ(MemberCount(instance), 6);
  tNUVVariant add = Get(instance, u"add", NUVIgnoreProperty);
  EXPECT_EQ(add.Object.Object, Get(counter, u"add", NUVIgnoreProperty).Object.Object);
  EXPECT_EQ(add.Object.ObjThis, instance.get());
  add.Clear();
  int32_t describeCode = 0;
  Get(instance, u"describe", NUVIgnoreProperty, &describeCode);
  EXPECT_EQ(describeCode, NUVResultMemberNotFound);
  tNUVVariant result;
  EXPECT_EQ(counter->CallMember(0, u"describe", nullptr, &result, 0, nullptr, counter), NUVResultOk);
  EXPECT_EQ(Text(result), u"counts");

  instance.Drop();
  EXPECT_EQ(FinalizeCalls, 1);
  EXPECT_EQ(InstanceLog(), (std::vector<std::string>{"invalidate", "destruct"}));
}

TEST_F(NativeClass, MethodsAndPropertiesRunOnTheInstance) {
  tHold<tCounterClass> counter(new tCounterClass());
  tHold<iNUVDispatch2> instance(New(counter, {tNUVVariant(7)}));
  ASSERT_NE(instance.get(), nullptr);
  tNUVVariant result;
  tArguments five{tNUVVariant(5)};
  EXPECT_EQ(instance->CallMember(0, u"add", nullptr, &result, five.Count(), five.Data(), instance), NUVResultOk);
  EXPECT_EQ(result.AsInteger(), 12);
  EXPECT_EQ(instance->CallMember(0, u"add", nullptr, nullptr, five.Count(), five.Data(), instance), NUVResultOk);
  EXPECT_EQ(instance->CallMember(0, u"add", nullptr, &result, 0, nullptr, instance), NUVResultBadParamCount);
  EXPECT_EQ(Get(instance, u"value").AsInteger(), 17);

  EXPECT_EQ(Put(instance, u"value", 1), NUVResultAccessDenied);
  EXPECT_EQ(Get(instance, u"value").AsInteger(), 17);
  EXPECT_EQ(Put(instance, u"limit", 50), NUVResultOk);
  EXPECT_EQ(Get(instance, u"limit").AsInteger(), 50);
  EXPECT_EQ(CounterOf(instance)->Limit, 50);
  EXPECT_EQ(Put(instance, u"secret", 3), NUVResultOk);
  EXPECT_EQ(CounterOf(instance)->Secret, 3);
  int32_t code = 0;
  Get(instance, u"secret", 0, &code);
  EXPECT_EQ(code, NUVResultAccessDenied);

  // A compound assignment goes through the property.
  tNUVVariant two(2);
  EXPECT_EQ(instance->ApplyOperation(NUVOpMultiply, u"limit", nullptr, &result, &two, instance), NUVResultOk);
  EXPECT_EQ(CounterOf(instance)->Limit, 100);
}

TEST_F(NativeClass, MethodsRefuseUnsuitableObjects) {
  tHold<tCounterClass> counter(new tCounterClass());
  tObjectHold plain(new tTestObject());
  tNUVVariant result;
  tArguments five{tNUVVariant(5)};

  tNUVVariant add = Get(counter, u"add", NUVIgnoreProperty);
  iNUVDispatch2* method = add.AsObjectNoError();
  EXPECT_EQ(method->CallMember(0, nullptr, nullptr, &result, five.Count(), five.Data(), nullptr),
            NUVResultNativeClassCrash);
  EXPECT_EQ(method->CallMember(0, nullptr, nullptr, &result, five.Count(), five.Data(), plain),
            NUVResultNativeClassCrash);
  EXPECT_EQ(method->CallMember(0, u"x", nullptr, &result, five.Count(), five.Data(), plain),
            NUVResultMemberNotFound);
  EXPECT_EQ(counter->CallMember(0, u"add", nullptr, &result, five.Count(), five.Data(), nullptr),
            NUVResultNativeClassCrash);
  EXPECT_EQ(counter->CallMember(0, u"add", nullptr, &result, five.Count(), five.Data(), counter),
            NUVResultNativeClassCrash);

  tNUVVariant limit = Get(counter, u"limit", NUVIgnoreProperty);
  iNUVDispatch2* property = limit.AsObjectNoError();
  tHold<iNUVDispatch2> instance(New(counter, {}));
  tNUVVariant value(1);
  EXPECT_EQ(property->GetMember(0, nullptr, nullptr, &result, nullptr), NUVResultNativeClassCrash);
  EXPECT_EQ(property->SetMember(0, nullptr, nullptr, &value, nullptr), NUVResultNativeClassCrash);
  EXPECT_EQ(property->GetMember(0, nullptr, nullptr, &result, plain), NUVResultNativeClassCrash);
  EXPECT_EQ(property->GetMember(0, nullptr, nullptr, nullptr, instance), NUVResultFailed);
  EXPECT_EQ(property->SetMember(0, nullptr, nullptr, nullptr, instance), NUVResultFailed);
  EXPECT_EQ(property->GetMember(0, u"x", nullptr, &result, instance), NUVResultMemberNotFound);
  EXPECT_EQ(property->SetMember(0, u"x", nullptr, &value, instance), NUVResultMemberNotFound);
  EXPECT_EQ(property->GetMember(0, nullptr, nullptr, &result, instance), NUVResultOk);
  EXPECT_EQ(result.AsInteger(), 100);
  EXPECT_EQ(counter->GetMember(0, u"limit", nullptr, &result, nullptr), NUVResultNativeClassCrash);
}

TEST_F(NativeClass, ClassWithoutConstructorStillMakesInstances) {
  tHold<tBareClass> bare(new tBareClass());
  int32_t code = 0;
  tHold<iNUVDispatch2> instance(New(bare, {tNUVVariant(1)}, &code));
  EXPECT_EQ(code, NUVResultOk);
  ASSERT_NE(instance.get(), nullptr);
  EXPECT_EQ(instance->IsInstanceOf(0, nullptr, nullptr, u"Bare", instance), NUVResultTrue);
  iNUVNativeInstance* data = reinterpret_cast<iNUVNativeInstance*>(1);
  EXPECT_EQ(instance->NativeInstanceSlot(2, bare->GetClassID(), &data), NUVResultOk);
  EXPECT_EQ(data, nullptr) << "the class has no native data, but its slot is taken";
  tNUVVariant result;
  EXPECT_EQ(instance->CallMember(0, u"hello", nullptr, &result, 0, nullptr, instance), NUVResultOk);
  EXPECT_EQ(Text(result), u"counts");
}

TEST_F(NativeClass, FailingConstructorReleasesTheNewObject) {
  tHold<tCounterClass> counter(new tCounterClass());
  size_t liveBefore = LiveObjects().size();
  int32_t code = 0;
  iNUVDispatch2* instance = New(counter, {tNUVVariant(-1)}, &code);
  EXPECT_EQ(code, NUVResultInvalidParam);
  EXPECT_EQ(instance, nullptr);
  EXPECT_EQ(FinalizeCalls, 1);
  EXPECT_EQ(InstanceLog(), (std::vector<std::string>{"invalidate", "destruct"}));
  EXPECT_EQ(LiveObjects().size(), liveBefore) << "neither the object nor its native data is left";
}

TEST_F(NativeClass, ConstructIntoAnExistingObject) {
  tHold<tCounterClass> counter(new tCounterClass());
  tObjectHold plain(new tTestObject());
  Put(plain, u"own", 1);
  EXPECT_EQ(counter->CallMember(0, nullptr, nullptr, nullptr, 0, nullptr, plain), NUVResultOk);
  EXPECT_EQ(plain->IsInstanceOf(0, nullptr, nullptr, u"Counter", plain), NUVResultTrue);
  ASSERT_NE(CounterOf(plain), nullptr);
  EXPECT_EQ(MemberCount(plain), 7);
  tNUVVariant result;
  tArguments five{tNUVVariant(5)};
  EXPECT_EQ(plain->CallMember(0, u"add", nullptr, &result, five.Count(), five.Data(), plain), NUVResultOk);
  EXPECT_EQ(result.AsInteger(), 5);
  EXPECT_EQ(plain->GetRefCount(), 1);

  EXPECT_EQ(counter->CallMember(0, nullptr, nullptr, nullptr, 0, nullptr, nullptr), NUVResultNativeClassCrash);

  // An invalidated class builds nothing.
  EXPECT_EQ(counter->Invalidate(0, nullptr, nullptr, counter), NUVResultTrue);
  EXPECT_EQ(FinalizeCalls, 0) << "class objects run no finalizer";
  EXPECT_EQ(counter->CallMember(0, nullptr, nullptr, nullptr, 0, nullptr, plain), NUVResultInvalidObject);
  int32_t code = 0;
  EXPECT_EQ(New(counter, {}, &code), nullptr);
  EXPECT_EQ(code, NUVResultInvalidObject);
  EXPECT_EQ(counter->IsInstanceOf(0, nullptr, nullptr, u"Class", counter), NUVResultInvalidObject);

  // The copies on plain keep the member objects alive.
  EXPECT_EQ(plain->CallMember(0, u"add", nullptr, &result, five.Count(), five.Data(), plain), NUVResultOk);
  EXPECT_EQ(result.AsInteger(), 10);
  plain.Drop();
  EXPECT_EQ(FinalizeCalls, 1);
}

TEST_F(NativeClass, NewThroughAMemberOfAnotherObject) {
  tObjectHold global(new tTestObject());
  {
    tHold<tCounterClass> counter(new tCounterClass());
    Put(global, u"Counter", tNUVVariant(counter.get()));
  }
  Put(global, u"number", 1);
  tArguments three{tNUVVariant(3)};
  iNUVDispatch2* created = nullptr;
  EXPECT_EQ(global->CreateInstance(0, u"Counter", nullptr, &created, three.Count(), three.Data(), global),
            NUVResultOk);
  tHold<iNUVDispatch2> instance(created);
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(CounterOf(created)->Value, 3);
  EXPECT_EQ(global->CreateInstance(0, u"number", nullptr, &created, 0, nullptr, global), NUVResultInvalidType);
  EXPECT_EQ(global->CreateInstance(0, u"absent", nullptr, &created, 0, nullptr, global), NUVResultMemberNotFound);
  EXPECT_EQ(global->CreateInstance(0, nullptr, nullptr, &created, 0, nullptr, global), NUVResultInvalidType);
}

// Plug-in classes: native data from a factory.
class tPluginInstance : public tNUVNativeInstance {
public:
  tPluginInstance() { Track(this); }
  ~tPluginInstance() override { Untrack(this); }
};
iNUVNativeInstance* MakePluginInstance() { return new tPluginInstance(); }

TEST_F(NativeClass, FifthNativeClassOnOneObjectIsRefused) {
  const char16_t* names[5] = {u"PlugOne", u"PlugTwo", u"PlugThree", u"PlugFour", u"PlugFive"};
  std::vector<tNUVNativeClassForPlugin*> classes;
  for (const char16_t* name : names) classes.push_back(new tTracked<tNUVNativeClassForPlugin>(name, MakePluginInstance));
  tObjectHold target(new tTestObject());
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(classes[i]->CallMember(0, nullptr, nullptr, nullptr, 0, nullptr, target), NUVResultOk);
  EXPECT_EQ(classes[4]->CallMember(0, nullptr, nullptr, nullptr, 0, nullptr, target), NUVResultFailed);
  size_t liveInstances = LiveObjects().size() - classes.size() - 1;
  EXPECT_EQ(liveInstances, 4u) << "the refused instance is not leaked";
  iNUVNativeInstance* data = nullptr;
  EXPECT_EQ(target->NativeInstanceSlot(2, classes[3]->GetClassID(), &data), NUVResultOk);
  EXPECT_NE(data, nullptr);
  EXPECT_EQ(target->NativeInstanceSlot(2, classes[4]->GetClassID(), &data), NUVResultFailed);
  for (auto* pluginClass : classes) pluginClass->Release();
}

TEST_F(NativeClass, NativeFunctionAnswers) {
  tHold<tScriptFunction> function(new tScriptFunction(nullptr));
  tNUVVariant result;
  EXPECT_EQ(function->CallMember(0, u"x", nullptr, &result, 0, nullptr, nullptr), NUVResultMemberNotFound);
  EXPECT_EQ(function->CallMember(0, nullptr, nullptr, &result, 0, nullptr, nullptr), NUVResultOk);
  EXPECT_EQ(function->Calls, 1);
  EXPECT_EQ(function->IsInstanceOf(0, nullptr, nullptr, u"Function", nullptr), NUVResultTrue);
  EXPECT_EQ(function->IsInstanceOf(0, nullptr, nullptr, u"Object", nullptr), NUVResultNotImplemented);
  EXPECT_EQ(function->IsInstanceOf(0, u"x", nullptr, u"Function", nullptr), NUVResultMemberNotFound);
}

// ---------------------------------------------------------------------------------
// The Exception class

class tTestExceptionClass : public tNUVNC_Exception {
public:
  tTestExceptionClass() { Track(this); }
  ~tTestExceptionClass() override { Untrack(this); }
  iNUVDispatch2* CreateBaseObject() override { return new tTestObject(3); }
};

using ExceptionClass = tNativeClassTest;

TEST_F(ExceptionClass, MessageAndTraceDefaultToEmptyStrings) {
  tHold<tTestExceptionClass> exceptionClass(new tTestExceptionClass());
  for (int variant = 0; variant < 2; ++variant) {
    int32_t code = 0;
    tHold<iNUVDispatch2> error(variant == 0 ? New(exceptionClass, {}, &code)
                                            : New(exceptionClass, {tNUVVariant(), tNUVVariant()}, &code));
    ASSERT_EQ(code, NUVResultOk);
    for (const char16_t* member : {u"message", u"trace"}) {
      tNUVVariant value = Get(error, member, 0, &code);
      EXPECT_EQ(code, NUVResultOk);
      EXPECT_EQ(value.vt, tvtString);
      EXPECT_EQ(Text(value), u"");
    }
    EXPECT_EQ(error->IsInstanceOf(0, nullptr, nullptr, u"Exception", error), NUVResultTrue);
  }
}

TEST_F(ExceptionClass, ArgumentsAreStored) {
  tHold<tTestExceptionClass> exceptionClass(new tTestExceptionClass());
  tHold<iNUVDispatch2> error(New(exceptionClass, {tNUVVariant(u"boom"), tNUVVariant(u"a <-- b")}));
  ASSERT_NE(error.get(), nullptr);
  EXPECT_EQ(Text(Get(error, u"message")), u"boom");
  EXPECT_EQ(Text(Get(error, u"trace")), u"a <-- b");
  tHold<iNUVDispatch2> partial(New(exceptionClass, {tNUVVariant(u"only")}));
  EXPECT_EQ(Text(Get(partial, u"message")), u"only");
  EXPECT_EQ(Get(partial, u"trace").vt, tvtString);
  tHold<iNUVDispatch2> numeric(New(exceptionClass, {tNUVVariant(5)}));
  EXPECT_EQ(Get(numeric, u"message").AsInteger(), 5) << "stored as given";
}

TEST_F(ExceptionClass, FinalizeExistsAndSucceeds) {
  tHold<tTestExceptionClass> exceptionClass(new tTestExceptionClass());
  tHold<iNUVDispatch2> error(New(exceptionClass, {tNUVVariant(u"boom")}));
  ASSERT_NE(error.get(), nullptr);
  tNUVVariant result(1);
  EXPECT_EQ(error->CallMember(0, u"finalize", nullptr, &result, 0, nullptr, error), NUVResultOk);
  EXPECT_TRUE(result.IsVoid());
  EXPECT_EQ(exceptionClass->IsInstanceOf(0, u"finalize", nullptr, u"Function", exceptionClass), NUVResultTrue);
  EXPECT_EQ(error->Invalidate(0, nullptr, nullptr, error), NUVResultTrue);
  EXPECT_EQ(exceptionClass->IsInstanceOf(0, nullptr, nullptr, u"Exception", exceptionClass), NUVResultTrue);
}

}  // namespace
}  // namespace NUV::ObjectsTest
