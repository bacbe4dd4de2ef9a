// The Array class: element access through the object interface (indexes, numeric
// names, growth), the methods, the seven sort orders and the sort's robustness
// against hostile orderings, the reference rules for elements, and the exact text
// formats of load, save and saveStruct.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "engine/objects/array.h"
#include "engine/objects/dictionary.h"
#include "engine/services/errors.h"
#include "test_text_streams.h"

namespace NUV {
namespace {

using TestStreams::Text;

int32_t RefCountOf(iNUVDispatch2* object) { return static_cast<tNUVDispatch*>(object)->GetRefCount(); }

// A comparison or callback function made of a lambda.
class tLambdaFunction : public tNUVNativeFunction {
public:
  using tBody = std::function<int32_t(tNUVVariant* result, int32_t count, tNUVVariant** arguments)>;
  explicit tLambdaFunction(tBody body) : Body(std::move(body)) {}
  int32_t Process(tNUVVariant* result, int32_t count, tNUVVariant** arguments, iNUVDispatch2*) override {
    return Body(result, count, arguments);
  }

private:
  tBody Body;
};

struct tCallResult {
  int32_t Code;
  tNUVVariant Value;
};

tCallResult Call(iNUVDispatch2* object, const char16_t* name, std::initializer_list<tNUVVariant> arguments = {},
                 iNUVDispatch2* objThis = nullptr) {
  std::vector<tNUVVariant> values(arguments);
  std::vector<tNUVVariant*> pointers;
  for (tNUVVariant& value : values) pointers.push_back(&value);
  tCallResult result{0, tNUVVariant()};
  result.Code = object->CallMember(0, name, nullptr, &result.Value, static_cast<int32_t>(pointers.size()),
                                   pointers.data(), objThis ? objThis : object);
  return result;
}

// The message of the engine error that action raises ("" when none).
std::u16string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const eNUV& error) {
    return Text(error.GetMessage());
  }
  return u"";
}

std::u16string Message(const tNUVMessageHolder& holder) { return holder.Text(); }

std::string Narrow(const char16_t* text) { return tNUVString(text).AsStdString(); }

class ArrayTest : public ::testing::Test {
protected:
  void TearDown() override {
    for (iNUVDispatch2* object : Owned) object->Release();
    Owned.clear();
    NUVReleaseSharedArrayClass();
    NUVReleaseSharedDictionaryClass();
  }

  // A new array released by the fixture.
  iNUVDispatch2* NewArray(std::initializer_list<tNUVVariant> elements = {}) {
    iNUVDispatch2* array = CreateArrayObject();
    Owned.push_back(array);
    for (const tNUVVariant& element : elements) Elements(array).Add(element);
    return array;
  }
  iNUVDispatch2* NewDictionary() {
    iNUVDispatch2* dictionary = CreateDictionaryObject();
    Owned.push_back(dictionary);
    return dictionary;
  }
  static tNUVArrayNI& Elements(iNUVDispatch2* array) { return *NUVFindArray(array); }
  static int32_t CountOf(iNUVDispatch2* array) { return Elements(array).GetCount(); }

  // The elements in their readable texts, for compact comparisons.
  static std::vector<std::u16string> Readable(iNUVDispatch2* array) {
    std::vector<std::u16string> texts;
    tNUVArrayNI& elements = Elements(array);
    for (int32_t i = 0; i < elements.GetCount(); ++i) texts.push_back(Text(elements.At(i).ReadableText(100)));
    return texts;
  }
  static std::u16string Joined(iNUVDispatch2* array) {
    std::u16string text;
    for (const std::u16string& element : Readable(array)) text += (text.empty() ? u"" : u" ") + element;
    return text;
  }

  std::vector<iNUVDispatch2*> Owned;
};

tNUVVariant Str(const char16_t* text) { return tNUVVariant(text); }
tNUVVariant Int(int64_t value) { return tNUVVariant(value); }
tNUVVariant Real(double value) { return tNUVVariant(value); }

// Element access through the object interface -------------------------------------------

TEST_F(ArrayTest, NegativeAndOutOfRangeReads) {
  iNUVDispatch2* array = NewArray({Int(10), Int(20), Int(30)});
  tNUVVariant value;
  ASSERT_EQ(array->GetMemberByNum(0, -1, &value, array), NUVResultOk);
  EXPECT_EQ(value.AsInteger(), 30);
  ASSERT_EQ(array->GetMemberByNum(0, -3, &value, array), NUVResultOk);
  EXPECT_EQ(value.AsInteger(), 10);

  value = Int(1);
  EXPECT_EQ(array->GetMemberByNum(0, 10, &value, array), NUVResultOk);
  EXPECT_TRUE(value.IsVoid());
  value = Int(1);
  EXPECT_EQ(array->GetMemberByNum(0, -4, &value, array), NUVResultOk);
  EXPECT_TRUE(value.IsVoid());
  EXPECT_EQ(array->GetMemberByNum(NUVMemberMustExist, 10, &value, array), NUVResultMemberNotFound);
  EXPECT_EQ(array->GetMemberByNum(NUVMemberMustExist, -4, &value, array), NUVResultMemberNotFound);
  EXPECT_EQ(array->GetMemberByNum(NUVMemberMustExist, 3, &value, array), NUVResultMemberNotFound);
  EXPECT_EQ(array->GetMemberByNum(NUVMemberMustExist, 2, &value, array), NUVResultOk);
  EXPECT_EQ(CountOf(array), 3) << "reads never grow the array";

  EXPECT_EQ(array->IsValidByNum(NUVMemberMustExist, 7, array), NUVResultMemberNotFound);
  EXPECT_EQ(array->IsValidByNum(0, 7, array), NUVResultTrue);
  EXPECT_EQ(array->IsInstanceOfByNum(0, -1, u"Number", array), NUVResultTrue);
  EXPECT_EQ(array->IsInstanceOfByNum(0, 5, u"Object", array), NUVResultFalse);
  EXPECT_EQ(array->CallMemberByNum(0, 0, nullptr, 0, nullptr, array), NUVResultInvalidType);
  EXPECT_EQ(array->InvalidateByNum(NUVMemberMustExist, 9, array), NUVResultMemberNotFound);
}

