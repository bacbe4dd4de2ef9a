#pragma once
// The regular-expression engine behind RegExp, kept behind this small interface so
// that another platform can supply its own.
//
// Patterns use Perl syntax; the only option is case-insensitive matching. Text is
// UTF-16: a surrogate pair is one character for matching, but every position and
// length handed back is an offset in UTF-16 units. An unpaired surrogate (in the
// pattern or the text) is matched as U+FFFD, so ill-formed text never fails and
// offsets stay those of the caller's text. Failures (an invalid pattern, a match
// too complex to finish) raise eNUVError with the engine library's own message.
//
// A matcher that was never compiled behaves like the empty pattern.

#include <cstdint>
#include <memory>
#include <vector>

namespace NUV {

// One match: Begin and End of sub-expression k at index k (0: the whole match);
// both -1 for a sub-expression that took no part.
struct tNUVRegExpMatch {
  struct tSpan {
    int32_t Begin = -1;
    int32_t End = -1;
    bool Matched() const { return Begin >= 0; }
    int32_t Length() const { return End - Begin; }
  };
  std::vector<tSpan> Groups;

  int32_t Position() const { return Groups[0].Begin; }
  int32_t Length() const { return Groups[0].Length(); }
};

class tNUVRegExpMatcher {
public:
  tNUVRegExpMatcher();
  ~tNUVRegExpMatcher();
  tNUVRegExpMatcher(const tNUVRegExpMatcher&) = delete;
  tNUVRegExpMatcher& operator=(const tNUVRegExpMatcher&) = delete;

  // Replaces the expression; on an invalid pattern raises and keeps the old one.
  void Compile(const char16_t* pattern, int32_t length, bool ignoreCase);

  // Searches text[from, length) as a text of its own (nothing before from is
  // seen); offsets in match count from text. 0 <= from <= length.
  bool Search(const char16_t* text, int32_t length, int32_t from, tNUVRegExpMatch& match) const;

  // Whether the expression matches the empty text.
  bool MatchesEmpty() const;

  // Visits the matches of the expression in text in order, an empty match never
  // twice at the same place. The text must outlive the cursor; the cursor keeps
  // its own copy of the expression, so compiling meanwhile does not disturb it.
  class tCursor {
  public:
    tCursor(tCursor&&) noexcept;
    ~tCursor();
    // The next match, or false when there is none left.
    bool Next(tNUVRegExpMatch& match);

  private:
    friend class tNUVRegExpMatcher;
    struct tState;
    explicit tCursor(std::unique_ptr<tState> state);
    std::unique_ptr<tState> State;
  };
  tCursor Iterate(const char16_t* text, int32_t length) const;

private:
  struct tExpression;
  std::unique_ptr<tExpression> Expression;
};

}  // namespace NUV
