#pragma once
// Local time and the time zone, for the Date class.
//
// Calendar time is a signed 64-bit count of seconds since 1970-01-01 00:00:00 UTC,
// so dates before 1970 and after January 2038 work wherever the C library can
// convert them. The zone is the one the C library takes from `TZ`; every function
// re-reads it first, so a changed `TZ` applies from the next call on.

#include <cstdint>

namespace NUV::Platform {

// Broken-down local time. Year is the full year; Month 0..11; Day 1..31; WeekDay
// 0..6 with 0 Sunday. IsDaylight: 0 standard time, > 0 daylight time, < 0 let the
// zone's rules decide (only meaningful for MakeLocalTime).
struct tLocalTimeFields {
  int64_t Year = 1970;
  int32_t Month = 0;
  int32_t Day = 1;
  int32_t Hours = 0;
  int32_t Minutes = 0;
  int32_t Seconds = 0;
  int32_t WeekDay = 0;
  int32_t IsDaylight = 0;
};

// The current calendar time.
int64_t CurrentTime();

// Breaks time into local fields; false when the C library cannot represent it.
bool BreakDownLocalTime(int64_t time, tLocalTimeFields& fields);

// Converts local fields to calendar time, carrying out-of-range fields over
// (day 32 of January is 1 February); the daylight flag chooses the offset as
// described above. False when the result cannot be represented.
bool MakeLocalTime(const tLocalTimeFields& fields, int64_t& time);

// The local standard-time offset from UTC in seconds, positive west of UTC.
int64_t StandardOffsetWest();

}  // namespace NUV::Platform
