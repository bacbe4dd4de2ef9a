// The regular-expression engine on Windows, where no ICU is at hand: the regex
// library's header-only expression over code points (char32_t), reading the
// UTF-16 text through its UTF-16 to UTF-32 iterator, so a surrogate pair is one
// character and offsets taken from the iterator's base are UTF-16 offsets. The
// character traits below lend the wide traits' case folding and character classes
// (those of the C++ library's locale) to the Basic Multilingual Plane; characters
// beyond it belong to no class and have no case.
#if defined(_WIN32)
#include "engine/objects/regexp_matcher.h"
#include "engine/objects/regexp_text.h"

#include <exception>
#include <string>

#include <boost/regex.hpp>
#include <boost/regex/pending/unicode_iterator.hpp>

#include "engine/services/errors.h"

namespace NUV {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t must be a UTF-16 unit");

class tCodePointTraits {
public:
  using char_type = char32_t;
  using size_type = std::size_t;
  using string_type = std::u32string;
  using locale_type = boost::regex_traits<wchar_t>::locale_type;
  using char_class_type = boost::regex_traits<wchar_t>::char_class_type;

  static size_type length(const char_type* p) { return std::char_traits<char32_t>::length(p); }

  char_type translate(char_type c) const { return c; }
  char_type translate_nocase(char_type c) const {
    return InPlane(c) ? static_cast<char32_t>(static_cast<char16_t>(Plane.translate_nocase(Unit(c)))) : c;
  }
  // Collation is by code point; the primary key ignores case.
  template <typename tIterator>
  string_type transform(tIterator p1, tIterator p2) const { return string_type(p1, p2); }
  template <typename tIterator>
  string_type transform_primary(tIterator p1, tIterator p2) const {
    string_type key;
    for (; p1 != p2; ++p1) key += translate_nocase(*p1);
    return key;
  }
  char_class_type lookup_classname(const char_type* p1, const char_type* p2) const {
    std::wstring name;
    for (; p1 != p2; ++p1) {
      if (!InPlane(*p1)) return 0;
      name += Unit(*p1);
    }
    return Plane.lookup_classname(name.data(), name.data() + name.size());
  }
  string_type lookup_collatename(const char_type* p1, const char_type* p2) const {
    std::wstring name;
    for (; p1 != p2; ++p1) {
      if (!InPlane(*p1)) return string_type();
      name += Unit(*p1);
    }
    std::wstring found = Plane.lookup_collatename(name.data(), name.data() + name.size());
    string_type result;
    for (wchar_t unit : found) result += static_cast<char32_t>(static_cast<char16_t>(unit));
    return result;
  }
  bool isctype(char_type c, char_class_type mask) const { return InPlane(c) && Plane.isctype(Unit(c), mask); }
  int value(char_type c, int radix) const { return InPlane(c) ? Plane.value(Unit(c), radix) : -1; }
  locale_type imbue(locale_type locale) { return Plane.imbue(locale); }
  locale_type getloc() const { return Plane.getloc(); }

private:
  static bool InPlane(char32_t c) { return c <= 0xFFFF; }
  static wchar_t Unit(char32_t c) { return static_cast<wchar_t>(c); }

  boost::regex_traits<wchar_t> Plane;
};

using tRegex = boost::basic_regex<char32_t, tCodePointTraits>;
using tCodePoints = boost::u16_to_u32_iterator<const char16_t*, char32_t>;
using tMatchResults = boost::match_results<tCodePoints>;
using tIterator = boost::regex_iterator<tCodePoints, char32_t, tCodePointTraits>;

constexpr boost::regex_constants::match_flag_type MatchFlags = boost::regex_constants::match_not_dot_null;

// The library's messages are ASCII; bytes beyond it can only be pieces of the
// pattern that the library cut to 8 bits, so they show as "?".
[[noreturn]] void RaiseLibraryError(const std::exception& error) {
  std::u16string message;
  for (const char* text = error.what(); *text; ++text)
    message += static_cast<unsigned char>(*text) < 0x80 ? static_cast<char16_t>(*text) : u'?';
  NUVThrowError(tNUVString(message));
}

using RegExpText::WellFormed;

tCodePoints At(const char16_t* position, const char16_t* begin, const char16_t* end) {
  return tCodePoints(position, begin, end);
}

void StoreMatch(const tMatchResults& what, const char16_t* base, tNUVRegExpMatch& match) {
  match.Groups.assign(what.size(), tNUVRegExpMatch::tSpan{});
  for (size_t k = 0; k < what.size(); ++k) {
    if (!what[k].matched) continue;
    match.Groups[k].Begin = static_cast<int32_t>(what[k].first.base() - base);
    match.Groups[k].End = static_cast<int32_t>(what[k].second.base() - base);
  }
}

tRegex MakeRegex(const char16_t* pattern, int32_t length, boost::regex_constants::syntax_option_type options) {
  std::u16string buffer;
  const char16_t* wellFormed = WellFormed(pattern, 0, length, buffer);
  const char16_t* end = wellFormed + length;
  std::u32string points(At(wellFormed, wellFormed, end), At(end, wellFormed, end));
  return tRegex(points.data(), points.data() + points.size(), options);
}

}  // namespace

struct tNUVRegExpMatcher::tExpression {
  tRegex Regex;
  bool Compiled = false;

  // Compiled on first use when no pattern was given: the empty pattern.
  const tRegex& Get() {
    if (!Compiled) {
      Regex = MakeRegex(u"(?:)", 4, boost::regex_constants::perl);
      Compiled = true;
    }
    return Regex;
  }
};

tNUVRegExpMatcher::tNUVRegExpMatcher() : Expression(std::make_unique<tExpression>()) {}

tNUVRegExpMatcher::~tNUVRegExpMatcher() = default;

void tNUVRegExpMatcher::Compile(const char16_t* pattern, int32_t length, bool ignoreCase) {
  boost::regex_constants::syntax_option_type options = boost::regex_constants::perl;
  if (ignoreCase) options |= boost::regex_constants::icase;
  try {
    Expression->Regex = MakeRegex(pattern, length, options);
  } catch (const std::exception& error) {
    RaiseLibraryError(error);
  }
  Expression->Compiled = true;
}

bool tNUVRegExpMatcher::Search(const char16_t* text, int32_t length, int32_t from, tNUVRegExpMatch& match) const {
  std::u16string buffer;
  const char16_t* base = WellFormed(text, from, length, buffer);
  const char16_t* begin = base + from;
  const char16_t* end = base + length;
  tMatchResults what;
  bool found = false;
  try {
    found = boost::regex_search(At(begin, begin, end), At(end, begin, end), what, Expression->Get(), MatchFlags);
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
    return boost::regex_search(At(empty, empty, empty), At(empty, empty, empty), what, Expression->Get(), MatchFlags);
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
  const char16_t* begin = state->Base;
  const char16_t* end = begin + length;
  try {
    // The iterator keeps its own copy of the expression.
    state->Iterator = tIterator(At(begin, begin, end), At(end, begin, end), Expression->Get(), MatchFlags);
  } catch (const std::exception& error) {
    RaiseLibraryError(error);
  }
  return tCursor(std::move(state));
}

}  // namespace NUV
#endif
