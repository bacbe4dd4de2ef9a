#pragma once
// UTF-16 text as the regex libraries take it: they reject unpaired surrogates,
// so those are read as U+FFFD in a copy that keeps every offset. Shared by the
// Linux engine (built into its own module, so nothing here may use the rest of
// the engine) and the Windows matcher.

#include <cstdint>
#include <string>

namespace NUV::RegExpText {

inline bool IsHighSurrogate(char16_t unit) { return (unit & 0xFC00) == 0xD800; }
inline bool IsLowSurrogate(char16_t unit) { return (unit & 0xFC00) == 0xDC00; }

// Units of the character at text[i] within [i, end): 1 or 2, 0 for an unpaired
// surrogate.
inline int32_t CharacterUnits(const char16_t* text, int32_t i, int32_t end) {
  char16_t unit = text[i];
  if (IsHighSurrogate(unit)) return i + 1 < end && IsLowSurrogate(text[i + 1]) ? 2 : 0;
  return IsLowSurrogate(unit) ? 0 : 1;
}

// Answers text when [begin, end) holds no unpaired surrogate (pairs are judged
// inside the range only), else a copy of text[0, end) in buffer with U+FFFD for
// each, so offsets stay the same.
inline const char16_t* WellFormed(const char16_t* text, int32_t begin, int32_t end, std::u16string& buffer) {
  int32_t i = begin;
  while (i < end) {
    int32_t units = CharacterUnits(text, i, end);
    if (units == 0) break;
    i += units;
  }
  if (i >= end) return text;
  buffer.assign(text, text + end);
  while (i < end) {
    int32_t units = CharacterUnits(buffer.data(), i, end);
    if (units == 0) {
      buffer[i] = u'\xFFFD';
      units = 1;
    }
    i += units;
  }
  return buffer.data();
}

}  // namespace NUV::RegExpText
