// The printf-style formatters: tNUVString::Format and FormatTemplate.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "engine/services/errors.h"
#include "engine/services/messages.h"
#include "engine/values/nuv_string.h"
#include "engine/values/variant.h"

namespace NUV {
namespace {

std::u16string Text(const tNUVString& string) {
  return std::u16string(string.c_str(), static_cast<size_t>(string.GetLen()));
}

std::u16string Widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// Format's result as UTF-8, for readable failures.
template <typename... tArgs>
std::string FormatText(const char16_t* templ, tArgs... args) {
  tNUVString result;
  result.Format(templ, args...);
  return result.AsStdString();
}

// FormatTemplate over the given values; returns the result as UTF-8.
std::string Template(const char16_t* templ, std::initializer_list<tNUVVariant> values = {}) {
  std::vector<tNUVVariant> arguments(values);
  std::vector<tNUVVariant*> pointers;
  for (tNUVVariant& argument : arguments) pointers.push_back(&argument);
  return FormatTemplate(tNUVString(templ), static_cast<int32_t>(pointers.size()), pointers.data()).AsStdString();
}

// The message of the error FormatTemplate raises, or "no error".
std::u16string TemplateError(const char16_t* templ, std::initializer_list<tNUVVariant> values = {}) {
  try {
    Template(templ, values);
  } catch (const eNUVError& error) {
    return Text(error.GetMessage());
  }
  return u"no error";
}

const std::u16string InvalidFormat = NUVInvalidFormatString.Text();
const std::u16string BadParamCount = NUVBadParamCount.Text();

// One live string keeps the string heap from being built and torn down around
// every formatted value.
class StringFormat : public ::testing::Test {
  tNUVString HeapKeeper{u"keeps the heap"};
};
class StringFormatTemplate : public StringFormat {};

// Format --------------------------------------------------------------------------

// Formats one value with both snprintf and Format, passing the "*" arguments the
// directive asks for; returns 1 for counting.
template <typename tValue>
int Compare(const std::string& directiveText, bool starWidth, bool starPrecision, tValue value) {
  char expected[128];
  std::string actual;
  std::u16string wideSpec = Widen(directiveText);
  if (starWidth && starPrecision) {
    std::snprintf(expected, sizeof expected, directiveText.c_str(), 11, 4, value);
    actual = FormatText(wideSpec.c_str(), 11, 4, value);
  } else if (starWidth) {
    std::snprintf(expected, sizeof expected, directiveText.c_str(), -11, value);
    actual = FormatText(wideSpec.c_str(), -11, value);
  } else if (starPrecision) {
    std::snprintf(expected, sizeof expected, directiveText.c_str(), 2, value);
    actual = FormatText(wideSpec.c_str(), 2, value);
  } else {
    std::snprintf(expected, sizeof expected, directiveText.c_str(), value);
    actual = FormatText(wideSpec.c_str(), value);
  }
  EXPECT_EQ(actual, expected) << directiveText << " with " << value;
  return 1;
}

// Flags, width and precision of numbers must come out exactly as the C library
// prints them (Format pads by itself, so the two paths are independent).
TEST_F(StringFormat, NumbersMatchTheCLibrary) {
  const char* flagSets[] = {"", "-", "+", " ", "#", "0", "-0", "+0", " 0", "#0", "-+#"};
  const char* widths[] = {"", "1", "9", "*"};
  const char* precisions[] = {"", ".0", ".3", ".*"};
  const int integers[] = {0, 1, -42, 255, INT32_MAX, INT32_MIN};
  const double reals[] = {0.0, -1.5, 123456.789, 1e-10, 9.9999e20, INFINITY, -INFINITY, NAN};
  int compared = 0;
  for (const char* flags : flagSets) {
    for (const char* width : widths) {
      for (const char* precision : precisions) {
        for (char conversion : std::string("diuoxX")) {
          bool isSigned = conversion == 'd' || conversion == 'i';
          if (isSigned && std::string(flags).find('#') != std::string::npos) continue;
          std::string directiveText = std::string("%") + flags + width + precision + conversion;
          for (int value : integers) {
            compared += Compare(directiveText, std::string(width) == "*", std::string(precision) == ".*", value);
          }
        }
        for (char conversion : std::string("eEfFgGaA")) {
          std::string directiveText = std::string("%") + flags + width + precision + conversion;
          for (double value : reals) {
            compared += Compare(directiveText, std::string(width) == "*", std::string(precision) == ".*", value);
          }
        }
      }
    }
  }
  EXPECT_GT(compared, 5000);
}

TEST_F(StringFormat, LengthModifiers) {
  EXPECT_EQ(FormatText(u"%hhd %hhu %hd %hu", 300, 300, 70000, 70000), "44 44 4464 4464");
  EXPECT_EQ(FormatText(u"%ld %lu", -5L, 5UL), "-5 5");
  EXPECT_EQ(FormatText(u"%lld", static_cast<long long>(INT64_MIN)), "-9223372036854775808");
  EXPECT_EQ(FormatText(u"%llu %llx", static_cast<unsigned long long>(UINT64_MAX),
                       static_cast<unsigned long long>(UINT64_MAX)),
            "18446744073709551615 ffffffffffffffff");
  EXPECT_EQ(FormatText(u"%zu %zd", SIZE_MAX, static_cast<ptrdiff_t>(-3)), "18446744073709551615 -3");
  EXPECT_EQ(FormatText(u"%jd %td", static_cast<intmax_t>(INT64_MAX), static_cast<ptrdiff_t>(-7)),
            "9223372036854775807 -7");
  EXPECT_EQ(FormatText(u"%Lf %lf", 2.5L, 0.25), "2.500000 0.250000");
  // Arguments after a wide modifier stay in step.
  EXPECT_EQ(FormatText(u"%lld|%d", static_cast<long long>(1) << 40, 9), "1099511627776|9");
}

TEST_F(StringFormat, StarWidthAndPrecision) {
  EXPECT_EQ(FormatText(u"[%*d]", 5, 42), "[   42]");
  EXPECT_EQ(FormatText(u"[%*d]", -5, 42), "[42   ]");  // negative width means "-"
  EXPECT_EQ(FormatText(u"[%.*f]", 2, 3.14159), "[3.14]");
  EXPECT_EQ(FormatText(u"[%.*d]", -1, 7), "[7]");      // negative precision means none
  EXPECT_EQ(FormatText(u"[%*.*s]", 6, 2, u"abcdef"), "[    ab]");
  EXPECT_EQ(FormatText(u"[%.*s]", -2, u"abc"), "[abc]");
  EXPECT_EQ(FormatText(u"[%*d]", INT32_MIN, 1).size(), 8191u);  // magnitude of INT32_MIN, no overflow
}

TEST_F(StringFormat, Texts) {
  EXPECT_EQ(FormatText(u"[%s|%ls]", u"wide", u"text"), "[wide|text]");
  EXPECT_EQ(FormatText(u"[%6s|%-6s|%.2s]", u"ab", u"ab", u"xyz"), "[    ab|ab    |xy]");
  EXPECT_EQ(FormatText(u"[%s]", static_cast<const char16_t*>(nullptr)), "[(null)]");
  // A precision bounds the read: the array needs no terminator.
  const char16_t unterminated[3] = {u'a', u'b', u'c'};
  EXPECT_EQ(FormatText(u"[%.3s]", unterminated), "[abc]");
  EXPECT_EQ(FormatText(u"[%s]", u"\u3042\U0001F600"), "[\u3042\U0001F600]");
  EXPECT_EQ(FormatText(u"[%c%c%3c%-3c]", 'A', 0x3042, 'b', 'c'), "[A\u3042  bc  ]");
  // A 0 unit cannot be part of a string: it counts as no text, padding stays.
  EXPECT_EQ(FormatText(u"[%3c]", 0), "[   ]");
}

TEST_F(StringFormat, NarrowTexts) {
  EXPECT_EQ(FormatText(u"[%hs]", "h\xC3\xA9llo"), "[h\xC3\xA9llo]");
  EXPECT_EQ(Text(tNUVString::Formatted(u"%hs", "\xC3\xA9")), std::u16string(u"\u00E9"));
  EXPECT_EQ(FormatText(u"[%5.2hs]", "abcd"), "[   ab]");
  EXPECT_EQ(FormatText(u"[%hs]", static_cast<const char*>(nullptr)), "[(null)]");
  // Invalid bytes become "?", the valid characters around them survive.
  EXPECT_EQ(FormatText(u"[%hs]", "a\xFF" "b\xC3"), "[a?b?]");
  EXPECT_EQ(FormatText(u"[%hs]", "\xE3\x81\x82\x80z"), "[\xE3\x81\x82?z]");
}

TEST_F(StringFormat, Pointers) {
  int anchor = 0;
  char expected[32];
  std::snprintf(expected, sizeof expected, "%016llX",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&anchor)));
  EXPECT_EQ(FormatText(u"%p", static_cast<void*>(&anchor)), expected);
  EXPECT_EQ(FormatText(u"0x%p", static_cast<void*>(nullptr)), "0x0000000000000000");
  EXPECT_EQ(FormatText(u"[%20p]", static_cast<void*>(nullptr)), "[    0000000000000000]");
  EXPECT_EQ(FormatText(u"[%-18p]", reinterpret_cast<void*>(0xABCDEFu)), "[0000000000ABCDEF  ]");
}