TEST_F(ArrayTest, WritesGrowTheArrayUnlessTheElementMustExist) {
  iNUVDispatch2* array = NewArray();
  tNUVVariant seven = Int(7);
  ASSERT_EQ(array->SetMemberByNum(0, 5, &seven, array), NUVResultOk);
  EXPECT_EQ(Joined(array), u"(void) (void) (void) (void) (void) (int)7");

  EXPECT_EQ(array->SetMemberByNum(NUVMemberMustExist, 6, &seven, array), NUVResultMemberNotFound);
  EXPECT_EQ(array->SetMemberByNum(0, -7, &seven, array), NUVResultMemberNotFound);
  EXPECT_EQ(CountOf(array), 6);

  tNUVVariant eight = Int(8);
  ASSERT_EQ(array->SetMemberByNum(NUVMemberMustExist, -6, &eight, array), NUVResultOk);
  EXPECT_EQ(Elements(array).At(0).AsInteger(), 8);

  tNUVVariant result;
  ASSERT_EQ(array->ApplyOperationByNum(NUVOpIncrement, 8, &result, nullptr, array), NUVResultOk);
  EXPECT_EQ(CountOf(array), 9);
  EXPECT_EQ(Elements(array).At(8).AsInteger(), 1) << "an increment of a new element starts from void";
  EXPECT_EQ(result.AsInteger(), 1);
  tNUVVariant five = Int(5);
  ASSERT_EQ(array->ApplyOperationByNum(NUVOpAdd, -1, &result, &five, array), NUVResultOk);
  EXPECT_EQ(Elements(array).At(8).AsInteger(), 6);
  EXPECT_EQ(array->ApplyOperationByNum(NUVOpAdd | NUVMemberMustExist, 9, &result, &five, array),
            NUVResultMemberNotFound);
  EXPECT_EQ(array->ApplyOperationByNum(NUVOpAdd, 20, &result, nullptr, array), NUVResultInvalidParam);
  EXPECT_EQ(CountOf(array), 9) << "a rejected operation does not grow the array";

  tNUVVariant octet(reinterpret_cast<const uint8_t*>("x"), 1);
  EXPECT_THROW(array->ApplyOperationByNum(NUVOpMultiply, 0, &result, &octet, array), eNUVVariantError);
  EXPECT_EQ(Elements(array).At(0).AsInteger(), 8) << "a failed operation leaves the element as it was";

  EXPECT_EQ(array->DeleteMemberByNum(0, 1, array), NUVResultOk);
  EXPECT_EQ(CountOf(array), 8);
  EXPECT_EQ(array->DeleteMemberByNum(0, 8, array), NUVResultMemberNotFound);
  EXPECT_EQ(array->DeleteMemberByNum(0, -1, array), NUVResultOk);
  EXPECT_EQ(Joined(array), u"(int)8 (void) (void) (void) (int)7 (void) (void)");
}

TEST_F(ArrayTest, NumericMemberNamesAddressElements) {
  iNUVDispatch2* array = NewArray({Str(u"a"), Str(u"b"), Str(u"c")});
  tNUVVariant value;
  for (const char16_t* name : {u"2", u"  2", u"2 ", u"\t2\r\n", u"\v\f2", u"-1", u"- 1", u" -\t1 ", u"002"}) {
    value.Clear();
    ASSERT_EQ(array->GetMember(0, name, nullptr, &value, array), NUVResultOk) << Narrow(name);
    EXPECT_EQ(Text(value.AsString()), u"c") << Narrow(name);
  }
  // Not numeric: ordinary members that do not exist.
  for (const char16_t* name : {u"2x", u"x2", u"", u"-", u" ", u"+2", u"2-", u"1 2", u"--1", u"\x00A0" u"2"})
    EXPECT_EQ(array->GetMember(0, name, nullptr, &value, array), NUVResultMemberNotFound) << Narrow(name);

  tNUVVariant text = Str(u"named");
  ASSERT_EQ(array->SetMember(NUVMemberEnsure, u"2x", nullptr, &text, array), NUVResultOk);
  EXPECT_EQ(CountOf(array), 3);
  ASSERT_EQ(array->SetMember(0, u" 4 ", nullptr, &text, array), NUVResultOk);
  EXPECT_EQ(CountOf(array), 5);
  tNUVString name(u"0");
  ASSERT_EQ(array->SetMemberByBody(0, name.GetBody(), &text, array), NUVResultOk);
  EXPECT_EQ(Text(Elements(array).At(0).AsString()), u"named");
  EXPECT_EQ(array->DeleteMember(0, u" 1", nullptr, array), NUVResultOk);
  EXPECT_EQ(Joined(array), u"(string)\"named\" (string)\"c\" (void) (string)\"named\"");
  ASSERT_EQ(array->ApplyOperation(NUVOpIncrement, u"2", nullptr, &value, nullptr, array), NUVResultOk);
  EXPECT_EQ(Elements(array).At(2).AsInteger(), 1);

  // The wrapping decimal reading: 4294967295 is -1.
  ASSERT_EQ(array->GetMember(0, u"4294967295", nullptr, &value, array), NUVResultOk);
  EXPECT_EQ(Text(value.AsString()), u"named");

  int32_t count = -1;
  ASSERT_EQ(array->GetMemberCount(&count, nullptr, nullptr, array), NUVResultOk);
  EXPECT_GT(count, 0);
  tNUVVariant before;
  ASSERT_EQ(array->GetMember(0, u"2x", nullptr, &before, array), NUVResultOk);
  EXPECT_EQ(Text(before.AsString()), u"named");
  tNUVVariantClosure none;
  EXPECT_EQ(array->EnumerateMembers(0, &none, array), NUVResultNotImplemented);
}

TEST_F(ArrayTest, IndexParserReadsExactlyTheNumericForm) {
  int32_t index = 0;
  EXPECT_TRUE(NUVParseElementIndex(u" - 12 ", index));
  EXPECT_EQ(index, -12);
  EXPECT_TRUE(NUVParseElementIndex(u"2147483648", index));
  EXPECT_EQ(index, INT32_MIN);
  EXPECT_FALSE(NUVParseElementIndex(nullptr, index));
  EXPECT_FALSE(NUVParseElementIndex(u"1e3", index));
  EXPECT_FALSE(NUVParseElementIndex(u"0x1", index));
}

TEST_F(ArrayTest, PropertyElementsAreUsedThroughTheirValue) {
  iNUVDispatch2* array = NewArray();
  // An element holding an object that is not a property is set plainly.
  iNUVDispatch2* inner = NewArray();
  tNUVVariant innerValue(inner, inner);
  ASSERT_EQ(array->SetMemberByNum(0, 0, &innerValue, array), NUVResultOk);
  tNUVVariant replaced = Int(3);
  ASSERT_EQ(array->SetMemberByNum(0, 0, &replaced, array), NUVResultOk);
  EXPECT_EQ(Elements(array).At(0).AsInteger(), 3);

  // A callable element is called with the caller's arguments.
  int calls = 0;
  auto* function = new tLambdaFunction([&](tNUVVariant* result, int32_t count, tNUVVariant** arguments) {
    ++calls;
    if (result) *result = Int(count > 0 ? arguments[0]->AsInteger() * 2 : -1);
    return NUVResultOk;
  });
  tNUVVariant functionValue(function, nullptr);
  function->Release();
  Elements(array).Add(functionValue);
  tNUVVariant argument = Int(21);
  tNUVVariant* arguments[1] = {&argument};
  tNUVVariant result;
  ASSERT_EQ(array->CallMember(0, u"1", nullptr, &result, 1, arguments, array), NUVResultOk);
  EXPECT_EQ(result.AsInteger(), 42);
  EXPECT_EQ(array->IsInstanceOfByNum(0, 1, u"Function", array), NUVResultTrue);
  EXPECT_EQ(calls, 1);
}

