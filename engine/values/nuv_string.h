#pragma once
// tNUVString: the engine's string value.
//
// A tNUVString owns one reference to a shared body (string_body.h); the null body
// is the empty string, so an empty string costs nothing. Copies share the body;
// writing goes through MakeIndependent, which copies a shared body first (copy on
// write). Assignment takes the new reference before it drops the old one, so
// assigning a string to itself is safe.

#include <cstdarg>
#include <cstdint>
#include <string>

#include "engine/values/string_body.h"

namespace NUV {

class tNUVVariant;

// The plain record: one body pointer. Crosses the library boundary as is.
struct tNUVString_S {
  tNUVVariantString* Ptr;
};

class tNUVString : public tNUVString_S {
public:
  tNUVString() { Ptr = nullptr; }
  tNUVString(const tNUVString& other) { Ptr = other.Ptr; AddRefStringBody(Ptr); }
  tNUVString(tNUVString&& other) noexcept { Ptr = other.Ptr; other.Ptr = nullptr; }
  tNUVString(const char16_t* text) { Ptr = CreateStringBody(text); }
  tNUVString(const char16_t* text, int32_t length) { Ptr = CreateStringBody(text, length); }
  tNUVString(const std::u16string& text);
  explicit tNUVString(const char* narrow) { Ptr = CreateStringBodyFromNarrow(narrow); }
  explicit tNUVString(const tNUVVariant& value);
  ~tNUVString() { ReleaseStringBody(Ptr); }

  // Shares an existing body (adds a reference).
  static tNUVString FromBody(tNUVVariantString* body) { AddRefStringBody(body); return Adopt(body); }
  // Takes over a body's existing reference.
  static tNUVString Adopt(tNUVVariantString* body) { tNUVString result; result.Ptr = body; return result; }
  // Decimal text of an integer.
  static tNUVString FromInteger(int64_t value);
  // printf-style formatting (see Format).
  static tNUVString Formatted(const char16_t* templ, ...);

  tNUVString& operator=(const tNUVString& other);
  tNUVString& operator=(tNUVString&& other) noexcept;
  tNUVString& operator=(const char16_t* text);

  int32_t GetLen() const { return Ptr ? Ptr->Length : 0; }
  bool IsEmpty() const { return Ptr == nullptr || Ptr->Length == 0; }
  // Never null: the empty string yields an empty text.
  const char16_t* c_str() const { return Ptr ? Ptr->Text() : u""; }
  char16_t operator[](int32_t index) const { return c_str()[index]; }
  tNUVVariantString* GetBody() const { return Ptr; }
  // The body with one more reference, for storing elsewhere.
  tNUVVariantString* AddRefBody() const { AddRefStringBody(Ptr); return Ptr; }
  // Gives up the body's reference to the caller; the string becomes empty.
  tNUVVariantString* Detach() { tNUVVariantString* body = Ptr; Ptr = nullptr; return body; }
  // Address of the body's lookup hint, or null for the empty string.
  uint32_t* GetHint() const { return Ptr ? &Ptr->Hint : nullptr; }
  void Clear() { ReleaseStringBody(Ptr); Ptr = nullptr; }

  // Makes the body private (copying a shared one) and returns the writable text;
  // null for the empty string.
  char16_t* MakeIndependent();
  // Replaces the content by a private body of the given length to be filled in;
  // call FixLength afterwards.
  char16_t* AllocBuffer(int32_t length);
  // Length becomes the length up to the first 0 unit (after writing directly).
  void FixLength();

  tNUVString operator+(const char16_t* text) const;
  tNUVString operator+(const tNUVString& other) const;
  friend tNUVString operator+(const char16_t* text, const tNUVString& string);
  tNUVString& operator+=(const char16_t* text);
  tNUVString& operator+=(const tNUVString& other);
  tNUVString& operator+=(char16_t unit);
  void Append(const char16_t* text, int32_t length);

