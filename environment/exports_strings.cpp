// Numbered exports on strings: a host's tNUVString is one body pointer that only
// these functions create, change and release, so every body stays on the
// library's heap.

#include <new>

#include "engine/values/nuv_string.h"
#include "environment/environment.h"

namespace NUV {

extern "C" {

// Constructors take uninitialised storage and do nothing when it is null.
MRVK_EXPORT void Mrvk_0078_Export_Func(tNUVString* target) {
  if (target) new (target) tNUVString();
}

MRVK_EXPORT void Mrvk_0079_Export_Func(tNUVString* target, const tNUVString* source) {
  if (target) new (target) tNUVString(source ? *source : tNUVString());
}

MRVK_EXPORT void Mrvk_007B_Export_Func(tNUVString* target, const char16_t* text) {
  if (target) new (target) tNUVString(text);
}

MRVK_EXPORT void Mrvk_007C_Export_Func(tNUVString* target, const char* text) {
  if (target) new (target) tNUVString(text ? text : "");
}

MRVK_EXPORT void Mrvk_0083_Export_Func(tNUVString* target) {
  if (target) target->~tNUVString();
}

MRVK_EXPORT tNUVString* Mrvk_0084_Export_Func(tNUVString* target, const tNUVString* source) {
  *target = *source;
  return target;
}

MRVK_EXPORT const char16_t* Mrvk_0094_Export_Func(const tNUVString* string) { return string->c_str(); }

MRVK_EXPORT int32_t Mrvk_00AC_Export_Func(const tNUVString* string) { return string->GetLen(); }

}  // extern "C"

}  // namespace NUV