TEST_F(ArrayTest, InvalidatedArrayAnswersInvalidObject) {
  iNUVDispatch2* array = NewArray({Int(1), Int(2)});
  ASSERT_EQ(array->Invalidate(0, nullptr, nullptr, array), NUVResultTrue);
  tNUVVariant value = Int(1);
  EXPECT_EQ(array->GetMemberByNum(0, 0, &value, array), NUVResultInvalidObject);
  EXPECT_EQ(array->SetMemberByNum(0, 0, &value, array), NUVResultInvalidObject);
  EXPECT_EQ(array->GetMember(0, u"0", nullptr, &value, array), NUVResultInvalidObject);
  EXPECT_EQ(array->DeleteMemberByNum(0, 0, array), NUVResultInvalidObject);
  EXPECT_EQ(array->ApplyOperationByNum(NUVOpIncrement, 0, &value, nullptr, array), NUVResultInvalidObject);
  EXPECT_EQ(array->IsValid(0, nullptr, nullptr, array), NUVResultFalse);
  EXPECT_EQ(CountOf(array), 0) << "invalidation empties the array";
  // Methods kept elsewhere cannot refill it.
  tNUVArrayClass arrayClass;
  EXPECT_EQ(Call(&arrayClass, u"add", {Int(1)}, array).Code, NUVResultInvalidObject);
  EXPECT_EQ(CountOf(array), 0);
}

// The count property and method conventions ---------------------------------------------

TEST_F(ArrayTest, CountPropertyTruncatesAndExtends) {
  iNUVDispatch2* array = NewArray({Int(1), Int(2), Int(3)});
  tNUVVariant count;
  ASSERT_EQ(array->GetMember(0, u"count", nullptr, &count, array), NUVResultOk);
  EXPECT_EQ(count.AsInteger(), 3);
  tNUVVariant five = Int(5);
  ASSERT_EQ(array->SetMember(0, u"count", nullptr, &five, array), NUVResultOk);
  EXPECT_EQ(Joined(array), u"(int)1 (int)2 (int)3 (void) (void)");
  tNUVVariant one = Str(u"1");
  ASSERT_EQ(array->SetMember(0, u"count", nullptr, &one, array), NUVResultOk);
  EXPECT_EQ(Joined(array), u"(int)1");
  tNUVVariant negative = Int(-1);
  EXPECT_EQ(ErrorOf([&] { array->SetMember(0, u"count", nullptr, &negative, array); }), Message(NUVRangeError));
  EXPECT_EQ(CountOf(array), 1);
}

TEST_F(ArrayTest, MethodsCheckTheirObjectAndArguments) {
  tNUVArrayClass arrayClass;
  iNUVDispatch2* plain = NUVCreateCustomObject();
  Owned.push_back(plain);
  EXPECT_EQ(Call(&arrayClass, u"add", {Int(1)}, plain).Code, NUVResultNativeClassCrash);
  iNUVDispatch2* array = NewArray();
  struct tRequirement {
    const char16_t* Name;
    int Count;
  };
  for (tRequirement requirement :
       {tRequirement{u"load", 1}, {u"save", 1}, {u"saveStruct", 1}, {u"join", 1}, {u"assign", 1},
        {u"assignStruct", 1}, {u"erase", 1}, {u"remove", 1}, {u"add", 1}, {u"find", 1}, {u"split", 2},
        {u"insert", 2}}) {
    std::initializer_list<tNUVVariant> tooFew = {Int(0)};
    auto result = requirement.Count == 2 ? Call(array, requirement.Name, tooFew) : Call(array, requirement.Name);
    EXPECT_EQ(result.Code, NUVResultBadParamCount) << Narrow(requirement.Name);
  }
  iNUVDispatch2* created = nullptr;
  tNUVVariant argument = Int(1);
  tNUVVariant* arguments[1] = {&argument};
  EXPECT_EQ(arrayClass.CreateInstance(0, nullptr, nullptr, &created, 1, arguments, nullptr), NUVResultBadParamCount);
  EXPECT_EQ(created, nullptr);
  ASSERT_EQ(arrayClass.CreateInstance(0, nullptr, nullptr, &created, 0, nullptr, nullptr), NUVResultOk);
  Owned.push_back(created);
  EXPECT_EQ(created->IsInstanceOf(0, nullptr, nullptr, u"Array", created), NUVResultTrue);
  EXPECT_EQ(Call(created, u"add", {Str(u"x")}).Value.AsInteger(), 0);
  EXPECT_EQ(Call(created, u"add", {Str(u"y")}).Value.AsInteger(), 1);
}

TEST_F(ArrayTest, EditingMethods) {
  iNUVDispatch2* array = NewArray({Int(0), Int(1), Int(2)});
  ASSERT_EQ(Call(array, u"insert", {Int(3), Str(u"end")}).Code, NUVResultOk);
  ASSERT_EQ(Call(array, u"insert", {Int(0), Str(u"start")}).Code, NUVResultOk);
  ASSERT_EQ(Call(array, u"insert", {Int(-1), Str(u"before last")}).Code, NUVResultOk);
  EXPECT_EQ(Joined(array), u"(string)\"start\" (int)0 (int)1 (int)2 (string)\"before last\" (string)\"end\"");
  EXPECT_EQ(ErrorOf([&] { Call(array, u"insert", {Int(7), Int(0)}); }), Message(NUVRangeError));
  EXPECT_EQ(ErrorOf([&] { Call(array, u"insert", {Int(-7), Int(0)}); }), Message(NUVRangeError));

  ASSERT_EQ(Call(array, u"erase", {Int(-1)}).Code, NUVResultOk);
  ASSERT_EQ(Call(array, u"erase", {Int(0)}).Code, NUVResultOk);
  EXPECT_EQ(Joined(array), u"(int)0 (int)1 (int)2 (string)\"before last\"");
  EXPECT_EQ(ErrorOf([&] { Call(array, u"erase", {Int(4)}); }), Message(NUVRangeError));
  EXPECT_EQ(ErrorOf([&] { Call(array, u"erase", {Int(-5)}); }), Message(NUVRangeError));

  ASSERT_EQ(Call(array, u"reverse").Code, NUVResultOk);
  EXPECT_EQ(Joined(array), u"(string)\"before last\" (int)2 (int)1 (int)0");
  ASSERT_EQ(Call(array, u"clear").Code, NUVResultOk);
  EXPECT_EQ(CountOf(array), 0);
  ASSERT_EQ(Call(array, u"reverse").Code, NUVResultOk);
}

TEST_F(ArrayTest, RemoveAndFindUseIdentity) {
  iNUVDispatch2* array = NewArray({Int(1), Int(1), Int(2)});
  auto removed = Call(array, u"remove", {Int(1), Int(0)});
  EXPECT_EQ(removed.Value.AsInteger(), 1);
  EXPECT_EQ(Joined(array), u"(int)1 (int)2");

  iNUVDispatch2* mixed = NewArray({Int(1), Str(u"1"), Real(1.0), Int(1), Str(u"1"), tNUVVariant()});
  EXPECT_EQ(Call(mixed, u"find", {Str(u"1")}).Value.AsInteger(), 1);
  EXPECT_EQ(Call(mixed, u"find", {Real(1.0)}).Value.AsInteger(), 2);
  EXPECT_EQ(Call(mixed, u"find", {Int(1), Int(1)}).Value.AsInteger(), 3);
  EXPECT_EQ(Call(mixed, u"find", {Int(1), Int(-3)}).Value.AsInteger(), 3);
  EXPECT_EQ(Call(mixed, u"find", {Int(1), Int(-100)}).Value.AsInteger(), 0) << "a start before the first clamps to 0";
  EXPECT_EQ(Call(mixed, u"find", {Int(1), Int(4)}).Value.AsInteger(), -1);
  EXPECT_EQ(Call(mixed, u"find", {tNUVVariant()}).Value.AsInteger(), 5);
  EXPECT_EQ(Call(NewArray({Int(1)}), u"find", {Str(u"1")}).Value.AsInteger(), -1);

  EXPECT_EQ(Call(mixed, u"remove", {Str(u"1")}).Value.AsInteger(), 2) << "all by default";
  EXPECT_EQ(Joined(mixed), u"(int)1 (real)1 (int)1 (void)");
  EXPECT_EQ(Call(mixed, u"remove", {Int(1), tNUVVariant()}).Value.AsInteger(), 2) << "void means the default";
  EXPECT_EQ(Call(mixed, u"remove", {Int(9)}).Value.AsInteger(), 0);
  EXPECT_EQ(Joined(mixed), u"(real)1 (void)");

  // Objects are identical only with the same object and the same objthis.
  iNUVDispatch2* inner = NewArray();
  iNUVDispatch2* objects = NewArray({tNUVVariant(inner, inner), tNUVVariant(inner, nullptr)});
  EXPECT_EQ(Call(objects, u"find", {tNUVVariant(inner, nullptr)}).Value.AsInteger(), 1);
  EXPECT_EQ(Call(objects, u"remove", {tNUVVariant(inner, inner)}).Value.AsInteger(), 1);
  EXPECT_EQ(CountOf(objects), 1);
}

