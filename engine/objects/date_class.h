#pragma once
// The script-visible Date class: one point in time with a resolution of one
// second, read and changed in the platform's local time (the zone of `TZ`).
//
// tNUVNI_Date holds the time as a signed 64-bit count of seconds since the epoch,
// limited to what getTime can express in milliseconds. Setters break the time into
// local fields under the zone's daylight rules, replace one field and convert back,
// so out-of-range values carry over; the field constructor and date texts are read
// as local standard time. A time the platform cannot convert raises
// NUVInvalidValueForTimestamp; a text that is no date raises NUVCannotParseDate.

#include <cstdint>

#include "engine/objects/native_class.h"
#include "engine/platform/local_time.h"

namespace NUV {

class tNUVNI_Date : public tNUVNativeInstance {
public:
  // The Date class id; -1 until the first Date class object is built.
  static inline int32_t ClassID = -1;

  // No argument: now; a string: a date text; otherwise year [, month [, day
  // [, hours [, minutes [, seconds]]]]] in local standard time.
  int32_t Construct(int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* owner) override;

  int64_t GetTime() const { return Time; }
  // Stores seconds since the epoch; raises NUVInvalidValueForTimestamp beyond the
  // range whose milliseconds fit in 64 bits.
  void SetTime(int64_t seconds);
  // The local fields of the time (raises when the platform cannot convert it).
  Platform::tLocalTimeFields LocalFields() const;
  // Converts local fields back (raises when the platform cannot convert them).
  void SetLocalFields(const Platform::tLocalTimeFields& fields);
  // Sets the time from a date text.
  void Parse(const tNUVString& text);

private:
  int64_t Time = 0;
};

class tNUVNC_Date : public tNUVNativeClass {
public:
  tNUVNC_Date();
  iNUVNativeInstance* CreateNativeInstance() override { return new tNUVNI_Date; }
};

}  // namespace NUV
