// Variant comparisons: equality (==), identity (===), the bitwise identity used to
// share constants, and ordering.

#include <limits>

#include "variant_test_support.h"

namespace NUV {
namespace {

using namespace VariantTest;

using tVariantCompareTest = tVariantTest;

constexpr double Infinity = std::numeric_limits<double>::infinity();
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// Checks == both ways round.
void ExpectEqual(const tNUVVariant& left, const tNUVVariant& right, bool expected) {
  EXPECT_EQ(left.NormalCompare(right), expected)
      << ::testing::PrintToString(Text(left.ReadableText(80))) << " == "
      << ::testing::PrintToString(Text(right.ReadableText(80)));
  EXPECT_EQ(right.NormalCompare(left), expected)
      << ::testing::PrintToString(Text(right.ReadableText(80))) << " == "
      << ::testing::PrintToString(Text(left.ReadableText(80)));
}

TEST_F(tVariantCompareTest, EqualityAcrossTypes) {
  const tNUVVariant none;
  ExpectEqual(none, tNUVVariant(), true);
  ExpectEqual(none, tNUVVariant(int64_t{0}), true);
  ExpectEqual(none, tNUVVariant(0.0), true);
  ExpectEqual(none, tNUVVariant(-0.0), true);
  ExpectEqual(none, tNUVVariant(NaN), true);   // the zero test lets NaN through
  ExpectEqual(none, tNUVVariant(u""), true);
  ExpectEqual(none, tNUVVariant(u"0"), false);   // compared as texts
  ExpectEqual(none, tNUVVariant(int64_t{1}), false);
  ExpectEqual(none, tNUVVariant(1e-300), false);
  ExpectEqual(none, OctetOf({}), false);
  ExpectEqual(none, OctetOf({0}), false);

  ExpectEqual(tNUVVariant(u"abc"), tNUVVariant(int64_t{0}), false);
  ExpectEqual(tNUVVariant(u"0"), tNUVVariant(int64_t{0}), true);
  ExpectEqual(tNUVVariant(u"1"), tNUVVariant(1.0), true);   // the real text of 1.0 is "1"
  ExpectEqual(tNUVVariant(u"1.0"), tNUVVariant(int64_t{1}), false);
  ExpectEqual(tNUVVariant(u"0.3"), tNUVVariant(0.1 + 0.2), true);
  ExpectEqual(tNUVVariant(u"abc"), tNUVVariant(u"abc"), true);
  ExpectEqual(tNUVVariant(u"abc"), tNUVVariant(u"abd"), false);
  ExpectEqual(tNUVVariant(u"ab"), tNUVVariant(u"abc"), false);
  ExpectEqual(tNUVVariant(u""), tNUVVariant(u"a"), false);

  ExpectEqual(tNUVVariant(int64_t{1}), tNUVVariant(1.0), true);
  ExpectEqual(tNUVVariant(INT64_MAX), tNUVVariant(INT64_MAX - 1), false);
  ExpectEqual(tNUVVariant(int64_t{0}), tNUVVariant(-0.0), true);
  ExpectEqual(tNUVVariant(0.0), tNUVVariant(-0.0), true);
  ExpectEqual(tNUVVariant(NaN), tNUVVariant(NaN), false);
  ExpectEqual(tNUVVariant(NaN), tNUVVariant(int64_t{0}), false);
  ExpectEqual(tNUVVariant(Infinity), tNUVVariant(Infinity), true);
  ExpectEqual(tNUVVariant(Infinity), tNUVVariant(-Infinity), false);
  ExpectEqual(tNUVVariant(Infinity), tNUVVariant(INT64_MAX), false);

  ExpectEqual(OctetOf({1, 2}), OctetOf({1, 2}), true);
  ExpectEqual(OctetOf({1, 2}), OctetOf({1, 3}), false);
  ExpectEqual(OctetOf({1, 2}), OctetOf({1, 2, 3}), false);
  ExpectEqual(OctetOf({}), OctetOf({}), true);
  ExpectEqual(OctetOf({}), OctetOf({1}), false);
}

TEST_F(tVariantCompareTest, EqualityRaisesForOctetsAndObjectsAgainstNumbers) {
  tNUVVariant octet = OctetOf({9});
  EXPECT_EQ(VariantErrorText([&] { octet.NormalCompare(tNUVVariant(int64_t{9})); }),
            ConvertMessage(u"(octet)<% 09 %>", u"real"));
  EXPECT_EQ(VariantErrorText([&] { tNUVVariant(u"x").NormalCompare(octet); }),
            ConvertMessage(u"(octet)<% 09 %>", u"string"));

  tCountedObject* object = tCountedObject::Create();
  tNUVVariant value(object);
  EXPECT_EQ(VariantErrorText([&] { tNUVVariant(1.0).NormalCompare(value); }),
            ConvertMessage(u"(object)" + ObjectText(object, nullptr), u"real"));
  EXPECT_THROW(value.NormalCompare(octet), eNUVVariantError);
  object->Release();
}

TEST_F(tVariantCompareTest, ObjectEqualityAndIdentity) {
  tCountedObject* object = tCountedObject::Create();
  tCountedObject* other = tCountedObject::Create();
  tCountedObject* objThis = tCountedObject::Create();
  tNUVVariant plain(object);
  tNUVVariant bound(object, objThis);
  tNUVVariant otherObject(other, objThis);

  EXPECT_TRUE(plain.NormalCompare(bound));    // objthis is not compared by ==
  EXPECT_FALSE(plain.DiscernCompare(bound));  // but is by ===
  EXPECT_FALSE(plain.DiscernCompareStrictReal(bound));
  EXPECT_TRUE(bound.DiscernCompare(tNUVVariant(object, objThis)));
  EXPECT_FALSE(bound.NormalCompare(otherObject));
  EXPECT_FALSE(bound.DiscernCompare(otherObject));
  ExpectEqual(plain, tNUVVariant(), false);
  // Against a string the object's text is compared.
  ExpectEqual(bound, tNUVVariant(tNUVString(ObjectText(object, objThis))), true);
  ExpectEqual(bound, tNUVVariant(u"(object)"), false);

  object->Release();
  other->Release();
  objThis->Release();
}

TEST_F(tVariantCompareTest, IdentityNeedsTheSameTag) {
  EXPECT_TRUE(tNUVVariant().DiscernCompare(tNUVVariant()));
  EXPECT_FALSE(tNUVVariant().DiscernCompare(tNUVVariant(int64_t{0})));
  EXPECT_FALSE(tNUVVariant(int64_t{1}).DiscernCompare(tNUVVariant(1.0)));
  EXPECT_FALSE(tNUVVariant(u"1").DiscernCompare(tNUVVariant(int64_t{1})));
  EXPECT_FALSE(tNUVVariant(u"").DiscernCompare(tNUVVariant()));
  EXPECT_TRUE(tNUVVariant(u"abc").DiscernCompare(tNUVVariant(u"abc")));
  EXPECT_FALSE(tNUVVariant(u"abc").DiscernCompare(tNUVVariant(u"abC")));
  EXPECT_TRUE(OctetOf({4, 5}).DiscernCompare(OctetOf({4, 5})));
  EXPECT_FALSE(OctetOf({4, 5}).DiscernCompare(OctetOf({4})));
  EXPECT_TRUE(tNUVVariant(int64_t{-3}).DiscernCompare(tNUVVariant(int64_t{-3})));

  EXPECT_TRUE(tNUVVariant(0.0).DiscernCompare(tNUVVariant(-0.0)));
  EXPECT_FALSE(tNUVVariant(NaN).DiscernCompare(tNUVVariant(NaN)));
  EXPECT_TRUE(tNUVVariant(-Infinity).DiscernCompare(tNUVVariant(-Infinity)));
  EXPECT_FALSE(tNUVVariant(-Infinity).DiscernCompare(tNUVVariant(Infinity)));
}

TEST_F(tVariantCompareTest, StrictRealIdentityComparesBits) {
  EXPECT_FALSE(tNUVVariant(0.0).DiscernCompareStrictReal(tNUVVariant(-0.0)));
  EXPECT_TRUE(tNUVVariant(-0.0).DiscernCompareStrictReal(tNUVVariant(-0.0)));
  EXPECT_TRUE(tNUVVariant(NaN).DiscernCompareStrictReal(tNUVVariant(NaN)));
  EXPECT_FALSE(tNUVVariant(NaN).DiscernCompareStrictReal(tNUVVariant(RealFromBits(0x7FF8000000000001ull))));
  EXPECT_TRUE(tNUVVariant(1.5).DiscernCompareStrictReal(tNUVVariant(1.5)));
  // Other tags as ===.
  EXPECT_FALSE(tNUVVariant(int64_t{1}).DiscernCompareStrictReal(tNUVVariant(1.0)));
  EXPECT_TRUE(tNUVVariant(u"text").DiscernCompareStrictReal(tNUVVariant(u"text")));
  EXPECT_TRUE(tNUVVariant().DiscernCompareStrictReal(tNUVVariant()));
}

// Checks < and > of a pair.
void ExpectOrder(const tNUVVariant& left, const tNUVVariant& right, bool less, bool greater) {
  std::string pair = ::testing::PrintToString(Text(left.ReadableText(80))) + " vs " +
                     ::testing::PrintToString(Text(right.ReadableText(80)));
  EXPECT_EQ(left.LessThan(right), less) << pair;
  EXPECT_EQ(left.GreaterThan(right), greater) << pair;
}

TEST_F(tVariantCompareTest, Ordering) {
  ExpectOrder(tNUVVariant(u"a"), tNUVVariant(u"b"), true, false);
  ExpectOrder(tNUVVariant(u"ab"), tNUVVariant(u"abc"), true, false);
  ExpectOrder(tNUVVariant(u"abc"), tNUVVariant(u"abc"), false, false);
  ExpectOrder(tNUVVariant(u""), tNUVVariant(u"a"), true, false);
  ExpectOrder(tNUVVariant(u"10"), tNUVVariant(u"9"), true, false);   // texts, not numbers
  ExpectOrder(tNUVVariant(u"\uFF21"), tNUVVariant(u"z"), false, true);   // unsigned units

  ExpectOrder(tNUVVariant(INT64_MAX - 1), tNUVVariant(INT64_MAX), true, false);   // exact, not as doubles
  ExpectOrder(tNUVVariant(INT64_MIN), tNUVVariant(int64_t{0}), true, false);
  ExpectOrder(tNUVVariant(int64_t{1}), tNUVVariant(1.5), true, false);
  ExpectOrder(tNUVVariant(2.0), tNUVVariant(int64_t{1}), false, true);
  ExpectOrder(tNUVVariant(u"10"), tNUVVariant(int64_t{9}), false, true);   // mixed: numbers
  ExpectOrder(tNUVVariant(), tNUVVariant(int64_t{1}), true, false);
  ExpectOrder(tNUVVariant(), tNUVVariant(u""), false, false);
  ExpectOrder(tNUVVariant(-Infinity), tNUVVariant(Infinity), true, false);
  ExpectOrder(tNUVVariant(-0.0), tNUVVariant(0.0), false, false);

  // With NaN on either side < holds and > does not.
  ExpectOrder(tNUVVariant(NaN), tNUVVariant(int64_t{1}), true, false);
  ExpectOrder(tNUVVariant(int64_t{1}), tNUVVariant(NaN), true, false);
  ExpectOrder(tNUVVariant(NaN), tNUVVariant(NaN), true, false);
  ExpectOrder(tNUVVariant(u"NaN"), tNUVVariant(int64_t{0}), true, false);

  tCountedObject* object = tCountedObject::Create();
  tNUVVariant value(object);
  EXPECT_EQ(VariantErrorText([&] { value.LessThan(tNUVVariant(int64_t{1})); }),
            ConvertMessage(u"(object)" + ObjectText(object, nullptr), u"real"));
  EXPECT_THROW(tNUVVariant(int64_t{1}).GreaterThan(value), eNUVVariantError);
  EXPECT_THROW(value.LessThan(value), eNUVVariantError);
  object->Release();
  EXPECT_EQ(VariantErrorText([] { OctetOf({1}).GreaterThan(OctetOf({2})); }),
            ConvertMessage(u"(octet)<% 01 %>", u"real"));
}

}  // namespace
}  // namespace NUV