TEST_F(StringFormat, UnknownAndIncompleteDirectives) {
  EXPECT_EQ(FormatText(u"100%% [%y] [%-5.2y] [%ln]"), "100% [%y] [%-5.2y] [%ln]");
  // An unknown conversion takes no argument.
  EXPECT_EQ(FormatText(u"%q%d", 5), "%q5");
  EXPECT_EQ(FormatText(u"50%"), "50%");
  EXPECT_EQ(FormatText(u"a%-08.3l"), "a%-08.3l");
  EXPECT_EQ(FormatText(u"%5%"), "%");
  tNUVString nothing(u"old");
  nothing.Format(nullptr);
  EXPECT_TRUE(nothing.IsEmpty());
  nothing.Format(u"%s", u"");
  EXPECT_EQ(nothing.GetBody(), nullptr);
}

TEST_F(StringFormat, OutputIsCutAt8191Units) {
  std::u16string longText(10000, u'x');
  tNUVString result;
  result.Format(u"ab%s", longText.c_str());
  ASSERT_EQ(result.GetLen(), 8191);
  EXPECT_EQ(Text(result), u"ab" + std::u16string(8189, u'x'));

  result.Format(longText.c_str());
  EXPECT_EQ(result.GetLen(), 8191);

  // Huge widths and precisions are bounded by the buffer, not by memory.
  result.Format(u"%9000d", 5);
  EXPECT_EQ(Text(result), std::u16string(8191, u' '));
  result.Format(u"%-9000d|", 5);
  EXPECT_EQ(Text(result), u"5" + std::u16string(8190, u' '));
  result.Format(u"%099999999999999999999d", -5);
  EXPECT_EQ(Text(result), u"-" + std::u16string(8190, u'0'));
  result.Format(u"%.2000000000f", 1.0);
  EXPECT_EQ(Text(result), u"1." + std::u16string(8189, u'0'));
  result.Format(u"%.100000e", 1.0);
  EXPECT_EQ(result.GetLen(), 8191);

  std::u16string exact(8191, u'y');
  result.Format(u"%s", exact.c_str());
  EXPECT_EQ(Text(result), exact);
}

