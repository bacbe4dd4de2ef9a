#pragma once
// tNUVLexicalAnalyzer: turns the text of one script (or one expression) into the
// token stream the parser consumes.
//
// Besides tokenizing it keeps literal values in a table (a token's value is an
// index into it; entry 0 is void), expands embeddable strings @"..." into an
// ordinary token sequence, scans a regular-expression literal only when the parser
// announces one (BeginRegExp), reads the word after "." as a member name even when
// it is reserved (ExpectMemberName), and executes the conditional-compilation
// directives @set / @if / @endif. Errors are raised through the compile host.

#include <cstdint>
#include <deque>
#include <vector>

#include "engine/compiler/compile_host.h"
#include "engine/values/variant.h"

namespace NUV {

// The process-wide table of reserved words (a general script object mapping each
// word to its token code). Engines hold a reference while they live; a lexer holds
// one for its own lifetime as well.
void NUVAddRefReservedWordTable();
void NUVReleaseReservedWordTable();

// The dicfunc switch: array and dictionary literals evaluated as expressions are
// wrapped in a function that is called at once. Off unless switched on.
bool NUVDicFuncQuickHackEnabled();
void NUVSetDicFuncQuickHack(bool enabled);

class tNUVLexicalAnalyzer {
public:
  tNUVLexicalAnalyzer(iNUVCompileHost* host, const char16_t* script, bool isExpression, bool wantsResult);
  ~tNUVLexicalAnalyzer();
  tNUVLexicalAnalyzer(const tNUVLexicalAnalyzer&) = delete;
  tNUVLexicalAnalyzer& operator=(const tNUVLexicalAnalyzer&) = delete;

  // The next token's code (0 at the end of the text); its value index goes to
  // *valueIndex (0 for tokens without a value).
  int32_t NextToken(int32_t* valueIndex);
  // The parser has shifted "/" or "/=" where an operand is expected: the next token
  // is a regular-expression literal.
  void BeginRegExp();
  // The parser has shifted "." of a member access: the next word is a member name.
  void ExpectMemberName();

  const tNUVVariant& ValueAt(int32_t index) const;
  // Offset of the token scanned last, in characters from the start of the text.
  int32_t TokenPosition() const { return TokenStart; }
  // The lexer's copy of the text after line-end normalisation (CR LF -> U+FFFF LF,
  // lone CR -> LF).
  const char16_t* GetText() const { return Text.data(); }

private:
  struct tTokenPair {
    int32_t Token;
    int32_t Value;
  };
  struct tEmbeddableExpressionData {
    uint8_t Phase = 0;
    int32_t DepthAtOpen = 0;
    int32_t ClosingToken = 0;
    char16_t Quote = 0;
    bool NeedsPlus = false;
  };

  int32_t ScanToken(int32_t* valueIndex);
  int32_t PutValue(const tNUVVariant& value);

  iNUVCompileHost* Host;
  bool IsExpression;
  bool WantsResult;
  std::vector<char16_t> Text;
  const char16_t* Cursor = nullptr;
  int32_t TokenStart = 0;
  int32_t LastToken = -1;
  int32_t BracketDepth = 0;
  bool IsFirstCall = true;
  bool RegexPending = false;
  bool MemberNamePending = false;
  bool WrapsLiteral = false;
  int32_t PPIfDepth = 0;
  std::deque<tTokenPair> PendingTokens;
  std::vector<tEmbeddableExpressionData> EmbedStack;
  std::vector<tNUVVariant> LiteralValues;

  // The lexer's implementation may add private helpers below.
  friend class tNUVLexerScanner;
};

}  // namespace NUV
