// The Dictionary class: absent keys, compound assignment to new keys, the static
// class methods (assign from arrays and objects, deep copy, clear, saveStruct),
// invalidation, and self-containing dictionaries.

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "engine/objects/array.h"
#include "engine/objects/dictionary.h"
#include "engine/services/errors.h"
#include "test_text_streams.h"

namespace NUV {
namespace {

using TestStreams::Text;

struct tCallResult {
  int32_t Code;
  tNUVVariant Value;
};

std::u16string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const eNUV& error) {
    return Text(error.GetMessage());
  }
  return u"";
}

// Records the members an enumeration reports.
class tMemberRecorder : public tNUVNativeFunction {
public:
  std::vector<std::pair<std::u16string, int64_t>> Members;
  int32_t Process(tNUVVariant* result, int32_t count, tNUVVariant** arguments, iNUVDispatch2*) override {
    if (count >= 2) Members.emplace_back(Text(arguments[0]->AsString()), arguments[1]->AsInteger());
    if (result) *result = int64_t{1};
    return NUVResultOk;
  }
};

tNUVVariant Str(const char16_t* text) { return tNUVVariant(text); }
tNUVVariant Int(int64_t value) { return tNUVVariant(value); }

class DictionaryTest : public ::testing::Test {
protected:
  void SetUp() override { Class = new tNUVDictionaryClass; }
  void TearDown() override {
    for (iNUVDispatch2* object : Owned) object->Release();
    Owned.clear();
    Class->Release();
    NUVReleaseSharedArrayClass();
    NUVReleaseSharedDictionaryClass();
  }

  iNUVDispatch2* NewDictionary(std::initializer_list<std::pair<const char16_t*, tNUVVariant>> entries = {}) {
    iNUVDispatch2* dictionary = nullptr;
    EXPECT_EQ(Class->CreateInstance(0, nullptr, nullptr, &dictionary, 0, nullptr, nullptr), NUVResultOk);
    Owned.push_back(dictionary);
    for (const auto& [name, value] : entries) Set(dictionary, name, value);
    return dictionary;
  }
  iNUVDispatch2* NewArray(std::initializer_list<tNUVVariant> elements = {}) {
    iNUVDispatch2* array = CreateArrayObject();
    Owned.push_back(array);
    for (const tNUVVariant& element : elements) NUVFindArray(array)->Add(element);
    return array;
  }
  static void Set(iNUVDispatch2* object, const char16_t* name, const tNUVVariant& value, uint32_t flags = 0) {
    ASSERT_EQ(object->SetMember(NUVMemberEnsure | flags, name, nullptr, &value, object), NUVResultOk);
  }
  static tNUVVariant Get(iNUVDispatch2* object, const char16_t* name) {
    tNUVVariant value;
    EXPECT_EQ(object->GetMember(NUVMemberMustExist, name, nullptr, &value, object), NUVResultOk);
    return value;
  }
  static std::vector<std::pair<std::u16string, int64_t>> Members(iNUVDispatch2* object) {
    auto* recorder = new tMemberRecorder;
    tNUVVariantClosure callback(recorder, nullptr);
    object->EnumerateMembers(NUVIgnoreProperty, &callback, object);
    auto members = recorder->Members;
    recorder->Release();
    return members;
  }
  // A class method applied to a dictionary.
  tCallResult Method(const char16_t* name, iNUVDispatch2* objThis, std::initializer_list<tNUVVariant> arguments = {}) {
    std::vector<tNUVVariant> values(arguments);
    std::vector<tNUVVariant*> pointers;
    for (tNUVVariant& value : values) pointers.push_back(&value);
    tCallResult result{0, tNUVVariant()};
    result.Code = Class->CallMember(0, name, nullptr, &result.Value, static_cast<int32_t>(pointers.size()),
                                    pointers.data(), objThis);
    return result;
  }

  tNUVDictionaryClass* Class = nullptr;
  std::vector<iNUVDispatch2*> Owned;
};

using tMembers = std::vector<std::pair<std::u16string, int64_t>>;