// Split and join ---------------------------------------------------------------------------

TEST_F(ArrayTest, SplitByCharacters) {
  iNUVDispatch2* array = NewArray({Int(99)});
  auto result = Call(array, u"split", {Str(u",;"), Str(u"a,,b;c")});
  ASSERT_EQ(result.Code, NUVResultOk);
  EXPECT_EQ(result.Value.AsObject(), array);
  EXPECT_EQ(Joined(array), u"(string)\"a\" (string)\"\" (string)\"b\" (string)\"c\"");
  Call(array, u"split", {Str(u",;"), Str(u"a,,b;c"), tNUVVariant(), Int(1)});
  EXPECT_EQ(Joined(array), u"(string)\"a\" (string)\"b\" (string)\"c\"");

  Call(array, u"split", {Str(u","), Str(u",a,")});
  EXPECT_EQ(Joined(array), u"(string)\"\" (string)\"a\" (string)\"\"") << "empty pieces at both ends";
  Call(array, u"split", {Str(u","), Str(u",,"), tNUVVariant(), Int(1)});
  EXPECT_EQ(CountOf(array), 0);
  Call(array, u"split", {Str(u","), Str(u"")});
  EXPECT_EQ(Joined(array), u"(string)\"\"");
  Call(array, u"split", {Str(u""), Str(u"a,b")});
  EXPECT_EQ(Joined(array), u"(string)\"a,b\"") << "no separators: one piece";
  Call(array, u"split", {Int(0), Int(10203)});
  EXPECT_EQ(Joined(array), u"(string)\"1\" (string)\"2\" (string)\"3\"") << "both sides are used as text";
  // A long separator set.
  Call(array, u"split", {Str(u"abcdefghij"), Str(u"1a2j3e4")});
  EXPECT_EQ(Joined(array), u"(string)\"1\" (string)\"2\" (string)\"3\" (string)\"4\"");
}

TEST_F(ArrayTest, SplitByRegExpGoesThroughTheInstalledHook) {
  static iNUVDispatch2* expected;
  static bool sawPurge;
  expected = NewArray();
  sawPurge = false;
  tNUVRegExpSplitter old = NUVSetRegExpSplitter([](iNUVDispatch2* delimiter, const tNUVString& text, bool purge,
                                                   tNUVArrayNI& target) {
    if (delimiter != expected) return false;
    sawPurge = purge;
    target.Add(text + u"!");
    return true;
  });
  iNUVDispatch2* array = NewArray({Int(5)});
  Call(array, u"split", {tNUVVariant(expected, expected), Str(u"abc"), tNUVVariant(), Int(1)});
  EXPECT_EQ(Joined(array), u"(string)\"abc!\"");
  EXPECT_TRUE(sawPurge);
  iNUVDispatch2* other = NewArray();
  Call(array, u"split", {tNUVVariant(other, nullptr), Str(u"QQ")});
  EXPECT_EQ(Joined(array), u"(string)\"QQ\"") << "an object the hook declines splits by its text";
  NUVSetRegExpSplitter(old);
}

TEST_F(ArrayTest, JoinEdgeCases) {
  iNUVDispatch2* array = NewArray({tNUVVariant(), Int(1), tNUVVariant(), Int(2)});
  EXPECT_EQ(Text(Call(array, u"join", {Str(u",")}).Value.AsString()), u",1,,2");
  EXPECT_EQ(Text(Call(array, u"join", {Str(u","), tNUVVariant(), Int(1)}).Value.AsString()), u"1,2");
  EXPECT_EQ(Text(Call(array, u"join", {Str(u","), tNUVVariant(), tNUVVariant()}).Value.AsString()), u",1,,2");
  EXPECT_EQ(Text(Call(array, u"join", {Str(u"")}).Value.AsString()), u"12");
  EXPECT_EQ(Call(array, u"join", {Str(u"--")}).Value.vt, tvtString);
  EXPECT_EQ(Text(Call(NewArray(), u"join", {Str(u",")}).Value.AsString()), u"");
  EXPECT_EQ(Call(NewArray(), u"join", {Str(u",")}).Value.vt, tvtString);
  iNUVDispatch2* values = NewArray({Real(0.5), Str(u"x"), Int(-3)});
  EXPECT_EQ(Text(Call(values, u"join", {Int(0)}).Value.AsString()), u"0.50x0-3");
  iNUVDispatch2* withOctet = NewArray({tNUVVariant(reinterpret_cast<const uint8_t*>("a"), 1)});
  EXPECT_THROW(Call(withOctet, u"join", {Str(u",")}), eNUVVariantError);
}

// Sorting ----------------------------------------------------------------------------------

TEST_F(ArrayTest, SortOrdersOnNumbersAndStrings) {
  auto sorted = [&](std::initializer_list<tNUVVariant> elements, std::initializer_list<tNUVVariant> arguments) {
    iNUVDispatch2* array = NewArray(elements);
    EXPECT_EQ(Call(array, u"sort", arguments).Code, NUVResultOk);
    return Joined(array);
  };
  EXPECT_EQ(sorted({Int(3), Real(1.5), Int(2)}, {}), u"(real)1.5 (int)2 (int)3");
  EXPECT_EQ(sorted({Int(3), Real(1.5), Int(2)}, {tNUVVariant()}), u"(real)1.5 (int)2 (int)3");
  EXPECT_EQ(sorted({Int(3), Real(1.5), Int(2)}, {Str(u"+")}), u"(real)1.5 (int)2 (int)3");
  EXPECT_EQ(sorted({Int(3), Real(1.5), Int(2)}, {Str(u"?")}), u"(real)1.5 (int)2 (int)3");
  EXPECT_EQ(sorted({Int(3), Real(1.5), Int(2)}, {Str(u"-")}), u"(int)3 (int)2 (real)1.5");
  EXPECT_EQ(sorted({Int(3), Real(1.5), Int(2)}, {Str(u"-x")}), u"(int)3 (int)2 (real)1.5");

  // Strings: "+" by units, "0" by value, "a" by units.
  EXPECT_EQ(sorted({Str(u"10"), Str(u"9"), Str(u"100")}, {Str(u"+")}),
            u"(string)\"10\" (string)\"100\" (string)\"9\"");
  EXPECT_EQ(sorted({Str(u"10"), Str(u"9"), Str(u"100")}, {Str(u"0")}),
            u"(string)\"9\" (string)\"10\" (string)\"100\"");
  EXPECT_EQ(sorted({Str(u"10"), Str(u"9"), Str(u"100")}, {Str(u"9")}),
            u"(string)\"100\" (string)\"10\" (string)\"9\"");
  EXPECT_EQ(sorted({Str(u"10"), Str(u"9"), Str(u"100")}, {Str(u"a")}),
            u"(string)\"10\" (string)\"100\" (string)\"9\"");
  EXPECT_EQ(sorted({Str(u"10"), Str(u"9"), Str(u"100")}, {Str(u"z")}),
            u"(string)\"9\" (string)\"100\" (string)\"10\"");
  // Non-numeric text counts as 0 for "0"; hexadecimal text reads as its number.
  EXPECT_EQ(sorted({Str(u"5"), Str(u"abc"), Str(u"0x10"), Str(u"-1")}, {Str(u"0")}),
            u"(string)\"-1\" (string)\"abc\" (string)\"5\" (string)\"0x10\"");
}

