#pragma once
// Octet bodies: immutable byte strings shared by reference count.
//
// Unlike string bodies, RefCount here is the number of owners: a new body starts
// at 1 and the release that finds 1 frees it. The null body is the empty octet.

#include <cstdint>

namespace NUV {

struct tNUVVariantOctet_S {
  int32_t Length;
  int32_t RefCount;
  uint8_t* Data;
};

struct tNUVVariantOctet : tNUVVariantOctet_S {};

// A body holding a copy of the bytes; null when bytes is null or length is 0.
tNUVVariantOctet* CreateOctet(const uint8_t* bytes, int32_t length);
// Two byte ranges joined (a null pointer counts as length 0); null when both are empty.
tNUVVariantOctet* CreateJoinedOctet(const uint8_t* first, int32_t firstLength,
                                    const uint8_t* second, int32_t secondLength);
// Two bodies joined; null when both are null.
tNUVVariantOctet* CreateJoinedOctet(const tNUVVariantOctet* first, const tNUVVariantOctet* second);

inline void AddRefOctet(tNUVVariantOctet* octet) { if (octet) ++octet->RefCount; }
void ReleaseOctet(tNUVVariantOctet* octet);

}  // namespace NUV