TEST_F(StringFormat, ArgumentMayBeTheTargetItself) {
  tNUVString text(u"abc");
  text.Format(u"%s-%s", text.c_str(), text.c_str());
  EXPECT_EQ(Text(text), u"abc-abc");
}

// FormatTemplate ----------------------------------------------------------------------

TEST_F(StringFormatTemplate, TextDirectives) {
  EXPECT_EQ(Template(u"[%5.3s]", {u"abcdef"}), "[  abc]");
  EXPECT_EQ(Template(u"[%-5.3s]", {u"abcdef"}), "[abc  ]");
  EXPECT_EQ(Template(u"[%c]", {tNUVVariant(65)}), "[6]");
  EXPECT_EQ(Template(u"[%.5c|%3c|%-3c]", {u"xyz", u"xyz", u"q"}), "[x|  x|q  ]");
  EXPECT_EQ(Template(u"[%s|%.0s|%2s]", {u"abc", u"abc", u"abc"}), "[abc|abc|abc]");
  EXPECT_EQ(Template(u"[%s %s]", {tNUVVariant(-12), tNUVVariant(2.5)}), "[-12 2.5]");
  EXPECT_EQ(Template(u"[%05s]", {u"ab"}), "[   ab]");
  EXPECT_EQ(Template(u"%s", {u"\u3042\u3044"}), "\u3042\u3044");
}

// A precision beyond the text is the text's length: nothing is cut behind it.
TEST_F(StringFormatTemplate, PrecisionBeyondTheTextKeepsTheRest) {
  EXPECT_EQ(Template(u"x%.10sy", {u"abc"}), "xabcy");
  EXPECT_EQ(Template(u"[%6.10s]", {u"abc"}), "[   abc]");
  EXPECT_EQ(Template(u"[%-6.10s]", {u"abc"}), "[abc   ]");
  EXPECT_EQ(Template(u"[%2.10s]", {u"abc"}), "[abc]");
  EXPECT_EQ(Template(u"[%.*s]%d", {tNUVVariant(50), u"ab", tNUVVariant(7)}), "[ab]7");
}