TEST_F(ArrayTest, SortOrdersOnMixedTypes) {
  auto sorted = [&](std::initializer_list<tNUVVariant> elements, const char16_t* order) {
    iNUVDispatch2* array = NewArray(elements);
    EXPECT_EQ(Call(array, u"sort", {Str(order)}).Code, NUVResultOk);
    return Joined(array);
  };
  // "0" compares a string with a number through the plain "<": the string is read as a number.
  EXPECT_EQ(sorted({Str(u"20"), Int(3), Str(u"100"), Real(2.5)}, u"0"),
            u"(real)2.5 (int)3 (string)\"20\" (string)\"100\"");
  EXPECT_EQ(sorted({Str(u"20"), Int(3), Str(u"100"), Real(2.5)}, u"9"),
            u"(string)\"100\" (string)\"20\" (int)3 (real)2.5");
  // "a" compares texts of mixed values: void is the empty text, before everything.
  EXPECT_EQ(sorted({Int(10), Str(u"9"), tNUVVariant(), Real(1.5), Str(u"B"), Str(u"")}, u"a"),
            u"(void) (string)\"\" (real)1.5 (int)10 (string)\"9\" (string)\"B\"");
  EXPECT_EQ(sorted({Int(10), Str(u"9"), Real(1.5), Str(u"B")}, u"z"),
            u"(string)\"B\" (string)\"9\" (int)10 (real)1.5");
  // An octet has no text: "a" raises and the array stays as it was.
  iNUVDispatch2* array = NewArray({Int(2), tNUVVariant(reinterpret_cast<const uint8_t*>("a"), 1), Int(1)});
  EXPECT_THROW(Call(array, u"sort", {Str(u"a")}), eNUVVariantError);
  EXPECT_EQ(Joined(array), u"(int)2 (octet)<% 61 %> (int)1");
  // Objects have no number: "+" raises and the array stays as it was.
  iNUVDispatch2* inner = NewArray();
  iNUVDispatch2* withObject = NewArray({Int(2), tNUVVariant(inner, inner), Int(1)});
  EXPECT_THROW(Call(withObject, u"sort"), eNUVVariantError);
  EXPECT_EQ(CountOf(withObject), 3);
  EXPECT_EQ(Elements(withObject).At(0).AsInteger(), 2);
}

TEST_F(ArrayTest, SortWithAFunction) {
  int calls = 0;
  auto* byLength = new tLambdaFunction([&](tNUVVariant* result, int32_t count, tNUVVariant** arguments) {
    ++calls;
    EXPECT_EQ(count, 2);
    *result = Int(arguments[0]->AsString().GetLen() < arguments[1]->AsString().GetLen() ? 1 : 0);
    return NUVResultOk;
  });
  tNUVVariant function(byLength, nullptr);
  byLength->Release();
  iNUVDispatch2* array = NewArray({Str(u"ccc"), Str(u"a"), Str(u"bb")});
  ASSERT_EQ(Call(array, u"sort", {function}).Code, NUVResultOk);
  EXPECT_EQ(Joined(array), u"(string)\"a\" (string)\"bb\" (string)\"ccc\"");
  EXPECT_GT(calls, 0);

  // A failing code is raised.
  auto* failing = new tLambdaFunction([](tNUVVariant*, int32_t, tNUVVariant**) { return NUVResultInvalidParam; });
  tNUVVariant failingValue(failing, nullptr);
  failing->Release();
  EXPECT_EQ(ErrorOf([&] { Call(array, u"sort", {failingValue}); }), Message(NUVInvalidParam));
  // A closure without object.
  tNUVVariant nullFunction;
  nullFunction.SetObject(nullptr, nullptr);
  EXPECT_EQ(ErrorOf([&] { Call(array, u"sort", {nullFunction}); }), Message(NUVNullAccess));
  EXPECT_EQ(Joined(array), u"(string)\"a\" (string)\"bb\" (string)\"ccc\"");
}

TEST_F(ArrayTest, StableSortKeepsEqualElementsInOrder) {
  // Keys 0..4 repeated; the payload records the original position.
  iNUVDispatch2* array = NewArray();
  std::mt19937 random(7);
  for (int i = 0; i < 300; ++i) Elements(array).Add(Int((random() % 5) * 1000 + i));
  auto* byKey = new tLambdaFunction([](tNUVVariant* result, int32_t, tNUVVariant** arguments) {
    *result = Int(arguments[0]->AsInteger() / 1000 < arguments[1]->AsInteger() / 1000 ? 1 : 0);
    return NUVResultOk;
  });
  tNUVVariant function(byKey, nullptr);
  byKey->Release();
  ASSERT_EQ(Call(array, u"sort", {function, Int(1)}).Code, NUVResultOk);
  ASSERT_EQ(CountOf(array), 300);
  for (int32_t i = 1; i < 300; ++i) {
    int64_t previous = Elements(array).At(i - 1).AsInteger();
    int64_t current = Elements(array).At(i).AsInteger();
    ASSERT_LE(previous / 1000, current / 1000) << i;
    if (previous / 1000 == current / 1000) {
      ASSERT_LT(previous % 1000, current % 1000) << i;
    }
  }
  // Descending strings, stable: equal texts keep their order (told apart by objthis-free copies).
  iNUVDispatch2* texts = NewArray({Str(u"b"), Int(1), Str(u"a"), Str(u"1"), Str(u"b")});
  ASSERT_EQ(Call(texts, u"sort", {Str(u"a"), Int(1)}).Code, NUVResultOk);
  EXPECT_EQ(Joined(texts), u"(int)1 (string)\"1\" (string)\"a\" (string)\"b\" (string)\"b\"");
}

// The elements of an array as a sorted list of integers (reals truncated, NaN as a marker).
std::vector<int64_t> Multiset(tNUVArrayNI& elements) {
  std::vector<int64_t> values;
  for (int32_t i = 0; i < elements.GetCount(); ++i) {
    const tNUVVariant& element = elements.At(i);
    values.push_back(element.vt == tvtReal && std::isnan(element.Real) ? INT64_MIN : element.AsInteger());
  }
  std::sort(values.begin(), values.end());
  return values;
}

