#include "engine/values/string_body.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/platform/text_conversion.h"
#include "engine/services/errors.h"
#include "engine/values/string_heap.h"

namespace NUV {
namespace {

constexpr int32_t NUVLongBufferHugeStep = 4000000;

int32_t* CapacityWord(char16_t* buffer) { return reinterpret_cast<int32_t*>(buffer) - 2; }
const int32_t* CapacityWord(const char16_t* buffer) { return reinterpret_cast<const int32_t*>(buffer) - 2; }

// The capacity word sits in an 8-byte header so the units stay aligned for any
// later vectorised copy; the header's first word holds the capacity.
constexpr size_t NUVLongBufferHeaderBytes = 8;

char16_t* ReallocateLongBuffer(char16_t* buffer, int64_t capacity) {
  if (capacity <= 0 || capacity > (INT32_MAX - 64) / 2) NUVThrowError(NUVStringAllocError);
  void* block = buffer ? reinterpret_cast<char*>(buffer) - NUVLongBufferHeaderBytes : nullptr;
  void* resized = std::realloc(block, NUVLongBufferHeaderBytes + sizeof(char16_t) * static_cast<size_t>(capacity));
  if (!resized) NUVThrowError(NUVStringAllocError);
  auto* units = reinterpret_cast<char16_t*>(static_cast<char*>(resized) + NUVLongBufferHeaderBytes);
  *CapacityWord(units) = static_cast<int32_t>(capacity);
  return units;
}

int32_t BoundedLength(const char16_t* text, int32_t length) {
  if (length < 0) return WideLength(text);
  int32_t n = 0;
  while (n < length && text[n]) ++n;
  return n;
}

// A fresh body for length units with the text copied in; length > 0.
tNUVVariantString* BodyWithText(const char16_t* text, int32_t length) {
  tNUVVariantString* body = CreateStringBodyOfLength(length);
  std::memcpy(body->Text(), text, sizeof(char16_t) * length);
  return body;
}

}  // namespace

char16_t* AllocateLongBuffer(int32_t units) {
  return ReallocateLongBuffer(nullptr, static_cast<int64_t>(units) + NUVLongBufferExtraUnits);
}

char16_t* GrowLongBuffer(char16_t* buffer, int32_t units) {
  if (LongBufferCapacity(buffer) >= units) return buffer;
  int64_t capacity = units > NUVLongBufferHugeStep - 1 ? static_cast<int64_t>(units) + NUVLongBufferHugeStep
                                                       : 2 * static_cast<int64_t>(units);
  return ReallocateLongBuffer(buffer, capacity);
}

void FreeLongBuffer(char16_t* buffer) {
  if (buffer) std::free(reinterpret_cast<char*>(buffer) - NUVLongBufferHeaderBytes);
}

int32_t LongBufferCapacity(const char16_t* buffer) { return buffer ? *CapacityWord(buffer) : 0; }

tNUVVariantString* CreateStringBody(const char16_t* text) {
  if (!text || !*text) return nullptr;
  return BodyWithText(text, WideLength(text));
}

tNUVVariantString* CreateStringBody(const char16_t* text, int32_t length) {
  if (!text || length == 0 || !*text) return nullptr;
  int32_t actual = BoundedLength(text, length);
  return actual ? BodyWithText(text, actual) : nullptr;
}

tNUVVariantString* CreateStringBodyFromNarrow(const char* text) {
  if (!text || !*text) return nullptr;
  return CreateStringBodyFromNarrow(text, std::strlen(text));
}

tNUVVariantString* CreateStringBodyFromNarrow(const char* text, size_t length) {
  if (!text || length == 0) return nullptr;
  std::u16string wide;
  if (!Platform::NarrowToWide(text, length, wide)) NUVThrowError(NUVNarrowToWideConversionError);
  if (wide.size() > static_cast<size_t>(INT32_MAX / 2)) NUVThrowError(NUVStringAllocError);
  return CreateStringBody(wide.data(), static_cast<int32_t>(wide.size()));
}

tNUVVariantString* CreateJoinedStringBody(const char16_t* first, int32_t firstLength,
                                          const char16_t* second, int32_t secondLength) {
  firstLength = first ? BoundedLength(first, firstLength) : 0;
  secondLength = second ? BoundedLength(second, secondLength) : 0;
  int64_t total = static_cast<int64_t>(firstLength) + secondLength;
  if (total == 0) return nullptr;
  if (total > INT32_MAX / 2) NUVThrowError(NUVStringAllocError);
  tNUVVariantString* body = CreateStringBodyOfLength(static_cast<int32_t>(total));
  char16_t* out = body->Text();
  if (firstLength) std::memcpy(out, first, sizeof(char16_t) * firstLength);
  if (secondLength) std::memcpy(out + firstLength, second, sizeof(char16_t) * secondLength);
  return body;
}

tNUVVariantString* CreateStringBodyOfLength(int32_t length) {
  if (length < 0) NUVThrowError(NUVStringAllocError);
  tNUVVariantString* body = AllocateStringBody();
  if (length > NUVShortStringMaxLength) {
    try {
      body->LongString = AllocateLongBuffer(length + 1);
    } catch (...) {
      ReturnStringBodyToHeap(body);
      throw;
    }
  }
  body->Length = length;
  body->Text()[length] = 0;
  return body;
}

tNUVVariantString* AppendToStringBody(tNUVVariantString* body, const char16_t* text, int32_t length) {
  if (!text) return body;
  length = BoundedLength(text, length);
  if (!body) return CreateStringBody(text, length);
  if (length == 0) return body;
  int64_t newLength = static_cast<int64_t>(body->Length) + length;
  if (newLength > INT32_MAX / 2) NUVThrowError(NUVStringAllocError);
  const char16_t* own = body->Text();
  std::u16string copy;
  if (text >= own && text <= own + body->Length) {
    // Appending the body's own text: growing the buffer would move the source.
    copy.assign(text, length);
    text = copy.data();
  }
  if (newLength > NUVShortStringMaxLength) {
    if (!body->LongString) {
      char16_t* buffer = AllocateLongBuffer(static_cast<int32_t>(newLength) + 1);
      std::memcpy(buffer, body->ShortString, sizeof(char16_t) * (body->Length + 1));
      body->LongString = buffer;
    } else {
      body->LongString = GrowLongBuffer(body->LongString, static_cast<int32_t>(newLength) + 1);
    }
  }
  char16_t* out = body->Text();
  std::memcpy(out + body->Length, text, sizeof(char16_t) * length);
  body->Length = static_cast<int32_t>(newLength);
  out[newLength] = 0;
  return body;
}

tNUVVariantString* AppendToStringBody(tNUVVariantString* body, const tNUVVariantString* tail) {
  if (!tail) return body;
  return AppendToStringBody(body, tail->Text(), tail->Length);
}

tNUVVariantString* FixStringBodyLength(tNUVVariantString* body) {
  if (!body) return nullptr;
  if (body->RefCount != 0) NUVThrowError(NUVStringDeallocError);
  body->Length = WideLength(body->Text());
  if (body->Length == 0) {
    ReleaseStringBody(body);
    return nullptr;
  }
  return body;
}

}  // namespace NUV
