// RegExp parts that scripts cannot observe: the matcher interface (UTF-16 offsets,
// a failed compile keeping the old expression, cursors unaffected by recompiling),
// the flag words, the result codes of _compile, and the Array splitter
// hook outliving the class object that installed it.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "engine/objects/array.h"
#include "engine/objects/regexp_class.h"
#include "engine/objects/regexp_matcher.h"
#include "engine/services/errors.h"

namespace NUV {
namespace {

std::u16string ErrorOf(void (*action)(tNUVRegExpMatcher&), tNUVRegExpMatcher& matcher) {
  try {
    action(matcher);
  } catch (const eNUV& error) {
    tNUVString message = error.GetMessage();
    return std::u16string(message.c_str(), message.GetLen());
  }
  return u"";
}

void Compile(tNUVRegExpMatcher& matcher, const std::u16string& pattern, bool ignoreCase = false) {
  matcher.Compile(pattern.data(), static_cast<int32_t>(pattern.size()), ignoreCase);
}

TEST(RegExpMatcher, OffsetsCountUtf16UnitsWhileAPairIsOneCharacter) {
  tNUVRegExpMatcher matcher;
  Compile(matcher, u"b.(.)");
  const std::u16string text = u"a\U0001F600b\U0001F600\U0001F601c";
  tNUVRegExpMatch match;
  ASSERT_TRUE(matcher.Search(text.data(), static_cast<int32_t>(text.size()), 0, match));
  EXPECT_EQ(match.Position(), 3);
  EXPECT_EQ(match.Length(), 5);
  ASSERT_EQ(match.Groups.size(), 2u);
  EXPECT_EQ(match.Groups[1].Begin, 6);
  EXPECT_EQ(match.Groups[1].End, 8);
  // A search from an offset sees nothing before it, but reports whole-text offsets.
  Compile(matcher, u"^b");
  EXPECT_FALSE(matcher.Search(text.data(), static_cast<int32_t>(text.size()), 0, match));
  ASSERT_TRUE(matcher.Search(text.data(), static_cast<int32_t>(text.size()), 3, match));
  EXPECT_EQ(match.Position(), 3);
}

TEST(RegExpMatcher, FailedCompileRaisesTheLibraryTextAndKeepsTheOldExpression) {
  tNUVRegExpMatcher matcher;
  Compile(matcher, u"A", true);
  std::u16string message = ErrorOf([](tNUVRegExpMatcher& m) { Compile(m, u"(\u00E9"); }, matcher);
  EXPECT_EQ(message.rfind(u"Unmatched marking parenthesis", 0), 0u) << tNUVString(message).AsStdString();
  // The pattern piece the library quotes in 8-bit form never turns into bad text.
  EXPECT_NE(message.find(u"'(?>>>HERE>>>'"), std::u16string::npos) << tNUVString(message).AsStdString();
  tNUVRegExpMatch match;
  const char16_t text[] = u"xa";
  EXPECT_TRUE(matcher.Search(text, 2, 0, match)) << "still the case-insensitive A";
}

TEST(RegExpMatcher, CursorKeepsItsExpressionWhenTheMatcherIsRecompiled) {
  tNUVRegExpMatcher matcher;
  Compile(matcher, u"a");
  const char16_t text[] = u"a1a2";
  tNUVRegExpMatcher::tCursor cursor = matcher.Iterate(text, 4);
  tNUVRegExpMatch match;
  ASSERT_TRUE(cursor.Next(match));
  EXPECT_EQ(match.Position(), 0);
  Compile(matcher, u"\\d");
  ASSERT_TRUE(cursor.Next(match));
  EXPECT_EQ(match.Position(), 2);
  EXPECT_FALSE(cursor.Next(match));
  EXPECT_FALSE(cursor.Next(match)) << "asking again after the end stays at the end";
}

TEST(RegExpClass, FlagWords) {
  EXPECT_EQ(tNUVNI_RegExp::FlagsFromText(u"", 0), 0x8507u);
  EXPECT_EQ(tNUVNI_RegExp::FlagsFromText(u"gxi", 3), 0x80000000u | 0x2000u | 0x8507u);
  EXPECT_EQ(tNUVNI_RegExp::FlagsFromText(u"i/g", 3), 0x2000u | 0x8507u) << "reading stops at /";
}

// A RegExp class object and its instances, released at the end.
class RegExpObjects : public ::testing::Test {
protected:
  void SetUp() override { Class = new tNUVNC_RegExp; }
  void TearDown() override {
    for (iNUVDispatch2* object : Owned) object->Release();
    if (Class) Class->Release();
    NUVReleaseSharedArrayClass();
  }

  iNUVDispatch2* New(std::initializer_list<tNUVVariant> arguments) {
    std::vector<tNUVVariant> values(arguments);
    std::vector<tNUVVariant*> pointers;
    for (tNUVVariant& value : values) pointers.push_back(&value);
    iNUVDispatch2* object = nullptr;
    NUVThrowFromResultCode(Class->CreateInstance(0, nullptr, nullptr, &object,
                                                 static_cast<int32_t>(pointers.size()), pointers.data(), nullptr));
    Owned.push_back(object);
    return object;
  }

  static int32_t Call(iNUVDispatch2* object, const char16_t* name, std::initializer_list<tNUVVariant> arguments,
                      iNUVDispatch2* objThis) {
    std::vector<tNUVVariant> values(arguments);
    std::vector<tNUVVariant*> pointers;
    for (tNUVVariant& value : values) pointers.push_back(&value);
    tNUVVariant result;
    return object->CallMember(0, name, nullptr, &result, static_cast<int32_t>(pointers.size()), pointers.data(),
                              objThis);
  }

  tNUVNC_RegExp* Class = nullptr;
  std::vector<iNUVDispatch2*> Owned;
};

TEST_F(RegExpObjects, LiteralCompileAnswersItsResultCodes) {
  iNUVDispatch2* regExp = New({u"a", u"g"});
  EXPECT_EQ(Call(regExp, u"_compile", {u"/g/x"}, regExp), NUVResultFailed);
  EXPECT_EQ(Call(regExp, u"_compile", {u"//gx"}, regExp), NUVResultFailed);
  EXPECT_EQ(Call(regExp, u"_compile", {u"//i/x", u""}, regExp), NUVResultBadParamCount);
  EXPECT_EQ(Call(regExp, u"_compile", {u"//i/X"}, regExp), NUVResultOk);
  EXPECT_EQ(NUVFindRegExp(regExp)->GetFlags(), 0x2000u | 0x8507u);
}

TEST_F(RegExpObjects, ArraySplitterOutlivesTheClassObject) {
  iNUVDispatch2* regExp = New({u"([,;])"});
  Class->Release();
  Class = nullptr;
  iNUVDispatch2* array = CreateArrayObject();
  Owned.push_back(array);
  EXPECT_EQ(Call(array, u"split", {tNUVVariant(regExp, regExp), u"a,b;c"}, array), NUVResultOk);
  tNUVArrayNI* elements = NUVFindArray(array);
  ASSERT_EQ(elements->GetCount(), 5);
  EXPECT_EQ(elements->At(3).AsString(), u";");
  // A new class object (a new engine) keeps the same class id and hook.
  Class = new tNUVNC_RegExp;
  EXPECT_EQ(NUVFindRegExp(regExp), NUVFindNativeInstance(regExp, Class->GetClassID()));
  EXPECT_EQ(Call(array, u"split", {tNUVVariant(regExp, regExp), u"x;y"}, array), NUVResultOk);
  EXPECT_EQ(elements->GetCount(), 3);
}

}  // namespace
}  // namespace NUV
