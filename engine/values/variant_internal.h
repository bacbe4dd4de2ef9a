#pragma once
// Helpers shared by the variant's translation units.

#include "engine/values/variant.h"

namespace NUV::VariantDetail {

inline constexpr const char16_t* NUVTargetInteger = u"int";
inline constexpr const char16_t* NUVTargetReal = u"real";
inline constexpr const char16_t* NUVTargetString = u"string";
inline constexpr const char16_t* NUVTargetOctet = u"octet";
inline constexpr const char16_t* NUVTargetNumber = u"int/real";

// Raises NUVVariantConvertError for value and the target type name.
[[noreturn, gnu::noinline, gnu::cold]] void ThrowConvertError(const tNUVVariant& value, const char16_t* target);
// Raises NUVVariantConvertErrorToObject for value.
[[noreturn, gnu::noinline, gnu::cold]] void ThrowConvertErrorToObject(const tNUVVariant& value);

// The number a value stands for in arithmetic: void gives int 0, a string its
// parsed number, int and real themselves; objects and octets raise with "int/real".
tNUVVariant NumberOf(const tNUVVariant& value);

}  // namespace NUV::VariantDetail
