// Local time from the C runtime of Windows: its 64-bit time functions, which take
// the zone from TZ when it is set and from the system otherwise. They handle the
// years 1970 to 3000 only; times outside that range do not convert.
#if defined(_WIN32)
#include "engine/platform/local_time.h"

#include <ctime>
#include <limits>
#include <time.h>

namespace NUV::Platform {

int64_t CurrentTime() { return static_cast<int64_t>(_time64(nullptr)); }

bool BreakDownLocalTime(int64_t time, tLocalTimeFields& fields) {
  _tzset();
  __time64_t calendar = static_cast<__time64_t>(time);
  struct tm broken {};
  if (_localtime64_s(&broken, &calendar) != 0) return false;
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
  _tzset();
  struct tm broken {};
  broken.tm_year = static_cast<int>(fields.Year - 1900);
  broken.tm_mon = fields.Month;
  broken.tm_mday = fields.Day;
  broken.tm_hour = fields.Hours;
  broken.tm_min = fields.Minutes;
  broken.tm_sec = fields.Seconds;
  broken.tm_isdst = fields.IsDaylight;
  __time64_t calendar = _mktime64(&broken);
  if (calendar == static_cast<__time64_t>(-1)) return false;
  time = static_cast<int64_t>(calendar);
  return true;
}

int64_t StandardOffsetWest() {
  _tzset();
  return static_cast<int64_t>(_timezone);
}

}  // namespace NUV::Platform
#endif