TEST_F(DictionaryTest, AbsentKeysReadVoid) {
  iNUVDispatch2* dictionary = NewDictionary({{u"present", Int(1)}});
  tNUVVariant value = Int(5);
  ASSERT_EQ(dictionary->GetMember(0, u"absent", nullptr, &value, dictionary), NUVResultOk);
  EXPECT_TRUE(value.IsVoid());
  EXPECT_EQ(dictionary->GetMember(NUVMemberMustExist, u"absent", nullptr, &value, dictionary),
            NUVResultMemberNotFound);
  EXPECT_EQ(dictionary->GetMember(0, nullptr, nullptr, &value, dictionary), NUVResultInvalidType);
  EXPECT_EQ(Members(dictionary), (tMembers{{u"present", 0}})) << "reading does not create the key";
  ASSERT_EQ(dictionary->GetMember(0, u"present", nullptr, &value, dictionary), NUVResultOk);
  EXPECT_EQ(value.AsInteger(), 1);

  // A present key whose property answers "not found" is not mistaken for an absent one.
  struct tFailingProperty : tNUVDispatch {
    int32_t GetMember(uint32_t, const char16_t*, uint32_t*, tNUVVariant*, iNUVDispatch2*) override {
      return NUVResultMemberNotFound;
    }
  };
  auto* property = new tFailingProperty;
  Set(dictionary, u"property", tNUVVariant(property, nullptr));
  property->Release();
  EXPECT_EQ(dictionary->GetMember(0, u"property", nullptr, &value, dictionary), NUVResultMemberNotFound);

  iNUVDispatch2* created = nullptr;
  EXPECT_EQ(dictionary->CreateInstance(0, u"absent", nullptr, &created, 0, nullptr, dictionary),
            NUVResultInvalidType);
  EXPECT_EQ(dictionary->CreateInstance(NUVMemberMustExist, u"absent", nullptr, &created, 0, nullptr, dictionary),
            NUVResultMemberNotFound);
  EXPECT_EQ(dictionary->CreateInstance(0, u"present", nullptr, &created, 0, nullptr, dictionary),
            NUVResultInvalidType);
}

TEST_F(DictionaryTest, CompoundAssignmentStartsNewKeysFromVoid) {
  iNUVDispatch2* dictionary = NewDictionary();
  tNUVVariant result;
  ASSERT_EQ(dictionary->ApplyOperation(NUVOpIncrement, u"counter", nullptr, &result, nullptr, dictionary),
            NUVResultOk);
  EXPECT_EQ(result.vt, tvtInteger);
  EXPECT_EQ(result.AsInteger(), 1);
  EXPECT_EQ(Get(dictionary, u"counter").AsInteger(), 1);
  ASSERT_EQ(dictionary->ApplyOperation(NUVOpIncrement, u"counter", nullptr, &result, nullptr, dictionary),
            NUVResultOk);
  EXPECT_EQ(Get(dictionary, u"counter").AsInteger(), 2);

  tNUVVariant text = Str(u"x");
  ASSERT_EQ(dictionary->ApplyOperation(NUVOpAdd, u"text", nullptr, &result, &text, dictionary), NUVResultOk);
  EXPECT_EQ(Text(Get(dictionary, u"text").AsString()), u"x");

  EXPECT_EQ(dictionary->ApplyOperation(NUVOpIncrement | NUVMemberMustExist, u"strict", nullptr, &result, nullptr,
                                       dictionary),
            NUVResultMemberNotFound);
  EXPECT_EQ(dictionary->ApplyOperation(NUVOpAdd, u"nothing", nullptr, &result, nullptr, dictionary),
            NUVResultInvalidParam);
  EXPECT_EQ(dictionary->ApplyOperation(0, u"nothing", nullptr, &result, &text, dictionary), NUVResultInvalidParam);
  EXPECT_EQ(Members(dictionary).size(), 2u) << "rejected operations create no key";
}

