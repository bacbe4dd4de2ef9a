// The two printf-style formatters of the string module.
//
// tNUVString::Format is the engine's own formatter for messages and diagnostics:
// C printf conventions, but the result is UTF-16 and "%s" takes UTF-16 text. Its
// output goes to a fixed buffer of 8191 units; whatever does not fit is cut off,
// so no template or argument can make it write out of bounds.
//
// FormatTemplate is the formatter behind the script method "sprintf". Its
// directive grammar is narrower (one flag, optional "0", width, precision) and
// its arguments are variants converted as each directive asks.
//
// Both format numbers by handing a narrow conversion to snprintf (numbers are
// ASCII in the "C" locale) and widening the result.

#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>

#include "engine/platform/system.h"
#include "engine/platform/text_conversion.h"
#include "engine/services/errors.h"
#include "engine/values/nuv_string.h"
#include "engine/values/variant.h"

namespace NUV {
namespace {

// Format's output limit in units, the terminator not counted (a 0x4000-byte buffer).
constexpr int32_t NUVFormatCapacity = 0x4000 / sizeof(char16_t) - 1;

// Precisions above this cannot change the visible output of Format any more: a
// double's exact decimal expansion has fewer digits, and the output is cut at
// NUVFormatCapacity anyway. Clamping keeps snprintf's output bounded.
constexpr int64_t NUVFormatPrecisionLimit = NUVFormatCapacity;

// Widths and precisions written as digits saturate here instead of overflowing.
constexpr int64_t NUVDigitSaturation = INT32_MAX;

// FormatTemplate's limits on numeric directives.
constexpr int32_t NUVTemplateDirectiveLimit = 68;     // directive text must be shorter
constexpr int64_t NUVTemplateWidthPrecisionLimit = 901;  // width + precision must be smaller

// The longest text a string body can hold (its long buffer needs the terminator and
// the slack on top, and its capacity is counted in a 32-bit word of bytes).
constexpr int64_t NUVMaxResultUnits = (INT32_MAX - 64) / 2 - NUVLongBufferExtraUnits - 1;

bool IsDigit(char16_t unit) { return unit >= u'0' && unit <= u'9'; }

int64_t AppendDigit(int64_t value, char16_t digit) {
  value = value * 10 + (digit - u'0');
  return value > NUVDigitSaturation ? NUVDigitSaturation : value;
}

// The magnitude of a width, without overflow for INT64_MIN.
uint64_t Magnitude(int64_t value) {
  return value < 0 ? static_cast<uint64_t>(-(value + 1)) + 1 : static_cast<uint64_t>(value);
}

// snprintf into a std::string of exactly the needed size. The conversion directive is
// built by the callers from a fixed set of flags and conversions.
std::string FormatNarrow(const char* directiveText, ...) {
  char small[256];
  va_list args;
  va_start(args, directiveText);
  int needed = std::vsnprintf(small, sizeof small, directiveText, args);
  va_end(args);
  if (needed < 0) return std::string();
  if (static_cast<size_t>(needed) < sizeof small) return std::string(small, static_cast<size_t>(needed));
  std::string large(static_cast<size_t>(needed) + 1, '\0');
  va_start(args, directiveText);
  std::vsnprintf(large.data(), large.size(), directiveText, args);
  va_end(args);
  large.resize(static_cast<size_t>(needed));
  return large;
}

// Format's output buffer: everything beyond the capacity is dropped.
class tFormatOutput {
public:
  bool Full() const { return Length >= NUVFormatCapacity; }
  int32_t GetLength() const { return Length; }
  const char16_t* Data() const { return Units; }

