#include "engine/values/octet.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace NUV {

tNUVVariantOctet* CreateJoinedOctet(const uint8_t* first, int32_t firstLength,
                                    const uint8_t* second, int32_t secondLength) {
  if (!first || firstLength < 0) firstLength = 0;
  if (!second || secondLength < 0) secondLength = 0;
  int64_t total = static_cast<int64_t>(firstLength) + secondLength;
  if (total == 0) return nullptr;
  if (total > INT32_MAX) throw std::bad_alloc();
  auto* octet = new tNUVVariantOctet;
  octet->Length = static_cast<int32_t>(total);
  octet->RefCount = 1;
  octet->Data = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(total)));
  if (!octet->Data) {
    delete octet;
    throw std::bad_alloc();
  }
  if (firstLength) std::memcpy(octet->Data, first, firstLength);
  if (secondLength) std::memcpy(octet->Data + firstLength, second, secondLength);
  return octet;
}

tNUVVariantOctet* CreateOctet(const uint8_t* bytes, int32_t length) {
  return CreateJoinedOctet(bytes, length, nullptr, 0);
}

tNUVVariantOctet* CreateJoinedOctet(const tNUVVariantOctet* first, const tNUVVariantOctet* second) {
  return CreateJoinedOctet(first ? first->Data : nullptr, first ? first->Length : 0,
                           second ? second->Data : nullptr, second ? second->Length : 0);
}

void ReleaseOctet(tNUVVariantOctet* octet) {
  if (!octet) return;
  if (octet->RefCount <= 1) {
    std::free(octet->Data);
    delete octet;
    return;
  }
  --octet->RefCount;
}

}  // namespace NUV
