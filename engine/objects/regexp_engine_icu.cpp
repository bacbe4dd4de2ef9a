// The regular-expression engine on Linux: the regex library's ICU integration,
// which reads UTF-16 through a UTF-32 view, so offsets taken from its match
// results are UTF-16 offsets. Built into the module libmervanik_regexp.so (see
// regexp_engine.h); it uses nothing of the engine but the match record. Windows
// has a matcher of its own: regexp_matcher_windows.cpp.

#if !defined(_WIN32)

#include "engine/objects/regexp_engine.h"
#include "engine/objects/regexp_text.h"

#include <exception>
#include <memory>
#include <string>
#include <type_traits>

#include <boost/regex/icu.hpp>

namespace NUV {
namespace {

static_assert(std::is_same_v<UChar, char16_t>, "the ICU code unit must be char16_t");

using tMatchResults = boost::match_results<const UChar*>;
using tIterator = boost::u32regex_iterator<const UChar*>;

constexpr boost::regex_constants::match_flag_type MatchFlags = boost::regex_constants::match_not_dot_null;

using RegExpText::WellFormed;

void StoreMatch(const tMatchResults& what, const char16_t* base, int32_t groups, int32_t* spans) {
  for (int32_t k = 0; k < groups; ++k) {
    const bool matched = static_cast<size_t>(k) < what.size() && what[k].matched;
    spans[2 * k] = matched ? static_cast<int32_t>(what[k].first - base) : -1;
    spans[2 * k + 1] = matched ? static_cast<int32_t>(what[k].second - base) : -1;
  }
}

struct tExpression final : iNUVRegExpEngine::iExpression {
  boost::u32regex Regex;
  int32_t Groups = 1;
};

struct tCursor final : iNUVRegExpEngine::iCursor {
  std::u16string Buffer;          // the well-formed copy, when one was needed
  const char16_t* Base = nullptr;
  tIterator Iterator;             // holds its own copy of the expression; the end once no match is left
  int32_t Groups = 1;
  bool Started = false;
};

class tIcuRegExpEngine final : public iNUVRegExpEngine {
public:
  iExpression* Compile(const char16_t* pattern, int32_t length, bool ignoreCase) override {
    auto expression = std::make_unique<tExpression>();
    std::u16string buffer;
    const char16_t* wellFormed = WellFormed(pattern, 0, length, buffer);
    boost::regex_constants::syntax_option_type options = boost::regex_constants::perl;
    if (ignoreCase) options |= boost::regex_constants::icase;
    int32_t answer = Guarded([&] {
      expression->Regex = boost::make_u32regex(wellFormed, wellFormed + length, options);
      expression->Groups = static_cast<int32_t>(expression->Regex.mark_count()) + 1;
      return true;
    });
    return answer < 0 ? nullptr : expression.release();
  }

  int32_t GroupCount(const iExpression& expression) override { return Expression(expression).Groups; }

  int32_t Search(const iExpression& expression, const char16_t* text, int32_t length, int32_t from,
                 int32_t* spans) override {
    std::u16string buffer;
    const char16_t* base = WellFormed(text, from, length, buffer);
    tMatchResults what;
    int32_t answer = Guarded([&] {
      return boost::u32regex_search(base + from, base + length, what, Expression(expression).Regex, MatchFlags);
    });
    if (answer > 0) StoreMatch(what, base, Expression(expression).Groups, spans);
    return answer;
  }

  int32_t MatchesEmpty(const iExpression& expression) override {
    static const char16_t empty[] = u"";
    tMatchResults what;
    return Guarded([&] { return boost::u32regex_search(empty, empty, what, Expression(expression).Regex, MatchFlags); });
  }

  iCursor* Iterate(const iExpression& expression, const char16_t* text, int32_t length) override {
    auto cursor = std::make_unique<tCursor>();
    cursor->Base = WellFormed(text, 0, length, cursor->Buffer);
    cursor->Groups = Expression(expression).Groups;
    int32_t answer = Guarded([&] {
      cursor->Iterator = tIterator(cursor->Base, cursor->Base + length, Expression(expression).Regex, MatchFlags);
      return true;
    });
    return answer < 0 ? nullptr : cursor.release();
  }

  int32_t Next(iCursor& cursorBase, int32_t* spans) override {
    auto& cursor = static_cast<tCursor&>(cursorBase);
    const tIterator end;
    if (cursor.Iterator == end) return 0;
    int32_t answer = Guarded([&] {
      if (cursor.Started) ++cursor.Iterator;
      cursor.Started = true;
      return true;
    });
    if (answer < 0) {
      cursor.Iterator = end;
      return -1;
    }
    if (cursor.Iterator == end) return 0;
    StoreMatch(*cursor.Iterator, cursor.Base, cursor.Groups, spans);
    return 1;
  }

  const char* LastError() override { return Error.c_str(); }

private:
  std::string Error;

  static const tExpression& Expression(const iExpression& expression) {
    return static_cast<const tExpression&>(expression);
  }

  // Runs step, turning what the library raises into the -1 answer, its message kept.
  template <typename tStep>
  int32_t Guarded(tStep step) {
    try {
      return step() ? 1 : 0;
    } catch (const std::exception& failure) {
      Error = failure.what();
      return -1;
    }
  }
};

}  // namespace
}  // namespace NUV

extern "C" [[gnu::visibility("default")]] NUV::iNUVRegExpEngine* MervanikRegExpEngine() {
  static NUV::tIcuRegExpEngine engine;
  return &engine;
}

#endif
