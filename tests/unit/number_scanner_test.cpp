#include "engine/compiler/number_scanner.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace NUV {
namespace {

struct tScanOutcome {
  bool Ok = false;
  tNUVScannedNumber Number;
  std::ptrdiff_t Consumed = -1;
};

tScanOutcome Scan(const std::u16string& text, bool withSign = true) {
  tScanOutcome outcome;
  const char16_t* cursor = text.c_str();
  outcome.Ok = withSign ? ScanNumber(cursor, outcome.Number) : ScanNumberWord(cursor, outcome.Number);
  if (outcome.Ok) outcome.Consumed = cursor - text.c_str();
  return outcome;
}

void ExpectInteger(const std::u16string& text, int64_t value, std::ptrdiff_t consumed) {
  SCOPED_TRACE(std::string(text.begin(), text.end()));
  tScanOutcome outcome = Scan(text);
  ASSERT_TRUE(outcome.Ok);
  EXPECT_FALSE(outcome.Number.IsReal);
  EXPECT_EQ(outcome.Number.Integer, value);
  EXPECT_EQ(outcome.Consumed, consumed);
}

// Reals are compared by their bits, so -0.0, NaN payloads and truncation show.
void ExpectReal(const std::u16string& text, double value, std::ptrdiff_t consumed) {
  SCOPED_TRACE(std::string(text.begin(), text.end()));
  tScanOutcome outcome = Scan(text);
  ASSERT_TRUE(outcome.Ok);
  EXPECT_TRUE(outcome.Number.IsReal);
  EXPECT_EQ(std::bit_cast<uint64_t>(outcome.Number.Real), std::bit_cast<uint64_t>(value));
  EXPECT_EQ(outcome.Consumed, consumed);
}

void ExpectFailure(const std::u16string& text) {
  SCOPED_TRACE(std::string(text.begin(), text.end()));
  EXPECT_FALSE(Scan(text).Ok);
}

constexpr double kInfinity = std::numeric_limits<double>::infinity();

TEST(NumberScannerTest, RadixSelection) {
  ExpectInteger(u"0x10", 16, 4);
  ExpectInteger(u"0X1f", 31, 4);
  ExpectInteger(u"0b101", 5, 5);
  ExpectInteger(u"0B11", 3, 4);
  ExpectInteger(u"017", 15, 3);
  ExpectInteger(u"0", 0, 1);
  ExpectInteger(u"0 ", 0, 1);
  ExpectInteger(u"08", 0, 1);  // octal stops at the 8
  ExpectInteger(u"012e3", 10, 3);
  ExpectReal(u"0.5", 0.5, 3);
  ExpectReal(u"0e2", 0.0, 3);
  ExpectFailure(u"0p1");
  ExpectFailure(u"0P1");
  ExpectFailure(u"0x");
  ExpectFailure(u"0b");
  ExpectFailure(u"0xg");
  ExpectFailure(u"0b2");
}

TEST(NumberScannerTest, CursorStopsAfterTheNumber) {
  ExpectInteger(u"12abc", 12, 2);
  ExpectReal(u"1.5.3", 1.5, 3);
  ExpectInteger(u"0x1Fg", 31, 4);
  ExpectReal(u"1e5x", 100000.0, 3);
  ExpectReal(u"1e5.3", 100000.0, 3);
  ExpectInteger(u"0b102", 2, 4);
  ExpectInteger(u"42;", 42, 2);
  ExpectReal(u"0x1p1 ", 2.0, 5);
}

TEST(NumberScannerTest, DecimalIntegersWrap) {
  ExpectInteger(u"18446744073709551617", 1, 20);
  ExpectInteger(u"18446744073709551615", -1, 20);
  ExpectInteger(u"9223372036854775808", std::numeric_limits<int64_t>::min(), 19);
  ExpectInteger(u"9223372036854775807", std::numeric_limits<int64_t>::max(), 19);
}

TEST(NumberScannerTest, RadixIntegersWrap) {
  ExpectInteger(u"0xFFFFFFFFFFFFFFFF", -1, 18);
  ExpectInteger(u"0x10000000000000001", 1, 19);
  ExpectInteger(u"0x8000000000000000", std::numeric_limits<int64_t>::min(), 18);
  ExpectInteger(u"02000000000000000000001", 1, 23);  // 67 bits of octal
}

TEST(NumberScannerTest, DecimalReals) {
  ExpectReal(u".5", 0.5, 2);
  ExpectReal(u"1.", 1.0, 2);
  ExpectReal(u"1e3", 1000.0, 3);
  ExpectReal(u"1E-2", 0.01, 4);
  ExpectReal(u"0.1", 0.1, 3);
  ExpectReal(u"123.456e-2", 1.23456, 10);
  ExpectReal(u"1e 3", 1000.0, 4);
  ExpectReal(u"1e+ 3", 1000.0, 5);
  ExpectReal(u"1e - \t3", 0.001, 7);
  ExpectReal(u"1e\uFFFF3", 1000.0, 4);
  ExpectReal(u"1e", 1.0, 2);  // a marker without digits adds nothing
  ExpectReal(u"1e400", kInfinity, 5);
  ExpectReal(u"1e-400", 0.0, 6);
  ExpectReal(u"1e99999999999999999999999", kInfinity, 25);
  ExpectReal(u"4.9406564584124654e-324", std::numeric_limits<double>::denorm_min(), 23);
}

TEST(NumberScannerTest, NoDigitsIsNoNumber) {
  ExpectFailure(u"");
  ExpectFailure(u".");
  ExpectFailure(u".e5");
  ExpectFailure(u"e5");
  ExpectFailure(u"abc");
  ExpectFailure(u"0x.p1");
  ExpectFailure(u"-.");
}

TEST(NumberScannerTest, RadixRealsAreAssembledExactly) {
  ExpectReal(u"0x1.8p1", 3.0, 7);
  ExpectReal(u"0x1p-1", 0.5, 6);
  ExpectReal(u"0x.8p1", 1.0, 6);
  ExpectReal(u"0x1.", 1.0, 4);
  ExpectReal(u"0x.0001p0", 1.0 / 65536, 9);
  ExpectReal(u"0x000A.8p0", 10.5, 10);
  ExpectReal(u"0x1p+", 1.0, 5);
  ExpectReal(u"0x1p - 2", 0.25, 8);
  ExpectReal(u"0b1.1p1", 3.0, 7);
  ExpectReal(u"0b1p10", 1024.0, 6);
  ExpectReal(u"0b1p2", 4.0, 5);    // the exponent is decimal in every radix
  ExpectReal(u"01.4p0", 1.5, 6);
  ExpectReal(u"01p9", 512.0, 4);
  ExpectReal(u"0x0.0p5", 0.0, 7);
}

TEST(NumberScannerTest, RadixRealLimits) {
  ExpectReal(u"0x1p-1023", 0.0, 9);
  ExpectReal(u"0x1p-1022", DBL_MIN, 9);
  ExpectReal(u"0x.1p-1019", 0.0, 10);  // leading 1 at 2^-1023
  ExpectReal(u"0x1p1023", std::ldexp(1.0, 1023), 8);
  ExpectReal(u"0x1p1024", kInfinity, 8);
  ExpectReal(u"0x1.fffffffffffffp1023", DBL_MAX, 22);
  ExpectReal(u"0x1p99999999999999999999999999", kInfinity, 30);
  ExpectReal(u"0x1p-99999999999999999999999999", 0.0, 31);
  ExpectReal(u"0x0p99999999999999999999999999", 0.0, 30);
}

TEST(NumberScannerTest, RadixRealsTruncate) {
  // One bit past the 52 fraction bits would round up to 2.0; it is dropped.
  ExpectReal(u"0x1.fffffffffffff8p0", std::bit_cast<double>(uint64_t{0x3FFFFFFFFFFFFFFF}), 20);
  // 81 significant bits: the tail is dropped but still counts in the magnitude.
  ExpectReal(u"0x1FFFFFFFFFFFFFFFFFFFF.0p0", std::bit_cast<double>(uint64_t{0x44FFFFFFFFFFFFFF}),
             27);
  ExpectReal(u"0x10000000000000000000.1p0", std::ldexp(1.0, 76), 26);
}

TEST(NumberScannerTest, HexLettersInExponentAreRejected) {
  ExpectFailure(u"0x1p1f");
  ExpectFailure(u"0x1pA");
  ExpectFailure(u"0x1p-1e");
}

TEST(NumberScannerTest, Words) {
  ExpectInteger(u"true", 1, 4);
  ExpectInteger(u"false", 0, 5);
  ExpectInteger(u"true)", 1, 4);
  ExpectInteger(u"true\uFFFF", 1, 4);
  ExpectInteger(u"true\u00E9", 1, 4);  // not alphabetic in the C locale
  ExpectReal(u"NaN", std::bit_cast<double>(uint64_t{0x7FF8000000000000}), 3);
  ExpectReal(u"Infinity", kInfinity, 8);
  ExpectReal(u"Infinity ", kInfinity, 8);
  ExpectFailure(u"Infinityx");
  ExpectFailure(u"true_");
  ExpectFailure(u"false1");
  ExpectFailure(u"NaN\u3042");
  ExpectFailure(u"True");
  ExpectFailure(u"nan");
  ExpectFailure(u"Inf");
}

TEST(NumberScannerTest, Signs) {
  ExpectInteger(u"- 5", -5, 3);
  ExpectInteger(u"-5", -5, 2);
  ExpectInteger(u"+5", 5, 2);
  ExpectInteger(u"-\uFFFF\t\n5", -5, 5);
  ExpectInteger(u"-true", -1, 5);
  ExpectInteger(u"-false", 0, 6);
  ExpectInteger(u"-0x8000000000000000", std::numeric_limits<int64_t>::min(), 19);
  ExpectInteger(u"-9223372036854775808", std::numeric_limits<int64_t>::min(), 20);
  ExpectReal(u"-1.5", -1.5, 4);
  ExpectReal(u"-Infinity", -kInfinity, 9);
  ExpectReal(u"-NaN", std::bit_cast<double>(uint64_t{0xFFF8000000000000}), 4);
  ExpectReal(u"-0x0p0", -0.0, 6);
  ExpectFailure(u"-");
  ExpectFailure(u"+ ");
  ExpectFailure(u"-\uFFFF");
  ExpectFailure(u"--5");
  ExpectFailure(u"- x");
  ExpectFailure(u" 5");  // leading space is the caller's business
}

TEST(NumberScannerTest, WordScanTakesNoSign) {
  EXPECT_FALSE(Scan(u"-5", false).Ok);
  EXPECT_FALSE(Scan(u"+5", false).Ok);
  tScanOutcome outcome = Scan(u"0x7fz", false);
  ASSERT_TRUE(outcome.Ok);
  EXPECT_EQ(outcome.Number.Integer, 127);
  EXPECT_EQ(outcome.Consumed, 4);
}

TEST(NumberScannerTest, LongLiteral) {
  std::u16string digits(5000, u'9');
  ExpectReal(digits + u".5", kInfinity, 5002);
  std::u16string zeros = u"0x." + std::u16string(400, u'0') + u"1p1600";
  ExpectReal(zeros, 1.0 / 16, static_cast<std::ptrdiff_t>(zeros.size()));
}

}  // namespace
}  // namespace NUV