  void Put(char16_t unit) {
    if (!Full()) Units[Length++] = unit;
  }
  void PutRepeat(char16_t unit, uint64_t count) {
    uint64_t room = static_cast<uint64_t>(NUVFormatCapacity - Length);
    if (count > room) count = room;
    for (uint64_t i = 0; i < count; ++i) Units[Length++] = unit;
  }
  void PutText(const char16_t* text, size_t count) {
    size_t room = static_cast<size_t>(NUVFormatCapacity - Length);
    if (count > room) count = room;
    std::memcpy(Units + Length, text, count * sizeof(char16_t));
    Length += static_cast<int32_t>(count);
  }
  // ASCII text (snprintf's numbers) widened unit by unit.
  void PutAscii(const char* text, size_t count) {
    for (size_t i = 0; i < count && !Full(); ++i) Units[Length++] = static_cast<unsigned char>(text[i]);
  }

  // A text in a field of the given width, padded with spaces.
  void PutField(const char16_t* text, size_t count, uint64_t width, bool left) {
    uint64_t padding = width > count ? width - count : 0;
    if (!left) PutRepeat(u' ', padding);
    PutText(text, count);
    if (left) PutRepeat(u' ', padding);
  }

private:
  char16_t Units[NUVFormatCapacity + 1];
  int32_t Length = 0;
};

// One parsed directive of Format.
struct tFormatDirective {
  bool Left = false;
  bool Plus = false;
  bool Space = false;
  bool Alternate = false;
  bool Zero = false;
  uint64_t Width = 0;
  bool HasPrecision = false;
  int64_t Precision = 0;
  // Length modifier: 'H' hh, 'h', 'l', 'q' ll, 'z', 'j', 't', 'L', or 0.
  char Size = 0;
  char16_t Conversion = 0;
};

// The narrow directive for snprintf: the sign and alternate flags and the precision
// only. Width and zero padding are applied by PutNumber, so a huge width never
// reaches snprintf.
std::string NumberSpec(const tFormatDirective& directive, const char* size, char conversion) {
  std::string directiveText = "%";
  if (directive.Plus) directiveText += '+';
  if (directive.Space) directiveText += ' ';
  if (directive.Alternate) directiveText += '#';
  if (directive.HasPrecision) directiveText += ".*";
  directiveText += size;
  directiveText += conversion;
  return directiveText;
}

// Writes a formatted number into its field. Zero padding goes between the sign
// (and a "0x" prefix) and the digits, as in C; it does not apply to integers with
// a precision nor to infinities and NaNs, where the field is padded with spaces.
void PutNumber(tFormatOutput& output, const std::string& body, const tFormatDirective& directive, bool zeroAllowed) {
  uint64_t padding = directive.Width > body.size() ? directive.Width - body.size() : 0;
  if (directive.Left || padding == 0) {
    output.PutAscii(body.data(), body.size());
    output.PutRepeat(u' ', padding);
    return;
  }
  if (!directive.Zero || !zeroAllowed) {
    output.PutRepeat(u' ', padding);
    output.PutAscii(body.data(), body.size());
    return;
  }
  size_t prefix = 0;
  if (!body.empty() && (body[0] == '+' || body[0] == '-' || body[0] == ' ')) prefix = 1;
  char16_t conversion = directive.Conversion;
  bool hexPrefix = conversion == u'a' || conversion == u'A' ||
                   (directive.Alternate && (conversion == u'x' || conversion == u'X'));
  if (hexPrefix && body.size() >= prefix + 2 && body[prefix] == '0' &&
      (body[prefix + 1] == 'x' || body[prefix + 1] == 'X')) {
    prefix += 2;
  }
  output.PutAscii(body.data(), prefix);
  output.PutRepeat(u'0', padding);
  output.PutAscii(body.data() + prefix, body.size() - prefix);
}

int PrecisionArgument(const tFormatDirective& directive) {
  int64_t precision = directive.Precision;
  return static_cast<int>(precision > NUVFormatPrecisionLimit ? NUVFormatPrecisionLimit : precision);
}

void PutSignedInteger(tFormatOutput& output, const tFormatDirective& directive, long long value) {
  std::string directiveText = NumberSpec(directive, "ll", static_cast<char>(directive.Conversion));
  std::string body = directive.HasPrecision ? FormatNarrow(directiveText.c_str(), PrecisionArgument(directive), value)
                                            : FormatNarrow(directiveText.c_str(), value);
  PutNumber(output, body, directive, !directive.HasPrecision);
}

void PutUnsignedInteger(tFormatOutput& output, const tFormatDirective& directive, unsigned long long value) {
  std::string directiveText = NumberSpec(directive, "ll", static_cast<char>(directive.Conversion));
  std::string body = directive.HasPrecision ? FormatNarrow(directiveText.c_str(), PrecisionArgument(directive), value)
                                            : FormatNarrow(directiveText.c_str(), value);
  PutNumber(output, body, directive, !directive.HasPrecision);
}

void PutReal(tFormatOutput& output, const tFormatDirective& directive, long double value, bool isLong) {
  std::string directiveText = NumberSpec(directive, isLong ? "L" : "", static_cast<char>(directive.Conversion));
  std::string body;
  if (isLong) {
    body = directive.HasPrecision ? FormatNarrow(directiveText.c_str(), PrecisionArgument(directive), value)
                                  : FormatNarrow(directiveText.c_str(), value);
  } else {
    double narrowed = static_cast<double>(value);
    body = directive.HasPrecision ? FormatNarrow(directiveText.c_str(), PrecisionArgument(directive), narrowed)
                                  : FormatNarrow(directiveText.c_str(), narrowed);
  }
  PutNumber(output, body, directive, std::isfinite(value));
}

// Narrow text as UTF-16. Text that is invalid in the code page is converted
// character by character, with "?" for each byte that starts no valid character.
std::u16string WidenNarrow(const char* text) {
  size_t length = std::strlen(text);
  std::u16string wide;
  if (Platform::NarrowToWide(text, length, wide)) return wide;
  wide.clear();
  size_t position = 0;
  std::u16string piece;
  while (position < length) {
    size_t characterLength = Platform::NarrowCharacterLength(text + position, length - position);
    if (characterLength > 0 && position + characterLength <= length &&
        Platform::NarrowToWide(text + position, characterLength, piece)) {
      wide += piece;
      position += characterLength;
    } else {
      wide += u'?';
      ++position;
    }
  }
  return wide;
}

// Reads the argument of an integer conversion as its C type says and widens it.
long long SignedArgument(char size, va_list* args) {
  switch (size) {
    case 'H': return static_cast<signed char>(va_arg(*args, int));
    case 'h': return static_cast<short>(va_arg(*args, int));
    case 'l': return va_arg(*args, long);
    case 'q':
    case 'L': return va_arg(*args, long long);
    case 'z': return va_arg(*args, std::make_signed_t<size_t>);
    case 'j': return static_cast<long long>(va_arg(*args, intmax_t));
    case 't': return va_arg(*args, ptrdiff_t);
    default: return va_arg(*args, int);
  }
}

unsigned long long UnsignedArgument(char size, va_list* args) {
  switch (size) {
    case 'H': return static_cast<unsigned char>(va_arg(*args, unsigned int));
    case 'h': return static_cast<unsigned short>(va_arg(*args, unsigned int));
    case 'l': return va_arg(*args, unsigned long);
    case 'q':
    case 'L': return va_arg(*args, unsigned long long);
    case 'z': return va_arg(*args, size_t);
    case 'j': return static_cast<unsigned long long>(va_arg(*args, uintmax_t));
    case 't': return static_cast<unsigned long long>(va_arg(*args, std::make_unsigned_t<ptrdiff_t>));
    default: return va_arg(*args, unsigned int);
  }
}

size_t BoundedWideLength(const char16_t* text, const tFormatDirective& directive) {
  size_t limit = directive.HasPrecision ? static_cast<size_t>(directive.Precision) : SIZE_MAX;
  size_t length = 0;
  while (length < limit && text[length]) ++length;
  return length;
}

// Formats one conversion; returns false for a conversion Format does not know.
bool PutConversion(tFormatOutput& output, const tFormatDirective& directive, va_list* args) {
  switch (directive.Conversion) {
    case u'd':
    case u'i':
      PutSignedInteger(output, directive, SignedArgument(directive.Size, args));
      return true;
    case u'u':
    case u'o':
    case u'x':
    case u'X':
      PutUnsignedInteger(output, directive, UnsignedArgument(directive.Size, args));
      return true;
    case u'e':
    case u'E':
    case u'f':
    case u'F':
    case u'g':
    case u'G':
    case u'a':
    case u'A':
      if (directive.Size == 'L') {
        PutReal(output, directive, va_arg(*args, long double), true);
      } else {
        PutReal(output, directive, va_arg(*args, double), false);
      }
      return true;
    case u'c': {
      // A 0 unit cannot live inside an engine string, so it counts as no text.
      char16_t unit = static_cast<char16_t>(va_arg(*args, int));
      output.PutField(&unit, unit ? 1 : 0, directive.Width, directive.Left);
      return true;
    }
    case u's': {
      if (directive.Size == 'h' || directive.Size == 'H') {
        const char* narrow = va_arg(*args, const char*);
        std::u16string wide = narrow ? WidenNarrow(narrow) : std::u16string(u"(null)");
        size_t count = wide.size();
        if (directive.HasPrecision && static_cast<uint64_t>(directive.Precision) < count) {
          count = static_cast<size_t>(directive.Precision);
        }
        output.PutField(wide.data(), count, directive.Width, directive.Left);
      } else {
        const char16_t* text = va_arg(*args, const char16_t*);
        if (!text) text = u"(null)";
        output.PutField(text, BoundedWideLength(text, directive), directive.Width, directive.Left);
      }
      return true;
    }
    case u'p': {
      char16_t digits[Platform::PointerHexDigits + 1];
      Platform::FormatPointer(va_arg(*args, void*), digits);
      output.PutField(digits, Platform::PointerHexDigits, directive.Width, directive.Left);
      return true;
    }
    case u'%':
      output.Put(u'%');
      return true;
    default:
      return false;
  }
}

// Ends the va_list copy however FormatV is left.
struct tVaListGuard {
  va_list* List;
  ~tVaListGuard() { va_end(*List); }
};

}  // namespace

void tNUVString::Format(const char16_t* templ, ...) {
  va_list args;
  va_start(args, templ);
  try {
    FormatV(templ, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
}

// Directives: %[flags][width][.precision][size]conversion with the flags - + space
// # 0, width and precision as digits or "*", and the sizes hh h l ll z j t L. A
// negative "*" width means "-" and its magnitude, a negative "*" precision means
// none, as in C. An unknown conversion, or a template ending inside a directive,
// copies the directive's text as it stands.
void tNUVString::FormatV(const char16_t* templ, va_list args) {
  tFormatOutput output;
  va_list list;
  va_copy(list, args);
  {
    tVaListGuard guard{&list};
    const char16_t* cursor = templ ? templ : u"";
    while (*cursor && !output.Full()) {
      if (*cursor != u'%') {
        output.Put(*cursor++);
        continue;
      }
      const char16_t* start = cursor++;
      tFormatDirective directive;
      for (;; ++cursor) {
        if (*cursor == u'-') directive.Left = true;
        else if (*cursor == u'+') directive.Plus = true;
        else if (*cursor == u' ') directive.Space = true;
        else if (*cursor == u'#') directive.Alternate = true;
        else if (*cursor == u'0') directive.Zero = true;
        else break;
      }
      if (*cursor == u'*') {
        int width = va_arg(list, int);
        if (width < 0) directive.Left = true;
        directive.Width = Magnitude(width);
        ++cursor;
      } else {
        int64_t width = 0;
        while (IsDigit(*cursor)) width = AppendDigit(width, *cursor++);
        directive.Width = static_cast<uint64_t>(width);
      }
      if (*cursor == u'.') {
        ++cursor;
        directive.HasPrecision = true;
        if (*cursor == u'*') {
          int precision = va_arg(list, int);
          directive.HasPrecision = precision >= 0;
          directive.Precision = precision;
          ++cursor;
        } else {
          while (IsDigit(*cursor)) directive.Precision = AppendDigit(directive.Precision, *cursor++);
        }
      }
      if (*cursor == u'h') {
        ++cursor;
        directive.Size = 'h';
        if (*cursor == u'h') { ++cursor; directive.Size = 'H'; }
      } else if (*cursor == u'l') {
        ++cursor;
        directive.Size = 'l';
        if (*cursor == u'l') { ++cursor; directive.Size = 'q'; }
      } else if (*cursor == u'z' || *cursor == u'j' || *cursor == u't' || *cursor == u'L') {
        directive.Size = static_cast<char>(*cursor++);
      }
      directive.Conversion = *cursor;
      if (directive.Conversion == 0) {
        output.PutText(start, static_cast<size_t>(cursor - start));
        break;
      }
      ++cursor;
      if (!PutConversion(output, directive, &list)) output.PutText(start, static_cast<size_t>(cursor - start));
    }
  }
  *this = tNUVString(output.Data(), output.GetLength());
}

// FormatTemplate ------------------------------------------------------------------

namespace {

// Formats a numeric directive of FormatTemplate through snprintf. The width goes
// to snprintf as a "*" argument, so a negative width left-aligns as in C; a
// negative precision is dropped (C treats it as absent).
std::string FormatTemplateNumber(char16_t flag, bool zero, int64_t width, bool hasPrecision, int64_t precision,
                                 char16_t conversion, const tNUVVariant& argument) {
  std::string directiveText = "%";
  if (flag) directiveText += static_cast<char>(flag);
  if (zero) directiveText += '0';
  directiveText += '*';
  bool usePrecision = hasPrecision && precision >= 0;
  if (usePrecision) directiveText += ".*";
  int widthArgument = static_cast<int>(width);
  int precisionArgument = static_cast<int>(precision);
  switch (conversion) {
    case u'd':
    case u'i': {
      directiveText += "ll";
      directiveText += static_cast<char>(conversion);
      long long value = argument.AsInteger();
      return usePrecision ? FormatNarrow(directiveText.c_str(), widthArgument, precisionArgument, value)
                          : FormatNarrow(directiveText.c_str(), widthArgument, value);
    }
    case u'o':
    case u'u':
    case u'x':
    case u'X': {
      directiveText += "ll";
      directiveText += static_cast<char>(conversion);
      unsigned long long value = static_cast<unsigned long long>(argument.AsInteger());
      return usePrecision ? FormatNarrow(directiveText.c_str(), widthArgument, precisionArgument, value)
                          : FormatNarrow(directiveText.c_str(), widthArgument, value);
    }
    default: {
      directiveText += static_cast<char>(conversion);
      double value = argument.AsReal();
      return usePrecision ? FormatNarrow(directiveText.c_str(), widthArgument, precisionArgument, value)
                          : FormatNarrow(directiveText.c_str(), widthArgument, value);
    }
  }
}

bool IsTemplateNumberConversion(char16_t unit) {
  switch (unit) {
    case u'd': case u'i': case u'o': case u'u': case u'x': case u'X':
    case u'e': case u'E': case u'f': case u'g': case u'G':
      return true;
    default:
      return false;
  }
}

void EnsureRoom(const std::u16string& output, uint64_t more) {
  if (more > static_cast<uint64_t>(NUVMaxResultUnits) ||
      output.size() + more > static_cast<uint64_t>(NUVMaxResultUnits)) {
    NUVThrowError(NUVStringAllocError);
  }
}

std::u16string FormatTemplateText(const char16_t* text, int32_t length, int32_t argumentCount,
                                  tNUVVariant** arguments) {
  static const tNUVVariant voidValue;
  int32_t nextArgument = 0;
  auto takeArgument = [&]() -> const tNUVVariant& {
    if (nextArgument >= argumentCount) NUVThrowError(NUVBadParamCount);
    const tNUVVariant* argument = arguments[nextArgument++];
    return argument ? *argument : voidValue;
  };

  std::u16string output;
  output.reserve(32);
  int32_t position = 0;
  // The template must not end inside a directive.
  auto current = [&]() -> char16_t {
    if (position >= length) NUVThrowError(NUVInvalidFormatString);
    return text[position];
  };

  while (position < length) {
    if (text[position] != u'%') {
      output += text[position++];
      continue;
    }
    int32_t start = position++;
    char16_t flag = 0;
    if (current() == u'#' || current() == u'+' || current() == u'-') flag = text[position++];
    bool zero = false;
    if (current() == u'0') {
      zero = true;
      ++position;
    }
    int64_t width = 0;
    if (current() == u'*') {
      width = takeArgument().AsInteger();
      ++position;
    } else {
      while (IsDigit(current())) width = AppendDigit(width, text[position++]);
    }
    bool hasPrecision = false;
    int64_t precision = 0;
    if (current() == u'.') {
      hasPrecision = true;
      ++position;
      if (current() == u'*') {
        precision = takeArgument().AsInteger();
        ++position;
      } else {
        while (IsDigit(current())) precision = AppendDigit(precision, text[position++]);
      }
    }
    char16_t conversion = current();
    ++position;

    if (IsTemplateNumberConversion(conversion)) {
      uint64_t widthMagnitude = Magnitude(width);
      uint64_t precisionMagnitude = precision > 0 ? static_cast<uint64_t>(precision) : 0;
      if (position - start >= NUVTemplateDirectiveLimit ||
          widthMagnitude >= NUVTemplateWidthPrecisionLimit ||
          precisionMagnitude >= NUVTemplateWidthPrecisionLimit ||
          widthMagnitude + precisionMagnitude >= NUVTemplateWidthPrecisionLimit) {
        NUVThrowError(NUVInvalidFormatString);
      }
      const tNUVVariant& argument = takeArgument();
      std::string number = FormatTemplateNumber(flag, zero, width, hasPrecision, precision, conversion, argument);
      output.append(number.begin(), number.end());
    } else if (conversion == u's' || conversion == u'c') {
      tNUVString value = takeArgument().AsString();
      int64_t textLength = value.GetLen();
      if (textLength == 0) continue;
      // No precision, 0 or a negative one from "*" stand for the whole text; a
      // precision beyond the text is the text itself (never zero units).
      int64_t count = hasPrecision && precision > 0 ? precision : textLength;
      if (conversion == u'c' && count >= 2) count = 1;
      if (count > textLength) count = textLength;
      // A negative "*" width left-aligns, as the "-" flag does.
      bool left = flag == u'-' || width < 0;
      uint64_t field = Magnitude(width);
      if (field < static_cast<uint64_t>(count)) field = static_cast<uint64_t>(count);
      EnsureRoom(output, field);
      size_t padding = static_cast<size_t>(field - static_cast<uint64_t>(count));
      if (!left) output.append(padding, u' ');
      output.append(value.c_str(), static_cast<size_t>(count));
      if (left) output.append(padding, u' ');
    } else {
      // "%%" writes "%"; any other unit ends the directive and is ordinary text.
      output += conversion;
    }
    EnsureRoom(output, 0);
  }
  return output;
}

}  // namespace

tNUVString FormatTemplate(const tNUVString& templ, int32_t argumentCount, tNUVVariant** arguments) {
  // Keep the template alive even if an argument conversion drops its last owner.
  tNUVString text(templ);
  std::u16string output;
  try {
    output = FormatTemplateText(text.c_str(), text.GetLen(), argumentCount, arguments);
  } catch (const std::bad_alloc&) {
    NUVThrowError(NUVStringAllocError);
  }
  if (output.empty()) return tNUVString();
  return tNUVString(output.data(), static_cast<int32_t>(output.size()));
}

}  // namespace NUV
