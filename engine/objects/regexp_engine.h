#pragma once
// The regular-expression library's side of tNUVRegExpMatcher on Linux.
//
// Boost.Regex with its ICU integration lives in a module of its own,
// libmervanik_regexp.so beside the engine's library, loaded when the first
// expression is compiled: programs that never use RegExp do not load the regex
// and Unicode libraries at start-up. The module exports one function,
// MervanikRegExpEngine, answering this interface.
//
// The module and the engine may run on different copies of the C++ runtime, so
// nothing allocated on one side is freed on the other: expressions and cursors
// are made and deleted by the module, match positions go into the caller's
// array, and a failure's message (the library's own, ASCII) stays with the
// module until the next operation.

#include <cstdint>

namespace NUV {

class iNUVRegExpEngine {
public:
  class iExpression {
  public:
    virtual ~iExpression() = default;
  };
  class iCursor {
  public:
    virtual ~iCursor() = default;
  };

  // A new expression, or null for an invalid pattern (see LastError).
  virtual iExpression* Compile(const char16_t* pattern, int32_t length, bool ignoreCase) = 0;
  // The sub-expressions of a match, the whole match (0) included.
  virtual int32_t GroupCount(const iExpression& expression) = 0;
  // The matcher's operations answer 1 (true), 0 (false) or -1 (failed, see
  // LastError). A match fills spans with GroupCount pairs of UTF-16 offsets
  // (begin, end), -1 for a sub-expression that took no part.
  virtual int32_t Search(const iExpression& expression, const char16_t* text, int32_t length, int32_t from,
                         int32_t* spans) = 0;
  virtual int32_t MatchesEmpty(const iExpression& expression) = 0;
  // A new cursor over text (which must outlive it), holding its own copy of the
  // expression; null when it failed (see LastError).
  virtual iCursor* Iterate(const iExpression& expression, const char16_t* text, int32_t length) = 0;
  virtual int32_t Next(iCursor& cursor, int32_t* spans) = 0;
  // The message of the last failure.
  virtual const char* LastError() = 0;

protected:
  ~iNUVRegExpEngine() = default;
};

}  // namespace NUV

// The module's entry point (the engine finds it by name).
extern "C" NUV::iNUVRegExpEngine* MervanikRegExpEngine();
