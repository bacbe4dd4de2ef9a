// Variant operators: the in-place binary operators, the unary operations and the
// operation codes objects are handed.

#include <sys/mman.h>
#include <unistd.h>

#include <limits>
#include <string>

#include "variant_test_support.h"

namespace NUV {
namespace {

using namespace VariantTest;

using tVariantOperatorTest = tVariantTest;
using tBinaryOperator = void (tNUVVariant::*)(const tNUVVariant&);

constexpr double Infinity = std::numeric_limits<double>::infinity();
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

tNUVVariant Apply(tNUVVariant left, tBinaryOperator operation, const tNUVVariant& right) {
  (left.*operation)(right);
  return left;
}

tNUVVariant Add(tNUVVariant left, const tNUVVariant& right) { return Apply(std::move(left), &tNUVVariant::AddAssign, right); }

const std::u16string DivideByZeroText = u"0 で除算をしようとしました";

TEST_F(tVariantOperatorTest, AdditionJoinsStrings) {
  EXPECT_TRUE(IsString(Add(tNUVVariant(int64_t{1}), tNUVVariant(u"2")), u"12"));
  EXPECT_TRUE(IsString(Add(tNUVVariant(u"2"), tNUVVariant(int64_t{1})), u"21"));
  EXPECT_TRUE(IsString(Add(tNUVVariant(u"x"), tNUVVariant(0.5)), u"x0.5"));
  EXPECT_TRUE(IsString(Add(tNUVVariant(u"a"), tNUVVariant()), u"a"));
  EXPECT_TRUE(IsString(Add(tNUVVariant(), tNUVVariant(u"a")), u"a"));
  EXPECT_TRUE(IsString(Add(tNUVVariant(u""), tNUVVariant(u"")), u""));

  // The left body is shared: the other owner keeps its text.
  tNUVString shared(u"left");
  tNUVVariant value(shared);
  value.AddAssign(tNUVVariant(u" and a right part that needs a long buffer"));
  EXPECT_TRUE(IsString(value, u"left and a right part that needs a long buffer"));
  EXPECT_EQ(Text(shared), u"left");

  tNUVVariant twice(u"ab");
  twice.AddAssign(twice);
  EXPECT_TRUE(IsString(twice, u"abab"));
  tNUVVariant grown(u"0123456789abcdef");   // unshared, and growing past the short buffer
  grown.AddAssign(grown);
  grown.AddAssign(grown);
  EXPECT_TRUE(IsString(grown, u"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"));

  tCountedObject* object = tCountedObject::Create();
  tNUVVariant objectValue(object);
  objectValue.AddAssign(tNUVVariant(u"!"));
  EXPECT_TRUE(IsString(objectValue, ObjectText(object, nullptr) + u"!"));
  EXPECT_EQ(object->References, 1);
  object->Release();

  tNUVVariant text(u"a");
  EXPECT_EQ(VariantErrorText([&] { text.AddAssign(OctetOf({1})); }),
            ConvertMessage(u"(octet)<% 01 %>", u"string"));
  EXPECT_TRUE(IsString(text, u"a"));
  tNUVVariant octet = OctetOf({2});
  EXPECT_EQ(VariantErrorText([&] { octet.AddAssign(tNUVVariant(u"a")); }),
            ConvertMessage(u"(octet)<% 02 %>", u"string"));
  EXPECT_TRUE(IsOctet(octet, {2}));
}

TEST_F(tVariantOperatorTest, AdditionOfOctetsAndNumbers) {
  tNUVVariant left = OctetOf({1, 2});
  tNUVVariant keeper(left);
  left.AddAssign(OctetOf({3}));
  EXPECT_TRUE(IsOctet(left, {1, 2, 3}));
  EXPECT_TRUE(IsOctet(keeper, {1, 2}));
  EXPECT_EQ(keeper.Octet->RefCount, 1);
  keeper.AddAssign(keeper);
  EXPECT_TRUE(IsOctet(keeper, {1, 2, 1, 2}));
  tNUVVariant empty;
  empty.ToOctet();
  EXPECT_TRUE(IsOctet(Add(empty, empty), {}));
  EXPECT_TRUE(IsOctet(Add(empty, OctetOf({7})), {7}));

  EXPECT_TRUE(IsInteger(Add(tNUVVariant(INT64_MAX), tNUVVariant(int64_t{1})), INT64_MIN));
  EXPECT_TRUE(IsReal(Add(tNUVVariant(int64_t{1}), tNUVVariant(0.5)), 1.5));
  EXPECT_TRUE(IsReal(Add(tNUVVariant(0.1), tNUVVariant(0.2)), 0.1 + 0.2));
  EXPECT_TRUE(IsInteger(Add(tNUVVariant(), tNUVVariant(int64_t{5})), 5));
  EXPECT_TRUE(IsReal(Add(tNUVVariant(), tNUVVariant(-0.0)), -0.0));
  EXPECT_TRUE(IsInteger(Add(tNUVVariant(int64_t{5}), tNUVVariant()), 5));
  EXPECT_TRUE(IsReal(Add(tNUVVariant(-0.0), tNUVVariant()), -0.0));
  EXPECT_TRUE(IsReal(Add(tNUVVariant(), tNUVVariant()), 0.0));

  tNUVVariant integer(int64_t{4});
  EXPECT_EQ(VariantErrorText([&] { integer.AddAssign(OctetOf({0xC})); }),
            ConvertMessage(u"(octet)<% 0C %>", u"real"));
  EXPECT_TRUE(IsInteger(integer, 4));
  tNUVVariant nothing;
  EXPECT_THROW(nothing.AddAssign(OctetOf({1})), eNUVVariantError);
  EXPECT_TRUE(IsVoid(nothing));
}

TEST_F(tVariantOperatorTest, SubtractionAndMultiplicationUseNumbers) {
  EXPECT_TRUE(IsInteger(Apply(tNUVVariant(u"2"), &tNUVVariant::SubtractAssign, tNUVVariant(int64_t{1})), 1));
  EXPECT_TRUE(IsReal(Apply(tNUVVariant(u"2.5"), &tNUVVariant::SubtractAssign, tNUVVariant(int64_t{1})), 1.5));
  EXPECT_TRUE(IsInteger(Apply(tNUVVariant(u"abc"), &tNUVVariant::SubtractAssign, tNUVVariant(int64_t{1})), -1));
  EXPECT_TRUE(IsInteger(Apply(tNUVVariant(), &tNUVVariant::SubtractAssign, tNUVVariant(int64_t{1})), -1));
  EXPECT_TRUE(IsInteger(Apply(tNUVVariant(), &tNUVVariant::SubtractAssign, tNUVVariant()), 0));
  EXPECT_TRUE(IsInteger(Apply(tNUVVariant(), &tNUVVariant::MultiplyAssign, tNUVVariant()), 0));
  EXPECT_TRUE(IsInteger(Apply(tNUVVariant(INT64_MIN), &tNUVVariant::SubtractAssign, tNUVVariant(int64_t{1})),
                        INT64_MAX));
  EXPECT_TRUE(IsInteger(Apply(tNUVVariant(INT64_MIN), &tNUVVariant::MultiplyAssign, tNUVVariant(int64_t{-1})),
                        INT64_MIN));
  EXPECT_TRUE(IsInteger(Apply(tNUVVariant(INT64_MAX), &tNUVVariant::MultiplyAssign, tNUVVariant(int64_t{2})), -2));
  EXPECT_TRUE(IsReal(Apply(tNUVVariant(int64_t{3}), &tNUVVariant::MultiplyAssign, tNUVVariant(0.5)), 1.5));
  EXPECT_TRUE(IsReal(Apply(tNUVVariant(u"3"), &tNUVVariant::MultiplyAssign, tNUVVariant(u"1e1")), 30.0));
  EXPECT_TRUE(IsReal(Apply(tNUVVariant(1e300), &tNUVVariant::MultiplyAssign, tNUVVariant(1e300)), Infinity));

  tCountedObject* object = tCountedObject::Create();
  tNUVVariant value(object);
  EXPECT_EQ(VariantErrorText([&] { value.SubtractAssign(tNUVVariant(int64_t{1})); }),
            ConvertMessage(u"(object)" + ObjectText(object, nullptr), u"int/real"));
  EXPECT_EQ(value.AsObject(), object);
  object->Release();
  tNUVVariant integer(int64_t{1});
  EXPECT_EQ(VariantErrorText([&] { integer.MultiplyAssign(OctetOf({0})); }),
            ConvertMessage(u"(octet)<% 00 %>", u"int/real"));
  EXPECT_TRUE(IsInteger(integer, 1));
}

TEST_F(tVariantOperatorTest, RealDivision) {
  auto divide = [](tNUVVariant left, const tNUVVariant& right) {
    return Apply(std::move(left), &tNUVVariant::DivideAssign, right);
  };
  EXPECT_TRUE(IsReal(divide(tNUVVariant(int64_t{1}), tNUVVariant(int64_t{0})), Infinity));
  EXPECT_TRUE(IsReal(divide(tNUVVariant(int64_t{-1}), tNUVVariant(int64_t{0})), -Infinity));
  EXPECT_TRUE(IsReal(divide(tNUVVariant(int64_t{1}), tNUVVariant(-0.0)), -Infinity));
  EXPECT_TRUE(IsReal(divide(tNUVVariant(int64_t{0}), tNUVVariant(int64_t{0})), NaN));
  EXPECT_TRUE(IsReal(divide(tNUVVariant(int64_t{6}), tNUVVariant(int64_t{3})), 2.0));
  EXPECT_TRUE(IsReal(divide(tNUVVariant(u"7"), tNUVVariant(u"2")), 3.5));
  EXPECT_TRUE(IsReal(divide(tNUVVariant(), tNUVVariant(int64_t{2})), 0.0));
  tNUVVariant integer(int64_t{1});
  EXPECT_EQ(VariantErrorText([&] { integer.DivideAssign(OctetOf({1})); }),
            ConvertMessage(u"(octet)<% 01 %>", u"real"));
  EXPECT_TRUE(IsInteger(integer, 1));
}

TEST_F(tVariantOperatorTest, IntegerDivisionAndModulo) {
  auto divide = [](tNUVVariant left, const tNUVVariant& right) {
    return Apply(std::move(left), &tNUVVariant::IntegerDivideAssign, right);
  };
  auto modulo = [](tNUVVariant left, const tNUVVariant& right) {
    return Apply(std::move(left), &tNUVVariant::ModuloAssign, right);
  };
  EXPECT_TRUE(IsInteger(divide(tNUVVariant(int64_t{7}), tNUVVariant(int64_t{2})), 3));
  EXPECT_TRUE(IsInteger(divide(tNUVVariant(int64_t{-7}), tNUVVariant(int64_t{2})), -3));
  EXPECT_TRUE(IsInteger(divide(tNUVVariant(7.9), tNUVVariant(2.0)), 3));
  EXPECT_TRUE(IsInteger(divide(tNUVVariant(u"9"), tNUVVariant(u"2")), 4));
  EXPECT_TRUE(IsInteger(divide(tNUVVariant(INT64_MIN), tNUVVariant(int64_t{-1})), INT64_MIN));
  EXPECT_TRUE(IsInteger(divide(tNUVVariant(int64_t{5}), tNUVVariant(int64_t{-1})), -5));
  EXPECT_TRUE(IsInteger(modulo(tNUVVariant(int64_t{7}), tNUVVariant(int64_t{3})), 1));
  EXPECT_TRUE(IsInteger(modulo(tNUVVariant(int64_t{-7}), tNUVVariant(int64_t{3})), -1));
  EXPECT_TRUE(IsInteger(modulo(tNUVVariant(int64_t{7}), tNUVVariant(int64_t{-3})), 1));
  EXPECT_TRUE(IsInteger(modulo(tNUVVariant(5.5), tNUVVariant(int64_t{2})), 1));
  EXPECT_TRUE(IsInteger(modulo(tNUVVariant(INT64_MIN), tNUVVariant(int64_t{-1})), 0));

  for (const tNUVVariant& zero : {tNUVVariant(int64_t{0}), tNUVVariant(0.5), tNUVVariant(), tNUVVariant(u"x")}) {
    tNUVVariant left(int64_t{1});
    EXPECT_EQ(ErrorText([&] { left.IntegerDivideAssign(zero); }), DivideByZeroText);
    EXPECT_EQ(ErrorText([&] { left.ModuloAssign(zero); }), DivideByZeroText);
    EXPECT_TRUE(IsInteger(left, 1));
  }
  tNUVVariant text(u"8");
  EXPECT_THROW(text.IntegerDivideAssign(tNUVVariant(int64_t{0})), eNUVError);
  EXPECT_TRUE(IsString(text, u"8"));
}

// The in-place operators convert both sides before they change the left, so a
// failure leaves it as it was; integer division and modulo report the right side's
// error first, the others the left side's.
TEST_F(tVariantOperatorTest, FailedOperandsLeaveTheLeftUnchanged) {
  const tBinaryOperator operators[] = {
      &tNUVVariant::BitOrAssign,          &tNUVVariant::BitXorAssign,   &tNUVVariant::BitAndAssign,
      &tNUVVariant::ShiftRightAssign,     &tNUVVariant::LogicalShiftRightAssign,
      &tNUVVariant::ShiftLeftAssign,      &tNUVVariant::ModuloAssign,   &tNUVVariant::DivideAssign,
      &tNUVVariant::IntegerDivideAssign,  &tNUVVariant::MultiplyAssign, &tNUVVariant::SubtractAssign,
      &tNUVVariant::AddAssign,
  };
  tCountedObject* object = tCountedObject::Create();
  const tNUVVariant objectValue(object);
  const tNUVVariant octet = OctetOf({0x5A});
  tNUVString shared(u"7");
  for (size_t i = 0; i < std::size(operators); ++i) {
    SCOPED_TRACE(i);
    tNUVVariant text(shared);
    EXPECT_THROW((text.*operators[i])(octet), eNUVVariantError);
    EXPECT_EQ(text.String, shared.GetBody());
    tNUVVariant integer(int64_t{7});
    EXPECT_THROW((integer.*operators[i])(objectValue), eNUVVariantError);
    EXPECT_TRUE(IsInteger(integer, 7));
    tNUVVariant left(object);
    EXPECT_THROW((left.*operators[i])(octet), eNUVVariantError);
    EXPECT_EQ(left.AsObject(), object);
  }
  EXPECT_EQ(object->References, 2);

  const std::u16string octetText = u"(octet)<% 5A %>";
  const std::u16string objectText = u"(object)" + ObjectText(object, nullptr);
  const struct {
    tBinaryOperator Operation;
    std::u16string Expected;
  } orders[] = {
      {&tNUVVariant::BitOrAssign, ConvertMessage(octetText, u"int")},
      {&tNUVVariant::ShiftLeftAssign, ConvertMessage(octetText, u"int")},
      {&tNUVVariant::DivideAssign, ConvertMessage(octetText, u"real")},
      {&tNUVVariant::SubtractAssign, ConvertMessage(octetText, u"int/real")},
      {&tNUVVariant::AddAssign, ConvertMessage(octetText, u"real")},
      {&tNUVVariant::IntegerDivideAssign, ConvertMessage(objectText, u"int")},
      {&tNUVVariant::ModuloAssign, ConvertMessage(objectText, u"int")},
  };
  for (const auto& order : orders) {
    tNUVVariant left(octet);
    EXPECT_EQ(VariantErrorText([&] { (left.*order.Operation)(objectValue); }), order.Expected);
  }
  object->Release();
}

TEST_F(tVariantOperatorTest, BitOperations) {
  EXPECT_TRUE(IsInteger(Apply(tNUVVariant(int64_t{6}), &tNUVVariant::BitOrAssign, tNUVVariant(int64_t{3})), 7));
  EXPECT_TRUE(IsInteger(Apply(tNUVVariant(int64_t{6}), &tNUVVariant::BitXorAssign, tNUVVariant(int64_t{3})), 5));
  EXPECT_TRUE(IsInteger(Apply(tNUVVariant(int64_t{6}), &tNUVVariant::BitAndAssign, tNUVVariant(int64_t{3})), 2));
  EXPECT_TRUE(IsInteger(Apply(tNUVVariant(u"6"), &tNUVVariant::BitOrAssign, tNUVVariant(int64_t{1})), 7));
  EXPECT_TRUE(IsInteger(Apply(tNUVVariant(6.9), &tNUVVariant::BitAndAssign, tNUVVariant(7.5)), 6));
  EXPECT_TRUE(IsInteger(Apply(tNUVVariant(), &tNUVVariant::BitXorAssign, tNUVVariant(int64_t{-1})), -1));
}

TEST_F(tVariantOperatorTest, ShiftsTakeTheLowEightBitsUnsigned) {
  struct tCase {
    int64_t Left;
    int64_t Amount;
    int64_t Arithmetic;
    int64_t Logical;
    int64_t Left1;
  };
  const tCase cases[] = {
      {1, 0, 1, 1, 1},
      {1, 63, 0, 0, INT64_MIN},
      {1, 64, 0, 0, 0},
      {-8, 1, -4, 0x7FFFFFFFFFFFFFFC, -16},
      {-8, 64, -1, 0, 0},
      {-8, 70, -1, 0, 0},
      {8, 70, 0, 0, 0},
      {-1, 63, -1, 1, INT64_MIN},
      {1, 256, 1, 1, 1},           // low byte 0
      {5, -253, 0, 0, 40},         // low byte 3
      {-1, 128, -1, 0, 0},         // 128..255 shift everything out
      {-1, -1, -1, 0, 0},
  };
  for (const tCase& testCase : cases) {
    SCOPED_TRACE(::testing::Message() << testCase.Left << " by " << testCase.Amount);
    tNUVVariant left(testCase.Left);
    tNUVVariant amount(testCase.Amount);
    EXPECT_TRUE(IsInteger(Apply(left, &tNUVVariant::ShiftRightAssign, amount), testCase.Arithmetic));
    EXPECT_TRUE(IsInteger(Apply(left, &tNUVVariant::LogicalShiftRightAssign, amount), testCase.Logical));
    EXPECT_TRUE(IsInteger(Apply(left, &tNUVVariant::ShiftLeftAssign, amount), testCase.Left1));
  }
  EXPECT_TRUE(IsInteger(Apply(tNUVVariant(int64_t{4}), &tNUVVariant::ShiftLeftAssign, tNUVVariant(2.9)), 16));
  EXPECT_TRUE(IsInteger(Apply(tNUVVariant(u"256"), &tNUVVariant::ShiftRightAssign, tNUVVariant(u"4")), 16));
}

// A string whose body lies in an inaccessible page: reading it faults, so an
// operation that must not look at its operand can be checked.
class tUnreadableString {
public:
  tUnreadableString() {
    Size = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    Page = mmap(nullptr, Size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (Page != MAP_FAILED) {
      Value.vt = tvtString;
      Value.String = static_cast<tNUVVariantString*>(Page);
    }
  }
  ~tUnreadableString() {
    Value.vt = tvtVoid;
    Value.String = nullptr;
    if (Page != MAP_FAILED) munmap(Page, Size);
  }
  bool Ready() const { return Page != MAP_FAILED; }
  tNUVVariant Value;

private:
  void* Page;
  size_t Size;
};

TEST_F(tVariantOperatorTest, LogicalOperatorsGiveIntegersAndShortCircuit) {
  auto logicalOr = [](tNUVVariant left, const tNUVVariant& right) {
    return Apply(std::move(left), &tNUVVariant::LogicalOrAssign, right);
  };
  auto logicalAnd = [](tNUVVariant left, const tNUVVariant& right) {
    return Apply(std::move(left), &tNUVVariant::LogicalAndAssign, right);
  };
  EXPECT_TRUE(IsInteger(logicalOr(tNUVVariant(int64_t{0}), tNUVVariant(int64_t{2})), 1));
  EXPECT_TRUE(IsInteger(logicalOr(tNUVVariant(int64_t{0}), tNUVVariant(int64_t{0})), 0));
  EXPECT_TRUE(IsInteger(logicalOr(tNUVVariant(), tNUVVariant(u"0.5")), 0));
  EXPECT_TRUE(IsInteger(logicalOr(tNUVVariant(u""), tNUVVariant(1.0)), 1));
  EXPECT_TRUE(IsInteger(logicalOr(tNUVVariant(-0.5), tNUVVariant()), 1));
  EXPECT_TRUE(IsInteger(logicalAnd(tNUVVariant(int64_t{1}), tNUVVariant(int64_t{0})), 0));
  EXPECT_TRUE(IsInteger(logicalAnd(tNUVVariant(int64_t{1}), tNUVVariant(u"1")), 1));
  EXPECT_TRUE(IsInteger(logicalAnd(tNUVVariant(2.5), tNUVVariant(NaN)), 0));
  EXPECT_TRUE(IsInteger(logicalAnd(OctetOf({0}), tNUVVariant(u"3")), 1));

  tUnreadableString trap;
  ASSERT_TRUE(trap.Ready());
  EXPECT_TRUE(IsInteger(logicalOr(tNUVVariant(int64_t{1}), trap.Value), 1));
  EXPECT_TRUE(IsInteger(logicalAnd(tNUVVariant(int64_t{0}), trap.Value), 0));
  EXPECT_TRUE(IsInteger(logicalAnd(tNUVVariant(u"abc"), trap.Value), 0));
  tCountedObject* object = tCountedObject::Create();
  tNUVVariant value(object);
  value.LogicalOrAssign(trap.Value);
  EXPECT_TRUE(IsInteger(value, 1));
  EXPECT_EQ(object->References, 1);
  object->Release();
}

TEST_F(tVariantOperatorTest, IncrementAndDecrement) {
  auto increment = [](tNUVVariant value) { value.Increment(); return value; };
  auto decrement = [](tNUVVariant value) { value.Decrement(); return value; };
  EXPECT_TRUE(IsInteger(increment(tNUVVariant(u"5")), 6));
  EXPECT_TRUE(IsInteger(increment(tNUVVariant(u"abc")), 1));
  EXPECT_TRUE(IsReal(increment(tNUVVariant(u"1.5")), 2.5));
  EXPECT_TRUE(IsInteger(decrement(tNUVVariant(u"-")), -1));
  EXPECT_TRUE(IsInteger(increment(tNUVVariant()), 1));
  EXPECT_TRUE(IsInteger(decrement(tNUVVariant()), -1));
  EXPECT_TRUE(IsReal(increment(tNUVVariant(1.5)), 2.5));
  EXPECT_TRUE(IsReal(decrement(tNUVVariant(1.5)), 0.5));
  EXPECT_TRUE(IsInteger(increment(tNUVVariant(INT64_MAX)), INT64_MIN));
  EXPECT_TRUE(IsInteger(decrement(tNUVVariant(INT64_MIN)), INT64_MAX));

  tCountedObject* object = tCountedObject::Create();
  tNUVVariant value(object);
  EXPECT_EQ(VariantErrorText([&] { value.Increment(); }),
            ConvertMessage(u"(object)" + ObjectText(object, nullptr), u"int/real"));
  EXPECT_EQ(value.AsObject(), object);
  EXPECT_EQ(object->References, 2);
  object->Release();
  tNUVVariant octet = OctetOf({0xEE});
  EXPECT_EQ(VariantErrorText([&] { octet.Decrement(); }), ConvertMessage(u"(octet)<% EE %>", u"int/real"));
  EXPECT_TRUE(IsOctet(octet, {0xEE}));
}

TEST_F(tVariantOperatorTest, NegateBitNotAndLogicalNot) {
  auto negate = [](tNUVVariant value) { value.Negate(); return value; };
  EXPECT_TRUE(IsInteger(negate(tNUVVariant(int64_t{5})), -5));
  EXPECT_TRUE(IsInteger(negate(tNUVVariant(u"5")), -5));
  EXPECT_TRUE(IsInteger(negate(tNUVVariant(u"abc")), 0));
  EXPECT_TRUE(IsReal(negate(tNUVVariant(u"2.5")), -2.5));
  EXPECT_TRUE(IsInteger(negate(tNUVVariant()), 0));
  EXPECT_TRUE(IsReal(negate(tNUVVariant(0.0)), -0.0));
  EXPECT_TRUE(IsInteger(negate(tNUVVariant(INT64_MIN)), INT64_MIN));
  EXPECT_TRUE(IsReal(negate(tNUVVariant(-Infinity)), Infinity));
  EXPECT_EQ(VariantErrorText([&] { negate(OctetOf({})); }), ConvertMessage(u"(octet)<%  %>", u"int/real"));

  auto bitNot = [](tNUVVariant value) { value.BitNot(); return value; };
  EXPECT_TRUE(IsInteger(bitNot(tNUVVariant(int64_t{0})), -1));
  EXPECT_TRUE(IsInteger(bitNot(tNUVVariant(u"5")), -6));
  EXPECT_TRUE(IsInteger(bitNot(tNUVVariant(5.7)), -6));
  EXPECT_TRUE(IsInteger(bitNot(tNUVVariant()), -1));
  EXPECT_EQ(VariantErrorText([&] { bitNot(OctetOf({1})); }), ConvertMessage(u"(octet)<% 01 %>", u"int"));

  auto logicalNot = [](tNUVVariant value) { value.LogicalNot(); return value; };
  EXPECT_TRUE(IsInteger(logicalNot(tNUVVariant(int64_t{0})), 1));
  EXPECT_TRUE(IsInteger(logicalNot(tNUVVariant(int64_t{-2})), 0));
  EXPECT_TRUE(IsInteger(logicalNot(tNUVVariant(u"abc")), 1));
  EXPECT_TRUE(IsInteger(logicalNot(tNUVVariant(u"1")), 0));
  EXPECT_TRUE(IsInteger(logicalNot(tNUVVariant(NaN)), 1));
  EXPECT_TRUE(IsInteger(logicalNot(tNUVVariant(0.5)), 0));
  EXPECT_TRUE(IsInteger(logicalNot(tNUVVariant()), 1));
  EXPECT_TRUE(IsInteger(logicalNot(OctetOf({1})), 0));
  EXPECT_TRUE(IsInteger(logicalNot(OctetOf({})), 1));
  tCountedObject* object = tCountedObject::Create();
  EXPECT_TRUE(IsInteger(logicalNot(tNUVVariant(object)), 0));
  EXPECT_TRUE(IsInteger(logicalNot(tNUVVariant(static_cast<iNUVDispatch2*>(nullptr))), 1));
  object->Release();
}

TEST_F(tVariantOperatorTest, CharacterCodeAndCharacterFromCode) {
  auto code = [](tNUVVariant value) { value.CharacterCode(); return value; };
  EXPECT_TRUE(IsInteger(code(tNUVVariant(u"ABC")), 65));
  EXPECT_TRUE(IsInteger(code(tNUVVariant(u"")), 0));
  EXPECT_TRUE(IsInteger(code(tNUVVariant()), 0));
  EXPECT_TRUE(IsInteger(code(tNUVVariant(int64_t{5})), u'5'));
  EXPECT_TRUE(IsInteger(code(tNUVVariant(-1.5)), u'-'));
  EXPECT_TRUE(IsInteger(code(tNUVVariant(u"\uFF21")), 0xFF21));
  EXPECT_EQ(VariantErrorText([&] { code(OctetOf({0x41})); }), ConvertMessage(u"(octet)<% 41 %>", u"string"));

  auto character = [](tNUVVariant value) { value.CharacterFromCode(); return value; };
  EXPECT_TRUE(IsString(character(tNUVVariant(int64_t{65})), u"A"));
  EXPECT_TRUE(IsString(character(tNUVVariant(int64_t{0})), u""));
  EXPECT_TRUE(IsString(character(tNUVVariant(int64_t{0x10041})), u"A"));
  EXPECT_TRUE(IsString(character(tNUVVariant(int64_t{0x10000})), u""));
  EXPECT_TRUE(IsString(character(tNUVVariant(u"66")), u"B"));
  EXPECT_TRUE(IsString(character(tNUVVariant(65.9)), u"A"));
  EXPECT_TRUE(IsString(character(tNUVVariant(int64_t{-1})), u"\uFFFF"));
  EXPECT_TRUE(IsString(character(tNUVVariant()), u""));
  EXPECT_EQ(VariantErrorText([&] { character(OctetOf({0x41})); }), ConvertMessage(u"(octet)<% 41 %>", u"int"));
}

TEST_F(tVariantOperatorTest, OperationCodes) {
  const tNUVVariant five(int64_t{5});
  const tNUVVariant two(int64_t{2});
  const struct {
    uint32_t Code;
    int64_t Left;
    const tNUVVariant* Operand;
    tNUVVariant Expected;
  } cases[] = {
      {NUVOpBitAnd, 12, &five, tNUVVariant(int64_t{4})},
      {NUVOpBitOr, 12, &five, tNUVVariant(int64_t{13})},
      {NUVOpBitXor, 12, &five, tNUVVariant(int64_t{9})},
      {NUVOpSubtract, 12, &five, tNUVVariant(int64_t{7})},
      {NUVOpAdd, 12, &five, tNUVVariant(int64_t{17})},
      {NUVOpModulo, 12, &five, tNUVVariant(int64_t{2})},
      {NUVOpDivide, 12, &five, tNUVVariant(12.0 / 5.0)},
      {NUVOpIntegerDivide, 12, &five, tNUVVariant(int64_t{2})},
      {NUVOpMultiply, 12, &five, tNUVVariant(int64_t{60})},
      {NUVOpLogicalOr, 0, &five, tNUVVariant(int64_t{1})},
      {NUVOpLogicalAnd, 12, &five, tNUVVariant(int64_t{1})},
      {NUVOpShiftRight, -16, &two, tNUVVariant(int64_t{-4})},
      {NUVOpShiftLeft, -16, &two, tNUVVariant(int64_t{-64})},
      {NUVOpLogicalShiftRight, -16, &two, tNUVVariant(int64_t{0x3FFFFFFFFFFFFFFC})},
      {NUVOpIncrement, 12, nullptr, tNUVVariant(int64_t{13})},
      {NUVOpDecrement, 12, nullptr, tNUVVariant(int64_t{11})},
      {NUVOpAdd, 12, nullptr, tNUVVariant(int64_t{12})},   // a missing operand is void
      {0, 12, &five, tNUVVariant(int64_t{12})},
      {17, 12, &five, tNUVVariant(int64_t{12})},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.Code);
    tNUVVariant value(testCase.Left);
    value.ApplyOperationCode(testCase.Code, testCase.Operand);
    EXPECT_TRUE(value.DiscernCompareStrictReal(testCase.Expected))
        << ::testing::PrintToString(Text(value.ReadableText(80)));
    EXPECT_EQ(value.Type(), testCase.Expected.Type());
  }
}

}  // namespace
}  // namespace NUV
