#include "engine/compiler/parser.h"

#include "engine/compiler/lexer.h"

namespace NUV {

namespace {

// The lexer seen through the parser's token-source interface.
class tNUVLexerTokenSource final : public iNUVTokenSource {
public:
  explicit tNUVLexerTokenSource(tNUVLexicalAnalyzer* lexer) : Lexer(lexer) {}
  int32_t NextToken(int32_t* valueIndex) override { return Lexer->NextToken(valueIndex); }
  void BeginRegExp() override { Lexer->BeginRegExp(); }
  void ExpectMemberName() override { Lexer->ExpectMemberName(); }
  const tNUVVariant& ValueAt(int32_t index) const override { return Lexer->ValueAt(index); }
  int32_t TokenPosition() const override { return Lexer->TokenPosition(); }

private:
  tNUVLexicalAnalyzer* Lexer;
};

}  // namespace

int32_t NUVParse(iNUVCompileHost* host, tNUVLexicalAnalyzer* lexer) {
  tNUVLexerTokenSource source(lexer);
  return NUVParseTokens(host, &source);
}

}  // namespace NUV
