// Text forms of values: the real text, the hexadecimal real text, the object text,
// and the readable and typed-literal texts used by messages, dumps and saving.

#include <charconv>
#include <cstring>

#include "engine/platform/system.h"
#include "engine/services/object_tracking.h"
#include "engine/values/variant.h"

namespace NUV {
namespace {

enum class tRealClass { Number, NaN, PositiveInfinity, NegativeInfinity, PositiveZero, NegativeZero };

tRealClass ClassifyReal(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  bool negative = bits >> 63;
  uint64_t exponent = (bits >> 52) & 0x7FF;
  uint64_t fraction = bits & 0xFFFFFFFFFFFFFull;
  if (exponent == 0x7FF) {
    if (fraction) return tRealClass::NaN;
    return negative ? tRealClass::NegativeInfinity : tRealClass::PositiveInfinity;
  }
  if (exponent == 0 && fraction == 0) return negative ? tRealClass::NegativeZero : tRealClass::PositiveZero;
  return tRealClass::Number;
}

const char16_t* SpecialRealText(tRealClass kind) {
  switch (kind) {
    case tRealClass::NaN: return u"NaN";
    case tRealClass::PositiveInfinity: return u"+Infinity";
    case tRealClass::NegativeInfinity: return u"-Infinity";
    case tRealClass::PositiveZero: return u"+0.0";
    case tRealClass::NegativeZero: return u"-0.0";
    default: return nullptr;
  }
}

tNUVString WidenAscii(const char* text, size_t length) {
  std::u16string wide(text, text + length);
  return tNUVString(wide);
}

void AppendOctetBytes(std::u16string& out, const tNUVVariantOctet* octet) {
  static const char16_t digits[] = u"0123456789ABCDEF";
  out += u"<% ";
  if (octet) {
    for (int32_t i = 0; i < octet->Length; ++i) {
      if (i) out += u' ';
      out += digits[octet->Data[i] >> 4];
      out += digits[octet->Data[i] & 0xF];
    }
  }
  out += u" %>";
}

}  // namespace

tNUVString RealToText(double value) {
  if (const char16_t* special = SpecialRealText(ClassifyReal(value))) return tNUVString(special);
  // to_chars with a precision behaves as printf's "%.15g" in the C locale.
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  return WidenAscii(buffer, result.ptr - buffer);
}

tNUVString RealToHexText(double value) {
  if (const char16_t* special = SpecialRealText(ClassifyReal(value))) return tNUVString(special);
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  static const char digits[] = "0123456789ABCDEF";
  char buffer[48];
  int position = 0;
  if (bits >> 63) buffer[position++] = '-';
  std::memcpy(buffer + position, "0x1.", 4);
  position += 4;
  for (int shift = 48; shift >= 0; shift -= 4) buffer[position++] = digits[(bits >> shift) & 0xF];
  buffer[position++] = 'p';
  int exponent = static_cast<int>((bits >> 52) & 0x7FF) - 1023;
  auto result = std::to_chars(buffer + position, buffer + sizeof buffer, exponent);
  return WidenAscii(buffer, result.ptr - buffer);
}

// With object tracking on, an object's text names its type: "[instance of class A]".
void AppendTrackedType(std::u16string& text, iNUVDispatch2* object) {
  tNUVString type;
  if (!NUVObjectTracking || !NUVFindTrackedObjectType(object, &type)) [[likely]] return;
  text += u'[';
  text.append(type.c_str(), static_cast<size_t>(type.GetLen()));
  text += u']';
}

tNUVString ObjectToText(iNUVDispatch2* object, iNUVDispatch2* objThis) {
  char16_t objectDigits[Platform::PointerHexDigits + 1];
  char16_t thisDigits[Platform::PointerHexDigits + 1];
  Platform::FormatPointer(object, objectDigits);
  Platform::FormatPointer(objThis, thisDigits);
  std::u16string text = u"(object 0x";
  text += objectDigits;
  AppendTrackedType(text, object);
  text += u":0x";
  text += thisDigits;
  AppendTrackedType(text, objThis);
  text += u")";
  return tNUVString(text);
}

tNUVString tNUVVariant::ReadableText(int32_t limit) const {
  std::u16string text;
  switch (vt) {
    case tvtVoid: text = u"(void)"; break;
    case tvtObject:
      text = u"(object)";
      text += ObjectToText(Object.Object, Object.ObjThis).c_str();
      break;
    case tvtString: {
      tNUVString escaped = tNUVString::FromBody(String).Escape();
      text = u"(string)\"";
      text.append(escaped.c_str(), escaped.GetLen());
      text += u'"';
      break;
    }
    case tvtOctet:
      text = u"(octet)";
      AppendOctetBytes(text, Octet);
      break;
    case tvtInteger:
      text = u"(int)";
      text += tNUVString::FromInteger(Integer).c_str();
      break;
    case tvtReal:
      text = u"(real)";
      text += RealToText(Real).c_str();
      break;
    default: return tNUVString();
  }
  return tNUVString(text).TruncateWithEllipsis(limit);
}

tNUVString tNUVVariant::TypedLiteralText() const {
  std::u16string text;
  switch (vt) {
    case tvtVoid: text = u"void"; break;
    case tvtString: {
      tNUVString escaped = tNUVString::FromBody(String).Escape();
      text = u"string \"";
      text.append(escaped.c_str(), escaped.GetLen());
      text += u'"';
      break;
    }
    case tvtOctet:
      text = u"octet ";
      AppendOctetBytes(text, Octet);
      break;
    case tvtInteger:
      text = u"int ";
      text += tNUVString::FromInteger(Integer).c_str();
      break;
    case tvtReal:
      text = u"real ";
      text += RealToHexText(Real).c_str();
      text += u" /* ";
      text += RealToText(Real).c_str();
      text += u" */";
      break;
    default: return tNUVString();
  }
  return tNUVString(text);
}

}  // namespace NUV
