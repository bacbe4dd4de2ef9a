// tNUVRegExpMatcher on Linux: the regex library's side is the module of
// regexp_engine.h, loaded when the first matcher needs it. Programs that link
// that code themselves (the engine's tests) use it directly.

#if !defined(_WIN32)

#include "engine/objects/regexp_matcher.h"

#include <string>
#include <vector>

#include "engine/objects/regexp_engine.h"
#include "engine/platform/modules.h"
#include "engine/services/errors.h"

// Defined when the engine code is linked into a program together with the
// regex library's side; null in the engine's shared library.
extern "C" [[gnu::weak, gnu::visibility("hidden")]] NUV::iNUVRegExpEngine* MervanikRegExpEngine();

namespace NUV {
namespace {

// The library's messages are ASCII; bytes beyond it can only be pieces of the
// pattern that the library cut to 8 bits, so they show as "?".
[[noreturn]] void RaiseLibraryError(const std::string& text) {
  std::u16string message;
  for (char unit : text) message += static_cast<unsigned char>(unit) < 0x80 ? static_cast<char16_t>(unit) : u'?';
  NUVThrowError(tNUVString(message));
}

iNUVRegExpEngine* LoadEngine() {
  if (MervanikRegExpEngine) return MervanikRegExpEngine();
  std::string error;
  void* entry = Platform::LoadSiblingModuleSymbol("libmervanik_regexp.so", "MervanikRegExpEngine", error);
  if (!entry) RaiseLibraryError("regular expressions are not available: " + error);
  return reinterpret_cast<iNUVRegExpEngine* (*)()>(entry)();
}

// Loaded once; a failed load is tried again by the next expression.
iNUVRegExpEngine& Engine() {
  static iNUVRegExpEngine* engine = nullptr;
  if (!engine) engine = LoadEngine();
  return *engine;
}

[[noreturn]] void RaiseEngineError() { RaiseLibraryError(Engine().LastError()); }

// Runs a matcher operation of the module (1, 0 or -1) into match.
template <typename tOperation>
bool Matched(int32_t groups, tNUVRegExpMatch& match, tOperation operation) {
  std::vector<int32_t> spans(2 * static_cast<size_t>(groups), -1);
  int32_t answer = operation(spans.data());
  if (answer < 0) RaiseEngineError();
  if (answer == 0) return false;
  match.Groups.assign(static_cast<size_t>(groups), tNUVRegExpMatch::tSpan{});
  for (int32_t k = 0; k < groups; ++k) match.Groups[k] = {spans[2 * k], spans[2 * k + 1]};
  return true;
}

struct tDeleter {
  void operator()(iNUVRegExpEngine::iExpression* expression) const { delete expression; }
  void operator()(iNUVRegExpEngine::iCursor* cursor) const { delete cursor; }
};

}  // namespace

struct tNUVRegExpMatcher::tExpression {
  std::unique_ptr<iNUVRegExpEngine::iExpression, tDeleter> Compiled;

  // Compiled on first use when no pattern was given: the empty pattern.
  const iNUVRegExpEngine::iExpression& Get() {
    if (!Compiled) {
      static const char16_t empty[] = u"(?:)";
      Compiled.reset(Engine().Compile(empty, 4, false));
      if (!Compiled) RaiseEngineError();
    }
    return *Compiled;
  }
};

tNUVRegExpMatcher::tNUVRegExpMatcher() : Expression(std::make_unique<tExpression>()) {}

tNUVRegExpMatcher::~tNUVRegExpMatcher() = default;

void tNUVRegExpMatcher::Compile(const char16_t* pattern, int32_t length, bool ignoreCase) {
  std::unique_ptr<iNUVRegExpEngine::iExpression, tDeleter> compiled(Engine().Compile(pattern, length, ignoreCase));
  if (!compiled) RaiseEngineError();
  Expression->Compiled = std::move(compiled);
}

bool tNUVRegExpMatcher::Search(const char16_t* text, int32_t length, int32_t from, tNUVRegExpMatch& match) const {
  const iNUVRegExpEngine::iExpression& expression = Expression->Get();
  return Matched(Engine().GroupCount(expression), match,
                 [&](int32_t* spans) { return Engine().Search(expression, text, length, from, spans); });
}

bool tNUVRegExpMatcher::MatchesEmpty() const {
  int32_t answer = Engine().MatchesEmpty(Expression->Get());
  if (answer < 0) RaiseEngineError();
  return answer > 0;
}

// The cursor ---------------------------------------------------------------------------------

struct tNUVRegExpMatcher::tCursor::tState {
  std::unique_ptr<iNUVRegExpEngine::iCursor, tDeleter> Cursor;
  int32_t Groups = 1;
};

tNUVRegExpMatcher::tCursor::tCursor(std::unique_ptr<tState> state) : State(std::move(state)) {}
tNUVRegExpMatcher::tCursor::tCursor(tCursor&&) noexcept = default;
tNUVRegExpMatcher::tCursor::~tCursor() = default;

bool tNUVRegExpMatcher::tCursor::Next(tNUVRegExpMatch& match) {
  return Matched(State->Groups, match, [&](int32_t* spans) { return Engine().Next(*State->Cursor, spans); });
}

tNUVRegExpMatcher::tCursor tNUVRegExpMatcher::Iterate(const char16_t* text, int32_t length) const {
  auto state = std::make_unique<tCursor::tState>();
  const iNUVRegExpEngine::iExpression& expression = Expression->Get();
  state->Groups = Engine().GroupCount(expression);
  state->Cursor.reset(Engine().Iterate(expression, text, length));
  if (!state->Cursor) RaiseEngineError();
  return tCursor(std::move(state));
}

}  // namespace NUV
#endif