TEST_F(DictionaryTest, AssignFromArrayPairs) {
  iNUVDispatch2* dictionary = NewDictionary({{u"old", Int(0)}});
  iNUVDispatch2* pairs = NewArray({Str(u"a"), Int(1), tNUVVariant(), Int(2), Str(u"b"), Str(u"two"), Str(u"lone")});
  ASSERT_EQ(Method(u"assign", dictionary, {tNUVVariant(pairs, pairs)}).Code, NUVResultOk);
  auto members = Members(dictionary);
  std::sort(members.begin(), members.end());
  EXPECT_EQ(members, (tMembers{{u"a", 0}, {u"b", 0}})) << "cleared; void key and lone element skipped";
  EXPECT_EQ(Text(Get(dictionary, u"b").AsString()), u"two");

  iNUVDispatch2* numericKey = NewArray({Str(u"c"), Int(3), Int(5), Int(6)});
  std::u16string message = ErrorOf([&] { Method(u"assign", dictionary, {tNUVVariant(numericKey, numericKey)}); });
  EXPECT_NE(message.find(u"string"), std::u16string::npos);
  EXPECT_NE(message.find(u"(int)5"), std::u16string::npos);
  EXPECT_EQ(Members(dictionary).size(), 2u) << "a bad key changes nothing";

  EXPECT_THROW(Method(u"assign", dictionary, {Str(u"not an object")}), eNUVVariantError);
  tNUVVariant none;
  none.SetObject(nullptr, nullptr);
  EXPECT_EQ(ErrorOf([&] { Method(u"assign", dictionary, {none}); }), std::u16string(NUVNullAccess.Text()));
}

TEST_F(DictionaryTest, AssignWithAndWithoutClear) {
  iNUVDispatch2* source = NewDictionary({{u"shared", Str(u"new")}, {u"added", Int(1)}});
  auto assignWith = [&](std::initializer_list<tNUVVariant> flag) {
    iNUVDispatch2* dictionary = NewDictionary({{u"shared", Str(u"old")}, {u"kept", Int(2)}});
    std::vector<tNUVVariant> arguments{tNUVVariant(source, nullptr)};
    for (const tNUVVariant& value : flag) arguments.push_back(value);
    tNUVVariant* pointers[2] = {&arguments[0], arguments.size() > 1 ? &arguments[1] : nullptr};
    EXPECT_EQ(Class->CallMember(0, u"assign", nullptr, nullptr, static_cast<int32_t>(arguments.size()), pointers,
                                dictionary),
              NUVResultOk);
    auto members = Members(dictionary);
    std::sort(members.begin(), members.end());
    std::u16string names;
    for (const auto& member : members) names += member.first + u" ";
    return names + Text(Get(dictionary, u"shared").AsString());
  };
  EXPECT_EQ(assignWith({}), u"added shared new");
  EXPECT_EQ(assignWith({tNUVVariant()}), u"added shared new");
  EXPECT_EQ(assignWith({Int(1)}), u"added shared new");
  EXPECT_EQ(assignWith({Int(0)}), u"added kept shared new");
  EXPECT_EQ(assignWith({Str(u"0")}), u"added kept shared new");

  iNUVDispatch2* self = NewDictionary({{u"x", Int(1)}});
  ASSERT_EQ(Method(u"assign", self, {tNUVVariant(self, self)}).Code, NUVResultOk);
  EXPECT_EQ(Members(self), (tMembers{{u"x", 0}})) << "assigning from itself keeps the entries";
}

TEST_F(DictionaryTest, AssignFromPlainObjectSkipsHiddenAndKeepsStatic) {
  iNUVDispatch2* plain = NUVCreateCustomObject();
  Owned.push_back(plain);
  Set(plain, u"visible", Int(1));
  Set(plain, u"hidden", Int(2), NUVHiddenMember);
  Set(plain, u"static", Int(3), NUVStaticMember);
  iNUVDispatch2* dictionary = NewDictionary();
  ASSERT_EQ(Method(u"assign", dictionary, {tNUVVariant(plain, plain)}).Code, NUVResultOk);
  auto members = Members(dictionary);
  std::sort(members.begin(), members.end());
  EXPECT_EQ(members, (tMembers{{u"static", NUVStaticMember}, {u"visible", 0}}));
}

