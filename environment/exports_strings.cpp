// Numbered exports on strings: a host's tNUVString is one body pointer that only
// these functions create, change and release, so every body stays on the
// library's heap.
//
// Conventions: constructors take uninitialised storage and do nothing when it is
// null. A returned body carries one reference for the caller (null is the empty
// string). The body operations that change a text (00B6..00BC, 00D6, 00D7) take
// over the caller's reference to the body they are given and return the body that
// now holds the text, which may be a new one: a shared body is never changed
// under its other owners.

#include <cstring>
#include <new>

#include "engine/values/global_string_map.h"
#include "engine/values/nuv_string.h"
#include "engine/values/string_body.h"
#include "engine/values/variant.h"
#include "environment/environment.h"
#include "environment/stored_records.h"

namespace NUV {

namespace {

using tS = tNUVString;
using tBody = tNUVVariantString;

tS Wrap(const tS* string) { return string ? *string : tS(); }

// A private body of length units: the first `keep` units from text, the rest 0.
tBody* BodyOfLength(const char16_t* text, int32_t keep, int32_t length) {
  if (length <= 0) return nullptr;
  tBody* body = CreateStringBodyOfLength(length);
  char16_t* units = body->Text();
  std::memset(units, 0, sizeof(char16_t) * length);
  if (keep > length) keep = length;
  if (text && keep > 0) std::memcpy(units, text, sizeof(char16_t) * keep);
  return body;
}

tBody* Exchange(tBody* old, tBody* fresh) {
  ReleaseStringBody(old);
  return fresh;
}

// The body, made private (copied when shared) so that it may be changed in place.
tBody* Private(tBody* body) {
  if (!body || body->RefCount == 0) return body;
  return Exchange(body, BodyOfLength(body->Text(), body->Length, body->Length));
}

const char16_t* TextOrEmpty(const char16_t* text) { return text ? text : u""; }

}  // namespace

extern "C" {

// Construction ---------------------------------------------------------------------

MRVK_EXPORT void Mrvk_0078_Export_Func(tS* target) { if (target) new (target) tS(); }
MRVK_EXPORT void Mrvk_0079_Export_Func(tS* target, const tS* source) { if (target) new (target) tS(Wrap(source)); }
MRVK_EXPORT void Mrvk_007A_Export_Func(tS* target, tBody* body) {
  if (target) new (target) tS(tS::FromBody(body));
}
MRVK_EXPORT void Mrvk_007B_Export_Func(tS* target, const char16_t* text) { if (target) new (target) tS(text); }
MRVK_EXPORT void Mrvk_007C_Export_Func(tS* target, const char* text) {
  if (target) new (target) tS(text ? text : "");
}
// Room for length units, all 0: write them through 0093 and finish with 008E.
MRVK_EXPORT void Mrvk_007D_Export_Func(tS* target, int32_t length) {
  if (target) new (target) tS(tS::Adopt(BodyOfLength(nullptr, 0, length)));
}
MRVK_EXPORT void Mrvk_007E_Export_Func(tS* target, char16_t unit) {
  if (target) new (target) tS(&unit, 1);
}
MRVK_EXPORT void Mrvk_007F_Export_Func(tS* target, const tNUVVariant* value) {
  if (target) new (target) tS(value->AsString());
}
// The first count units of source (clamped to its length).
MRVK_EXPORT void Mrvk_0080_Export_Func(tS* target, const tS* source, int32_t count) {
  if (!target) return;
  tS whole = Wrap(source);
  if (count > whole.GetLen()) count = whole.GetLen();
  new (target) tS(whole.c_str(), count > 0 ? count : 0);
}
MRVK_EXPORT void Mrvk_0081_Export_Func(tS* target, const char16_t* text, int32_t length) {
  if (target) new (target) tS(text, length);
}
MRVK_EXPORT void Mrvk_0082_Export_Func(tS* target, int32_t value) {
  if (target) new (target) tS(tS::FromInteger(value));
}
MRVK_EXPORT void Mrvk_0083_Export_Func(tS* target) { if (target) target->~tS(); }

// Assignment and change --------------------------------------------------------------

MRVK_EXPORT tS* Mrvk_0084_Export_Func(tS* target, const tS* source) { return &(*target = Wrap(source)); }
MRVK_EXPORT tS* Mrvk_0085_Export_Func(tS* target, const char16_t* text) { return &(*target = text); }
MRVK_EXPORT tS* Mrvk_0086_Export_Func(tS* target, const char* text) { return &(*target = tS(text ? text : "")); }
MRVK_EXPORT tS* Mrvk_0087_Export_Func(tS* target, const tS* tail) { return &(*target += Wrap(tail)); }
MRVK_EXPORT tS* Mrvk_0088_Export_Func(tS* target, tBody* tail) { return &(*target += tS::FromBody(tail)); }
MRVK_EXPORT tS* Mrvk_0089_Export_Func(tS* target, const char16_t* text) { return &(*target += TextOrEmpty(text)); }
MRVK_EXPORT tS* Mrvk_008A_Export_Func(tS* target, char16_t unit) { return &(*target += unit); }
MRVK_EXPORT void Mrvk_008B_Export_Func(tS* target) { target->Clear(); }
// A private text of length units (all 0) to write into; null for length <= 0.
MRVK_EXPORT char16_t* Mrvk_008C_Export_Func(tS* target, int32_t length) {
  *target = tS::Adopt(BodyOfLength(nullptr, 0, length));
  return target->GetBody() ? target->GetBody()->Text() : nullptr;
}
// Keeps the text, adds count units of 0 behind it and returns the whole buffer.
MRVK_EXPORT char16_t* Mrvk_008D_Export_Func(tS* target, int32_t count) {
  if (count <= 0) return target->MakeIndependent();
  *target = tS::Adopt(BodyOfLength(target->c_str(), target->GetLen(), target->GetLen() + count));
  return target->GetBody()->Text();
}
MRVK_EXPORT void Mrvk_008E_Export_Func(tS* target) { target->FixLength(); }
MRVK_EXPORT void Mrvk_008F_Export_Func(tS* target, const tS* search, const tS* replacement, bool all) {
  target->Replace(Wrap(search), Wrap(replacement), all);
}
MRVK_EXPORT const char16_t* Mrvk_0090_Export_Func(tS* target) {
  target->ToLowerCaseInPlace();
  return target->c_str();
}
MRVK_EXPORT const char16_t* Mrvk_0091_Export_Func(tS* target) {
  target->ToUpperCaseInPlace();
  return target->c_str();
}
MRVK_EXPORT uint32_t* Mrvk_0092_Export_Func(const tS* string) { return string->GetHint(); }
// Null for the empty string.
MRVK_EXPORT char16_t* Mrvk_0093_Export_Func(tS* string) { return string->MakeIndependent(); }

// Reading and comparing -----------------------------------------------------------------

MRVK_EXPORT const char16_t* Mrvk_0094_Export_Func(const tS* string) { return string->c_str(); }
MRVK_EXPORT tBody* Mrvk_0095_Export_Func(const tS* string) { return string->GetBody(); }
MRVK_EXPORT int64_t Mrvk_0096_Export_Func(const tS* string) { return ParseNumberText(string->c_str()).AsInteger(); }
MRVK_EXPORT bool Mrvk_0097_Export_Func(const tS* left, const tS* right) { return *left == *right; }
MRVK_EXPORT bool Mrvk_0098_Export_Func(const tS* left, const tS* right) { return *left != *right; }
MRVK_EXPORT int32_t Mrvk_0099_Export_Func(const tS* left, const tS* right) {
  return WideCompareNoCase(left->c_str(), right->c_str());
}
MRVK_EXPORT bool Mrvk_009A_Export_Func(const tS* left, const char16_t* text) { return *left == TextOrEmpty(text); }
MRVK_EXPORT bool Mrvk_009B_Export_Func(const tS* left, const char16_t* text) { return *left != TextOrEmpty(text); }
MRVK_EXPORT int32_t Mrvk_009C_Export_Func(const tS* left, const char16_t* text) {
  return WideCompareNoCase(left->c_str(), TextOrEmpty(text));
}
MRVK_EXPORT bool Mrvk_009D_Export_Func(const tS* left, const tS* right) { return *left < *right; }
MRVK_EXPORT bool Mrvk_009E_Export_Func(const tS* left, const tS* right) { return *left > *right; }
MRVK_EXPORT tBody* Mrvk_009F_Export_Func(const tS* left, const tS* right) { return (*left + *right).Detach(); }
MRVK_EXPORT tBody* Mrvk_00A0_Export_Func(const tS* left, const char16_t* text) {
  return (*left + TextOrEmpty(text)).Detach();
}
MRVK_EXPORT tBody* Mrvk_00A1_Export_Func(const tS* left, char16_t unit) {
  tS joined(*left);
  joined += unit;
  return joined.Detach();
}
// 0 outside the text.
MRVK_EXPORT char16_t Mrvk_00A2_Export_Func(const tS* string, int32_t index) {
  return index >= 0 && index < string->GetLen() ? (*string)[index] : u'\0';
}
MRVK_EXPORT void Mrvk_00A3_Export_Func(const tS* string, tS* out) { *out = string->ToLowerCase(); }
MRVK_EXPORT void Mrvk_00A4_Export_Func(const tS* string, tS* out) { *out = string->ToUpperCase(); }
MRVK_EXPORT void Mrvk_00A5_Export_Func(const tS* string, tS* out) { *out = string->Escape(); }
MRVK_EXPORT void Mrvk_00A6_Export_Func(tS* out) { out->Clear(); }
MRVK_EXPORT bool Mrvk_00A7_Export_Func(const tS* string, const char16_t* text) {
  return string->StartsWith(TextOrEmpty(text));
}
MRVK_EXPORT bool Mrvk_00A8_Export_Func(const tS* string, const tS* prefix) { return string->StartsWith(Wrap(prefix)); }
MRVK_EXPORT int32_t Mrvk_00A9_Export_Func(const tS* string) { return string->GetNarrowLength(); }
MRVK_EXPORT int32_t Mrvk_00AA_Export_Func(const tS* string, char* buffer, int32_t size) {
  return string->ToNarrow(buffer, size);
}
MRVK_EXPORT bool Mrvk_00AB_Export_Func(const tS* string) { return string->IsEmpty(); }
MRVK_EXPORT int32_t Mrvk_00AC_Export_Func(const tS* string) { return string->GetLen(); }
MRVK_EXPORT int32_t Mrvk_00AD_Export_Func(const tS* string) { return string->GetLen(); }
MRVK_EXPORT char16_t Mrvk_00AE_Export_Func(const tS* string) {
  return string->IsEmpty() ? u'\0' : (*string)[string->GetLen() - 1];
}
MRVK_EXPORT void Mrvk_00DF_Export_Func(tS* target, const char16_t* text, const tS* tail) {
  if (target) new (target) tS(TextOrEmpty(text) + Wrap(tail));
}
MRVK_EXPORT tBody* Mrvk_00FD_Export_Func(const tS* string) { return MapGlobalString(Wrap(string)).Detach(); }

// Bodies --------------------------------------------------------------------------------

MRVK_EXPORT void Mrvk_00B4_Export_Func(tBody* body) { AddRefStringBody(body); }
MRVK_EXPORT void Mrvk_00B5_Export_Func(tBody* body) { ReleaseStringBody(body); }
MRVK_EXPORT tBody* Mrvk_00B6_Export_Func(tBody* body, const char16_t* text, int32_t length) {
  return Exchange(body, CreateStringBody(text, length));
}
MRVK_EXPORT tBody* Mrvk_00B7_Export_Func(tBody* body, const char* text) {
  return Exchange(body, CreateStringBodyFromNarrow(text));
}
// Length units, all 0.
MRVK_EXPORT tBody* Mrvk_00B8_Export_Func(tBody* body, int32_t length) {
  return Exchange(body, BodyOfLength(nullptr, 0, length));
}
MRVK_EXPORT tBody* Mrvk_00B9_Export_Func(tBody* body, const char16_t* text) {
  return Exchange(body, CreateStringBody(text));
}
// The text followed by count units of 0.
MRVK_EXPORT tBody* Mrvk_00BA_Export_Func(tBody* body, int32_t count) {
  if (!body || count <= 0) return count > 0 ? BodyOfLength(nullptr, 0, count) : body;
  return Exchange(body, BodyOfLength(body->Text(), body->Length, body->Length + count));
}
MRVK_EXPORT tBody* Mrvk_00BB_Export_Func(tBody* body, const char16_t* text) {
  return AppendToStringBody(Private(body), TextOrEmpty(text), -1);
}
MRVK_EXPORT tBody* Mrvk_00BC_Export_Func(tBody* body, const char16_t* text, int32_t count) {
  return AppendToStringBody(Private(body), TextOrEmpty(text), text ? count : 0);
}
MRVK_EXPORT tBody* Mrvk_00D6_Export_Func(tBody* body, const char16_t* text) {
  return Mrvk_00BB_Export_Func(body, text);
}
MRVK_EXPORT tBody* Mrvk_00D7_Export_Func(tBody* body, const tBody* tail) {
  tS keep = tS::FromBody(const_cast<tBody*>(tail));  // tail may be body itself
  return AppendToStringBody(Private(body), keep.GetBody());
}
MRVK_EXPORT tBody* Mrvk_00BD_Export_Func(tBody* body) { return FixStringBodyLength(body); }
MRVK_EXPORT uint32_t* Mrvk_00BE_Export_Func(tBody* body) { return body ? &body->Hint : nullptr; }
MRVK_EXPORT const char16_t* Mrvk_00BF_Export_Func(const tBody* body) { return body ? body->Text() : u""; }
MRVK_EXPORT int32_t Mrvk_00C0_Export_Func(const tBody* body) { return body ? body->Length : 0; }
MRVK_EXPORT int64_t Mrvk_00C1_Export_Func(const tBody* body) {
  return ParseNumberText(Mrvk_00BF_Export_Func(body)).AsInteger();
}
MRVK_EXPORT double Mrvk_00C2_Export_Func(const tBody* body) {
  return ParseNumberText(Mrvk_00BF_Export_Func(body)).AsReal();
}
MRVK_EXPORT void Mrvk_00C3_Export_Func(const tBody* body, tNUVVariant* number) {
  *number = ParseNumberText(Mrvk_00BF_Export_Func(body));
}
// Owners minus one, as the body counts them; -1 for the empty string (no body).
MRVK_EXPORT int32_t Mrvk_00C4_Export_Func(const tBody* body) { return body ? body->RefCount : -1; }
MRVK_EXPORT tBody* Mrvk_00D0_Export_Func(const char16_t* first, const char16_t* second) {
  return CreateJoinedStringBody(TextOrEmpty(first), WideLength(TextOrEmpty(first)), TextOrEmpty(second),
                                WideLength(TextOrEmpty(second)));
}
MRVK_EXPORT tBody* Mrvk_00D1_Export_Func(const char16_t* text, int32_t length) {
  return CreateStringBody(text, length);
}
MRVK_EXPORT tBody* Mrvk_00D2_Export_Func(const char16_t* text) { return CreateStringBody(text); }
MRVK_EXPORT tBody* Mrvk_00D3_Export_Func(const char* text) { return CreateStringBodyFromNarrow(text); }
// Stored string record: a 32-bit length n, one 32-bit reserved word (written as 0,
// not read), then n UTF-16 units. The cursor moves past the record.
MRVK_EXPORT tBody* Mrvk_00D4_Export_Func(const uint8_t** cursor) {
  uint32_t length = ReadRecordWord(cursor);
  ReadRecordWord(cursor);
  if (length == 0) return nullptr;
  if (length > INT32_MAX / 2) throw std::bad_alloc();  // no string can be that long
  tBody* body = CreateStringBodyOfLength(static_cast<int32_t>(length));
  std::memcpy(body->Text(), *cursor, sizeof(char16_t) * length);
  *cursor += sizeof(char16_t) * length;
  return body;
}
MRVK_EXPORT tBody* Mrvk_00D5_Export_Func(int32_t length) { return BodyOfLength(nullptr, 0, length); }
MRVK_EXPORT tBody* Mrvk_00D8_Export_Func(const char16_t* text, int32_t length, const char16_t* second) {
  return CreateJoinedStringBody(text, text ? length : 0, TextOrEmpty(second), WideLength(TextOrEmpty(second)));
}

// Wide text utilities -----------------------------------------------------------------------

MRVK_EXPORT int32_t Mrvk_00C5_Export_Func(const char16_t* text) { return TextToInt32(TextOrEmpty(text)); }
// out holds at least 21 units; returns out.
MRVK_EXPORT char16_t* Mrvk_00C6_Export_Func(int32_t value, char16_t* out) {
  IntegerToText(value, out);
  return out;
}
MRVK_EXPORT char16_t* Mrvk_00C7_Export_Func(int64_t value, char16_t* out) {
  IntegerToText(value, out);
  return out;
}
MRVK_EXPORT int32_t Mrvk_00C8_Export_Func(const char16_t* first, const char16_t* second, int32_t count) {
  return WideCompareN(TextOrEmpty(first), TextOrEmpty(second), count);
}
MRVK_EXPORT int32_t Mrvk_00C9_Export_Func(const char16_t* first, const char16_t* second) {
  return WideCompareNoCase(TextOrEmpty(first), TextOrEmpty(second));
}
// Copies up to count units, stopping after a terminator and filling the rest with 0.
MRVK_EXPORT char16_t* Mrvk_00CA_Export_Func(char16_t* destination, const char16_t* source, int32_t count) {
  int32_t i = 0;
  for (; i < count && source && source[i]; ++i) destination[i] = source[i];
  for (; i < count; ++i) destination[i] = u'\0';
  return destination;
}
MRVK_EXPORT char16_t* Mrvk_00CB_Export_Func(char16_t* destination, const char16_t* source) {
  const char16_t* text = TextOrEmpty(source);
  std::memcpy(destination, text, sizeof(char16_t) * (WideLength(text) + 1));
  return destination;
}
MRVK_EXPORT int32_t Mrvk_00CC_Export_Func(const char16_t* text) { return WideLength(TextOrEmpty(text)); }
MRVK_EXPORT char16_t* Mrvk_00CD_Export_Func(int32_t units) { return AllocateLongBuffer(units); }
MRVK_EXPORT char16_t* Mrvk_00CE_Export_Func(char16_t* buffer, int32_t units) {
  return buffer ? GrowLongBuffer(buffer, units) : AllocateLongBuffer(units);
}
MRVK_EXPORT void Mrvk_00CF_Export_Func(char16_t* buffer) { if (buffer) FreeLongBuffer(buffer); }

}  // extern "C"

}  // namespace NUV