TEST_F(ArrayTest, SortSurvivesNaN) {
  for (int stable = 0; stable < 2; ++stable) {
    iNUVDispatch2* array = NewArray();
    std::mt19937 random(11 + stable);
    for (int i = 0; i < 2000; ++i) {
      if (random() % 3 == 0) Elements(array).Add(Real(std::nan("")));
      else Elements(array).Add(Int(random() % 100));
    }
    std::vector<int64_t> before = Multiset(Elements(array));
    ASSERT_EQ(Call(array, u"sort", {Str(u"+"), Int(stable)}).Code, NUVResultOk);
    EXPECT_EQ(Multiset(Elements(array)), before) << "the result is a permutation";
    ASSERT_EQ(Call(array, u"sort", {Str(u"-"), Int(stable)}).Code, NUVResultOk);
    EXPECT_EQ(Multiset(Elements(array)), before);
  }
  // Without NaN the result is really sorted.
  iNUVDispatch2* plain = NewArray();
  for (int i = 0; i < 1000; ++i) Elements(plain).Add(Int((i * 7919) % 1000));
  ASSERT_EQ(Call(plain, u"sort").Code, NUVResultOk);
  for (int32_t i = 0; i < 1000; ++i) ASSERT_EQ(Elements(plain).At(i).AsInteger(), i);
}

TEST_F(ArrayTest, SortSurvivesHostileComparisons) {
  std::mt19937 random(3);
  iNUVDispatch2* array = NewArray();
  auto refill = [&] {
    Elements(array).Clear();
    for (int i = 0; i < 1500; ++i) Elements(array).Add(Int(i % 37));
  };
  auto makeFunction = [](tLambdaFunction::tBody body) {
    auto* function = new tLambdaFunction(std::move(body));
    tNUVVariant value(function, nullptr);
    function->Release();
    return value;
  };

  // Random answers, including "true both ways".
  tNUVVariant randomOrder = makeFunction([&](tNUVVariant* result, int32_t, tNUVVariant**) {
    *result = Int(random() % 2);
    return NUVResultOk;
  });
  tNUVVariant alwaysTrue = makeFunction([](tNUVVariant* result, int32_t, tNUVVariant**) {
    *result = Int(1);
    return NUVResultOk;
  });
  for (const tNUVVariant& order : {randomOrder, alwaysTrue}) {
    for (int stable = 0; stable < 2; ++stable) {
      refill();
      std::vector<int64_t> before = Multiset(Elements(array));
      ASSERT_EQ(Call(array, u"sort", {order, Int(stable)}).Code, NUVResultOk);
      EXPECT_EQ(Multiset(Elements(array)), before);
    }
  }

  // A comparison that raises part-way leaves the array unchanged.
  for (int stable = 0; stable < 2; ++stable) {
    refill();
    int calls = 0;
    tNUVVariant throwing = makeFunction([&](tNUVVariant* result, int32_t, tNUVVariant** arguments) {
      if (++calls == 500) NUVThrowError(tNUVString(u"comparison failed"));
      *result = Int(arguments[0]->AsInteger() < arguments[1]->AsInteger() ? 1 : 0);
      return NUVResultOk;
    });
    EXPECT_EQ(ErrorOf([&] { Call(array, u"sort", {throwing, Int(stable)}); }), u"comparison failed");
    for (int32_t i = 0; i < 1500; ++i) ASSERT_EQ(Elements(array).At(i).AsInteger(), i % 37);
  }

  // A comparison that empties and refills the array while it is sorted: the array
  // ends up with the sorted elements it had when the sort began.
  for (int stable = 0; stable < 2; ++stable) {
    refill();
    tNUVVariant meddling = makeFunction([&](tNUVVariant* result, int32_t, tNUVVariant** arguments) {
      tNUVArrayNI& elements = Elements(array);
      if (elements.GetCount() > 0 && random() % 50 == 0) elements.Clear();
      else elements.Add(Str(u"noise"));
      arguments[0]->Clear();   // the arguments are copies
      *result = Int(random() % 2);
      return NUVResultOk;
    });
    ASSERT_EQ(Call(array, u"sort", {meddling, Int(stable)}).Code, NUVResultOk);
    ASSERT_EQ(CountOf(array), 1500);
    EXPECT_EQ(Multiset(Elements(array)), [] {
      std::vector<int64_t> values;
      for (int i = 0; i < 1500; ++i) values.push_back(i % 37);
      std::sort(values.begin(), values.end());
      return values;
    }());
  }
}

// Assign and deep copy -----------------------------------------------------------------------

TEST_F(ArrayTest, AssignFromArrayDictionaryAndPlainObject) {
  iNUVDispatch2* source = NewArray({Int(1), Str(u"two")});
  iNUVDispatch2* array = NewArray({Int(9), Int(9), Int(9)});
  ASSERT_EQ(Call(array, u"assign", {tNUVVariant(source, source)}).Code, NUVResultOk);
  EXPECT_EQ(Joined(array), u"(int)1 (string)\"two\"");
  ASSERT_EQ(Call(array, u"assign", {tNUVVariant(array, array)}).Code, NUVResultOk);
  EXPECT_EQ(Joined(array), u"(int)1 (string)\"two\"") << "assigning from itself keeps the elements";

  iNUVDispatch2* dictionary = NewDictionary();
  tNUVVariant value = Int(5);
  ASSERT_EQ(dictionary->SetMember(NUVMemberEnsure, u"key", nullptr, &value, dictionary), NUVResultOk);
  ASSERT_EQ(Call(array, u"assign", {tNUVVariant(dictionary, nullptr)}).Code, NUVResultOk);
  EXPECT_EQ(Joined(array), u"(string)\"key\" (int)5");

  iNUVDispatch2* plain = NUVCreateCustomObject();
  Owned.push_back(plain);
  tNUVVariant secret = Str(u"secret");
  ASSERT_EQ(plain->SetMember(NUVMemberEnsure, u"shown", nullptr, &value, plain), NUVResultOk);
  ASSERT_EQ(plain->SetMember(NUVMemberEnsure | NUVHiddenMember, u"hidden", nullptr, &secret, plain), NUVResultOk);
  ASSERT_EQ(Call(array, u"assign", {tNUVVariant(plain, plain)}).Code, NUVResultOk);
  EXPECT_EQ(Joined(array), u"(string)\"shown\" (int)5");

  // Not an object, or an object value without object.
  EXPECT_THROW(Call(array, u"assign", {Int(1)}), eNUVVariantError);
  tNUVVariant none;
  none.SetObject(nullptr, nullptr);
  EXPECT_EQ(ErrorOf([&] { Call(array, u"assign", {none}); }), Message(NUVNullAccess));
  EXPECT_EQ(Joined(array), u"(string)\"shown\" (int)5") << "a failed assign changes nothing";
}

