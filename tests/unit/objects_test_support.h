#pragma once
// Helpers shared by the object tests: a registry of live test objects (each test
// checks that every object it made was destroyed exactly once), counted variants
// of the engine's object classes, a script-like function and property whose
// behaviour a test supplies, and small call helpers.

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/objects/custom_object.h"
#include "engine/objects/native_class.h"
#include "engine/services/error_report.h"
#include "engine/services/errors.h"

namespace NUV::ObjectsTest {

// Every tracked object registers here while it lives.
inline std::set<const void*>& LiveObjects() {
  static std::set<const void*> live;
  return live;
}
inline int32_t& DoubleDestructions() {
  static int32_t count = 0;
  return count;
}
inline void Track(const void* object) { LiveObjects().insert(object); }
inline void Untrack(const void* object) {
  if (LiveObjects().erase(object) != 1) ++DoubleDestructions();
}

// A tracked engine class: the same object, registered while it lives.
template <typename tBase>
class tTracked : public tBase {
public:
  template <typename... tArguments>
  explicit tTracked(tArguments&&... arguments) : tBase(std::forward<tArguments>(arguments)...) {
    Track(this);
  }
  ~tTracked() override { Untrack(this); }
};

using tTestObject = tTracked<tNUVCustomObject>;

// A script-like function: Body runs on every call (null Body answers 0).
using tFunctionBody = std::function<int32_t(tNUVVariant* result, int32_t argumentCount, tNUVVariant** arguments,
                                            iNUVDispatch2* objThis)>;
class tScriptFunction : public tNUVNativeFunction {
public:
  explicit tScriptFunction(tFunctionBody body) : Body(std::move(body)) { Track(this); }
  ~tScriptFunction() override { Untrack(this); }
  int32_t Process(tNUVVariant* result, int32_t argumentCount, tNUVVariant** arguments,
                  iNUVDispatch2* objThis) override {
    ++Calls;
    return Body ? Body(result, argumentCount, arguments, objThis) : NUVResultOk;
  }
  int32_t Calls = 0;

private:
  tFunctionBody Body;
};

// A property object holding one value; the codes its get and set answer can be
// forced to test the callers' fallbacks.
class tTestProperty : public tNUVDispatch {
public:
  explicit tTestProperty(const tNUVVariant& value = tNUVVariant()) : Value(value) { Track(this); }
  ~tTestProperty() override { Untrack(this); }
  int32_t GetMember(uint32_t, const char16_t* memberName, uint32_t*, tNUVVariant* result,
                    iNUVDispatch2* objThis) override {
    if (memberName) return NUVResultMemberNotFound;
    ++Gets;
    LastThis = objThis;
    if (GetCode != NUVResultOk) return GetCode;
    if (!result) return NUVResultInvalidParam;
    *result = Value;
    return NUVResultOk;
  }
  int32_t CallMember(uint32_t, const char16_t* memberName, uint32_t*, tNUVVariant*, int32_t, tNUVVariant**,
                     iNUVDispatch2*) override {
    return memberName ? NUVResultMemberNotFound : CallCode;
  }
  int32_t SetMember(uint32_t, const char16_t* memberName, uint32_t*, const tNUVVariant* value,
                    iNUVDispatch2* objThis) override {
    if (memberName) return NUVResultMemberNotFound;
    ++Sets;
    LastThis = objThis;
    if (SetCode != NUVResultOk) return SetCode;
    if (!value) return NUVResultInvalidParam;
    Value = *value;
    return NUVResultOk;
  }
  tNUVVariant Value;
  int32_t GetCode = NUVResultOk;
  int32_t SetCode = NUVResultOk;
  int32_t CallCode = NUVResultNotImplemented;   // what a call of the property itself answers
  int32_t Gets = 0;
  int32_t Sets = 0;
  iNUVDispatch2* LastThis = nullptr;
};

// Owns one reference for a test scope; Drop releases it early.
template <typename tObject>
class tHold {
public:
  explicit tHold(tObject* object) : Object(object) {}
  ~tHold() {
    NUVReleaseNoThrow(Object);
    Object = nullptr;
  }
  tHold(const tHold&) = delete;
  tHold& operator=(const tHold&) = delete;
  tObject* operator->() const { return Object; }
  tObject* get() const { return Object; }
  operator tObject*() const { return Object; }
  int32_t Drop() {
    tObject* object = Object;
    Object = nullptr;
    return object ? object->Release() : -1;
  }

private:
  tObject* Object;
};

using tObjectHold = tHold<tTestObject>;
using tFunctionHold = tHold<tScriptFunction>;

// An argument list for the interface's (count, array of pointers) convention.
class tArguments {
public:
  tArguments() = default;
  tArguments(std::initializer_list<tNUVVariant> values) : Values(values) {
    for (tNUVVariant& value : Values) Pointers.push_back(&value);
  }
  tArguments(const tArguments&) = delete;   // Pointers point into Values
  tArguments& operator=(const tArguments&) = delete;
  int32_t Count() const { return static_cast<int32_t>(Values.size()); }
  tNUVVariant** Data() { return Pointers.empty() ? nullptr : Pointers.data(); }

private:
  std::vector<tNUVVariant> Values;
  std::vector<tNUVVariant*> Pointers;
};

inline std::u16string Text(const tNUVString& string) { return std::u16string(string.c_str()); }
inline std::u16string Text(const tNUVVariant& value) { return Text(value.AsString()); }

// Stores value under name (creating the member).
inline int32_t Put(iNUVDispatch2* object, const char16_t* name, const tNUVVariant& value, uint32_t flags = 0) {
  return object->SetMember(flags | NUVMemberEnsure, name, nullptr, &value, object);
}

// The member's value (void on failure) and the code.
inline tNUVVariant Get(iNUVDispatch2* object, const char16_t* name, uint32_t flags = 0, int32_t* code = nullptr) {
  tNUVVariant value;
  int32_t answer = object->GetMember(flags, name, nullptr, &value, object);
  if (code) *code = answer;
  return value;
}

inline int32_t MemberCount(iNUVDispatch2* object) {
  int32_t count = -1;
  int32_t code = object->GetMemberCount(&count, nullptr, nullptr, object);
  return NUVSucceeded(code) ? count : code;
}

// One visit of an enumeration callback.
struct tVisit {
  std::u16string Name;
  int64_t Flags;
  int32_t ArgumentCount;
  tNUVVariant Value;
};

// Enumerates object and records the visits; the callback answers 1 (go on).
inline std::vector<tVisit> Enumerate(iNUVDispatch2* object, uint32_t flags = 0) {
  std::vector<tVisit> visits;
  tHold<tScriptFunction> callback(new tScriptFunction(
      [&](tNUVVariant* result, int32_t count, tNUVVariant** arguments, iNUVDispatch2*) {
        visits.push_back({Text(*arguments[0]), arguments[1]->AsInteger(), count,
                          count > 2 ? *arguments[2] : tNUVVariant()});
        if (result) *result = int64_t{1};
        return NUVResultOk;
      }));
  tNUVVariantClosure closure(callback.get(), nullptr);
  EXPECT_EQ(object->EnumerateMembers(flags, &closure, object), NUVResultOk);
  return visits;
}

inline std::vector<std::u16string> MemberNames(iNUVDispatch2* object) {
  std::vector<std::u16string> names;
  for (const tVisit& visit : Enumerate(object, NUVEnumerateNoValue)) names.push_back(visit.Name);
  return names;
}

// Runs action and checks that it raises eNUVError with the message's text.
template <typename tAction>
void ExpectError(tAction action, const tNUVMessageHolder& message) {
  try {
    action();
    ADD_FAILURE() << "no error raised";
  } catch (const eNUVError& error) {
    EXPECT_EQ(Text(error.GetMessage()), std::u16string(message.Text()));
  }
}

// Checks at the end of every test that each tracked object was destroyed once.
class tObjectTest : public ::testing::Test {
protected:
  void SetUp() override {
    LiveObjects().clear();
    DoubleDestructions() = 0;
  }
  void TearDown() override {
    EXPECT_EQ(LiveObjects().size(), 0u) << "objects left alive";
    EXPECT_EQ(DoubleDestructions(), 0) << "objects destroyed more than once";
    LiveObjects().clear();
  }
};

}  // namespace NUV::ObjectsTest
