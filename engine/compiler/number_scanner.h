#pragma once
// The number reader shared by the lexer, the preprocessor and string-to-number
// conversion. It decides the radix, collects the literal's characters and builds
// an integer or a real; the cursor is left on the first unit after the number.
// Text is 0-terminated UTF-16.

#include <cstdint>

namespace NUV {

struct tNUVScannedNumber {
  bool IsReal = false;
  int64_t Integer = 0;
  double Real = 0.0;
};

// Optional sign, white space after it, then a word or a literal. On failure the
// cursor position is unspecified.
bool ScanNumber(const char16_t*& cursor, tNUVScannedNumber& result);
// The same for text without a leading sign.
bool ScanNumberWord(const char16_t*& cursor, tNUVScannedNumber& result);

}  // namespace NUV