TEST_F(ArrayTest, AssignStructCopiesDeeplyAndCutsRecursion) {
  iNUVDispatch2* inner = NewArray({Int(1)});
  iNUVDispatch2* dictionary = NewDictionary();
  iNUVDispatch2* outer = NewArray({tNUVVariant(inner, inner), tNUVVariant(dictionary, dictionary), Str(u"s")});
  // outer contains itself, and the dictionary contains outer.
  Elements(outer).Add(tNUVVariant(outer, outer));
  tNUVVariant outerValue(outer, outer);
  ASSERT_EQ(dictionary->SetMember(NUVMemberEnsure, u"back", nullptr, &outerValue, dictionary), NUVResultOk);

  iNUVDispatch2* copy = NewArray();
  ASSERT_EQ(Call(copy, u"assignStruct", {outerValue}).Code, NUVResultOk);
  ASSERT_EQ(CountOf(copy), 4);
  iNUVDispatch2* innerCopy = Elements(copy).At(0).AsObject();
  EXPECT_NE(innerCopy, inner);
  EXPECT_EQ(Joined(innerCopy), u"(int)1");
  iNUVDispatch2* dictionaryCopy = Elements(copy).At(1).AsObject();
  EXPECT_NE(dictionaryCopy, dictionary);
  ASSERT_NE(NUVFindDictionary(dictionaryCopy), nullptr);
  tNUVVariant back;
  ASSERT_EQ(dictionaryCopy->GetMember(0, u"back", nullptr, &back, dictionaryCopy), NUVResultOk);
  EXPECT_EQ(back.vt, tvtObject);
  EXPECT_EQ(back.Object.Object, nullptr) << "a container already being copied becomes a null object";
  EXPECT_EQ(Text(Elements(copy).At(2).AsString()), u"s");
  EXPECT_EQ(Elements(copy).At(3).vt, tvtObject);
  EXPECT_EQ(Elements(copy).At(3).Object.Object, nullptr);
  // The copy is independent.
  Elements(inner).Add(Int(2));
  EXPECT_EQ(Joined(innerCopy), u"(int)1");

  EXPECT_EQ(ErrorOf([&] { Call(copy, u"assignStruct", {tNUVVariant(dictionary, dictionary)}); }),
            Message(NUVSpecifyDicOrArray));
  EXPECT_EQ(CountOf(copy), 4);

  // Break the cycles so everything is freed.
  Elements(outer).Clear();
  ASSERT_EQ(Call(NewArray(), u"clear").Code, NUVResultOk);
  dictionary->Invalidate(0, nullptr, nullptr, dictionary);
}

TEST_F(ArrayTest, DeepStructuresAreBoundedNotFollowedForever) {
  iNUVDispatch2* root = NewArray();
  iNUVDispatch2* current = root;
  for (int i = 0; i < NUVMaxStructureDepth + 5; ++i) {
    iNUVDispatch2* next = CreateArrayObject();
    Elements(current).Add(tNUVVariant(next, next));
    next->Release();
    current = next;
  }
  TestStreams::tMemoryFiles files;
  EXPECT_EQ(ErrorOf([&] { Call(root, u"saveStruct", {Str(u"deep")}); }), Message(NUVRangeError));
  EXPECT_EQ(files.OpenStreams, 0);
  iNUVDispatch2* copy = NewArray();
  EXPECT_EQ(ErrorOf([&] { Call(copy, u"assignStruct", {tNUVVariant(root, root)}); }), Message(NUVRangeError));
  EXPECT_EQ(CountOf(copy), 0);
}

// References held by elements ----------------------------------------------------------------

TEST_F(ArrayTest, ElementsBoundToTheirArrayHoldNoReference) {
  iNUVDispatch2* array = NewArray();
  int32_t base = RefCountOf(array);
  tNUVVariant addMethod;
  ASSERT_EQ(array->GetMember(NUVIgnoreProperty, u"add", nullptr, &addMethod, array), NUVResultOk);
  ASSERT_EQ(addMethod.Object.ObjThis, array);
  tNUVVariant selfBound(addMethod);
  addMethod.Clear();
  ASSERT_EQ(RefCountOf(array), base + 1);   // held by selfBound

  ASSERT_EQ(array->SetMemberByNum(0, 0, &selfBound, array), NUVResultOk);
  Elements(array).Add(selfBound);
  Elements(array).Insert(0, selfBound);
  ASSERT_EQ(Call(array, u"add", {selfBound}).Code, NUVResultOk);
  EXPECT_EQ(RefCountOf(array), base + 1) << "self-bound elements are not counted";
  ASSERT_EQ(array->SetMemberByNum(0, 1, &selfBound, array), NUVResultOk);
  EXPECT_EQ(RefCountOf(array), base + 1);
  ASSERT_EQ(Call(array, u"reverse").Code, NUVResultOk);
  ASSERT_EQ(Call(array, u"sort", {Str(u"a")}).Code, NUVResultOk);
  ASSERT_EQ(Call(array, u"assign", {tNUVVariant(array, array)}).Code, NUVResultOk);
  EXPECT_EQ(RefCountOf(array), base + 1) << "sort and assign keep the rule";
  ASSERT_EQ(Call(array, u"erase", {Int(0)}).Code, NUVResultOk);
  ASSERT_EQ(Call(array, u"remove", {selfBound, Int(0)}).Code, NUVResultOk);
  EXPECT_EQ(RefCountOf(array), base + 1);
  EXPECT_EQ(CountOf(array), 2);
  tNUVVariant one = Int(1);
  ASSERT_EQ(array->SetMember(0, u"count", nullptr, &one, array), NUVResultOk);
  EXPECT_EQ(RefCountOf(array), base + 1);
  selfBound.Clear();
  EXPECT_EQ(RefCountOf(array), base);
  // The array dies with its last outside reference although an element is bound to it.
  Owned.erase(std::find(Owned.begin(), Owned.end(), array));
  array->Release();
}

TEST_F(ArrayTest, ArraysContainingThemselvesAreFreedWhenClearedOrInvalidated) {
  iNUVDispatch2* cleared = CreateArrayObject();
  Elements(cleared).Add(tNUVVariant(cleared, cleared));
  Elements(cleared).Add(tNUVVariant(cleared, nullptr));
  ASSERT_EQ(Call(cleared, u"clear").Code, NUVResultOk);
  cleared->Release();

  iNUVDispatch2* invalidated = CreateArrayObject();
  tNUVVariant self(invalidated, invalidated);
  ASSERT_EQ(invalidated->SetMemberByNum(0, 3, &self, invalidated), NUVResultOk);
  self.Clear();
  ASSERT_EQ(invalidated->Invalidate(0, nullptr, nullptr, invalidated), NUVResultTrue);
  invalidated->Release();

  // Finalizers of released elements see an array that is already empty.
  iNUVDispatch2* watched = NewArray();
  int32_t seenCount = -1;
  auto* finalizer = new tLambdaFunction([&](tNUVVariant*, int32_t, tNUVVariant**) {
    seenCount = CountOf(watched);
    return NUVResultOk;
  });
  iNUVDispatch2* element = NUVCreateCustomObject();
  tNUVVariant finalizerValue(finalizer, nullptr);
  finalizer->Release();
  ASSERT_EQ(element->SetMember(NUVMemberEnsure, u"finalize", nullptr, &finalizerValue, element), NUVResultOk);
  finalizerValue.Clear();
  Elements(watched).Add(Int(1));
  Elements(watched).Add(tNUVVariant(element, nullptr));
  Elements(watched).Add(Int(2));
  element->Release();
  ASSERT_EQ(Call(watched, u"clear").Code, NUVResultOk);
  EXPECT_EQ(seenCount, 0);
}

// Files --------------------------------------------------------------------------------------

