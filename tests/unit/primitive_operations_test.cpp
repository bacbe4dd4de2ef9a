// Members and methods of string and octet receivers, and the typeof names.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "engine/objects/array.h"
#include "engine/vm/primitive_operations.h"
#include "objects_test_support.h"

namespace NUV {
namespace {

using ObjectsTest::ExpectError;
using ObjectsTest::Text;

tNUVVariant Octet3() {
  static const uint8_t bytes[] = {7, 200, 255};
  return tNUVVariant(bytes, 3);
}

struct tCall {
  int32_t Code;
  tNUVVariant Value;
};

tCall CallMethod(const tNUVVariant& receiver, const char16_t* name, std::initializer_list<tNUVVariant> arguments = {}) {
  std::vector<tNUVVariant> values(arguments);
  std::vector<tNUVVariant*> pointers;
  for (tNUVVariant& value : values) pointers.push_back(&value);
  tCall call{0, tNUVVariant()};
  call.Code = NUVCallPrimitiveMethod(receiver, name, &call.Value, static_cast<int32_t>(pointers.size()),
                                     pointers.data());
  return call;
}

// The string a method answers (codes other than 0 fail the test).
std::u16string Method(const char16_t* receiver, const char16_t* name, std::initializer_list<tNUVVariant> arguments = {}) {
  tCall call = CallMethod(tNUVVariant(receiver), name, arguments);
  EXPECT_EQ(call.Code, NUVResultOk) << std::string(name, name + 1);
  EXPECT_EQ(call.Value.vt, tvtString);
  return Text(call.Value);
}

tNUVVariant Get(const tNUVVariant& receiver, const char16_t* name, int32_t expectedCode = NUVResultOk) {
  tNUVVariant value;
  EXPECT_EQ(NUVGetPrimitiveMember(receiver, name, &value), expectedCode);
  return value;
}

TEST(PrimitiveMemberTest, StringIndexAndLength) {
  tNUVVariant abc(u"abc");
  tNUVVariant value;
  EXPECT_EQ(NUVGetPrimitiveMemberByNum(abc, 1, &value), NUVResultOk);
  EXPECT_EQ(Text(value), u"b");
  EXPECT_EQ(NUVGetPrimitiveMemberByNum(abc, 3, &value), NUVResultOk);
  EXPECT_EQ(value.vt, tvtString);
  EXPECT_EQ(Text(value), u"");
  ExpectError([&] { NUVGetPrimitiveMemberByNum(abc, 4, &value); }, NUVRangeError);
  ExpectError([&] { NUVGetPrimitiveMemberByNum(abc, -1, &value); }, NUVRangeError);
  // A huge index must not wrap around into the string.
  ExpectError([&] { NUVGetPrimitiveMemberByNum(abc, (int64_t{1} << 32) + 1, &value); }, NUVRangeError);
  EXPECT_EQ(Get(abc, u"length").AsInteger(), 3);
  EXPECT_EQ(Text(Get(abc, u"1")), u"b");
  EXPECT_EQ(Text(Get(abc, u"2x")), u"c") << "digits up to the first non-digit";
  ExpectError([&] { Get(abc, u"4294967297"); }, NUVRangeError);
  EXPECT_EQ(Get(tNUVVariant(u""), u"length").AsInteger(), 0);
  EXPECT_EQ(Text(Get(tNUVVariant(u""), u"0")), u"");

  Get(abc, u"", NUVResultMemberNotFound);
  Get(abc, u"lengthy", NUVResultMemberNotFound);
  EXPECT_EQ(NUVGetPrimitiveMember(abc, nullptr, &value), NUVResultMemberNotFound);
  EXPECT_EQ(NUVGetPrimitiveMember(tNUVVariant(int64_t{1}), u"length", &value), NUVResultNotImplemented);
  EXPECT_EQ(NUVGetPrimitiveMember(abc, u"length", nullptr), NUVResultOk);
}

TEST(PrimitiveMemberTest, MemberFromRegisterValue) {
  tNUVVariant abc(u"abc");
  tNUVVariant value;
  EXPECT_EQ(NUVGetPrimitiveMemberByValue(abc, tNUVVariant(u"length"), &value), NUVResultOk);
  EXPECT_EQ(value.AsInteger(), 3);
  EXPECT_EQ(NUVGetPrimitiveMemberByValue(abc, tNUVVariant(2.9), &value), NUVResultOk);
  EXPECT_EQ(Text(value), u"c");
  EXPECT_EQ(NUVGetPrimitiveMemberByValue(abc, tNUVVariant(), &value), NUVResultMemberNotFound);
  // Member, receiver and result in one register (s = s[s]).
  tNUVVariant self(u"0");
  EXPECT_EQ(NUVGetPrimitiveMemberByValue(self, self, &self), NUVResultOk);
  EXPECT_EQ(Text(self), u"0");
}

TEST(PrimitiveMemberTest, OctetBytes) {
  tNUVVariant octet = Octet3();
  tNUVVariant value;
  EXPECT_EQ(NUVGetPrimitiveMemberByNum(octet, 2, &value), NUVResultOk);
  EXPECT_EQ(value.vt, tvtInteger);
  EXPECT_EQ(value.AsInteger(), 255);
  EXPECT_EQ(Get(octet, u"1").AsInteger(), 200);
  EXPECT_EQ(Get(octet, u"length").AsInteger(), 3);
  ExpectError([&] { NUVGetPrimitiveMemberByNum(octet, 3, &value); }, NUVRangeError);
  ExpectError([&] { NUVGetPrimitiveMemberByNum(octet, -1, &value); }, NUVRangeError);
  tNUVVariant empty(static_cast<const uint8_t*>(nullptr), 0);
  EXPECT_EQ(Get(empty, u"length").AsInteger(), 0);
  ExpectError([&] { Get(empty, u"0"); }, NUVRangeError);
  Get(octet, u"size", NUVResultMemberNotFound);
  EXPECT_EQ(CallMethod(octet, u"charAt", {int64_t{0}}).Code, NUVResultMemberNotFound);
}

TEST(PrimitiveMemberTest, SetIsRefused) {
  tNUVVariant abc(u"abc");
  EXPECT_EQ(NUVSetPrimitiveMemberByNum(abc, 0), NUVResultAccessDenied);
  EXPECT_EQ(NUVSetPrimitiveMember(abc, u"length"), NUVResultAccessDenied);
  EXPECT_EQ(NUVSetPrimitiveMember(abc, u"7z"), NUVResultAccessDenied);
  EXPECT_EQ(NUVSetPrimitiveMember(abc, u"name"), NUVResultMemberNotFound);
  EXPECT_EQ(NUVSetPrimitiveMemberByValue(Octet3(), tNUVVariant(1.0)), NUVResultAccessDenied);
  EXPECT_EQ(NUVSetPrimitiveMemberByValue(Octet3(), tNUVVariant(u"x")), NUVResultMemberNotFound);
  EXPECT_EQ(Text(abc), u"abc");
}

TEST(PrimitiveMemberTest, TypeOfNamesAndMembers) {
  EXPECT_EQ(Text(NUVTypeOfName(tNUVVariant())), u"void");
  EXPECT_EQ(Text(NUVTypeOfName(tNUVVariant(static_cast<iNUVDispatch2*>(nullptr)))), u"Object");
  EXPECT_EQ(Text(NUVTypeOfName(tNUVVariant(u"x"))), u"String");
  EXPECT_EQ(Text(NUVTypeOfName(Octet3())), u"Octet");
  EXPECT_EQ(Text(NUVTypeOfName(tNUVVariant(int64_t{1}))), u"Integer");
  EXPECT_EQ(Text(NUVTypeOfName(tNUVVariant(1.5))), u"Real");
  // Shared: every use answers the same body.
  EXPECT_EQ(NUVTypeOfName(tNUVVariant(1.5)).GetBody(), NUVTypeOfName(tNUVVariant(2.5)).GetBody());

  tNUVVariant value;
  EXPECT_EQ(NUVTypeOfPrimitiveMember(tNUVVariant(u"abc"), u"length", &value), NUVResultOk);
  EXPECT_EQ(Text(value), u"Integer");
  EXPECT_EQ(NUVTypeOfPrimitiveMemberByValue(tNUVVariant(u"abc"), tNUVVariant(int64_t{0}), &value), NUVResultOk);
  EXPECT_EQ(Text(value), u"String");
  EXPECT_EQ(NUVTypeOfPrimitiveMember(tNUVVariant(u"abc"), u"nothing", &value), NUVResultOk);
  EXPECT_EQ(Text(value), u"undefined");
  ExpectError([&] { NUVTypeOfPrimitiveMember(Octet3(), u"3", &value); }, NUVRangeError);

  // Released names are made again on the next use; values holding them stay valid.
  NUVReleaseTypeOfNames();
  EXPECT_EQ(Text(value), u"undefined");
  EXPECT_EQ(Text(NUVTypeOfName(tNUVVariant())), u"void");
  NUVReleaseTypeOfNames();
}

// String methods ----------------------------------------------------------------------

TEST(StringMethodTest, CharAtIndexOfSubstring) {
  EXPECT_EQ(Method(u"abc", u"charAt", {int64_t{1}}), u"b");
  EXPECT_EQ(Method(u"abc", u"charAt", {int64_t{5}}), u"");
  EXPECT_EQ(Method(u"abc", u"charAt", {int64_t{-1}}), u"");
  EXPECT_EQ(Method(u"", u"charAt", {int64_t{0}}), u"");
  EXPECT_EQ(CallMethod(tNUVVariant(u"abc"), u"charAt").Code, NUVResultBadParamCount);

  auto indexOf = [](const char16_t* text, std::initializer_list<tNUVVariant> arguments) {
    tCall call = CallMethod(tNUVVariant(text), u"indexOf", arguments);
    EXPECT_EQ(call.Code, NUVResultOk);
    return call.Value.AsInteger();
  };
  EXPECT_EQ(indexOf(u"abcabc", {u"c", int64_t{3}}), 5);
  EXPECT_EQ(indexOf(u"abcabc", {u""}), -1);
  EXPECT_EQ(indexOf(u"", {u"a"}), -1);
  EXPECT_EQ(indexOf(u"abc", {u"a", int64_t{3}}), -1);
  EXPECT_EQ(indexOf(u"abc", {u"x"}), -1);
  EXPECT_EQ(indexOf(u"abc", {u"a", int64_t{-5}}), 0) << "a negative start searches from 0";
  EXPECT_EQ(CallMethod(tNUVVariant(u"abc"), u"indexOf", {u"a", int64_t{0}, int64_t{0}}).Code, NUVResultBadParamCount);

  EXPECT_EQ(Method(u"abcdef", u"substring", {int64_t{2}, int64_t{10}}), u"cdef");
  EXPECT_EQ(Method(u"abcdef", u"substr", {int64_t{4}}), u"ef");
  EXPECT_EQ(Method(u"abcdef", u"substr", {int64_t{-1}}), u"");
  EXPECT_EQ(Method(u"abcdef", u"substr", {int64_t{6}}), u"");
  EXPECT_EQ(Method(u"abcdef", u"substr", {int64_t{1}, int64_t{-2}}), u"");
  EXPECT_EQ(CallMethod(tNUVVariant(u"abc"), u"substring").Code, NUVResultBadParamCount);
}

TEST(StringMethodTest, CaseReverseRepeatEscape) {
  EXPECT_EQ(Method(u"aZ\u00e9\u00c9-z", u"toUpperCase"), u"AZ\u00e9\u00c9-Z");
  EXPECT_EQ(Method(u"aZ\u00e9\u00c9-z", u"toLowerCase"), u"az\u00e9\u00c9-z");
  EXPECT_EQ(CallMethod(tNUVVariant(u"a"), u"toUpperCase", {int64_t{1}}).Code, NUVResultBadParamCount);

  EXPECT_EQ(Method(u"abc", u"reverse"), u"cba");
  // A surrogate pair stays one character.
  EXPECT_EQ(Method(u"a\U0001F600b", u"reverse"), u"b\U0001F600a");

  EXPECT_EQ(Method(u"ab", u"repeat", {int64_t{3}}), u"ababab");
  EXPECT_EQ(Method(u"ab", u"repeat", {int64_t{0}}), u"");
  EXPECT_EQ(Method(u"", u"repeat", {int64_t{5}}), u"");
  ExpectError([] { CallMethod(tNUVVariant(u"ab"), u"repeat", {INT64_MAX / 3}); }, NUVStringAllocError);
  EXPECT_EQ(CallMethod(tNUVVariant(u"ab"), u"repeat").Code, NUVResultBadParamCount);

  EXPECT_EQ(Method(u"a\tb", u"escape", {int64_t{1}, int64_t{2}}), u"a\\tb") << "arguments are ignored";
}

TEST(StringMethodTest, SprintfUsesTemplate) {
  EXPECT_EQ(Method(u"%d-%s", u"sprintf", {int64_t{42}, u"x"}), u"42-x");
  ExpectError([] { CallMethod(tNUVVariant(u"%"), u"sprintf", {int64_t{1}}); }, NUVInvalidFormatString);
}

TEST(StringMethodTest, UnknownNamesAndResultless) {
  tNUVVariant abc(u"abc");
  EXPECT_EQ(CallMethod(abc, u"length").Code, NUVResultMemberNotFound);
  EXPECT_EQ(CallMethod(abc, u"sub").Code, NUVResultMemberNotFound);
  EXPECT_EQ(CallMethod(abc, u"substrings", {int64_t{0}}).Code, NUVResultMemberNotFound);
  EXPECT_EQ(CallMethod(abc, u"").Code, NUVResultMemberNotFound);
  EXPECT_EQ(NUVCallPrimitiveMethod(abc, u"reverse", nullptr, 0, nullptr), NUVResultOk);
  // Receiver and result in one register.
  tNUVVariant self(u"abcdef");
  tNUVVariant start(int64_t{3});
  tNUVVariant* arguments[] = {&start};
  EXPECT_EQ(NUVCallPrimitiveMethod(self, u"substr", &self, 1, arguments), NUVResultOk);
  EXPECT_EQ(Text(self), u"def");
}

// replace and split hand the work to objects ------------------------------------------------

class StringObjectMethodTest : public ObjectsTest::tObjectTest {
protected:
  void TearDown() override {
    NUVReleaseSharedArrayClass();
    tObjectTest::TearDown();
  }
};

TEST_F(StringObjectMethodTest, ReplaceCallsThePatternsMember) {
  ObjectsTest::tObjectHold pattern(new ObjectsTest::tTestObject());
  iNUVDispatch2* seenThis = nullptr;
  ObjectsTest::tFunctionHold replace(new ObjectsTest::tScriptFunction(
      [&](tNUVVariant* result, int32_t count, tNUVVariant** arguments, iNUVDispatch2* objThis) {
        seenThis = objThis;
        EXPECT_EQ(count, 2);
        if (result) *result = Text(*arguments[0]) == u"abc" ? arguments[1]->AsString() + u"!" : tNUVString();
        return NUVResultOk;
      }));
  ObjectsTest::Put(pattern.get(), u"replace", tNUVVariant(replace.get(), nullptr));

  tCall call = CallMethod(tNUVVariant(u"abc"), u"replace", {tNUVVariant(pattern.get(), nullptr), u"x", u"extra"});
  EXPECT_EQ(call.Code, NUVResultOk);
  EXPECT_EQ(Text(call.Value), u"x!");
  EXPECT_EQ(seenThis, pattern.get());

  EXPECT_EQ(CallMethod(tNUVVariant(u"abc"), u"replace", {tNUVVariant(pattern.get(), nullptr)}).Code,
            NUVResultBadParamCount);
  EXPECT_THROW(CallMethod(tNUVVariant(u"abc"), u"replace", {u"b", u"x"}), eNUVVariantError);
  ExpectError([] { CallMethod(tNUVVariant(u"abc"), u"replace", {tNUVVariant(static_cast<iNUVDispatch2*>(nullptr)), u"x"}); },
              NUVNullAccess);
  ObjectsTest::tObjectHold plain(new ObjectsTest::tTestObject());
  EXPECT_EQ(CallMethod(tNUVVariant(u"abc"), u"replace", {tNUVVariant(plain.get(), nullptr), u"x"}).Code,
            NUVResultMemberNotFound);
}

std::vector<std::u16string> Elements(const tNUVVariant& value) {
  std::vector<std::u16string> elements;
  tNUVArrayNI* array = NUVFindArray(value.AsObjectNoError());
  EXPECT_NE(array, nullptr);
  if (!array) return elements;
  EXPECT_EQ(value.Object.ObjThis, value.Object.Object) << "the array is bound to itself";
  for (int32_t i = 0; i < array->GetCount(); ++i) elements.push_back(Text(array->At(i)));
  return elements;
}

TEST_F(StringObjectMethodTest, SplitMakesAnArray) {
  using tList = std::vector<std::u16string>;
  EXPECT_EQ(Elements(CallMethod(tNUVVariant(u"a,b;c"), u"split", {u",;"}).Value), (tList{u"a", u"b", u"c"}));
  EXPECT_EQ(Elements(CallMethod(tNUVVariant(u"a,,b"), u"split", {u","}).Value), (tList{u"a", u"", u"b"}));
  EXPECT_EQ(Elements(CallMethod(tNUVVariant(u"a,,b"), u"split", {u",", tNUVVariant(), int64_t{1}}).Value),
            (tList{u"a", u"b"}))
      << "the further arguments reach Array's split";
  EXPECT_EQ(CallMethod(tNUVVariant(u"abc"), u"split").Code, NUVResultBadParamCount);
  EXPECT_EQ(NUVCallPrimitiveMethod(tNUVVariant(u"a,b"), u"split", nullptr, 0, nullptr), NUVResultBadParamCount);

  // A RegExp separator is split by the hook the RegExp class installs.
  static iNUVDispatch2* expected;
  ObjectsTest::tObjectHold regExp(new ObjectsTest::tTestObject());
  expected = regExp.get();
  tNUVRegExpSplitter old = NUVSetRegExpSplitter([](iNUVDispatch2* delimiter, const tNUVString& text, bool,
                                                   tNUVArrayNI& target) {
    if (delimiter != expected) return false;
    target.Add(text + u"|hooked");
    return true;
  });
  tCall call = CallMethod(tNUVVariant(u"abc"), u"split", {tNUVVariant(regExp.get(), nullptr)});
  NUVSetRegExpSplitter(old);
  EXPECT_EQ(call.Code, NUVResultOk);
  EXPECT_EQ(Elements(call.Value), (tList{u"abc|hooked"}));
}

}  // namespace
}  // namespace NUV
