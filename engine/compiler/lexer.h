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
#include <string>
#include <vector>

#include "engine/compiler/compile_host.h"
#include "engine/compiler/reserved_words.h"
#include "engine/values/variant.h"

namespace NUV {

// The process-wide table of reserved words (a general script object mapping each
// word to its token code; reserved_words.h). Engines hold a reference while they
// live; a lexer holds one for its own lifetime as well.

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
  // Offset where the scan in progress started (a preprocessor directive's "@").
  int32_t ScanPosition() const { return ScanStart; }
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
    int32_t StartOffset = 0;   // of the "@", for errors
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

  // What the comment reader found at a "/".
  enum class tCommentResult { NotComment, Skipped, SkippedToEnd };
  // What ended a piece of string text.
  enum class tPieceEnd { Quote, Ampersand, DollarBrace };
  // What a preprocessor directive reported.
  enum class tDirectiveResult { GoesOn, TextEnded, NotDirective };

  // lexer.cpp: the token loop, operators, words and embeddable strings.
  int32_t ScanNext(int32_t* valueIndex);
  int32_t ScanWord(int32_t* valueIndex);
  void AdvanceEmbeddable();
  void QueueToken(int32_t token, int32_t value = 0);
  void WrapLiteralToken(int32_t& token);
  void NormaliseLineEnds();
  bool Match(const char16_t* spelling);
  void Advance();
  void SkipSpace();
  int32_t Offset(const char16_t* position) const { return static_cast<int32_t>(position - Text.data()); }
  int32_t CursorOffset() const { return Offset(Cursor); }
  [[noreturn]] void Raise(const char16_t* message, int32_t position, const tNUVString* parameter = nullptr);

  // lexer_literals.cpp: comments and literals.
  tCommentResult SkipComment();
  int32_t ScanStringLiteral(int32_t* valueIndex);
  // Reads string text after an opening quote up to the closing quote (or, when
  // embeddable, up to "&" or "${"), joining adjacent literals at the quote.
  tPieceEnd ScanStringPiece(char16_t quote, bool embeddable, int32_t errorOffset, std::u16string& piece);
  int32_t ScanNumberLiteral(int32_t* valueIndex);
  int32_t ScanOctetLiteral(int32_t* valueIndex);
  int32_t ScanRegExpLiteral(int32_t* valueIndex);

  // preprocessor.cpp: the directives.
  tDirectiveResult ExecuteDirective();
  void SkipFalseBlock();
  // Reads "(" ... ")" at the cursor (after space), nested parentheses counted;
  // returns the text inside with invisible units removed.
  std::u16string ReadDirectiveParentheses();
  // At an "@": which directive word follows (0 none, 1 set, 2 if, 3 endif); on a
  // match the cursor moves behind the word.
  int32_t MatchDirectiveWord();

  // Start of the token being scanned; a comment or directive before the token
  // moves it to where the token really begins.
  int32_t ScanStart = 0;
};

}  // namespace NUV