TEST_F(DictionaryTest, AssignStructOfSelfContainingDictionary) {
  iNUVDispatch2* inner = NewDictionary({{u"n", Int(1)}});
  iNUVDispatch2* list = NewArray({Int(1), Str(u"s")});
  iNUVDispatch2* source = NewDictionary({{u"inner", tNUVVariant(inner, inner)}, {u"list", tNUVVariant(list, nullptr)},
                                          {u"text", Str(u"t")}});
  Set(source, u"self", tNUVVariant(source, source));
  Set(source, u"secret", Int(9), NUVHiddenMember);
  NUVFindArray(list)->Add(tNUVVariant(source, nullptr));

  iNUVDispatch2* copy = NewDictionary({{u"old", Int(0)}});
  ASSERT_EQ(Method(u"assignStruct", copy, {tNUVVariant(source, nullptr)}).Code, NUVResultOk);
  auto members = Members(copy);
  std::sort(members.begin(), members.end());
  EXPECT_EQ(members, (tMembers{{u"inner", 0}, {u"list", 0}, {u"self", 0}, {u"text", 0}}));
  tNUVVariant self = Get(copy, u"self");
  EXPECT_EQ(self.vt, tvtObject);
  EXPECT_EQ(self.Object.Object, nullptr);
  EXPECT_EQ(self.Object.ObjThis, nullptr);
  tNUVVariant innerCopy = Get(copy, u"inner");
  ASSERT_NE(NUVFindDictionary(innerCopy.AsObject()), nullptr);
  EXPECT_NE(innerCopy.AsObject(), inner);
  EXPECT_EQ(Get(innerCopy.AsObject(), u"n").AsInteger(), 1);
  tNUVArrayNI* listCopy = NUVFindArray(Get(copy, u"list").AsObject());
  ASSERT_NE(listCopy, nullptr);
  ASSERT_EQ(listCopy->GetCount(), 3);
  EXPECT_EQ(listCopy->At(2).vt, tvtObject);
  EXPECT_EQ(listCopy->At(2).Object.Object, nullptr) << "the array's way back to the source is cut too";

  iNUVDispatch2* array = NewArray();
  EXPECT_EQ(ErrorOf([&] { Method(u"assignStruct", copy, {tNUVVariant(array, array)}); }),
            std::u16string(NUVSpecifyDicOrArray.Text()));
  EXPECT_EQ(Members(copy).size(), 4u);

  ASSERT_EQ(Method(u"clear", copy).Code, NUVResultOk);
  EXPECT_EQ(Members(copy).size(), 0u);
  // Break the cycles.
  NUVFindArray(list)->Clear();
  ASSERT_EQ(Method(u"clear", source).Code, NUVResultOk);
}

