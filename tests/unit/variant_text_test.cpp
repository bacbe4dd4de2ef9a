// Text forms of values: the real text, the hexadecimal real text, the readable
// text of messages and dumps, and the typed literal text used when saving.

#include <limits>

#include "variant_test_support.h"

namespace NUV {
namespace {

using namespace VariantTest;

using tVariantTextTest = tVariantTest;

constexpr double Infinity = std::numeric_limits<double>::infinity();
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

TEST(tRealTextTest, FifteenSignificantDigitsAndSpecialForms) {
  const struct {
    double Value;
    const char16_t* Text;
  } cases[] = {
      {0.1 + 0.2, u"0.3"},
      {1.0, u"1"},
      {-2.5, u"-2.5"},
      {1e20, u"1e+20"},
      {123456789012345678.0, u"1.23456789012346e+17"},
      {123456789012345.0, u"123456789012345"},
      {1e15, u"1e+15"},
      {1.0 / 3.0, u"0.333333333333333"},
      {0.0001, u"0.0001"},
      {1e-5, u"1e-05"},
      {-1e-300, u"-1e-300"},
      {1.7976931348623157e308, u"1.79769313486232e+308"},
      {0.0, u"+0.0"},
      {-0.0, u"-0.0"},
      {NaN, u"NaN"},
      {RealFromBits(0xFFF8000000000001ull), u"NaN"},   // sign and payload do not matter
      {Infinity, u"+Infinity"},
      {-Infinity, u"-Infinity"},
  };
  for (const auto& testCase : cases) {
    EXPECT_EQ(Text(RealToText(testCase.Value)), testCase.Text) << testCase.Value;
  }
  tNUVVariant product(1e200);
  product.MultiplyAssign(tNUVVariant(1e200));
  EXPECT_EQ(Text(product.AsString()), u"+Infinity");
}

TEST(tRealTextTest, HexadecimalForm) {
  const struct {
    double Value;
    const char16_t* Text;
  } cases[] = {
      {1.0, u"0x1.0000000000000p0"},
      {-2.5, u"-0x1.4000000000000p1"},
      {0.5, u"0x1.0000000000000p-1"},
      {3.0, u"0x1.8000000000000p1"},
      {0.1, u"0x1.999999999999Ap-4"},
      {1e20, u"0x1.5AF1D78B58C40p66"},
      {1.7976931348623157e308, u"0x1.FFFFFFFFFFFFFp1023"},
      {RealFromBits(0x0010000000000000ull), u"0x1.0000000000000p-1022"},
      {RealFromBits(1), u"0x1.0000000000001p-1023"},   // subnormals keep the raw fields
      {0.0, u"+0.0"},
      {-0.0, u"-0.0"},
      {NaN, u"NaN"},
      {Infinity, u"+Infinity"},
      {-Infinity, u"-Infinity"},
  };
  for (const auto& testCase : cases) {
    EXPECT_EQ(Text(RealToHexText(testCase.Value)), testCase.Text) << testCase.Value;
  }
}

TEST_F(tVariantTextTest, ReadableTextPerTag) {
  EXPECT_EQ(Text(tNUVVariant().ReadableText(512)), u"(void)");
  EXPECT_EQ(Text(tNUVVariant(int64_t{-5}).ReadableText(512)), u"(int)-5");
  EXPECT_EQ(Text(tNUVVariant(INT64_MIN).ReadableText(512)), u"(int)-9223372036854775808");
  EXPECT_EQ(Text(tNUVVariant(1.5).ReadableText(512)), u"(real)1.5");
  EXPECT_EQ(Text(tNUVVariant(0.0).ReadableText(512)), u"(real)+0.0");
  EXPECT_EQ(Text(tNUVVariant(u"a\nb\"c\\").ReadableText(512)), u"(string)\"a\\nb\\\"c\\\\\"");
  EXPECT_EQ(Text(tNUVVariant(u"").ReadableText(512)), u"(string)\"\"");
  EXPECT_EQ(Text(OctetOf({0x01, 0xAB}).ReadableText(512)), u"(octet)<% 01 AB %>");
  EXPECT_EQ(Text(OctetOf({0xF0}).ReadableText(512)), u"(octet)<% F0 %>");
  EXPECT_EQ(Text(OctetOf({}).ReadableText(512)), u"(octet)<%  %>");

  tCountedObject* object = tCountedObject::Create();
  tCountedObject* objThis = tCountedObject::Create();
  EXPECT_EQ(Text(tNUVVariant(object, objThis).ReadableText(512)), u"(object)" + ObjectText(object, objThis));
  EXPECT_EQ(Text(tNUVVariant(static_cast<iNUVDispatch2*>(nullptr)).ReadableText(512)),
            u"(object)(object 0x0000000000000000:0x0000000000000000)");
  object->Release();
  objThis->Release();

  tNUVVariant unknown;
  unknown.vt = 9;
  EXPECT_TRUE(unknown.ReadableText(512).IsEmpty());
  EXPECT_TRUE(unknown.TypedLiteralText().IsEmpty());
  unknown.vt = tvtVoid;
}

TEST_F(tVariantTextTest, ReadableTextIsCutToTheLimit) {
  EXPECT_EQ(Text(tNUVVariant(int64_t{12345}).ReadableText(10)), u"(int)12345");   // exactly the limit
  EXPECT_EQ(Text(tNUVVariant(int64_t{123456}).ReadableText(10)), u"(int)12...");
  std::u16string longText(600, u'a');
  std::u16string readable = Text(tNUVVariant(tNUVString(longText)).ReadableText(512));
  EXPECT_EQ(readable.size(), 512u);
  EXPECT_EQ(readable.substr(0, 12), u"(string)\"aaa");
  EXPECT_EQ(readable.substr(509), u"...");
}

TEST_F(tVariantTextTest, TypedLiteralTextPerTag) {
  EXPECT_EQ(Text(tNUVVariant().TypedLiteralText()), u"void");
  EXPECT_EQ(Text(tNUVVariant(int64_t{5}).TypedLiteralText()), u"int 5");
  EXPECT_EQ(Text(tNUVVariant(INT64_MIN).TypedLiteralText()), u"int -9223372036854775808");
  EXPECT_EQ(Text(tNUVVariant(3.0).TypedLiteralText()), u"real 0x1.8000000000000p1 /* 3 */");
  EXPECT_EQ(Text(tNUVVariant(-0.1).TypedLiteralText()), u"real -0x1.999999999999Ap-4 /* -0.1 */");
  EXPECT_EQ(Text(tNUVVariant(-0.0).TypedLiteralText()), u"real -0.0 /* -0.0 */");
  EXPECT_EQ(Text(tNUVVariant(NaN).TypedLiteralText()), u"real NaN /* NaN */");
  EXPECT_EQ(Text(tNUVVariant(u"a\nb").TypedLiteralText()), u"string \"a\\nb\"");
  EXPECT_EQ(Text(tNUVVariant(u"").TypedLiteralText()), u"string \"\"");
  EXPECT_EQ(Text(OctetOf({1, 2}).TypedLiteralText()), u"octet <% 01 02 %>");
  EXPECT_EQ(Text(OctetOf({}).TypedLiteralText()), u"octet <%  %>");
  tCountedObject* object = tCountedObject::Create();
  EXPECT_TRUE(tNUVVariant(object).TypedLiteralText().IsEmpty());   // callers write objects themselves
  object->Release();

  // Long values are never cut here: saving needs them whole.
  std::u16string longText(600, u'z');
  EXPECT_EQ(Text(tNUVVariant(tNUVString(longText)).TypedLiteralText()), u"string \"" + longText + u"\"");
}

}  // namespace
}  // namespace NUV
