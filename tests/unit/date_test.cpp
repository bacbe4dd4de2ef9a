// The Date class on a fixed local zone: getters, setters with carry-over, the
// constructor forms, the standard-time offset, dates beyond January 2038, and the
// codes and errors of unsuitable calls.

#include <cstdlib>
#include <ctime>
#include <string>

#include "engine/objects/date_class.h"
#include "objects_test_support.h"

namespace NUV::ObjectsTest {
namespace {

// 2005-11-06 08:49:37 UTC, in milliseconds.
constexpr int64_t NovemberSixth = int64_t{1131266977} * 1000;

class tDateTest : public tObjectTest {
protected:
  void SetUp() override {
    tObjectTest::SetUp();
    const char* zone = std::getenv("TZ");
    HadZone = zone != nullptr;
    if (zone) SavedZone = zone;
    UseZone("JST-9");
    ClassObject = new tNUVNC_Date;
  }
  void TearDown() override {
    ClassObject->Release();
    if (HadZone)
      setenv("TZ", SavedZone.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
    tObjectTest::TearDown();
  }
  static void UseZone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }
  // A new Date; failures raise as a script would see them.
  iNUVDispatch2* New(tArguments arguments) {
    iNUVDispatch2* created = nullptr;
    NUVThrowFromResultCode(
        ClassObject->CreateInstance(0, nullptr, nullptr, &created, arguments.Count(), arguments.Data(), nullptr));
    return created;
  }
  static tNUVVariant Call(iNUVDispatch2* date, const char16_t* name, tArguments arguments = {}) {
    tNUVVariant result;
    NUVThrowFromResultCode(
        date->CallMember(0, name, nullptr, &result, arguments.Count(), arguments.Data(), date), name);
    return result;
  }
  static int64_t Integer(iNUVDispatch2* date, const char16_t* name) { return Call(date, name).AsInteger(); }
  // year, month, day, hours, minutes, seconds as local fields.
  static std::string Fields(iNUVDispatch2* date) {
    std::string text;
    for (const char16_t* name : {u"getYear", u"getMonth", u"getDate", u"getHours", u"getMinutes", u"getSeconds"})
      text += (text.empty() ? "" : " ") + std::to_string(Integer(date, name));
    return text;
  }

