#pragma once
// Character classes of the compiler front end.
//
// Below 256 the classes are those of the "C" locale, read from a fixed table so
// that the process locale never changes how a script is read: space is
// " \t\n\v\f\r", alphabetic is A-Z and a-z. Every unit from 256 up is a letter.
// U+FFFF, left in place of the CR of a CR LF pair, is invisible: it counts as
// space and the cursor steps over it wherever it moves.

#include <array>
#include <cstdint>

namespace NUV {

constexpr char16_t NUVInvisibleUnit = 0xFFFF;

namespace CharacterClassDetail {

constexpr uint8_t kSpace = 1;
constexpr uint8_t kAlpha = 2;
constexpr uint8_t kDigit = 4;

constexpr std::array<uint8_t, 256> MakeTable() {
  std::array<uint8_t, 256> table{};
  for (int unit : {' ', '\t', '\n', '\v', '\f', '\r'}) table[unit] = kSpace;
  for (int unit = 'A'; unit <= 'Z'; ++unit) table[unit] = kAlpha;
  for (int unit = 'a'; unit <= 'z'; ++unit) table[unit] = kAlpha;
  for (int unit = '0'; unit <= '9'; ++unit) table[unit] = kDigit;
  return table;
}

inline constexpr std::array<uint8_t, 256> kTable = MakeTable();

}  // namespace CharacterClassDetail

constexpr bool NUVIsSpace(char16_t unit) {
  if (unit < 256) return CharacterClassDetail::kTable[unit] & CharacterClassDetail::kSpace;
  return unit == NUVInvisibleUnit;
}

constexpr bool NUVIsLetter(char16_t unit) {
  if (unit < 256) return CharacterClassDetail::kTable[unit] & CharacterClassDetail::kAlpha;
  return true;
}

constexpr bool NUVIsDigit(char16_t unit) { return unit >= u'0' && unit <= u'9'; }

// Value of a hexadecimal digit (either case), or -1.
constexpr int NUVHexDigitValue(char16_t unit) {
  if (unit >= u'0' && unit <= u'9') return unit - u'0';
  if (unit >= u'a' && unit <= u'f') return unit - u'a' + 10;
  if (unit >= u'A' && unit <= u'F') return unit - u'A' + 10;
  return -1;
}

// The unit after position, stepping over invisible units. The terminating 0 is
// never passed.
inline const char16_t* NUVNextUnit(const char16_t* position) {
  if (*position) ++position;
  while (*position == NUVInvisibleUnit) ++position;
  return position;
}

// Steps over invisible units at position itself.
inline const char16_t* NUVSkipInvisible(const char16_t* position) {
  while (*position == NUVInvisibleUnit) ++position;
  return position;
}

// Steps over space (including invisible units).
inline const char16_t* NUVSkipSpace(const char16_t* position) {
  while (NUVIsSpace(*position)) ++position;
  return position;
}

}  // namespace NUV
