#pragma once
// Narrow/wide text conversion for the engine.
//
// Wide text is UTF-16 in char16_t units. Narrow text (files, console, command line,
// narrow strings handed in by hosts) is UTF-8 unless the environment variable
// NUV_CODEPAGE, read once on first use, names another encoding known to iconv
// (for example CP932). UTF-8 has a fast path of its own that never touches iconv;
// an unknown NUV_CODEPAGE falls back to UTF-8.
//
// Narrow to wide fails on any byte sequence that is invalid in the code page (for
// UTF-8: overlong forms, encoded surrogates, truncated sequences, bytes F8-FF, code
// points above U+10FFFF). Wide to narrow writes "?" for what the code page cannot
// hold (for UTF-8: an unpaired surrogate). Bounded conversions write whole
// characters only.
//
// Windows: narrow text is the process's active code page (GetACP; nuv.exe asks
// for UTF-8 in its manifest), converted by MultiByteToWideChar and
// WideCharToMultiByte; NUV_CODEPAGE is not read. Invalid bytes fail there too,
// and what the code page cannot hold becomes "?".

#include <cstddef>
#include <string>

namespace NUV::Platform {

// The encoding name in force ("UTF-8" for the fast path).
const char* ActiveCodePageName();
bool ActiveCodePageIsUtf8();

// Converts length bytes of narrow text; returns false (out unspecified) when the
// text holds a sequence that is invalid in the active code page.
bool NarrowToWide(const char* text, size_t length, std::u16string& out);

// Converts length units of wide text; never fails.
std::string WideToNarrow(const char16_t* text, size_t length);

// Number of narrow bytes WideToNarrow would produce.
size_t WideToNarrowLength(const char16_t* text, size_t length);

// Converts as many whole characters as fit into capacity bytes; returns the number
// of bytes written (no terminator is written).
size_t WideToNarrowBounded(const char16_t* text, size_t length, char* out, size_t capacity);

// Length in bytes of the narrow character that starts at text (1..4), 0 when the
// bytes there do not start a valid character; used where the original platform
// asked whether a byte leads a double-byte character.
size_t NarrowCharacterLength(const char* text, size_t available);

}  // namespace NUV::Platform
