// The date text parser: the eleven orders of day, month and year, the time part,
// zone words and offsets, comments, two-digit years, and the texts it refuses. The
// local zone is fixed for each test, so results do not depend on the machine.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "engine/objects/date_parser.h"
#include "engine/services/errors.h"

namespace NUV {
namespace {

// 2005-11-06 08:49:37 UTC, in seconds.
constexpr int64_t NovemberSixth = 1131266977;

std::string Utf8(const std::u16string& text) { return tNUVString(text).AsStdString(); }

class DateParser : public testing::Test {
protected:
  void SetUp() override {
    const char* zone = std::getenv("TZ");
    HadZone = zone != nullptr;
    if (zone) SavedZone = zone;
    UseZone("JST-9");
  }
  void TearDown() override {
    if (HadZone)
      setenv("TZ", SavedZone.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  static void UseZone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }
  // Seconds since the epoch of a text.
  static int64_t Seconds(const std::u16string& text) {
    tNUVDateParser parser;
    int64_t milliseconds = parser.Parse(text.c_str(), static_cast<int32_t>(text.size()));
    EXPECT_EQ(milliseconds % 1000, 0);
    return milliseconds / 1000;
  }
  static std::u16string ErrorOf(const std::u16string& text) {
    try {
      Seconds(text);
    } catch (const eNUVError& error) {
      return error.GetMessage().c_str();
    }
    return u"(parsed)";
  }

  bool HadZone = false;
  std::string SavedZone;
};

TEST_F(DateParser, AllElevenOrdersGiveTheSameTime) {
  const char16_t* texts[] = {
      u"06 Nov 2005 08:49:37 GMT",   u"06-Nov 2005 08:49:37 GMT",  u"06-Nov-2005 08:49:37 GMT",
      u"Nov 06 2005 08:49:37 GMT",   u"Nov-06 2005 08:49:37 GMT",  u"Nov-06-2005 08:49:37 GMT",
      u"06 Nov 08:49:37 2005 GMT",   u"06-Nov 08:49:37 2005 GMT",  u"Nov 06 08:49:37 2005 GMT",
      u"Nov-06 08:49:37 2005 GMT",   u"2005-11-06 08:49:37 GMT",   u"2005/11-06 08:49:37 GMT",
      u"Sun, 06 Nov 2005 08:49:37 GMT", u"sunday Nov 6 08:49:37 2005 utc", u"SUN. 6 NOV. 2005 8:49:37.250 Z",
      u"6Nov2005 8:49:37GMT",        u"Nov 6 2005 08:49:37 GMT (a comment, with 12:00 PM)",
  };
  for (const char16_t* text : texts) EXPECT_EQ(Seconds(text), NovemberSixth) << Utf8(text);
}

TEST_F(DateParser, FieldsOfATextWithPmZoneAndOffset) {
  tNUVDateParser parser;
  std::u16string text = u"06 Nov 05 08:49 PM JST+0100";
  int64_t result = parser.Parse(text.c_str(), static_cast<int32_t>(text.size()));
  EXPECT_EQ(parser.Year.Value, 2005);
  EXPECT_EQ(parser.Month.Value, 10);
  EXPECT_EQ(parser.Day.Value, 6);
  EXPECT_FALSE(parser.Seconds.Given);
  EXPECT_TRUE(parser.AmPm.Given);
  EXPECT_EQ(parser.AmPm.Value, 1);
  EXPECT_EQ(parser.Zone.Value, 900);
  EXPECT_EQ(parser.Offset.Value, 100);
  // 20:49 at ten hours east is 10:49 UTC.
  EXPECT_EQ(result, (NovemberSixth - 37 + 2 * 3600) * 1000);
}

TEST_F(DateParser, TimePartForms) {
  int64_t minute = NovemberSixth - 37;
  EXPECT_EQ(Seconds(u"2005/11/06 08:49 GMT"), minute);
  EXPECT_EQ(Seconds(u"2005/11/06 8:49 am GMT"), minute);
  EXPECT_EQ(Seconds(u"2005/11/06 AM 8:49 GMT"), minute);
  EXPECT_EQ(Seconds(u"2005/11/06 PM 8:49 GMT"), minute + 12 * 3600);
  EXPECT_EQ(Seconds(u"Nov 6 8:49:37.5 pm 2005 GMT"), NovemberSixth + 12 * 3600);
  // 12 AM stays at 12; 12 PM becomes hour 24, the next day's midnight.
  EXPECT_EQ(Seconds(u"2005/11/06 12:00 AM GMT"), minute - 8 * 3600 - 49 * 60 + 12 * 3600);
  EXPECT_EQ(Seconds(u"2005/11/06 12:00 PM GMT"), minute - 8 * 3600 - 49 * 60 + 24 * 3600);
}

TEST_F(DateParser, WithoutZoneTheTextIsLocalStandardTime) {
  EXPECT_EQ(Seconds(u"Sun Nov 6 17:49:37 2005"), NovemberSixth);
  // Summer in a zone with daylight time still counts as standard time.
  UseZone("EST5EDT,M3.2.0,M11.1.0");
  EXPECT_EQ(Seconds(u"2005/07/01 12:00"), Seconds(u"2005/07/01 12:00 EST"));
  EXPECT_EQ(Seconds(u"2005/07/01 12:00"), Seconds(u"2005/07/01 17:00 GMT"));
}

TEST_F(DateParser, EveryZoneWordAndOffset) {
  struct tZone {
    const char16_t* Words;
    int64_t Seconds;
  };
  const tZone zones[] = {
      {u"IDLW M", -12 * 3600},  {u"NT", -11 * 3600},      {u"AHST CAT", -10 * 3600},
      {u"HDT", -9 * 3600},      {u"PST", -8 * 3600},      {u"MST PDT", -7 * 3600},
      {u"CST MDT", -6 * 3600},  {u"CDT EST", -5 * 3600},  {u"AST EDT", -4 * 3600},
      {u"NFT NST", -12600},     {u"ADT", -3 * 3600},      {u"NDT", -9000},
      {u"A WAT", -3600},        {u"GMT UT UTC WET Z", 0},
      {u"BST CET DNT FST MET MEWT MEZ N NOR SET SWT WETDST", 3600},
      {u"EET FWT IST MEST SST", 2 * 3600}, {u"BT", 3 * 3600}, {u"IT", 12600},
      {u"WAST", 7 * 3600},      {u"JT", 27000},           {u"AWST CCT WADT WST", 8 * 3600},
      {u"MT", 30600},           {u"AWSST JST KST WDT", 9 * 3600}, {u"ACST CAST SAST", 34200},
      {u"AEST EAST GST LIGT", 10 * 3600}, {u"ACSST CADT SADT", 37800}, {u"AESST", 11 * 3600},
      {u"IDLE NZST NZT Y", 12 * 3600}, {u"NZDT", 13 * 3600},
  };
  for (const tZone& zone : zones) {
    std::u16string words = zone.Words;
    size_t start = 0;
    while (start < words.size()) {
      size_t end = words.find(u' ', start);
      if (end == std::u16string::npos) end = words.size();
      std::u16string word = words.substr(start, end - start);
      EXPECT_EQ(Seconds(u"Sun, 06 Nov 2005 08:49:37 " + word), NovemberSixth - zone.Seconds)
          << Utf8(word);
      start = end + 1;
    }
  }
  EXPECT_EQ(Seconds(u"6 Nov 2005 08:49:37 -0130"), NovemberSixth + 5400);
  EXPECT_EQ(Seconds(u"6 Nov 2005 08:49:37 +0930"), NovemberSixth - 34200);
  EXPECT_EQ(Seconds(u"6 Nov 2005 08:49:37 EST-0100"), NovemberSixth + 6 * 3600);
}

TEST_F(DateParser, MonthWordsAndTwoDigitYears) {
  const char16_t* months[] = {u"jan", u"Feb.", u"MARCH", u"apr.", u"May", u"ju.", u"July",
                              u"aug", u"sept.", u"October", u"nov", u"DECEMBER"};
  for (int32_t month = 0; month < 12; month++) {
    tNUVDateParser parser;
    std::u16string text = std::u16string(u"1 ") + months[month] + u" 2005 00:00";
    ASSERT_TRUE(parser.Match(text.c_str(), static_cast<int32_t>(text.size()))) << month;
    EXPECT_EQ(parser.Month.Value, month);
  }
  const int32_t years[][2] = {{0, 2000}, {50, 2050}, {51, 1951}, {99, 1999}, {100, 100}, {2005, 2005}};
  for (const auto& year : years) {
    tNUVDateParser parser;
    std::u16string text = u"Jan 1 " + std::u16string(tNUVString::FromInteger(year[0]).c_str()) + u" 0:00";
    ASSERT_TRUE(parser.Match(text.c_str(), static_cast<int32_t>(text.size())));
    EXPECT_EQ(parser.Year.Value, year[1]);
  }
}

TEST_F(DateParser, DatesBefore1970AndAfter2038) {
  EXPECT_EQ(Seconds(u"2100/01/01 00:00 GMT"), 4102444800);
  EXPECT_EQ(Seconds(u"1 Jan 1900 00:00 GMT"), -2208988800);
  EXPECT_EQ(Seconds(u"1969/12/31 23:59:59 GMT"), -1);
  EXPECT_EQ(ErrorOf(u"1 Jan 2147483647 00:00 GMT"), NUVInvalidValueForTimestamp.Text());
}

TEST_F(DateParser, RefusedTexts) {
  const char16_t* texts[] = {
      u"2005-11-06",                      // no time
      u"",
      u"06 Nov 2005 08:49:37 GMT extra",  // unknown word
      u"06 Nov 2005 08:49:37 GMTX",
      u", 06 Nov 2005 08:49",             // comma without weekday
      u"06 Nov 2005 08:49 (unterminated",
      u"06 Nov 2005 08:49 (one) (two)",
      u"06 Nov 2005 AM 08:49 PM",
      u"06 Nov 2005 08:49:",
      u"06 Nov 2005 08:49:37.",
      u"06 Nov 2005 08 GMT",
      u"Nov 06 2005 08:49 GMT 2005",
      u"06 Nov 99999999999 08:49",        // beyond 32 bits
      u"06 Nov 2005 08:49 \u00e9",
      u"Mon Tue 06 Nov 2005 08:49",
      u"06 Nov 2005 08:49 + GMT",
  };
  for (const char16_t* text : texts)
    EXPECT_EQ(ErrorOf(text), NUVCannotParseDate.Text()) << Utf8(text);
}

}  // namespace
}  // namespace NUV
