// Linux: UTF-8 or iconv; the Windows version is text_conversion_windows.cpp.
#if !defined(_WIN32)
#include "engine/platform/text_conversion.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <mutex>
#include <strings.h>

namespace NUV::Platform {
namespace {

struct tCodePage {
  bool Utf8 = true;
  std::string Name = "UTF-8";
};

bool IsUtf8Name(const char* name) {
  return strcasecmp(name, "UTF-8") == 0 || strcasecmp(name, "UTF8") == 0 ||
         strcasecmp(name, "CP65001") == 0;
}

const char* WideEncodingName() {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  return "UTF-16LE";
#else
  return "UTF-16BE";
#endif
}

const tCodePage& CodePage() {
  static const tCodePage page = [] {
    tCodePage result;
    const char* name = std::getenv("NUV_CODEPAGE");
    if (name && *name && !IsUtf8Name(name)) {
      iconv_t probe = iconv_open(WideEncodingName(), name);
      if (probe != reinterpret_cast<iconv_t>(-1)) {
        iconv_close(probe);
        result.Utf8 = false;
        result.Name = name;
      }
    }
    return result;
  }();
  return page;
}

// Decodes one UTF-8 character strictly; returns its byte length or 0 when invalid.
size_t DecodeUtf8(const unsigned char* p, size_t available, char32_t& code) {
  if (available == 0) return 0;
  unsigned char lead = p[0];
  if (lead < 0x80) { code = lead; return 1; }
  size_t length;
  char32_t minimum;
  if (lead >= 0xC2 && lead <= 0xDF) { length = 2; code = lead & 0x1F; minimum = 0x80; }
  else if (lead >= 0xE0 && lead <= 0xEF) { length = 3; code = lead & 0x0F; minimum = 0x800; }
  else if (lead >= 0xF0 && lead <= 0xF4) { length = 4; code = lead & 0x07; minimum = 0x10000; }
  else return 0;
  if (available < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    code = (code << 6) | (p[i] & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Reads one UTF-16 character; an unpaired surrogate is reported as code 0xFFFFFFFF.
size_t ReadWideCharacter(const char16_t* text, size_t length, char32_t& code) {
  char16_t unit = text[0];
  if (unit >= 0xD800 && unit <= 0xDBFF && length >= 2 && text[1] >= 0xDC00 && text[1] <= 0xDFFF) {
    code = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[1] - 0xDC00);
    return 2;
  }
  code = (unit >= 0xD800 && unit <= 0xDFFF) ? 0xFFFFFFFFu : unit;
  return 1;
}

// One iconv conversion of a whole input; returns false on invalid or truncated input.
bool IconvAll(iconv_t converter, const char* input, size_t inputLength, std::string& output) {
  output.clear();
  char buffer[1024];
  char* in = const_cast<char*>(input);
  size_t inLeft = inputLength;
  while (true) {
    char* out = buffer;
    size_t outLeft = sizeof buffer;
    size_t result = iconv(converter, inLeft ? &in : nullptr, inLeft ? &inLeft : nullptr, &out, &outLeft);
    output.append(buffer, out - buffer);
    if (result == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      return false;
    }
    if (inLeft == 0) {
      // Flush any shift state.
      out = buffer;
      outLeft = sizeof buffer;
      iconv(converter, nullptr, nullptr, &out, &outLeft);
      output.append(buffer, out - buffer);
      return true;
    }
  }
}

// iconv descriptors are reused for the process; conversions are serialised.
struct tIconvPair {
  std::mutex Lock;
  iconv_t ToWide = reinterpret_cast<iconv_t>(-1);
  iconv_t ToNarrow = reinterpret_cast<iconv_t>(-1);
};

tIconvPair& Converters() {
  static tIconvPair* pair = [] {
    auto* created = new tIconvPair;
    created->ToWide = iconv_open(WideEncodingName(), CodePage().Name.c_str());
    created->ToNarrow = iconv_open(CodePage().Name.c_str(), WideEncodingName());
    return created;
  }();
  return *pair;
}

// Converts one wide character to the legacy code page; false when unmappable.
bool WideCharacterToLegacy(const char16_t* units, size_t count, std::string& out) {
  tIconvPair& pair = Converters();
  std::lock_guard<std::mutex> guard(pair.Lock);
  iconv(pair.ToNarrow, nullptr, nullptr, nullptr, nullptr);
  return IconvAll(pair.ToNarrow, reinterpret_cast<const char*>(units), count * sizeof(char16_t), out);
}

// Calls sink(bytes, byteCount) for each converted character in order.
template <typename tSink>
void ForEachNarrowCharacter(const char16_t* text, size_t length, tSink&& sink) {
  const bool utf8 = CodePage().Utf8;
  std::string piece;
  size_t i = 0;
  while (i < length) {
    char32_t code;
    size_t used = ReadWideCharacter(text + i, length - i, code);
    piece.clear();
    if (code == 0xFFFFFFFFu) {
      piece = "?";
    } else if (utf8) {
      AppendUtf8(piece, code);
    } else if (!WideCharacterToLegacy(text + i, used, piece)) {
      piece = "?";
    }
    if (!sink(piece.data(), piece.size())) return;
    i += used;
  }
}

}  // namespace

const char* ActiveCodePageName() { return CodePage().Name.c_str(); }
bool ActiveCodePageIsUtf8() { return CodePage().Utf8; }

bool NarrowToWide(const char* text, size_t length, std::u16string& out) {
  out.clear();
  if (length == 0) return true;
  if (CodePage().Utf8) {
    out.reserve(length);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0;
    while (i < length) {
      if (bytes[i] < 0x80) { out += static_cast<char16_t>(bytes[i++]); continue; }
      char32_t code;
      size_t used = DecodeUtf8(bytes + i, length - i, code);
      if (used == 0) return false;
      if (code >= 0x10000) {
        code -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (code >> 10));
        out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
      } else {
        out += static_cast<char16_t>(code);
      }
      i += used;
    }
    return true;
  }
  tIconvPair& pair = Converters();
  std::lock_guard<std::mutex> guard(pair.Lock);
  iconv(pair.ToWide, nullptr, nullptr, nullptr, nullptr);
  std::string converted;
  if (!IconvAll(pair.ToWide, text, length, converted)) return false;
  out.assign(reinterpret_cast<const char16_t*>(converted.data()), converted.size() / sizeof(char16_t));
  return true;
}

std::string WideToNarrow(const char16_t* text, size_t length) {
  std::string result;
  result.reserve(length);
  ForEachNarrowCharacter(text, length, [&](const char* bytes, size_t count) {
    result.append(bytes, count);
    return true;
  });
  return result;
}

size_t WideToNarrowLength(const char16_t* text, size_t length) {
  size_t total = 0;
  ForEachNarrowCharacter(text, length, [&](const char*, size_t count) {
    total += count;
    return true;
  });
  return total;
}

size_t WideToNarrowBounded(const char16_t* text, size_t length, char* out, size_t capacity) {
  size_t written = 0;
  ForEachNarrowCharacter(text, length, [&](const char* bytes, size_t count) {
    if (written + count > capacity) return false;
    std::memcpy(out + written, bytes, count);
    written += count;
    return true;
  });
  return written;
}

size_t NarrowCharacterLength(const char* text, size_t available) {
  if (available == 0) return 0;
  if (CodePage().Utf8) {
    char32_t code;
    return DecodeUtf8(reinterpret_cast<const unsigned char*>(text), available, code);
  }
  for (size_t count = 1; count <= available && count <= 4; ++count) {
    std::u16string probe;
    if (NarrowToWide(text, count, probe)) return count;
  }
  return 0;
}

}  // namespace NUV::Platform
#endif
