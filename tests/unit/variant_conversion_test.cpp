// Variant conversions: the As* queries, the in-place To* conversions, string to
// number, and the conversion error messages.

#include <limits>

#include "variant_test_support.h"

namespace NUV {
namespace {

using namespace VariantTest;

using tVariantConversionTest = tVariantTest;

constexpr double Infinity = std::numeric_limits<double>::infinity();
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

TEST_F(tVariantConversionTest, AsIntegerTruncatesAndParses) {
  EXPECT_EQ(tNUVVariant().AsInteger(), 0);
  EXPECT_EQ(tNUVVariant(int64_t{-7}).AsInteger(), -7);
  EXPECT_EQ(tNUVVariant(2.9).AsInteger(), 2);
  EXPECT_EQ(tNUVVariant(-2.9).AsInteger(), -2);
  EXPECT_EQ(tNUVVariant(9223372036854774784.0).AsInteger(), 9223372036854774784);
  EXPECT_EQ(tNUVVariant(-9223372036854775808.0).AsInteger(), INT64_MIN);
  // NaN and values outside the 64-bit range give the most negative integer.
  for (double outside : {NaN, 9223372036854775808.0, 1e19, -1e19, Infinity, -Infinity}) {
    EXPECT_EQ(tNUVVariant(outside).AsInteger(), INT64_MIN) << outside;
  }
  EXPECT_EQ(tNUVVariant(u"42").AsInteger(), 42);
  EXPECT_EQ(tNUVVariant(u"1.9").AsInteger(), 1);
  EXPECT_EQ(tNUVVariant(u"-1.9").AsInteger(), -1);
  EXPECT_EQ(tNUVVariant(u"1e30").AsInteger(), INT64_MIN);
}

TEST_F(tVariantConversionTest, AsRealWidensAndParses) {
  EXPECT_EQ(Bits(tNUVVariant().AsReal()), Bits(0.0));
  EXPECT_EQ(tNUVVariant(int64_t{3}).AsReal(), 3.0);
  EXPECT_EQ(tNUVVariant(INT64_MAX).AsReal(), 9223372036854775808.0);
  EXPECT_EQ(Bits(tNUVVariant(-0.0).AsReal()), Bits(-0.0));
  EXPECT_EQ(tNUVVariant(u"2.5").AsReal(), 2.5);
  EXPECT_EQ(tNUVVariant(u"7").AsReal(), 7.0);
  EXPECT_EQ(tNUVVariant(u"x").AsReal(), 0.0);
}

TEST_F(tVariantConversionTest, AsStringGivesTheTextForms) {
  EXPECT_TRUE(tNUVVariant().AsString().IsEmpty());
  EXPECT_EQ(Text(tNUVVariant(INT64_MIN).AsString()), u"-9223372036854775808");
  EXPECT_EQ(Text(tNUVVariant(int64_t{-5}).AsString()), u"-5");
  EXPECT_EQ(Text(tNUVVariant(0.5).AsString()), u"0.5");
  EXPECT_EQ(Text(tNUVVariant(-0.0).AsString()), u"-0.0");

  tNUVVariant text(u"same body");
  tNUVString result = text.AsString();
  EXPECT_EQ(result.GetBody(), text.String);
  EXPECT_EQ(text.String->RefCount, 1);

  tCountedObject* object = tCountedObject::Create();
  tCountedObject* objThis = tCountedObject::Create();
  EXPECT_EQ(Text(tNUVVariant(object, objThis).AsString()), ObjectText(object, objThis));
  tNUVVariant nullObject(static_cast<iNUVDispatch2*>(nullptr));
  EXPECT_EQ(Text(nullObject.AsString()), u"(object 0x0000000000000000:0x0000000000000000)");
  object->Release();
  objThis->Release();
}

TEST_F(tVariantConversionTest, AsOctetOnlyForOctetsAndVoid) {
  tNUVVariant octet = OctetOf({1, 2});
  EXPECT_EQ(octet.AsOctet(), octet.Octet);
  EXPECT_EQ(tNUVVariant().AsOctet(), nullptr);
  EXPECT_EQ(VariantErrorText([] { tNUVVariant(int64_t{5}).AsOctet(); }), ConvertMessage(u"(int)5", u"octet"));
  EXPECT_EQ(VariantErrorText([] { tNUVVariant(u"ab").AsOctet(); }),
            ConvertMessage(u"(string)\"ab\"", u"octet"));
  EXPECT_EQ(VariantErrorText([] { tNUVVariant(1.5).AsOctet(); }), ConvertMessage(u"(real)1.5", u"octet"));
}

TEST_F(tVariantConversionTest, ConversionErrorsNameTheValueAndTheTarget) {
  tNUVVariant octet = OctetOf({0x01, 0xAB});
  const std::u16string octetText = u"(octet)<% 01 AB %>";
  EXPECT_EQ(VariantErrorText([&] { octet.AsInteger(); }), ConvertMessage(octetText, u"int"));
  EXPECT_EQ(VariantErrorText([&] { octet.AsReal(); }), ConvertMessage(octetText, u"real"));
  EXPECT_EQ(VariantErrorText([&] { octet.AsString(); }), ConvertMessage(octetText, u"string"));

  tCountedObject* object = tCountedObject::Create();
  tNUVVariant value(object);
  const std::u16string objectText = u"(object)" + ObjectText(object, nullptr);
  EXPECT_EQ(VariantErrorText([&] { value.AsInteger(); }), ConvertMessage(objectText, u"int"));
  EXPECT_EQ(VariantErrorText([&] { value.AsReal(); }), ConvertMessage(objectText, u"real"));
  EXPECT_EQ(VariantErrorText([&] { value.AsOctet(); }), ConvertMessage(objectText, u"octet"));
  object->Release();

  // Placeholder-like text inside the value is not filled in again.
  EXPECT_EQ(VariantErrorText([] { tNUVVariant(u"%2 %1").AsOctet(); }),
            ConvertMessage(u"(string)\"%2 %1\"", u"octet"));

  // The value's text is cut to 512 units.
  std::vector<uint8_t> bytes(300, 0xFF);
  tNUVVariant longOctet(bytes.data(), static_cast<int32_t>(bytes.size()));
  std::u16string readable = u"(octet)<% FF";
  for (int i = 1; i < 300; ++i) readable += u" FF";
  readable += u" %>";
  EXPECT_EQ(VariantErrorText([&] { longOctet.AsInteger(); }),
            ConvertMessage(readable.substr(0, 509) + u"...", u"int"));
}

TEST_F(tVariantConversionTest, AsBooleanPerTag) {
  EXPECT_FALSE(tNUVVariant().AsBoolean());
  for (const char16_t* falseText : {u"0", u"", u"abc", u"0.5", u"-0.9", u"false"}) {
    EXPECT_FALSE(tNUVVariant(falseText).AsBoolean()) << ::testing::PrintToString(std::u16string(falseText));
  }
  for (const char16_t* trueText : {u"1.5", u"-1", u"0x1", u"true", u"2x"}) {
    EXPECT_TRUE(tNUVVariant(trueText).AsBoolean()) << ::testing::PrintToString(std::u16string(trueText));
  }
  tNUVVariant emptyOctet;
  emptyOctet.ToOctet();
  EXPECT_FALSE(emptyOctet.AsBoolean());
  EXPECT_TRUE(OctetOf({0}).AsBoolean());
  EXPECT_FALSE(tNUVVariant(int64_t{0}).AsBoolean());
  EXPECT_TRUE(tNUVVariant(INT64_MIN).AsBoolean());
  EXPECT_FALSE(tNUVVariant(0.0).AsBoolean());
  EXPECT_FALSE(tNUVVariant(-0.0).AsBoolean());
  EXPECT_FALSE(tNUVVariant(NaN).AsBoolean());
  EXPECT_TRUE(tNUVVariant(0.1).AsBoolean());
  EXPECT_TRUE(tNUVVariant(-Infinity).AsBoolean());

  tCountedObject* object = tCountedObject::Create();
  EXPECT_TRUE(tNUVVariant(object).AsBoolean());
  EXPECT_FALSE(tNUVVariant(nullptr, object).AsBoolean());   // only the object pointer counts
  object->Release();
}

TEST_F(tVariantConversionTest, ObjectConversions) {
  tCountedObject* object = tCountedObject::Create();
  tCountedObject* objThis = tCountedObject::Create();
  tNUVVariant value(object, objThis);
  EXPECT_EQ(value.AsObject(), object);
  EXPECT_EQ(value.AsObjectThis(), objThis);
  EXPECT_EQ(value.AsObjectClosure().ObjThis, objThis);
  EXPECT_EQ(value.AsObjectNoError(), object);
  EXPECT_EQ(object->References, 2);
  EXPECT_EQ(objThis->References, 2);
  object->Release();
  objThis->Release();

  tNUVVariant nullObject(static_cast<iNUVDispatch2*>(nullptr));
  EXPECT_EQ(nullObject.AsObject(), nullptr);   // no error: the caller checks for null

  const tNUVVariant others[] = {tNUVVariant(), tNUVVariant(int64_t{5}), tNUVVariant(u"x"), OctetOf({0xA0}),
                                tNUVVariant(2.5)};
  const char16_t* readable[] = {u"(void)", u"(int)5", u"(string)\"x\"", u"(octet)<% A0 %>", u"(real)2.5"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(VariantErrorText([&] { others[i].AsObject(); }), ToObjectMessage(readable[i]));
    EXPECT_THROW(others[i].AsObjectThis(), eNUVVariantError);
    EXPECT_THROW(others[i].AsObjectClosure(), eNUVVariantError);
    EXPECT_EQ(others[i].AsObjectNoError(), nullptr);
  }
}

TEST_F(tVariantConversionTest, InPlaceIntegerAndReal) {
  tNUVVariant text(u"12abc");
  text.ToInteger();
  EXPECT_TRUE(IsInteger(text, 12));
  tNUVVariant real(-3.7);
  real.ToInteger();
  EXPECT_TRUE(IsInteger(real, -3));
  tNUVVariant empty;
  empty.ToInteger();
  EXPECT_TRUE(IsInteger(empty, 0));

  tNUVVariant exponent(u"1e3");
  exponent.ToReal();
  EXPECT_TRUE(IsReal(exponent, 1000.0));
  tNUVVariant integer(int64_t{2});
  integer.ToReal();
  EXPECT_TRUE(IsReal(integer, 2.0));
  tNUVVariant nothing;
  nothing.ToReal();
  EXPECT_TRUE(IsReal(nothing, 0.0));

  tNUVVariant octet = OctetOf({5});
  EXPECT_EQ(VariantErrorText([&] { octet.ToInteger(); }), ConvertMessage(u"(octet)<% 05 %>", u"int"));
  EXPECT_EQ(VariantErrorText([&] { octet.ToReal(); }), ConvertMessage(u"(octet)<% 05 %>", u"real"));
  EXPECT_TRUE(IsOctet(octet, {5}));
}

TEST_F(tVariantConversionTest, InPlaceString) {
  tNUVVariant empty;
  empty.ToString();
  EXPECT_TRUE(IsString(empty, u""));
  tNUVVariant integer(int64_t{-42});
  integer.ToString();
  EXPECT_TRUE(IsString(integer, u"-42"));
  tNUVVariant real(0.1 + 0.2);
  real.ToString();
  EXPECT_TRUE(IsString(real, u"0.3"));

  tNUVString shared(u"kept");
  tNUVVariant text(shared);
  text.ToString();
  EXPECT_EQ(text.String, shared.GetBody());

  tCountedObject* object = tCountedObject::Create();
  tCountedObject* objThis = tCountedObject::Create();
  tNUVVariant value(object, objThis);
  value.ToString();
  EXPECT_TRUE(IsString(value, ObjectText(object, objThis)));
  EXPECT_EQ(object->References, 1);
  EXPECT_EQ(objThis->References, 1);
  object->Release();
  objThis->Release();

  tNUVVariant octet = OctetOf({0x10});
  EXPECT_EQ(VariantErrorText([&] { octet.ToString(); }), ConvertMessage(u"(octet)<% 10 %>", u"string"));
  EXPECT_TRUE(IsOctet(octet, {0x10}));
}

TEST_F(tVariantConversionTest, InPlaceOctet) {
  tNUVVariant empty;
  empty.ToOctet();
  EXPECT_TRUE(IsOctet(empty, {}));
  tNUVVariant octet = OctetOf({1});
  tNUVVariantOctet* body = octet.Octet;
  octet.ToOctet();
  EXPECT_EQ(octet.Octet, body);
  EXPECT_EQ(body->RefCount, 1);

  EXPECT_EQ(VariantErrorText([] { tNUVVariant(u"01").ToOctet(); }), ConvertMessage(u"(string)\"01\"", u"octet"));
  tNUVVariant integer(int64_t{1});
  EXPECT_EQ(VariantErrorText([&] { integer.ToOctet(); }), ConvertMessage(u"(int)1", u"octet"));
  EXPECT_TRUE(IsInteger(integer, 1));
}

TEST_F(tVariantConversionTest, InPlaceNumber) {
  tNUVVariant empty;
  empty.ToNumber();
  EXPECT_TRUE(IsInteger(empty, 0));
  tNUVVariant integer(int64_t{5});
  integer.ToNumber();
  EXPECT_TRUE(IsInteger(integer, 5));
  tNUVVariant real(-0.0);
  real.ToNumber();
  EXPECT_TRUE(IsReal(real, -0.0));

  tNUVVariant octet = OctetOf({0xFE});
  EXPECT_EQ(VariantErrorText([&] { octet.ToNumber(); }), ConvertMessage(u"(octet)<% FE %>", u"int/real"));
  tCountedObject* object = tCountedObject::Create();
  tNUVVariant value(object);
  EXPECT_EQ(VariantErrorText([&] { value.ToNumber(); }),
            ConvertMessage(u"(object)" + ObjectText(object, nullptr), u"int/real"));
  EXPECT_EQ(object->References, 2);
  object->Release();
}

// Strings become numbers through the number reader: a sign only as the very first
// unit, then a word or a literal; what follows the number is ignored.
TEST_F(tVariantConversionTest, StringToNumber) {
  struct tCase {
    const char16_t* Text;
    bool IsReal;
    int64_t Integer;
    double Real;
  };
  const tCase cases[] = {
      {u"0x1F", false, 31, 0},        {u"0b101", false, 5, 0},          {u"017", false, 15, 0},
      {u"1e3", true, 0, 1000.0},      {u"0x1.8p1", true, 0, 3.0},       {u"  12", false, 0, 0},
      {u"- 12", false, -12, 0},       {u"12abc", false, 12, 0},         {u"abc", false, 0, 0},
      {u"", false, 0, 0},             {u"true", false, 1, 0},           {u"false", false, 0, 0},
      {u"trueish", false, 0, 0},      {u"Infinity", true, 0, Infinity}, {u"-Infinity", true, 0, -Infinity},
      {u"NaN", true, 0, NaN},         {u"-0x10", false, -16, 0},        {u"+7", false, 7, 0},
      {u"-", false, 0, 0},            {u"-2.5", true, 0, -2.5},         {u"-0.0", true, 0, -0.0},
      {u"0", false, 0, 0},            {u"0.5", true, 0, 0.5},           {u"12 ", false, 12, 0},
      {u"0p1", false, 0, 0},          {u"-9223372036854775808", false, INT64_MIN, 0},
  };
  for (const tCase& testCase : cases) {
    SCOPED_TRACE(::testing::PrintToString(std::u16string(testCase.Text)));
    tNUVVariant value(testCase.Text);
    value.ToNumber();
    if (testCase.IsReal) EXPECT_TRUE(IsReal(value, testCase.Real));
    else EXPECT_TRUE(IsInteger(value, testCase.Integer));
  }
}

}  // namespace
}  // namespace NUV
