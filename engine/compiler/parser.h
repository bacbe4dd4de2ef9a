#pragma once
// The parser of the script language.
//
// An LALR(1) parser generated from grammar.y. It pulls tokens from a token source
// and drives the code generator directly through the compile host: statements are
// compiled the moment they are reduced, expressions are built as node trees in the
// host's current context and handed over when their statement is reduced.
//
// Syntax errors are reported through iNUVCompileHost::ReportError at the token
// source's position; after an error the parser skips to the next ";" and goes on.
// Lexical errors, and errors the host raises from its actions, are exceptions: they
// end the parse at once and pass to the caller (the parser's own memory is freed).

#include <cstdint>

#include "engine/compiler/compile_host.h"
#include "engine/values/variant.h"

namespace NUV {

class tNUVLexicalAnalyzer;

// What the parser needs of a lexer. The parser calls BeginRegExp right after it
// has taken "/" or "/=" where an operand is expected, and ExpectMemberName right
// after "." of a member access, each before it asks for the next token.
class iNUVTokenSource {
public:
  // The next token's code (0 at the end); its value index goes to *valueIndex.
  virtual int32_t NextToken(int32_t* valueIndex) = 0;
  virtual void BeginRegExp() = 0;
  virtual void ExpectMemberName() = 0;
  virtual const tNUVVariant& ValueAt(int32_t index) const = 0;
  // Position of the token scanned last.
  virtual int32_t TokenPosition() const = 0;

protected:
  ~iNUVTokenSource() = default;
};

// Results of a parse.
enum tNUVParseResult : int32_t {
  NUVParseDone = 0,
  NUVParseAbandoned = 1,        // too many errors, or an error at the end of the text
  NUVParseStackOverflow = 2,    // nesting deeper than the parser stack allows
};

// The most parser stack entries a parse may use, and the initial room.
constexpr int32_t NUVParserInitialStack = 200;
constexpr int32_t NUVParserMaximumStack = 10000;
// A recovery after more errors than this abandons the parse.
constexpr int32_t NUVParserErrorLimit = 20;

// Parses the whole token stream of source (a script: the "program" symbol).
int32_t NUVParseTokens(iNUVCompileHost* host, iNUVTokenSource* source);
// The same over a lexer.
int32_t NUVParse(iNUVCompileHost* host, tNUVLexicalAnalyzer* lexer);

}  // namespace NUV
