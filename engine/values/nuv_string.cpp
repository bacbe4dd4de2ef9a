#include "engine/values/nuv_string.h"

#include <cstring>
#include <vector>

#include "engine/platform/text_conversion.h"
#include "engine/services/errors.h"

namespace NUV {

tNUVString::tNUVString(const std::u16string& text) {
  Ptr = text.empty() ? nullptr : CreateStringBody(text.data(), static_cast<int32_t>(text.size()));
}

tNUVString tNUVString::FromInteger(int64_t value) {
  char16_t text[24];
  IntegerToText(value, text);
  return tNUVString(text);
}

tNUVString tNUVString::Formatted(const char16_t* templ, ...) {
  tNUVString result;
  va_list args;
  va_start(args, templ);
  try {
    result.FormatV(templ, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
  return result;
}

tNUVString& tNUVString::operator=(const tNUVString& other) {
  AddRefStringBody(other.Ptr);
  ReleaseStringBody(Ptr);
  Ptr = other.Ptr;
  return *this;
}

tNUVString& tNUVString::operator=(tNUVString&& other) noexcept {
  if (this != &other) {
    ReleaseStringBody(Ptr);
    Ptr = other.Ptr;
    other.Ptr = nullptr;
  }
  return *this;
}

tNUVString& tNUVString::operator=(const char16_t* text) {
  tNUVVariantString* fresh = CreateStringBody(text);
  ReleaseStringBody(Ptr);
  Ptr = fresh;
  return *this;
}

char16_t* tNUVString::MakeIndependent() {
  if (!Ptr) return nullptr;
  if (Ptr->RefCount != 0) {
    // Copy every unit: a directly written body may hold a 0 before its end, and
    // the caller may write up to the full length.
    tNUVVariantString* copy = CreateStringBodyOfLength(Ptr->Length);
    std::memcpy(copy->Text(), Ptr->Text(), sizeof(char16_t) * Ptr->Length);
    ReleaseStringBody(Ptr);
    Ptr = copy;
  }
  return Ptr->Text();
}

char16_t* tNUVString::AllocBuffer(int32_t length) {
  tNUVVariantString* fresh = CreateStringBodyOfLength(length);
  ReleaseStringBody(Ptr);
  Ptr = fresh;
  return Ptr->Text();
}

void tNUVString::FixLength() {
  if (!Ptr) return;
  Ptr = FixStringBodyLength(Ptr);
}

tNUVString tNUVString::operator+(const char16_t* text) const {
  return Adopt(CreateJoinedStringBody(c_str(), GetLen(), text, -1));
}

tNUVString tNUVString::operator+(const tNUVString& other) const {
  if (!other.Ptr) return *this;
  if (!Ptr) return other;
  return Adopt(CreateJoinedStringBody(c_str(), GetLen(), other.c_str(), other.GetLen()));
}

tNUVString operator+(const char16_t* text, const tNUVString& string) {
  return tNUVString::Adopt(CreateJoinedStringBody(text, -1, string.c_str(), string.GetLen()));
}

void tNUVString::Append(const char16_t* text, int32_t length) {
  if (!text || length == 0 || !*text) return;
  MakeIndependent();
  Ptr = AppendToStringBody(Ptr, text, length);
}

tNUVString& tNUVString::operator+=(const char16_t* text) {
  Append(text, -1);
  return *this;
}

tNUVString& tNUVString::operator+=(const tNUVString& other) {
  if (!other.Ptr) return *this;
  if (!Ptr) return *this = other;
  // Keep the tail alive while this body may be replaced.
  tNUVString tail(other);
  Append(tail.c_str(), tail.GetLen());
  return *this;
}

tNUVString& tNUVString::operator+=(char16_t unit) {
  char16_t text[2] = {unit, 0};
  Append(text, 1);
  return *this;
}

bool tNUVString::operator==(const tNUVString& other) const {
  if (Ptr == other.Ptr) return true;
  if (GetLen() != other.GetLen()) return false;
  return std::memcmp(c_str(), other.c_str(), sizeof(char16_t) * GetLen()) == 0;
}

bool tNUVString::operator==(const char16_t* text) const {
  return WideCompare(c_str(), text ? text : u"") == 0;
}

bool tNUVString::operator<(const tNUVString& other) const {
  const char16_t* left = c_str();
  const char16_t* right = other.c_str();
  int32_t common = GetLen() < other.GetLen() ? GetLen() : other.GetLen();
  for (int32_t i = 0; i < common; ++i)
    if (left[i] != right[i]) return left[i] < right[i];
  return GetLen() < other.GetLen();
}

bool tNUVString::StartsWith(const char16_t* text) const {
  if (!text) text = u"";
  if (!Ptr) return *text == 0;
  const char16_t* own = c_str();
  while (*text) {
    if (*own != *text) return false;
    ++own;
    ++text;
  }
  return true;
}

void tNUVString::Replace(const tNUVString& search, const tNUVString& replacement, bool all) {
  if (search.IsEmpty() || IsEmpty()) return;
  const char16_t* subject = c_str();
  const int32_t subjectLength = GetLen();
  const char16_t* pattern = search.c_str();
  const int32_t patternLength = search.GetLen();
  std::u16string result;
  int32_t copied = 0;
  bool replaced = false;
  for (int32_t position = 0; position + patternLength <= subjectLength;) {
    if (subject[position] == pattern[0] &&
        std::memcmp(subject + position, pattern, sizeof(char16_t) * patternLength) == 0) {
      result.append(subject + copied, position - copied);
      result.append(replacement.c_str(), replacement.GetLen());
      position += patternLength;
      copied = position;
      replaced = true;
      if (!all) break;
    } else {
      ++position;
    }
  }
  if (!replaced) return;
  result.append(subject + copied, subjectLength - copied);
  *this = tNUVString(result);
}

namespace {
tNUVString MapAscii(const tNUVString& source, char16_t from, char16_t to) {
  tNUVString copy(source);
  char16_t* text = copy.MakeIndependent();
  for (int32_t i = 0; i < copy.GetLen(); ++i)
    if (text[i] >= from && text[i] <= to) text[i] = static_cast<char16_t>(text[i] ^ 0x20);
  return copy;
}
}  // namespace

tNUVString tNUVString::ToLowerCase() const { return MapAscii(*this, u'A', u'Z'); }
tNUVString tNUVString::ToUpperCase() const { return MapAscii(*this, u'a', u'z'); }
void tNUVString::ToLowerCaseInPlace() { *this = ToLowerCase(); }
void tNUVString::ToUpperCaseInPlace() { *this = ToUpperCase(); }

int32_t tNUVString::GetNarrowLength() const {
  return static_cast<int32_t>(Platform::WideToNarrowLength(c_str(), GetLen()));
}

int32_t tNUVString::ToNarrow(char* buffer, int32_t size) const {
  if (!buffer || size < 0) return -1;
  size_t written = Platform::WideToNarrowBounded(c_str(), GetLen(), buffer, static_cast<size_t>(size));
  buffer[written] = 0;
  return static_cast<int32_t>(written);
}

std::string tNUVString::AsStdString() const { return Platform::WideToNarrow(c_str(), GetLen()); }

tNUVString tNUVString::Escape() const {
  if (IsEmpty()) return tNUVString();
  static const char16_t hexDigits[] = u"0123456789abcdef";
  std::u16string out;
  out.reserve(GetLen() + 8);
  bool afterHexEscape = false;
  const char16_t* text = c_str();
  for (int32_t i = 0; i < GetLen(); ++i) {
    char16_t unit = text[i];
    const char16_t* named = nullptr;
    switch (unit) {
      case 0x07: named = u"\\a"; break;
      case 0x08: named = u"\\b"; break;
      case 0x09: named = u"\\t"; break;
      case 0x0A: named = u"\\n"; break;
      case 0x0B: named = u"\\v"; break;
      case 0x0C: named = u"\\f"; break;
      case 0x0D: named = u"\\r"; break;
      case u'"': named = u"\\\""; break;
      case u'\'': named = u"\\'"; break;
      case u'\\': named = u"\\\\"; break;
      default: break;
    }
    bool isHexDigit = (unit >= u'0' && unit <= u'9') || (unit >= u'a' && unit <= u'f') ||
                      (unit >= u'A' && unit <= u'F');
    if (named) {
      out += named;
      afterHexEscape = false;
    } else if (unit < 32 || (afterHexEscape && isHexDigit)) {
      // A hex digit right after "\x.." would be read as part of that escape.
      out += u"\\x";
      out += hexDigits[(unit >> 4) & 0xF];
      out += hexDigits[unit & 0xF];
      afterHexEscape = true;
    } else {
      out += unit;
      afterHexEscape = false;
    }
  }
  return tNUVString(out);
}

tNUVString tNUVString::TruncateWithEllipsis(int32_t limit) const {
  if (GetLen() <= limit) return *this;
  if (limit <= 0) return tNUVString();
  std::u16string text(c_str(), limit);
  if (limit > 2) text.replace(limit - 3, 3, u"...");
  return tNUVString(text);
}

tNUVString tNUVString::ToHexText(uint32_t value, int32_t minimumDigits) {
  static const char16_t digits[] = u"0123456789ABCDEF";
  if (minimumDigits < 1) minimumDigits = 1;
  if (minimumDigits > 8) minimumDigits = 8;
  char16_t text[9];
  int32_t count = 0;
  char16_t reversed[8];
  do {
    reversed[count++] = digits[value & 0xF];
    value >>= 4;
  } while (value);
  int32_t position = 0;
  for (int32_t pad = count; pad < minimumDigits; ++pad) text[position++] = u'0';
  while (count) text[position++] = reversed[--count];
  text[position] = 0;
  return tNUVString(text);
}

void IntegerToText(int64_t value, char16_t* out) {
  if (value == INT64_MIN) {
    const char16_t* fixed = u"-9223372036854775808";
    std::memcpy(out, fixed, sizeof(char16_t) * 21);
    return;
  }
  char16_t reversed[24];
  int32_t count = 0;
  bool negative = value < 0;
  uint64_t magnitude = negative ? static_cast<uint64_t>(-value) : static_cast<uint64_t>(value);
  do {
    reversed[count++] = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  int32_t position = 0;
  if (negative) out[position++] = u'-';
  while (count) out[position++] = reversed[--count];
  out[position] = 0;
}

tNUVString IntegerToText(int64_t value) { return tNUVString::FromInteger(value); }

int32_t TextToInt32(const char16_t* text) {
  if (!text) return 0;
  while (*text && *text <= 32) ++text;
  bool negative = false;
  if (*text == u'-') {
    negative = true;
    ++text;
    while (*text && *text <= 32) ++text;
  }
  uint32_t value = 0;
  while (*text >= u'0' && *text <= u'9') value = value * 10 + static_cast<uint32_t>(*text++ - u'0');
  return static_cast<int32_t>(negative ? 0u - value : value);
}

int32_t WideLength(const char16_t* text) {
  if (!text) return 0;
  const char16_t* end = text;
  while (*end) ++end;
  return static_cast<int32_t>(end - text);
}

int WideCompare(const char16_t* a, const char16_t* b) {
  while (*a && *a == *b) { ++a; ++b; }
  return static_cast<int>(*a) - static_cast<int>(*b);
}

int WideCompareN(const char16_t* a, const char16_t* b, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    if (a[i] != b[i] || !a[i]) return static_cast<int>(a[i]) - static_cast<int>(b[i]);
  }
  return 0;
}

namespace {
char16_t FoldAscii(char16_t unit) { return (unit >= u'a' && unit <= u'z') ? unit - 0x20 : unit; }
}  // namespace

int WideCompareNoCase(const char16_t* a, const char16_t* b) {
  while (*a && FoldAscii(*a) == FoldAscii(*b)) { ++a; ++b; }
  return static_cast<int>(FoldAscii(*a)) - static_cast<int>(FoldAscii(*b));
}

int WideCompareNoCaseN(const char16_t* a, const char16_t* b, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    char16_t left = FoldAscii(a[i]);
    char16_t right = FoldAscii(b[i]);
    if (left != right || !a[i]) return static_cast<int>(left) - static_cast<int>(right);
  }
  return 0;
}

uint32_t HashString(const char16_t* text, int32_t length) {
  if (!text || length <= 0) return 0;
  uint32_t hash = 0;
  for (int32_t i = 0; i < length; ++i) hash = HashStep(hash, text[i]);
  return HashFinish(hash);
}

}  // namespace NUV
