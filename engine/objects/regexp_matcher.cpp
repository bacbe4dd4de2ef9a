// The regular-expression engine on this platform: the regex library's ICU
// integration, which reads UTF-16 through a UTF-32 view, so offsets taken from its
// match results are UTF-16 offsets. Windows has a matcher of its own:
// regexp_matcher_windows.cpp.

#if !defined(_WIN32)

#include "engine/objects/regexp_matcher.h"

#include <exception>
#include <string>
#include <type_traits>

#include <boost/regex/icu.hpp>

#include "engine/services/errors.h"

namespace NUV {
namespace {

static_assert(std::is_same_v<UChar, char16_t>, "the ICU code unit must be char16_t");

using tMatchResults = boost::match_results<const UChar*>;
using tIterator = boost::u32regex_iterator<const UChar*>;

constexpr boost::regex_constants::match_flag_type MatchFlags = boost::regex_constants::match_not_dot_null;

// The library's messages are ASCII; bytes beyond it can only be pieces of the
// pattern that the library cut to 8 bits, so they show as "?".
[[noreturn]] void RaiseLibraryError(const std::exception& error) {
  std::u16string message;
  for (const char* text = error.what(); *text; ++text)
    message += static_cast<unsigned char>(*text) < 0x80 ? static_cast<char16_t>(*text) : u'?';
  NUVThrowError(tNUVString(message));
}

bool IsHighSurrogate(char16_t unit) { return (unit & 0xFC00) == 0xD800; }
bool IsLowSurrogate(char16_t unit) { return (unit & 0xFC00) == 0xDC00; }

// Units of the character at text[i] within [i, end): 1 or 2, 0 for an unpaired
// surrogate.
int32_t CharacterUnits(const char16_t* text, int32_t i, int32_t end) {
  char16_t unit = text[i];
  if (IsHighSurrogate(unit)) return i + 1 < end && IsLowSurrogate(text[i + 1]) ? 2 : 0;
  return IsLowSurrogate(unit) ? 0 : 1;
}

// The library rejects unpaired surrogates with an exception. Answers text when
// [begin, end) holds none (pairs are judged inside the range only), else a copy
// of text[0, end) in buffer with U+FFFD for each, so offsets stay the same.
const char16_t* WellFormed(const char16_t* text, int32_t begin, int32_t end, std::u16string& buffer) {
  int32_t i = begin;
  while (i < end) {
    int32_t units = CharacterUnits(text, i, end);
    if (units == 0) break;
    i += units;
  }
  if (i >= end) return text;
  buffer.assign(text, text + end);
  while (i < end) {
    int32_t units = CharacterUnits(buffer.data(), i, end);
    if (units == 0) {
      buffer[i] = u'\xFFFD';
      units = 1;
    }
    i += units;
  }
  return buffer.data();
}

void StoreMatch(const tMatchResults& what, const char16_t* base, tNUVRegExpMatch& match) {
  match.Groups.assign(what.size(), tNUVRegExpMatch::tSpan{});
  for (size_t k = 0; k < what.size(); ++k) {
    if (!what[k].matched) continue;
    match.Groups[k].Begin = static_cast<int32_t>(what[k].first - base);
    match.Groups[k].End = static_cast<int32_t>(what[k].second - base);
  }
}

}  // namespace

struct tNUVRegExpMatcher::tExpression {
  boost::u32regex Regex;
  bool Compiled = false;

  // Compiled on first use when no pattern was given: the empty pattern.
  const boost::u32regex& Get() {
    if (!Compiled) {
      static const char16_t empty[] = u"(?:)";
      Regex = boost::make_u32regex(empty, empty + 4, boost::regex_constants::perl);
      Compiled = true;
    }
    return Regex;
  }
};

tNUVRegExpMatcher::tNUVRegExpMatcher() : Expression(std::make_unique<tExpression>()) {}

tNUVRegExpMatcher::~tNUVRegExpMatcher() = default;

void tNUVRegExpMatcher::Compile(const char16_t* pattern, int32_t length, bool ignoreCase) {
  std::u16string buffer;
  const char16_t* wellFormed = WellFormed(pattern, 0, length, buffer);
  boost::regex_constants::syntax_option_type options = boost::regex_constants::perl;
  if (ignoreCase) options |= boost::regex_constants::icase;
  try {
    Expression->Regex = boost::make_u32regex(wellFormed, wellFormed + length, options);
  } catch (const std::exception& error) {
    RaiseLibraryError(error);
  }
  Expression->Compiled = true;
}

bool tNUVRegExpMatcher::Search(const char16_t* text, int32_t length, int32_t from, tNUVRegExpMatch& match) const {
  std::u16string buffer;
  const char16_t* base = WellFormed(text, from, length, buffer);
  tMatchResults what;
  bool found = false;
  try {
    found = boost::u32regex_search(base + from, base + length, what, Expression->Get(), MatchFlags);
  } catch (const std::exception& error) {
    RaiseLibraryError(error);
  }
  if (found) StoreMatch(what, base, match);
  return found;
}

bool tNUVRegExpMatcher::MatchesEmpty() const {
  static const char16_t empty[] = u"";
  tMatchResults what;
  try {
    return boost::u32regex_search(empty, empty, what, Expression->Get(), MatchFlags);
  } catch (const std::exception& error) {
    RaiseLibraryError(error);
  }
}

// The cursor ---------------------------------------------------------------------------------

struct tNUVRegExpMatcher::tCursor::tState {
  std::u16string Buffer;          // the well-formed copy, when one was needed
  const char16_t* Base = nullptr;
  tIterator Iterator;             // the end iterator once no match is left
  bool Started = false;
};

tNUVRegExpMatcher::tCursor::tCursor(std::unique_ptr<tState> state) : State(std::move(state)) {}
tNUVRegExpMatcher::tCursor::tCursor(tCursor&&) noexcept = default;
tNUVRegExpMatcher::tCursor::~tCursor() = default;

bool tNUVRegExpMatcher::tCursor::Next(tNUVRegExpMatch& match) {
  const tIterator end;
  if (State->Iterator == end) return false;
  try {
    if (State->Started) ++State->Iterator;
    State->Started = true;
  } catch (const std::exception& error) {
    State->Iterator = end;
    RaiseLibraryError(error);
  }
  if (State->Iterator == end) return false;
  StoreMatch(*State->Iterator, State->Base, match);
  return true;
}

tNUVRegExpMatcher::tCursor tNUVRegExpMatcher::Iterate(const char16_t* text, int32_t length) const {
  auto state = std::make_unique<tCursor::tState>();
  state->Base = WellFormed(text, 0, length, state->Buffer);
  try {
    state->Iterator = tIterator(state->Base, state->Base + length, Expression->Get(), MatchFlags);
  } catch (const std::exception& error) {
    RaiseLibraryError(error);
  }
  return tCursor(std::move(state));
}

}  // namespace NUV
#endif
