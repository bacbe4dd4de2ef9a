#include "engine/compiler/number_scanner.h"

#include <bit>
#include <cstdlib>
#include <limits>
#include <string>

#include "engine/platform/system.h"

namespace NUV {
namespace {

enum class tNUVRadix { Decimal, Hexadecimal, Binary, Octal };

// Where the parts of a collected literal lie in the text. The mantissa range
// holds digits and at most one point; the exponent range holds only the digits
// after the marker, its sign and white space being taken out already.
struct tNUVLiteralParts {
  tNUVRadix Radix = tNUVRadix::Decimal;
  const char16_t* MantissaStart = nullptr;
  const char16_t* MantissaEnd = nullptr;
  bool HasPoint = false;
  bool HasExponent = false;
  bool ExponentNegative = false;
  const char16_t* ExponentStart = nullptr;
  const char16_t* ExponentEnd = nullptr;
};

// The space class of the "C" locale, plus U+FFFF, which the lexer leaves in
// place of a carriage return before a line feed.
bool IsSpace(char16_t unit) {
  return unit == u' ' || (unit >= u'\t' && unit <= u'\r') || unit == 0xFFFF;
}

bool IsDecimalDigit(char16_t unit) { return unit >= u'0' && unit <= u'9'; }

// Value of a hexadecimal digit, or -1.
int HexDigitValue(char16_t unit) {
  if (unit >= u'0' && unit <= u'9') return unit - u'0';
  if (unit >= u'a' && unit <= u'f') return unit - u'a' + 10;
  if (unit >= u'A' && unit <= u'F') return unit - u'A' + 10;
  return -1;
}

// Value of a digit in the given radix, or -1.
int DigitValue(tNUVRadix radix, char16_t unit) {
  switch (radix) {
    case tNUVRadix::Decimal: return IsDecimalDigit(unit) ? unit - u'0' : -1;
    case tNUVRadix::Hexadecimal: return HexDigitValue(unit);
    case tNUVRadix::Binary: return unit == u'0' || unit == u'1' ? unit - u'0' : -1;
    case tNUVRadix::Octal: return unit >= u'0' && unit <= u'7' ? unit - u'0' : -1;
  }
  return -1;
}

int BitsPerDigit(tNUVRadix radix) {
  switch (radix) {
    case tNUVRadix::Hexadecimal: return 4;
    case tNUVRadix::Octal: return 3;
    default: return 1;
  }
}

bool IsExponentMarker(tNUVRadix radix, char16_t unit) {
  if (radix == tNUVRadix::Decimal) return unit == u'e' || unit == u'E';
  return unit == u'p' || unit == u'P';
}

// Exponent digits are decimal. A hexadecimal literal also takes its letter
// digits here so that "0x1p1f" stays one (rejected) literal instead of a
// number followed by a stray word.
bool IsExponentDigit(tNUVRadix radix, char16_t unit) {
  if (radix == tNUVRadix::Hexadecimal) return HexDigitValue(unit) >= 0;
  return IsDecimalDigit(unit);
}

// Letters as the lexer sees them: alphabetic below 256 (only ASCII in the
// "C" locale) and everything from 256 up, except U+FFFF, which is space here.
bool ContinuesWord(char16_t unit) {
  if (unit >= 256) return unit != 0xFFFF;
  return (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z') ||
         IsDecimalDigit(unit) || unit == u'_';
}

bool MatchWord(const char16_t*& cursor, const char16_t* word) {
  const char16_t* position = cursor;
  for (; *word; ++word, ++position) {
    if (*position != *word) return false;
  }
  if (ContinuesWord(*position)) return false;
  cursor = position;
  return true;
}

const char16_t* SkipSpace(const char16_t* position) {
  while (IsSpace(*position)) ++position;
  return position;
}

// Collects the literal starting at the cursor and moves the cursor past it.
// Fails when the mantissa holds no digit: a lone "." or "e5" is no number.
bool CollectLiteral(const char16_t*& cursor, tNUVLiteralParts& parts) {
  const tNUVRadix radix = parts.Radix;
  const char16_t* position = cursor;
  bool hasDigit = false;
  parts.MantissaStart = position;
  for (;; ++position) {
    if (DigitValue(radix, *position) >= 0) {
      hasDigit = true;
    } else if (*position == u'.' && !parts.HasPoint) {
      parts.HasPoint = true;
    } else {
      break;
    }
  }
  parts.MantissaEnd = position;
  if (!hasDigit) return false;

  if (IsExponentMarker(radix, *position)) {
    parts.HasExponent = true;
    position = SkipSpace(position + 1);
    if (*position == u'+' || *position == u'-') {
      parts.ExponentNegative = *position == u'-';
      position = SkipSpace(position + 1);
    }
    parts.ExponentStart = position;
    while (IsExponentDigit(radix, *position)) ++position;
    parts.ExponentEnd = position;
  }
  cursor = position;
  return true;
}

int64_t DecimalInteger(const tNUVLiteralParts& parts) {
  uint64_t value = 0;
  for (const char16_t* digit = parts.MantissaStart; digit != parts.MantissaEnd; ++digit) {
    value = value * 10 + static_cast<uint64_t>(*digit - u'0');
  }
  return static_cast<int64_t>(value);
}

double DecimalReal(const tNUVLiteralParts& parts) {
  std::string text;
  for (const char16_t* unit = parts.MantissaStart; unit != parts.MantissaEnd; ++unit) {
    text.push_back(static_cast<char>(*unit));
  }
  if (parts.HasExponent) {
    text.push_back('e');
    if (parts.ExponentNegative) text.push_back('-');
    for (const char16_t* unit = parts.ExponentStart; unit != parts.ExponentEnd; ++unit) {
      text.push_back(static_cast<char>(*unit));
    }
  }
  return Platform::ParseDecimalReal(text.c_str());
}

int64_t RadixInteger(const tNUVLiteralParts& parts) {
  const int bits = BitsPerDigit(parts.Radix);
  uint64_t value = 0;
  for (const char16_t* digit = parts.MantissaStart; digit != parts.MantissaEnd; ++digit) {
    value = (value << bits) | static_cast<uint64_t>(DigitValue(parts.Radix, *digit));
  }
  return static_cast<int64_t>(value);
}

// Far beyond any exponent that can matter, and small enough that adding the
// bit count of any text that fits in memory cannot overflow.
constexpr int64_t kExponentLimit = 100'000'000'000'000'000;

// The binary exponent after "p", clamped to kExponentLimit. Fails on
// hexadecimal letters there.
bool BinaryExponent(const tNUVLiteralParts& parts, int64_t& exponent) {
  int64_t magnitude = 0;
  for (const char16_t* digit = parts.ExponentStart; digit != parts.ExponentEnd; ++digit) {
    if (!IsDecimalDigit(*digit)) return false;
    if (magnitude < kExponentLimit) magnitude = magnitude * 10 + (*digit - u'0');
  }
  if (magnitude > kExponentLimit) magnitude = kExponentLimit;
  exponent = parts.ExponentNegative ? -magnitude : magnitude;
  return true;
}

// Builds the double bit by bit: the mantissa keeps the first 64 bits from the
// leading 1 on (truncating the rest), and the exponent counts where that 1
// stands relative to the point. No rounding and no subnormals.
bool RadixReal(const tNUVLiteralParts& parts, double& result) {
  const int bits = BitsPerDigit(parts.Radix);
  uint64_t mantissa = 0;
  int filled = 0;
  int64_t exponent = 0;  // of the leading 1, before "p" is applied
  bool started = false;
  bool afterPoint = false;
  for (const char16_t* unit = parts.MantissaStart; unit != parts.MantissaEnd; ++unit) {
    if (*unit == u'.') {
      afterPoint = true;
      continue;
    }
    const int value = DigitValue(parts.Radix, *unit);
    for (int bit = bits - 1; bit >= 0; --bit) {
      const bool one = (value >> bit) & 1;
      if (!started) {
        if (afterPoint) --exponent;
        if (!one) continue;
        started = true;
      } else if (!afterPoint) {
        ++exponent;
      }
      if (filled < 64) {
        if (one) mantissa |= uint64_t{1} << (63 - filled);
        ++filled;
      }
    }
  }

  int64_t power = 0;
  if (parts.HasExponent && !BinaryExponent(parts, power)) return false;
  if (mantissa == 0) {
    result = 0.0;
    return true;
  }
  exponent += power;
  if (exponent < -1022) {
    result = 0.0;
  } else if (exponent >= 1024) {
    result = std::numeric_limits<double>::infinity();
  } else {
    const uint64_t fraction = (mantissa << 1) >> 12;
    result = std::bit_cast<double>((static_cast<uint64_t>(exponent + 1023) << 52) | fraction);
  }
  return true;
}

}  // namespace

bool ScanNumber(const char16_t*& cursor, tNUVScannedNumber& result) {
  bool negative = false;
  if (*cursor == u'+' || *cursor == u'-') {
    negative = *cursor == u'-';
    cursor = SkipSpace(cursor + 1);
    if (*cursor == 0) return false;
  }
  if (!ScanNumberWord(cursor, result)) return false;
  if (negative) {
    if (result.IsReal) {
      result.Real = -result.Real;
    } else {
      result.Integer = static_cast<int64_t>(uint64_t{0} - static_cast<uint64_t>(result.Integer));
    }
  }
  return true;
}

bool ScanNumberWord(const char16_t*& cursor, tNUVScannedNumber& result) {
  result = tNUVScannedNumber{};
  if (MatchWord(cursor, u"true")) {
    result.Integer = 1;
    return true;
  }
  if (MatchWord(cursor, u"false")) return true;
  if (MatchWord(cursor, u"NaN")) {
    result.IsReal = true;
    result.Real = std::bit_cast<double>(uint64_t{0x7FF8000000000000});
    return true;
  }
  if (MatchWord(cursor, u"Infinity")) {
    result.IsReal = true;
    result.Real = std::numeric_limits<double>::infinity();
    return true;
  }

  tNUVLiteralParts parts;
  const char16_t* start = cursor;
  if (*cursor == u'0') {
    switch (cursor[1]) {
      case 0:
        ++cursor;
        return true;
      case u'.': case u'e': case u'E':
        break;
      case u'x': case u'X':
        parts.Radix = tNUVRadix::Hexadecimal;
        start = cursor + 2;
        break;
      case u'b': case u'B':
        parts.Radix = tNUVRadix::Binary;
        start = cursor + 2;
        break;
      case u'p': case u'P':
        return false;
      default:
        parts.Radix = tNUVRadix::Octal;
        break;
    }
  }
  if (!CollectLiteral(start, parts)) return false;

  result.IsReal = parts.HasPoint || parts.HasExponent;
  if (parts.Radix == tNUVRadix::Decimal) {
    if (result.IsReal) {
      result.Real = DecimalReal(parts);
    } else {
      result.Integer = DecimalInteger(parts);
    }
  } else if (result.IsReal) {
    if (!RadixReal(parts, result.Real)) return false;
  } else {
    result.Integer = RadixInteger(parts);
  }
  cursor = start;
  return true;
}

}  // namespace NUV