TEST_F(StringFormatTemplate, EmptyArgumentWritesNoPadding) {
  EXPECT_EQ(Template(u"[%5s][%-5c][%*s]", {u"", u"", tNUVVariant(9), tNUVVariant()}), "[][][]");
  EXPECT_EQ(Template(u"%10s", {u""}), "");
  tNUVVariant empty(u"");
  tNUVVariant* arguments[] = {&empty};
  EXPECT_EQ(FormatTemplate(tNUVString(u"%10s"), 1, arguments).GetBody(), nullptr);
}

TEST_F(StringFormatTemplate, Integers) {
  EXPECT_EQ(Template(u"%d", {tNUVVariant(INT64_MIN)}), "-9223372036854775808");
  EXPECT_EQ(Template(u"%i", {tNUVVariant(INT64_MAX)}), "9223372036854775807");
  EXPECT_EQ(Template(u"%u %x %X", {tNUVVariant(int64_t{-1}), tNUVVariant(int64_t{-1}), tNUVVariant(int64_t{-2})}),
            "18446744073709551615 ffffffffffffffff FFFFFFFFFFFFFFFE");
  EXPECT_EQ(Template(u"%o %#o %#x %#X", {tNUVVariant(8), tNUVVariant(8), tNUVVariant(255), tNUVVariant(255)}),
            "10 010 0xff 0XFF");
  EXPECT_EQ(Template(u"[%+d|%05d|%-5d|%+05d|%.3d|%#08x]",
                     {tNUVVariant(5), tNUVVariant(-42), tNUVVariant(7), tNUVVariant(3), tNUVVariant(5),
                      tNUVVariant(255)}),
            "[+5|-0042|7    |+0003|005|0x0000ff]");
  // Arguments are converted: text to number, real truncated.
  EXPECT_EQ(Template(u"%d %d %x", {u"42", tNUVVariant(3.9), u"0x10"}), "42 3 10");
  EXPECT_EQ(Template(u"[%.0d]", {tNUVVariant(0)}), "[]");
}

TEST_F(StringFormatTemplate, Reals) {
  EXPECT_EQ(Template(u"%f|%.2e|%E|%g|%G", {tNUVVariant(1.5), tNUVVariant(12345.678), tNUVVariant(0.5),
                                           tNUVVariant(1e-10), tNUVVariant(1e20)}),
            "1.500000|1.23e+04|5.000000E-01|1e-10|1E+20");
  EXPECT_EQ(Template(u"[%+08.2f|%-8.1f|%#.0f]", {tNUVVariant(3.14159), tNUVVariant(-2.25), tNUVVariant(3.0)}),
            "[+0003.14|-2.2    |3.]");
  EXPECT_EQ(Template(u"%f %f %E %g %5f", {tNUVVariant(NAN), tNUVVariant(-INFINITY), tNUVVariant(INFINITY),
                                          tNUVVariant(-NAN), tNUVVariant(INFINITY)}),
            "nan -inf INF -nan   inf");
  EXPECT_EQ(Template(u"%f %e", {tNUVVariant(2), u"0.25"}), "2.000000 2.500000e-01");
  // "F" is not a conversion here: the directive is dropped, the unit stays.
  EXPECT_EQ(Template(u"%F", {tNUVVariant(1.0)}), "F");
}

TEST_F(StringFormatTemplate, StarArguments) {
  EXPECT_EQ(Template(u"[%*d|%-*d|%.*f]", {tNUVVariant(5), tNUVVariant(42), tNUVVariant(4), tNUVVariant(1),
                                          tNUVVariant(2), tNUVVariant(3.14159)}),
            "[   42|1   |3.14]");
  // A negative "*" width left-aligns; a negative "*" precision counts as none.
  EXPECT_EQ(Template(u"[%*d]", {tNUVVariant(-5), tNUVVariant(42)}), "[42   ]");
  EXPECT_EQ(Template(u"[%*s]", {tNUVVariant(-4), u"ab"}), "[ab  ]");
  EXPECT_EQ(Template(u"[%.*d|%.*s]", {tNUVVariant(-3), tNUVVariant(5), tNUVVariant(-1), u"abc"}), "[5|abc]");
  EXPECT_EQ(Template(u"[%*.*s]", {u"4", u"1", u"xyz"}), "[   x]");
}

