#include "engine/values/string_appender.h"

#include <cstring>
#include <functional>

#include "engine/services/errors.h"

namespace NUV {
namespace {
constexpr int64_t NUVAppenderCapacityStep = 8192;
constexpr int64_t NUVAppenderBufferStep = 16384;
}  // namespace

void tNUVStringAppender::Append(const char16_t* text, int32_t count) {
  if (!text) return;
  if (count < 0) count = WideLength(text);
  if (count == 0) return;

  const int64_t need = static_cast<int64_t>(Length) + count;
  // The buffer is asked for 2 x need + 16384 units, which must stay an int32.
  if (2 * need + NUVAppenderBufferStep > INT32_MAX) NUVThrowError(NUVStringAllocError);

  if (!Data) {
    char16_t* buffer = AllocateLongBuffer(2 * count);
    std::memcpy(buffer, text, sizeof(char16_t) * count);
    Data = buffer;
    Capacity = 2 * count;
    Length = count;
    Data[Length] = 0;
    return;
  }

  if (Capacity < need) {
    // Growing may move the buffer, and with it a text taken from it.
    const bool fromOwnData = std::greater_equal<const char16_t*>()(text, Data) &&
                             std::less<const char16_t*>()(text, Data + Length);
    const ptrdiff_t offset = fromOwnData ? text - Data : 0;
    Data = GrowLongBuffer(Data, static_cast<int32_t>(2 * need + NUVAppenderBufferStep));
    Capacity = static_cast<int32_t>(need + NUVAppenderCapacityStep);
    if (fromOwnData) text = Data + offset;
  }
  std::memmove(Data + Length, text, sizeof(char16_t) * count);
  Length = static_cast<int32_t>(need);
  Data[Length] = 0;
}

}  // namespace NUV