TEST_F(DictionaryTest, SaveStructText) {
  TestStreams::tMemoryFiles files;
  iNUVDispatch2* empty = NewDictionary();
  auto result = Method(u"saveStruct", empty, {Str(u"empty.txt")});
  ASSERT_EQ(result.Code, NUVResultOk);
  EXPECT_EQ(result.Value.AsObject(), empty);
  EXPECT_EQ(files.Files[u"empty.txt"], u"%[\n]");
  EXPECT_EQ(files.Modes.back(), u"w");

  iNUVDispatch2* list = NewArray({Int(1), tNUVVariant(empty, nullptr)});
  iNUVDispatch2* dictionary = NewDictionary({{u"list", tNUVVariant(list, list)}});
  Set(dictionary, u"hidden", Int(1), NUVHiddenMember);
  Set(dictionary, u"tab\tkey", tNUVVariant(dictionary, dictionary));
  ASSERT_EQ(Method(u"saveStruct", dictionary, {Str(u"d.txt"), Str(u"a")}).Code, NUVResultOk);
  EXPECT_EQ(files.Modes.back(), u"a");
  std::u16string listText = u" \"list\" => [\n  int 1,\n  %[\n  ]\n ]";
  std::u16string selfText = u" \"tab\\tkey\" => null /* object recursion detected */";
  std::vector<std::u16string> order;
  for (const auto& member : Members(dictionary))
    if (member.second == 0) order.push_back(member.first);
  ASSERT_EQ(order.size(), 2u);
  std::u16string expected = order[0] == u"list" ? u"%[\n" + listText + u",\n" + selfText + u"\n]"
                                                : u"%[\n" + selfText + u",\n" + listText + u"\n]";
  EXPECT_EQ(files.Files[u"d.txt"], expected);

  // Nested in an array, the dictionary is indented with the array's elements.
  iNUVDispatch2* holder = NewArray({tNUVVariant(empty, empty), tNUVVariant(-2.0)});
  Set(empty, u"k", Str(u"v"));
  ASSERT_EQ(NUVFindArray(holder)->GetCount(), 2);
  tNUVVariant fileName = Str(u"h.txt");
  tNUVVariant* arguments[1] = {&fileName};
  ASSERT_EQ(holder->CallMember(0, u"saveStruct", nullptr, nullptr, 1, arguments, holder), NUVResultOk);
  EXPECT_EQ(files.Files[u"h.txt"],
            u"[\n %[\n  \"k\" => string \"v\"\n ],\n real -0x1.0000000000000p1 /* -2 */\n]");
  EXPECT_EQ(files.OpenStreams, 0);
  ASSERT_EQ(Method(u"clear", dictionary).Code, NUVResultOk);
}

TEST_F(DictionaryTest, InvalidatedDictionaryAndWrongObjects) {
  iNUVDispatch2* dictionary = NewDictionary({{u"a", Int(1)}});
  Set(dictionary, u"self", tNUVVariant(dictionary, dictionary));
  ASSERT_EQ(dictionary->Invalidate(0, nullptr, nullptr, dictionary), NUVResultTrue);
  iNUVDispatch2* array = NewArray({Str(u"k"), Int(1)});
  for (const char16_t* name : {u"load", u"save", u"saveStruct", u"assign", u"assignStruct", u"clear"})
    EXPECT_EQ(Method(name, dictionary, {tNUVVariant(array, array)}).Code, NUVResultInvalidObject)
        << tNUVString(name).AsStdString();
  tNUVVariant value;
  EXPECT_EQ(dictionary->GetMember(0, u"a", nullptr, &value, dictionary), NUVResultInvalidObject);
  EXPECT_EQ(dictionary->ApplyOperation(NUVOpIncrement, u"a", nullptr, &value, nullptr, dictionary),
            NUVResultInvalidObject);

  iNUVDispatch2* plain = NUVCreateCustomObject();
  Owned.push_back(plain);
  EXPECT_EQ(Method(u"clear", plain).Code, NUVResultNativeClassCrash);
  EXPECT_EQ(Method(u"clear", nullptr).Code, NUVResultNativeClassCrash);
  EXPECT_EQ(Method(u"assign", array, {tNUVVariant(array, array)}).Code, NUVResultNativeClassCrash);
  iNUVDispatch2* live = NewDictionary();
  EXPECT_EQ(Method(u"assign", live).Code, NUVResultBadParamCount);
  EXPECT_EQ(Method(u"saveStruct", live).Code, NUVResultBadParamCount);
  EXPECT_EQ(Method(u"assignStruct", live).Code, NUVResultBadParamCount);

  iNUVDispatch2* created = nullptr;
  tNUVVariant argument = Int(1);
  tNUVVariant* arguments[1] = {&argument};
  EXPECT_EQ(Class->CreateInstance(0, nullptr, nullptr, &created, 1, arguments, nullptr), NUVResultBadParamCount);
}

