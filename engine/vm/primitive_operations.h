#pragma once
// Member access and method calls on strings and octets, and the typeof names.
//
// Strings and octets are values, not objects, yet scripts read their members
// ("length", a character or byte by index) and call string methods on them. The
// interpreter recognises a string or octet receiver and calls these functions
// instead of the object interface. Like the object interface they answer result
// codes (NUVResult*): -1001 member not found (the caller names the member),
// -1004 bad parameter count, -1007 access denied. An index outside the value
// raises NUVRangeError; failing argument conversions raise as variant conversions
// do.
//
// Receivers must hold a string or an octet; any other receiver answers -1002.
// A null result pointer means the caller does not want the value. The result may
// be the same variant as the receiver or an argument: every value is computed
// before the result is written.
//
// Nothing here allocates beyond the result itself: the receiver's text is read in
// place and member and method names are matched against fixed names.

#include <cstdint>

#include "engine/values/variant.h"

namespace NUV {

inline bool NUVIsPrimitiveReceiver(const tNUVVariant& value) {
  return value.vt == tvtString || value.vt == tvtOctet;
}

// Member get ---------------------------------------------------------------------
// By name: "length", or a name starting with a decimal digit read as an index
// (digits up to the first non-digit, so "1x" is index 1). A null name is the
// empty name (not found).
int32_t NUVGetPrimitiveMember(const tNUVVariant& receiver, const char16_t* name, tNUVVariant* result);
// By index: a string answers the one-character string at index, or "" at index
// == length; an octet answers the byte value at index (0 .. length - 1).
int32_t NUVGetPrimitiveMemberByNum(const tNUVVariant& receiver, int64_t index, tNUVVariant* result);
// By a member value from a register: an integer or real is an index (a real is
// truncated), anything else is converted to a name.
int32_t NUVGetPrimitiveMemberByValue(const tNUVVariant& receiver, const tNUVVariant& member,
                                     tNUVVariant* result);

// typeof of a member -----------------------------------------------------------------
// result = the type name of the member, or "undefined" when there is no such
// member. Index errors raise as for member get.
int32_t NUVTypeOfPrimitiveMember(const tNUVVariant& receiver, const char16_t* name, tNUVVariant* result);
int32_t NUVTypeOfPrimitiveMemberByValue(const tNUVVariant& receiver, const tNUVVariant& member,
                                        tNUVVariant* result);

// Member set -----------------------------------------------------------------------
// Strings and octets are immutable: an index, "length" or a digit-led name answers
// -1007, any other name -1001.
int32_t NUVSetPrimitiveMember(const tNUVVariant& receiver, const char16_t* name);
int32_t NUVSetPrimitiveMemberByNum(const tNUVVariant& receiver, int64_t index);
int32_t NUVSetPrimitiveMemberByValue(const tNUVVariant& receiver, const tNUVVariant& member);

// Method call ------------------------------------------------------------------------
// Runs the string method name with the arguments (count and array of non-null
// pointers, as the object interface passes them). Octets have no methods (-1001).
int32_t NUVCallPrimitiveMethod(const tNUVVariant& receiver, const char16_t* name, tNUVVariant* result,
                               int32_t argumentCount, tNUVVariant** arguments);

// Replacement by a pattern object: "replace" calls the member "replace" of its
// first argument, which the RegExp class supplies, so it needs no hook of its own.
// Splitting by a RegExp goes through the Array class's splitter hook
// (NUVSetRegExpSplitter in engine/objects/array.h), since "split" hands its
// separator to Array's "split".

// typeof names ---------------------------------------------------------------------------
// "void", "Object" (null objects included), "String", "Octet", "Integer", "Real".
// The names are shared strings made on first use; the reference stays valid until
// NUVReleaseTypeOfNames.
const tNUVString& NUVTypeOfName(const tNUVVariant& value);
// "undefined", the typeof name of a member that does not exist.
const tNUVString& NUVUndefinedTypeName();
// Drops the shared names (at library shutdown); later use makes them again.
void NUVReleaseTypeOfNames();

}  // namespace NUV