TEST_F(ArrayTest, SaveWritesOneLinePerElement) {
  TestStreams::tMemoryFiles files;
  iNUVDispatch2* inner = NewArray();
  iNUVDispatch2* array = NewArray({Str(u"text"), Int(-5), Real(0.25), tNUVVariant(), tNUVVariant(inner, inner),
                                   tNUVVariant(reinterpret_cast<const uint8_t*>("a"), 1), Str(u""),
                                   Real(-0.0)});
  auto result = Call(array, u"save", {Str(u"out.txt")});
  ASSERT_EQ(result.Code, NUVResultOk);
  EXPECT_EQ(result.Value.AsObject(), array);
  EXPECT_EQ(files.Files[u"out.txt"], u"text\n-5\n0.25\n\n\n\n\n-0.0\n");
  EXPECT_EQ(files.Modes.back(), u"w");
  ASSERT_EQ(Call(array, u"save", {Str(u"out.txt"), Str(u"a")}).Code, NUVResultOk);
  EXPECT_EQ(files.Modes.back(), u"a");
  EXPECT_EQ(files.Files[u"out.txt"].size(), 2 * std::u16string(u"text\n-5\n0.25\n\n\n\n\n-0.0\n").size());
  ASSERT_EQ(Call(NewArray(), u"save", {Str(u"empty.txt")}).Code, NUVResultOk);
  EXPECT_EQ(files.Files[u"empty.txt"], u"");
  EXPECT_EQ(files.OpenStreams, 0);
}

TEST_F(ArrayTest, LoadSplitsLines) {
  TestStreams::tMemoryFiles files;
  files.Files[u"lf"] = u"a\nb\n\nc\n";
  files.Files[u"cr"] = u"a\rb\r\rc";
  files.Files[u"crlf"] = u"a\r\nb\r\n\r\nc\r\n";
  files.Files[u"mixed"] = u"a\n\rb\r\n\n";
  files.Files[u"empty"] = u"";
  files.Files[u"breaks"] = u"\n\n";
  iNUVDispatch2* array = NewArray({Int(1), Int(2), Int(3), Int(4), Int(5), Int(6)});
  auto result = Call(array, u"load", {Str(u"lf")});
  ASSERT_EQ(result.Code, NUVResultOk);
  EXPECT_EQ(result.Value.AsObject(), array);
  EXPECT_EQ(Joined(array), u"(string)\"a\" (string)\"b\" (string)\"\" (string)\"c\"");
  EXPECT_EQ(files.Modes.back(), u"r");
  Call(array, u"load", {Str(u"cr"), Str(u"rb")});
  EXPECT_EQ(Joined(array), u"(string)\"a\" (string)\"b\" (string)\"\" (string)\"c\"");
  EXPECT_EQ(files.Modes.back(), u"rb");
  Call(array, u"load", {Str(u"crlf")});
  EXPECT_EQ(Joined(array), u"(string)\"a\" (string)\"b\" (string)\"\" (string)\"c\"");
  Call(array, u"load", {Str(u"mixed")});
  EXPECT_EQ(Joined(array), u"(string)\"a\" (string)\"\" (string)\"b\" (string)\"\"");
  Call(array, u"load", {Str(u"breaks")});
  EXPECT_EQ(Joined(array), u"(string)\"\" (string)\"\"");
  Call(array, u"load", {Str(u"empty")});
  EXPECT_EQ(CountOf(array), 0);

  Call(array, u"load", {Str(u"lf")});
  EXPECT_EQ(ErrorOf([&] { Call(array, u"load", {Str(u"missing")}); }), u"no such file: missing");
  EXPECT_EQ(CountOf(array), 4) << "a failed load changes nothing";
  EXPECT_EQ(files.OpenStreams, 0);
}

TEST_F(ArrayTest, FileOperationsWithoutFactoriesRaise) {
  iNUVDispatch2* array = NewArray({Int(1)});
  std::u16string message = ErrorOf([&] { Call(array, u"save", {Str(u"nowhere.txt")}); });
  EXPECT_NE(message.find(u"nowhere.txt"), std::u16string::npos) << Narrow(message.c_str());
  EXPECT_NE(ErrorOf([&] { Call(array, u"load", {Str(u"nowhere.txt")}); }), u"");
  EXPECT_EQ(CountOf(array), 1);
}

TEST_F(ArrayTest, SaveStructWritesTypedLiteralsAndNesting) {
  TestStreams::tMemoryFiles files;
  iNUVDispatch2* empty = NewArray();
  iNUVDispatch2* nested = NewArray({Int(1), tNUVVariant(empty, empty)});
  iNUVDispatch2* dictionary = NewDictionary();
  tNUVVariant entry = Str(u"v");
  ASSERT_EQ(dictionary->SetMember(NUVMemberEnsure, u"k\"ey", nullptr, &entry, dictionary), NUVResultOk);
  auto* function = new tLambdaFunction([](tNUVVariant*, int32_t, tNUVVariant**) { return NUVResultOk; });
  tNUVVariant functionValue(function, nullptr);
  function->Release();
  tNUVVariant nullObject;
  nullObject.SetObject(nullptr, nullptr);
  iNUVDispatch2* array = NewArray({tNUVVariant(), Str(u"a\"b\\c\n"), Int(-7), Real(1.5),
                                   tNUVVariant(reinterpret_cast<const uint8_t*>("\x01\xAB"), 2),
                                   tNUVVariant(nested, nested), tNUVVariant(dictionary, nullptr), nullObject,
                                   functionValue});
  Elements(array).Add(tNUVVariant(array, array));

  auto result = Call(array, u"saveStruct", {Str(u"s.txt")});
  ASSERT_EQ(result.Code, NUVResultOk);
  EXPECT_EQ(result.Value.AsObject(), array);
  std::u16string functionText = Text(functionValue.AsString().Escape());
  std::u16string expected =
      u"[\n"
      u" void,\n"
      u" string \"a\\\"b\\\\c\\n\",\n"
      u" int -7,\n"
      u" real 0x1.8000000000000p0 /* 1.5 */,\n"
      u" octet <% 01 AB %>,\n"
      u" [\n"
      u"  int 1,\n"
      u"  [\n"
      u"  ]\n"
      u" ],\n"
      u" %[\n"
      u"  \"k\\\"ey\" => string \"v\"\n"
      u" ],\n"
      u" null,\n"
      u" null /* (object) \"" + functionText + u"\" */,\n"
      u" null /* object recursion detected */\n"
      u"]";
  EXPECT_EQ(files.Files[u"s.txt"], expected);
  ASSERT_EQ(files.Writes.size(), 1u) << "written in one piece";
  EXPECT_EQ(files.Modes.back(), u"w");

  ASSERT_EQ(Call(empty, u"saveStruct", {Str(u"e.txt"), Str(u"wb")}).Code, NUVResultOk);
  EXPECT_EQ(files.Files[u"e.txt"], u"[\n]");
  EXPECT_EQ(files.Modes.back(), u"wb");

  // The same container twice side by side is no recursion.
  iNUVDispatch2* twice = NewArray({tNUVVariant(empty, empty), tNUVVariant(empty, nullptr)});
  ASSERT_EQ(Call(twice, u"saveStruct", {Str(u"t.txt")}).Code, NUVResultOk);
  EXPECT_EQ(files.Files[u"t.txt"], u"[\n [\n ],\n [\n ]\n]");
  EXPECT_EQ(files.OpenStreams, 0);
  Elements(array).Clear();
}

}  // namespace
}  // namespace NUV