TEST_F(DictionaryTest, StaticMethodsStayOnTheClass) {
  iNUVDispatch2* dictionary = NewDictionary({{u"k", Int(1)}});
  EXPECT_EQ(Members(dictionary), (tMembers{{u"k", 0}}));
  EXPECT_EQ(dictionary->CallMember(0, u"assign", nullptr, nullptr, 0, nullptr, dictionary), NUVResultMemberNotFound);
  EXPECT_EQ(dictionary->IsInstanceOf(0, nullptr, nullptr, u"Dictionary", dictionary), NUVResultTrue);
  // load and save touch nothing (no stream factory is installed here).
  EXPECT_EQ(Method(u"load", dictionary, {Str(u"file")}).Code, NUVResultOk);
  EXPECT_EQ(Method(u"save", dictionary, {Str(u"file")}).Code, NUVResultOk);
  EXPECT_EQ(Get(dictionary, u"k").AsInteger(), 1);
  // The shared class object makes dictionaries for the engine.
  iNUVDispatch2* made = CreateDictionaryObject();
  Owned.push_back(made);
  EXPECT_NE(NUVFindDictionary(made), nullptr);
  EXPECT_EQ(Method(u"clear", made).Code, NUVResultOk);
}

TEST_F(DictionaryTest, ClassMethodsWorkOnAnyObjectMadeADictionary) {
  iNUVDispatch2* plain = NUVCreateCustomObject();
  Owned.push_back(plain);
  Set(plain, u"a", Int(1));
  Set(plain, u"b", Int(2), NUVHiddenMember);
  ASSERT_EQ(Class->CallMember(0, nullptr, nullptr, nullptr, 0, nullptr, plain), NUVResultOk);
  EXPECT_EQ(Method(u"clear", plain).Code, NUVResultInvalidObject) << "not constructed yet";
  ASSERT_EQ(Method(u"Dictionary", plain).Code, NUVResultOk);
  ASSERT_EQ(Method(u"clear", plain).Code, NUVResultOk);
  EXPECT_EQ(Members(plain).size(), 0u);
}

TEST_F(DictionaryTest, SelfContainingDictionariesAreFreed) {
  iNUVDispatch2* cleared = CreateDictionaryObject();
  Set(cleared, u"self", tNUVVariant(cleared, cleared));
  Set(cleared, u"plain", tNUVVariant(cleared, nullptr));
  ASSERT_EQ(Method(u"clear", cleared).Code, NUVResultOk);
  cleared->Release();

  iNUVDispatch2* invalidated = CreateDictionaryObject();
  iNUVDispatch2* array = CreateArrayObject();
  Set(invalidated, u"array", tNUVVariant(array, array));
  NUVFindArray(array)->Add(tNUVVariant(invalidated, invalidated));
  array->Release();
  ASSERT_EQ(invalidated->Invalidate(0, nullptr, nullptr, invalidated), NUVResultTrue);
  invalidated->Release();
}

}  // namespace

TEST_F(DictionaryTest, TableGrowsWithItsKeysWhilePlainObjectsWaitForARequest) {
  iNUVDispatch2* dictionary = CreateDictionaryObject();
  Owned.push_back(dictionary);
  iNUVDispatch2* plain = NUVCreateCustomObject();
  Owned.push_back(plain);
  const int count = 5000;
  for (int i = 0; i < count; ++i) {
    tNUVString number = tNUVString::FromInteger(i);
    std::u16string key = u"key" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) +
                         std::u16string(number.c_str(), static_cast<size_t>(number.GetLen()));
    Set(dictionary, key.c_str(), Int(i));
    if (i < 40) Set(plain, key.c_str(), Int(i));
  }
  auto* table = static_cast<tNUVCustomObject*>(dictionary);
  EXPECT_GE(table->GetHashSize(), count / 2);
  EXPECT_EQ(static_cast<tNUVCustomObject*>(plain)->GetHashSize(), 8);
  EXPECT_EQ(Members(dictionary).size(), static_cast<size_t>(count));
  EXPECT_EQ(Get(dictionary, u"keyA0").AsInteger(), 0);
  EXPECT_EQ(Get(dictionary, u"keyH4999").AsInteger(), 4999);
}

}  // namespace NUV
