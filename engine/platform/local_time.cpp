// The C library of Linux; the Windows version is local_time_windows.cpp.
#if !defined(_WIN32)
#include "engine/platform/local_time.h"

#include <ctime>
#include <limits>

namespace NUV::Platform {
namespace {

bool FitsTimeT(int64_t value) {
  return value >= static_cast<int64_t>(std::numeric_limits<time_t>::min()) &&
         value <= static_cast<int64_t>(std::numeric_limits<time_t>::max());
}

}  // namespace

int64_t CurrentTime() { return static_cast<int64_t>(time(nullptr)); }

bool BreakDownLocalTime(int64_t time, tLocalTimeFields& fields) {
  if (!FitsTimeT(time)) return false;
  tzset();
  time_t calendar = static_cast<time_t>(time);
  struct tm broken {};
  if (!localtime_r(&calendar, &broken)) return false;
  fields.Year = static_cast<int64_t>(broken.tm_year) + 1900;
  fields.Month = broken.tm_mon;
  fields.Day = broken.tm_mday;
  fields.Hours = broken.tm_hour;
  fields.Minutes = broken.tm_min;
  fields.Seconds = broken.tm_sec;
  fields.WeekDay = broken.tm_wday;
  fields.IsDaylight = broken.tm_isdst;
  return true;
}

bool MakeLocalTime(const tLocalTimeFields& fields, int64_t& time) {
  constexpr int64_t lowestYear = static_cast<int64_t>(std::numeric_limits<int>::min()) + 1900;
  constexpr int64_t highestYear = static_cast<int64_t>(std::numeric_limits<int>::max()) + 1900;
  if (fields.Year < lowestYear || fields.Year > highestYear) return false;
  tzset();
  struct tm broken {};
  broken.tm_year = static_cast<int>(fields.Year - 1900);
  broken.tm_mon = fields.Month;
  broken.tm_mday = fields.Day;
  broken.tm_hour = fields.Hours;
  broken.tm_min = fields.Minutes;
  broken.tm_sec = fields.Seconds;
  broken.tm_isdst = fields.IsDaylight;
  // mktime answers -1 both for failure and for one second before 1970; it sets
  // the week day only on success.
  broken.tm_wday = -1;
  time_t calendar = mktime(&broken);
  if (calendar == static_cast<time_t>(-1) && broken.tm_wday < 0) return false;
  time = static_cast<int64_t>(calendar);
  return true;
}

int64_t StandardOffsetWest() {
  tzset();
  return static_cast<int64_t>(timezone);
}

}  // namespace NUV::Platform
#endif
