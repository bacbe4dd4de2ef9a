// Narrow text on Windows is the system's active code page (CP_ACP), converted by
// the system itself. MB_ERR_INVALID_CHARS makes invalid bytes fail; characters the
// code page lacks become "?" (no best-fit look-alikes, which would change names).
#if defined(_WIN32)
#include "engine/platform/text_conversion.h"

#include <climits>
#include <cstring>
#include <string>

#include <windows.h>

namespace NUV::Platform {
namespace {

struct tCodePage {
  UINT Number = CP_ACP;
  bool Utf8 = false;
  std::string Name;
};

const tCodePage& CodePage() {
  static const tCodePage page = [] {
    tCodePage result;
    result.Number = GetACP();
    result.Utf8 = result.Number == CP_UTF8;
    result.Name = result.Utf8 ? "UTF-8" : "CP" + std::to_string(result.Number);
    return result;
  }();
  return page;
}

bool IsHighSurrogate(char16_t unit) { return (unit & 0xFC00) == 0xD800; }
bool IsLowSurrogate(char16_t unit) { return (unit & 0xFC00) == 0xDC00; }

// Units of the character at text[i]: 2 for a surrogate pair, else 1.
size_t CharacterUnits(const char16_t* text, size_t i, size_t length) {
  return IsHighSurrogate(text[i]) && i + 1 < length && IsLowSurrogate(text[i + 1]) ? 2 : 1;
}

bool IsUnpairedSurrogate(const char16_t* text, size_t i, size_t length) {
  return (text[i] & 0xF800) == 0xD800 && CharacterUnits(text, i, length) == 1;
}

// One system conversion of at most INT_MAX units; the "?" is written by the
// system except for UTF-8, which has no default character (see Prepared).
std::string Convert(const char16_t* text, size_t length) {
  std::string out;
  if (length == 0) return out;
  const auto* wide = reinterpret_cast<const wchar_t*>(text);
  const int count = static_cast<int>(length);
  const DWORD flags = CodePage().Utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* fallback = CodePage().Utf8 ? nullptr : "?";
  int size = WideCharToMultiByte(CP_ACP, flags, wide, count, nullptr, 0, fallback, nullptr);
  if (size <= 0) return out;
  out.resize(static_cast<size_t>(size));
  size = WideCharToMultiByte(CP_ACP, flags, wide, count, out.data(), size, fallback, nullptr);
  out.resize(size > 0 ? static_cast<size_t>(size) : 0);
  return out;
}

// UTF-8 has no default character (the system would write U+FFFD): an unpaired
// surrogate is replaced by "?" before the conversion.
const char16_t* Prepared(const char16_t* text, size_t length, std::u16string& buffer) {
  if (!CodePage().Utf8) return text;
  size_t i = 0;
  while (i < length && !IsUnpairedSurrogate(text, i, length)) i += CharacterUnits(text, i, length);
  if (i == length) return text;
  buffer.assign(text, length);
  for (; i < length; i += CharacterUnits(buffer.data(), i, length))
    if (IsUnpairedSurrogate(buffer.data(), i, length)) buffer[i] = u'?';
  return buffer.data();
}

// Calls sink(bytes) with the conversion of pieces of at most INT_MAX units, cut
// between characters.
template <typename tSink>
void ConvertInPieces(const char16_t* text, size_t length, tSink&& sink) {
  std::u16string buffer;
  const char16_t* prepared = Prepared(text, length, buffer);
  constexpr size_t pieceLimit = INT_MAX - 1;
  size_t at = 0;
  while (at < length) {
    size_t piece = length - at;
    if (piece > pieceLimit) {
      piece = pieceLimit;
      if (IsHighSurrogate(prepared[at + piece - 1])) --piece;
    }
    sink(Convert(prepared + at, piece));
    at += piece;
  }
}

}  // namespace

const char* ActiveCodePageName() { return CodePage().Name.c_str(); }
bool ActiveCodePageIsUtf8() { return CodePage().Utf8; }

bool NarrowToWide(const char* text, size_t length, std::u16string& out) {
  out.clear();
  if (length == 0) return true;
  // The system converts at most INT_MAX bytes at a time; text that long is not
  // cut, since the cut could fall inside a character.
  if (length > static_cast<size_t>(INT_MAX)) return false;
  const int count = static_cast<int>(length);
  int size = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, count, nullptr, 0);
  if (size <= 0) return false;
  out.resize(static_cast<size_t>(size));
  size = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, count, reinterpret_cast<wchar_t*>(out.data()), size);
  if (size <= 0) {
    out.clear();
    return false;
  }
  out.resize(static_cast<size_t>(size));
  return true;
}

std::string WideToNarrow(const char16_t* text, size_t length) {
  std::string result;
  ConvertInPieces(text, length, [&](const std::string& piece) { result += piece; });
  return result;
}

size_t WideToNarrowLength(const char16_t* text, size_t length) {
  size_t total = 0;
  ConvertInPieces(text, length, [&](const std::string& piece) { total += piece.size(); });
  return total;
}

size_t WideToNarrowBounded(const char16_t* text, size_t length, char* out, size_t capacity) {
  // Character by character, so that a character that does not fit whole is left out.
  std::u16string buffer;
  const char16_t* prepared = Prepared(text, length, buffer);
  size_t written = 0;
  for (size_t i = 0; i < length;) {
    size_t units = CharacterUnits(prepared, i, length);
    std::string bytes = Convert(prepared + i, units);
    if (written + bytes.size() > capacity) break;
    std::memcpy(out + written, bytes.data(), bytes.size());
    written += bytes.size();
    i += units;
  }
  return written;
}

size_t NarrowCharacterLength(const char* text, size_t available) {
  if (available == 0) return 0;
  size_t longest = CodePage().Utf8 ? 4 : 2;
  // In a double-byte code page a lead byte needs its trail byte.
  size_t shortest = !CodePage().Utf8 && IsDBCSLeadByte(static_cast<BYTE>(text[0])) ? 2 : 1;
  for (size_t count = shortest; count <= longest && count <= available; ++count) {
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, static_cast<int>(count), nullptr, 0) > 0)
      return count;
  }
  return 0;
}

}  // namespace NUV::Platform
#endif