  tNUVNC_Date* ClassObject = nullptr;
  bool HadZone = false;
  std::string SavedZone;
};

using DateClass = tDateTest;

TEST_F(DateClass, GettersReadLocalFields) {
  tHold<iNUVDispatch2> date(New({tNUVVariant(u"Sun, 06 Nov 2005 08:49:37 GMT")}));
  EXPECT_EQ(Integer(date, u"getTime"), NovemberSixth);
  EXPECT_EQ(Fields(date), "2005 10 6 17 49 37");
  EXPECT_EQ(Integer(date, u"getDay"), 0);
  EXPECT_EQ(Integer(date, u"getTimezoneOffset"), -540);
  UseZone("EST5EDT,M3.2.0,M11.1.0");
  EXPECT_EQ(Fields(date), "2005 10 6 3 49 37");
}

TEST_F(DateClass, ConstructorForms) {
  int64_t before = static_cast<int64_t>(time(nullptr));
  tHold<iNUVDispatch2> now(New({}));
  EXPECT_GE(Integer(now, u"getTime") / 1000, before);
  EXPECT_LE(Integer(now, u"getTime") / 1000, static_cast<int64_t>(time(nullptr)));

  tHold<iNUVDispatch2> fields(New({tNUVVariant(int32_t{2005}), tNUVVariant(int32_t{10}), tNUVVariant(int32_t{6}),
                                   tNUVVariant(int32_t{17}), tNUVVariant(int32_t{49}), tNUVVariant(int32_t{37})}));
  EXPECT_EQ(Integer(fields, u"getTime"), NovemberSixth);
  tHold<iNUVDispatch2> yearOnly(New({tNUVVariant(int32_t{2005}), tNUVVariant()}));
  EXPECT_EQ(Fields(yearOnly), "2005 0 1 0 0 0");
  tHold<iNUVDispatch2> carried(New({tNUVVariant(int32_t{2005}), tNUVVariant(int32_t{0}), tNUVVariant(int32_t{32})}));
  EXPECT_EQ(Fields(carried), "2005 1 1 0 0 0");

  // Fields are standard time even when daylight time applies; getters show daylight time.
  UseZone("EST5EDT,M3.2.0,M11.1.0");
  tHold<iNUVDispatch2> summer(New({tNUVVariant(int32_t{2005}), tNUVVariant(int32_t{6}), tNUVVariant(int32_t{1}),
                                   tNUVVariant(int32_t{12})}));
  EXPECT_EQ(Integer(summer, u"getTime"), int64_t{1120237200} * 1000);   // 2005-07-01 17:00 UTC
  EXPECT_EQ(Fields(summer), "2005 6 1 13 0 0");
  EXPECT_EQ(Integer(summer, u"getTimezoneOffset"), 300);
}

TEST_F(DateClass, SettersCarryOutOfRangeValues) {
  tHold<iNUVDispatch2> date(New({tNUVVariant(int32_t{2005}), tNUVVariant(int32_t{0}), tNUVVariant(int32_t{31}),
                                 tNUVVariant(int32_t{12})}));
  Call(date, u"setDate", {tNUVVariant(int32_t{32})});
  EXPECT_EQ(Fields(date), "2005 1 1 12 0 0");
  Call(date, u"setMonth", {tNUVVariant(int32_t{12})});
  EXPECT_EQ(Fields(date), "2006 0 1 12 0 0");
  Call(date, u"setHours", {tNUVVariant(int32_t{-1})});
  EXPECT_EQ(Fields(date), "2005 11 31 23 0 0");
  Call(date, u"setMinutes", {tNUVVariant(int32_t{90})});
  Call(date, u"setSeconds", {tNUVVariant(u"75")});
  EXPECT_EQ(Fields(date), "2006 0 1 0 31 15");
  Call(date, u"setYear", {tNUVVariant(int32_t{2100})});
  EXPECT_EQ(Fields(date), "2100 0 1 0 31 15");
  EXPECT_EQ(Integer(date, u"getTime"), (int64_t{4102444800} - 9 * 3600 + 31 * 60 + 15) * 1000);
  Call(date, u"setYear", {tNUVVariant(int32_t{1900})});
  EXPECT_EQ(Fields(date), "1900 0 1 0 31 15");

  // Setters keep the daylight time the date is in.
  UseZone("EST5EDT,M3.2.0,M11.1.0");
  tHold<iNUVDispatch2> summer(New({tNUVVariant(u"2005/07/01 16:00 GMT")}));
  EXPECT_EQ(Fields(summer), "2005 6 1 12 0 0");
  Call(summer, u"setMinutes", {tNUVVariant(int32_t{30})});
  EXPECT_EQ(Fields(summer), "2005 6 1 12 30 0");
}

TEST_F(DateClass, NegativeMillisecondsAndParseWithoutZone) {
  tHold<iNUVDispatch2> date(New({}));
  Call(date, u"setTime", {tNUVVariant(int32_t{-1500})});
  EXPECT_EQ(Integer(date, u"getTime"), -1000);
  EXPECT_EQ(Fields(date), "1970 0 1 8 59 59");
  EXPECT_TRUE(Call(date, u"parse", {tNUVVariant(u"Nov 6 2005 17:49:37")}).IsVoid());
  EXPECT_EQ(Integer(date, u"getTime"), NovemberSixth);
  ExpectError([&] { Call(date, u"parse", {tNUVVariant(int32_t{2005})}); }, NUVCannotParseDate);
  ExpectError([&] { New({tNUVVariant(u"Sun Nov 6 2005")}); }, NUVCannotParseDate);
}

TEST_F(DateClass, UnrepresentableTimesRaise) {
  tHold<iNUVDispatch2> date(New({}));
  ExpectError([&] { Call(date, u"setYear", {tNUVVariant(int64_t{INT64_MIN})}); }, NUVInvalidValueForTimestamp);
  ExpectError([&] { Call(date, u"setYear", {tNUVVariant(int64_t{2000000000})}); }, NUVInvalidValueForTimestamp);
  ExpectError([&] { New({tNUVVariant(int32_t{2005}), tNUVVariant(int64_t{1} << 40)}); },
              NUVInvalidValueForTimestamp);
  Call(date, u"setTime", {tNUVVariant(int64_t{INT64_MAX})});
  // The whole millisecond range still breaks down into local fields.
  EXPECT_EQ(Integer(date, u"getTime"), INT64_MAX / 1000 * 1000);
  EXPECT_GT(Integer(date, u"getYear"), 290000000);
  Call(date, u"setTime", {tNUVVariant(int64_t{INT64_MIN})});
  EXPECT_EQ(Integer(date, u"getTime") / 1000, INT64_MIN / 1000);
}

TEST_F(DateClass, UnsuitableCalls) {
  tHold<iNUVDispatch2> date(New({}));
  tNUVVariant result;
  EXPECT_EQ(date->CallMember(0, u"setYear", nullptr, &result, 0, nullptr, date), NUVResultBadParamCount);
  EXPECT_EQ(date->CallMember(0, u"parse", nullptr, &result, 0, nullptr, date), NUVResultBadParamCount);
  // Another object as this: every method but finalize and getTimezoneOffset refuses.
  tHold<tTestObject> other(new tTestObject(3));
  tNUVVariant method = Get(date.get(), u"getHours");
  EXPECT_EQ(method.AsObject()->CallMember(0, nullptr, nullptr, &result, 0, nullptr, other), NUVResultNativeClassCrash);
  tNUVVariant offset = Get(date.get(), u"getTimezoneOffset");
  EXPECT_EQ(offset.AsObject()->CallMember(0, nullptr, nullptr, &result, 0, nullptr, other), NUVResultOk);
  EXPECT_EQ(result.AsInteger(), -540);
  tNUVVariant finalize = Get(date.get(), u"finalize");
  EXPECT_EQ(finalize.AsObject()->CallMember(0, nullptr, nullptr, &result, 0, nullptr, other), NUVResultOk);
}

}  // namespace
}  // namespace NUV::ObjectsTest