TEST_F(StringFormatTemplate, PercentUnknownAndPlainText) {
  EXPECT_EQ(Template(u"100%%"), "100%");
  EXPECT_EQ(Template(u"[%5%]"), "[%]");
  EXPECT_EQ(Template(u"[%y|%-5.2y]"), "[y|y]");
  // A length modifier is no conversion: "l" is copied, then "d" is plain text.
  EXPECT_EQ(Template(u"%ld%d", {tNUVVariant(3)}), "ld3");
  EXPECT_EQ(Template(u""), "");
  EXPECT_EQ(FormatTemplate(tNUVString(), 0, nullptr).GetBody(), nullptr);
  std::u16string longTemplate;
  std::string expected;
  for (int i = 0; i < 40; ++i) {
    longTemplate += u"<%s>";
    expected += "<" + std::to_string(i) + ">";
  }
  std::vector<tNUVVariant> values;
  for (int i = 0; i < 40; ++i) values.emplace_back(i);
  std::vector<tNUVVariant*> pointers;
  for (tNUVVariant& value : values) pointers.push_back(&value);
  EXPECT_EQ(FormatTemplate(tNUVString(longTemplate.c_str()), 40, pointers.data()).AsStdString(), expected);
}

TEST_F(StringFormatTemplate, MissingArguments) {
  EXPECT_EQ(TemplateError(u"%d"), BadParamCount);
  EXPECT_EQ(TemplateError(u"%s %s", {u"a"}), BadParamCount);
  EXPECT_EQ(TemplateError(u"%*d", {tNUVVariant(3)}), BadParamCount);
  EXPECT_EQ(TemplateError(u"%.*s", {}), BadParamCount);
  EXPECT_EQ(TemplateError(u"%% %y"), u"no error");
}

TEST_F(StringFormatTemplate, TemplateEndingInsideADirective) {
  for (const char16_t* templ : {u"%", u"abc%", u"%-", u"%#", u"%0", u"%12", u"%5.", u"%.3", u"%+07.2"}) {
    EXPECT_EQ(TemplateError(templ), InvalidFormat) << Text(tNUVString(templ)).size();
  }
  EXPECT_EQ(TemplateError(u"%*", {tNUVVariant(1)}), InvalidFormat);
}

TEST_F(StringFormatTemplate, NumericDirectiveLimits) {
  // Directive text (from "%" to the conversion) of 67 units passes, 68 fails.
  std::u16string shortest = u"%" + std::u16string(65, u'0') + u"d";
  std::u16string tooLong = u"%" + std::u16string(66, u'0') + u"d";
  EXPECT_EQ(Template(shortest.c_str(), {tNUVVariant(7)}), "7");
  EXPECT_EQ(TemplateError(tooLong.c_str(), {tNUVVariant(7)}), InvalidFormat);
  // Text directives have no such limit.
  std::u16string longText = u"%" + std::u16string(70, u'0') + u"3s";
  EXPECT_EQ(Template(longText.c_str(), {u"a"}), "  a");

  // width + precision must stay below 901.
  EXPECT_EQ(Template(u"%450.450d", {tNUVVariant(1)}).size(), 450u);
  EXPECT_EQ(TemplateError(u"%451.450d", {tNUVVariant(1)}), InvalidFormat);
  EXPECT_EQ(TemplateError(u"%901f", {tNUVVariant(1.0)}), InvalidFormat);
  EXPECT_EQ(TemplateError(u"%.901e", {tNUVVariant(1.0)}), InvalidFormat);
  EXPECT_EQ(TemplateError(u"%99999999999999999999999d", {tNUVVariant(1)}), InvalidFormat);
  EXPECT_EQ(Template(u"%*.*d", {tNUVVariant(900), tNUVVariant(0), tNUVVariant(1)}).size(), 900u);
  EXPECT_EQ(TemplateError(u"%*.*d", {tNUVVariant(900), tNUVVariant(1), tNUVVariant(1)}), InvalidFormat);
  EXPECT_EQ(TemplateError(u"%*d", {tNUVVariant(-901), tNUVVariant(1)}), InvalidFormat);
  EXPECT_EQ(TemplateError(u"%*d", {tNUVVariant(INT64_MIN), tNUVVariant(1)}), InvalidFormat);
  EXPECT_EQ(TemplateError(u"%.*f", {tNUVVariant(INT64_MAX), tNUVVariant(1.0)}), InvalidFormat);
  // The largest real still fits: 309 digits and a precision of 590.
  EXPECT_EQ(Template(u"%.590f", {tNUVVariant(1.7976931348623157e308)}).size(), 309u + 1 + 590);
}

TEST_F(StringFormatTemplate, TextFieldBeyondAnyStringIsAnError) {
  EXPECT_THROW(Template(u"%*s", {tNUVVariant(INT64_MAX), u"a"}), eNUVError);
  EXPECT_THROW(Template(u"%*s", {tNUVVariant(INT64_MIN), u"a"}), eNUVError);
  EXPECT_EQ(Template(u"%2000s", {u"a"}), std::string(1999, ' ') + "a");
}

}  // namespace
}  // namespace NUV
