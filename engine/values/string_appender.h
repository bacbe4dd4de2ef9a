#pragma once
// tNUVStringAppender: a growable UTF-16 buffer for building long texts piecewise.
//
// Data is a long buffer (string_body.h) or null before the first append. Capacity
// is the number of units the appender counts on; the buffer itself always holds
// more (the growth step reserves about twice what is needed), so the unit behind
// the text is always writable and Append keeps the text 0-terminated there.
// Append never fails half-way: on an allocation error the content is unchanged.

#include <cstdint>

#include "engine/values/nuv_string.h"

namespace NUV {

class tNUVStringAppender {
public:
  tNUVStringAppender() = default;
  ~tNUVStringAppender() { FreeLongBuffer(Data); }
  tNUVStringAppender(const tNUVStringAppender&) = delete;
  tNUVStringAppender& operator=(const tNUVStringAppender&) = delete;

  // Appends count units of text; a negative count means up to the terminator.
  // The text may point into this appender's own content.
  void Append(const char16_t* text, int32_t count);
  void Append(const tNUVString& text) { Append(text.c_str(), text.GetLen()); }
  void Append(char16_t unit) { Append(&unit, 1); }

  // The text (0-terminated once anything was appended); null before that.
  const char16_t* GetData() const { return Data; }
  int32_t GetLength() const { return Length; }
  int32_t GetCapacity() const { return Capacity; }
  // Forgets the content but keeps the buffer for reuse.
  void Reset() {
    Length = 0;
    if (Data) Data[0] = 0;
  }
  // The content as a string (cut at an embedded 0 unit, like every string).
  tNUVString ToString() const { return tNUVString(Data, Length); }

private:
  char16_t* Data = nullptr;
  int32_t Length = 0;
  int32_t Capacity = 0;
};

}  // namespace NUV