  // Comparison by unsigned UTF-16 units; a prefix is smaller.
  bool operator==(const tNUVString& other) const;
  bool operator==(const char16_t* text) const;
  bool operator!=(const tNUVString& other) const { return !(*this == other); }
  bool operator!=(const char16_t* text) const { return !(*this == text); }
  bool operator<(const tNUVString& other) const;
  bool operator>(const tNUVString& other) const { return other < *this; }

  bool StartsWith(const char16_t* text) const;
  bool StartsWith(const tNUVString& text) const { return StartsWith(text.c_str()); }

  // Replaces occurrences of search (the first, or all) by replacement; the search
  // goes on behind each inserted text.
  void Replace(const tNUVString& search, const tNUVString& replacement, bool all = true);

  // ASCII-only case mapping.
  tNUVString ToLowerCase() const;
  tNUVString ToUpperCase() const;
  void ToLowerCaseInPlace();
  void ToUpperCaseInPlace();

  // Narrow text in the active code page. GetNarrowLength: bytes needed without the
  // terminator. ToNarrow writes at most size bytes of whole characters and a 0
  // byte (buffer of size + 1), returning the bytes of text written or -1.
  int32_t GetNarrowLength() const;
  int32_t ToNarrow(char* buffer, int32_t size) const;
  std::string AsStdString() const;

  // Backslash-escaped form.
  tNUVString Escape() const;
  // Cuts to limit units, ending in "..." when limit > 2.
  tNUVString TruncateWithEllipsis(int32_t limit) const;
  // printf-style formatting of wide text into this string (at most 8191 units).
  // "%s" and "%ls" take const char16_t*, "%hs" narrow text, "%p" a pointer
  // (full-width upper-case hex without prefix); integers take the usual length
  // modifiers (none, l, ll, z, j).
  void Format(const char16_t* templ, ...);
  void FormatV(const char16_t* templ, va_list args);
  // Upper-case hexadecimal text of an unsigned 32-bit value with at least
  // minimumDigits digits (1..8).
  static tNUVString ToHexText(uint32_t value, int32_t minimumDigits);
};

// Text utilities ---------------------------------------------------------------

// Decimal texts ("-9223372036854775808" for the most negative value).
tNUVString IntegerToText(int64_t value);
void IntegerToText(int64_t value, char16_t* out);   // out holds at least 21 units
// Decimal reading: skips units <= 32, one "-" (spaces may follow), then digits.
int32_t TextToInt32(const char16_t* text);

int32_t WideLength(const char16_t* text);
int WideCompare(const char16_t* a, const char16_t* b);
int WideCompareN(const char16_t* a, const char16_t* b, int32_t count);
// ASCII case-insensitive (only a-z folded to A-Z).
int WideCompareNoCase(const char16_t* a, const char16_t* b);
int WideCompareNoCaseN(const char16_t* a, const char16_t* b, int32_t count);

// The engine's string hash (0 for the empty text, never 0 otherwise).
// The steps of the string hash, also used to hash other sequences.
inline uint32_t HashStep(uint32_t hash, uint32_t unit) {
  hash += unit;
  hash += hash << 10;
  return hash ^ (hash >> 6);
}
inline uint32_t HashFinish(uint32_t hash) {
  hash += hash << 3;
  hash ^= hash >> 11;
  hash += hash << 15;
  return hash ? hash : 0xFFFFFFFFu;
}
uint32_t HashString(const char16_t* text, int32_t length);
inline uint32_t HashString(const tNUVString& string) { return HashString(string.c_str(), string.GetLen()); }

// The printf-like formatter behind the string method "sprintf".
tNUVString FormatTemplate(const tNUVString& templ, int32_t argumentCount, tNUVVariant** arguments);

// Interning: the one string equal to the argument while the global map exists.
tNUVString MapGlobalString(const tNUVString& string);

}  // namespace NUV
