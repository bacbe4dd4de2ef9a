// The token loop of tNUVLexicalAnalyzer: operators, words, the expansion of
// embeddable strings and the dicfunc wrapping. Literals and comments are read in
// lexer_literals.cpp, directives in preprocessor.cpp.

#include "engine/compiler/lexer.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "engine/compiler/character_class.h"
#include "engine/compiler/tokens.h"
#include "engine/services/errors.h"
#include "engine/services/messages.h"

namespace NUV {
namespace {

// The dicfunc switch is read from this text when the library starts: a fourth
// unit other than '0' turns it on.
constexpr char16_t kDicFuncSwitchText[] = u" - 0 <- Put '1' to enable dicfunc quick-hack -";
bool DicFuncQuickHack = kDicFuncSwitchText[3] != u'0';

}  // namespace

bool NUVDicFuncQuickHackEnabled() { return DicFuncQuickHack; }
void NUVSetDicFuncQuickHack(bool enabled) { DicFuncQuickHack = enabled; }

tNUVLexicalAnalyzer::tNUVLexicalAnalyzer(iNUVCompileHost* host, const char16_t* script, bool isExpression,
                                         bool wantsResult)
    : Host(host), IsExpression(isExpression), WantsResult(wantsResult) {
  NUVAddRefReservedWordTable();
  try {
    NUVFillReservedWordTable();
    const int32_t length = script ? WideLength(script) : 0;
    // Room for the appended ";" and the terminating 0.
    Text.assign(static_cast<size_t>(length) + 2, 0);
    if (length) std::copy(script, script + length, Text.begin());
    if (isExpression) {
      Text[length] = u';';
    } else if (length >= 2 && Text[0] == u'#' && Text[1] == u'!') {
      // "#!command" on the first line reads as a comment.
      Text[0] = Text[1] = u'/';
    }
    Cursor = Text.data();
    LiteralValues.emplace_back();
    if (isExpression && NUVDicFuncQuickHackEnabled() &&
        (Text[0] == u'[' || (Text[0] == u'%' && Text[1] == u'['))) {
      WrapsLiteral = true;
    }
  } catch (...) {
    NUVReleaseReservedWordTable();
    throw;
  }
}

tNUVLexicalAnalyzer::~tNUVLexicalAnalyzer() { NUVReleaseReservedWordTable(); }

void tNUVLexicalAnalyzer::BeginRegExp() { RegexPending = true; }

void tNUVLexicalAnalyzer::ExpectMemberName() { MemberNamePending = true; }

const tNUVVariant& tNUVLexicalAnalyzer::ValueAt(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= LiteralValues.size()) return LiteralValues[0];
  return LiteralValues[index];
}

int32_t tNUVLexicalAnalyzer::PutValue(const tNUVVariant& value) {
  LiteralValues.push_back(value);
  return static_cast<int32_t>(LiteralValues.size() - 1);
}

void tNUVLexicalAnalyzer::QueueToken(int32_t token, int32_t value) { PendingTokens.push_back({token, value}); }

void tNUVLexicalAnalyzer::Advance() { Cursor = NUVNextUnit(Cursor); }

void tNUVLexicalAnalyzer::SkipSpace() { Cursor = NUVSkipSpace(Cursor); }

bool tNUVLexicalAnalyzer::Match(const char16_t* spelling) {
  const char16_t* position = Cursor;
  for (; *spelling; ++spelling) {
    if (*position != *spelling) return false;
    position = NUVNextUnit(position);
  }
  Cursor = position;
  return true;
}

void tNUVLexicalAnalyzer::Raise(const char16_t* message, int32_t position, const tNUVString* parameter) {
  const tNUVString text = NUVFillMessage(message, parameter);
  Host->RaiseCompileError(text, position);
  // A host must not return from RaiseCompileError; should one do so, scanning still stops.
  NUVThrowError(text);
}

void tNUVLexicalAnalyzer::NormaliseLineEnds() {
  for (size_t i = 0; Text[i]; ++i) {
    if (Text[i] == u'\r') Text[i] = Text[i + 1] == u'\n' ? NUVInvisibleUnit : u'\n';
  }
}

int32_t tNUVLexicalAnalyzer::NextToken(int32_t* valueIndex) {
  int32_t ignored = 0;
  if (!valueIndex) valueIndex = &ignored;
  *valueIndex = 0;
  if (IsFirstCall) {
    IsFirstCall = false;
    NormaliseLineEnds();
    Cursor = Text.data();
    TokenStart = 0;
    if (IsExpression && WantsResult) {
      LastToken = T_RETURN;
      return T_RETURN;
    }
  }
  for (;;) {
    if (!PendingTokens.empty()) {
      const tTokenPair pair = PendingTokens.front();
      PendingTokens.pop_front();
      *valueIndex = pair.Value;
      LastToken = pair.Token;
      return pair.Token;
    }
    if (!EmbedStack.empty()) {
      AdvanceEmbeddable();
      continue;
    }
    int32_t value = 0;
    int32_t token = ScanNext(&value);
    if (WrapsLiteral) WrapLiteralToken(token);
    if (token == 0 && PPIfDepth != 0) Raise(NUVPPError, CursorOffset());
    if (token == -1) continue;
    LastToken = token;
    *valueIndex = value;
    return token;
  }
}

int32_t tNUVLexicalAnalyzer::ScanNext(int32_t* valueIndex) {
  SkipSpace();
  ScanStart = CursorOffset();
  // TokenStart keeps the previous token's start during the scan: a regular
  // expression is read from just behind the "/" the parser took.
  const int32_t token = ScanToken(valueIndex);
  TokenStart = ScanStart;
  return token;
}

int32_t tNUVLexicalAnalyzer::ScanToken(int32_t* valueIndex) {
  for (;;) {
    *valueIndex = 0;
    if (*Cursor == 0) return 0;
    if (RegexPending) {
      RegexPending = false;
      Cursor = NUVSkipInvisible(Text.data() + TokenStart + 1);
      ScanStart = CursorOffset();
      return ScanRegExpLiteral(valueIndex);
    }

    switch (*Cursor) {
      case u'!':
        if (Match(u"!==")) return T_DISCNOTEQUAL;
        if (Match(u"!=")) return T_NOTEQUAL;
        Advance();
        return T_EXCLAMATION;
      case u'%':
        if (Match(u"%=")) return T_PERCENTEQUAL;
        Advance();
        return T_PERCENT;
      case u'&':
        if (Match(u"&&=")) return T_LOGICALANDEQUAL;
        if (Match(u"&&")) return T_LOGICALAND;
        if (Match(u"&=")) return T_AMPERSANDEQUAL;
        Advance();
        return T_AMPERSAND;
      case u'*':
        if (Match(u"*=")) return T_ASTERISKEQUAL;
        Advance();
        return T_ASTERISK;
      case u'+':
        if (Match(u"++")) return T_INCREMENT;
        if (Match(u"+=")) return T_PLUSEQUAL;
        Advance();
        return T_PLUS;
      case u'-':
        if (Match(u"-=")) return T_MINUSEQUAL;
        if (Match(u"--")) return T_DECREMENT;
        Advance();
        return T_MINUS;
      case u'^':
        if (Match(u"^=")) return T_CHEVRONEQUAL;
        Advance();
        return T_CHEVRON;
      case u'\\':
        if (Match(u"\\=")) return T_BACKSLASHEQUAL;
        Advance();
        return T_BACKSLASH;
      case u'|':
        if (Match(u"||=")) return T_LOGICALOREQUAL;
        if (Match(u"||")) return T_LOGICALOR;
        if (Match(u"|=")) return T_VERTLINEEQUAL;
        Advance();
        return T_VERTLINE;
      case u'<':
        if (Match(u"<<=")) return T_LARITHSHIFTEQUAL;
        if (Match(u"<->")) return T_SWAP;
        if (Match(u"<=")) return T_LTOREQUAL;
        if (Match(u"<<")) return T_LARITHSHIFT;
        if (*NUVNextUnit(Cursor) == u'%') return ScanOctetLiteral(valueIndex);
        Advance();
        return T_LT;
      case u'=':
        if (Match(u"===")) return T_DISCEQUAL;
        if (Match(u"==")) return T_EQUALEQUAL;
        if (Match(u"=>")) return T_COMMA;
        Advance();
        return T_EQUAL;
      case u'>':
        if (Match(u">>>=")) return T_RBITSHIFTEQUAL;
        if (Match(u">>>")) return T_RBITSHIFT;
        if (Match(u">>=")) return T_RARITHSHIFTEQUAL;
        if (Match(u">>")) return T_RARITHSHIFT;
        if (Match(u">=")) return T_GTOREQUAL;
        Advance();
        return T_GT;
      case u'.':
        if (NUVIsDigit(*NUVNextUnit(Cursor))) return ScanNumberLiteral(valueIndex);
        if (Match(u"...")) return T_OMIT;
        Advance();
        return T_DOT;
      case u'/':
        switch (SkipComment()) {
          case tCommentResult::Skipped:
            ScanStart = CursorOffset();
            continue;
          case tCommentResult::SkippedToEnd:
            ScanStart = CursorOffset();
            return 0;
          case tCommentResult::NotComment:
            break;
        }
        if (Match(u"/=")) return T_SLASHEQUAL;
        Advance();
        return T_SLASH;
      case u'(':
        ++BracketDepth;
        Advance();
        return T_LPARENTHESIS;
      case u'[':
        ++BracketDepth;
        Advance();
        return T_LBRACKET;
      case u'{':
        ++BracketDepth;
        Advance();
        return T_LBRACE;
      case u')':
        --BracketDepth;
        Advance();
        return T_RPARENTHESIS;
      case u']':
        --BracketDepth;
        Advance();
        return T_RBRACKET;
      case u'}':
        --BracketDepth;
        Advance();
        return T_RBRACE;
      case u',': Advance(); return T_COMMA;
      case u':': Advance(); return T_COLON;
      case u';': Advance(); return T_SEMICOLON;
      case u'?': Advance(); return T_QUESTION;
      case u'~': Advance(); return T_TILDE;
      case u'#': Advance(); return T_SHARP;
      case u'$': Advance(); return T_DOLLAR;
      case u'\'':
      case u'"':
        return ScanStringLiteral(valueIndex);
      case u'@': {
        const char16_t* at = Cursor;
        Advance();
        SkipSpace();
        if (*Cursor == 0) return 0;
        if (*Cursor == u'\'' || *Cursor == u'"') {
          tEmbeddableExpressionData entry;
          entry.DepthAtOpen = BracketDepth;
          entry.Quote = *Cursor;
          entry.StartOffset = Offset(at);
          EmbedStack.push_back(entry);
          Advance();
          if (*Cursor == 0) return 0;
          return -1;
        }
        Cursor = at;
        switch (ExecuteDirective()) {
          case tDirectiveResult::GoesOn:
            ScanStart = CursorOffset();
            continue;
          case tDirectiveResult::TextEnded:
            ScanStart = CursorOffset();
            return 0;
          case tDirectiveResult::NotDirective:
            break;
        }
        return ScanWord(valueIndex);
      }
      default:
        if (NUVIsDigit(*Cursor)) return ScanNumberLiteral(valueIndex);
        return ScanWord(valueIndex);
    }
  }
}

int32_t tNUVLexicalAnalyzer::ScanWord(int32_t* valueIndex) {
  const char16_t first = *Cursor;
  if (!NUVIsLetter(first) && first != u'_') {
    const tNUVString character = tNUVString(&first, 1).Escape();
    Raise(NUVInvalidChar, CursorOffset(), &character);
  }
  std::u16string text;
  while (NUVIsLetter(*Cursor) || NUVIsDigit(*Cursor) || *Cursor == u'_') {
    text += *Cursor;
    Advance();
  }
  const tNUVString word(text);
  if (MemberNamePending) {
    MemberNamePending = false;
    *valueIndex = PutValue(tNUVVariant(word));
    return T_SYMBOL;
  }
  const int32_t code = NUVLookupReservedWord(word);
  switch (code) {
    case 0:
      *valueIndex = PutValue(tNUVVariant(word));
      return T_SYMBOL;
    case T_FALSE:
      *valueIndex = PutValue(tNUVVariant(int64_t{0}));
      return T_CONSTVAL;
    case T_TRUE:
      *valueIndex = PutValue(tNUVVariant(int64_t{1}));
      return T_CONSTVAL;
    case T_NULL:
      *valueIndex = PutValue(tNUVVariant(static_cast<iNUVDispatch2*>(nullptr), nullptr));
      return T_CONSTVAL;
    case T_NAN:
      *valueIndex = PutValue(tNUVVariant(std::bit_cast<double>(uint64_t{0x7FF8000000000000})));
      return T_CONSTVAL;
    case T_INFINITY:
      *valueIndex = PutValue(tNUVVariant(std::numeric_limits<double>::infinity()));
      return T_CONSTVAL;
    default:
      return code;
  }
}

// Embeddable strings: @"a&x;b${y}c" is handed out as
// ( "a" + string ( x ) + "b" + string ( y ) + "c" ).
void tNUVLexicalAnalyzer::AdvanceEmbeddable() {
  const size_t top = EmbedStack.size() - 1;
  switch (EmbedStack[top].Phase) {
    case 0:
      QueueToken(T_LPARENTHESIS);
      EmbedStack[top].Phase = 1;
      return;
    case 1: {
      tEmbeddableExpressionData& entry = EmbedStack[top];
      std::u16string piece;
      const tPieceEnd end = ScanStringPiece(entry.Quote, true, entry.StartOffset, piece);
      if (!piece.empty()) {
        if (entry.NeedsPlus) QueueToken(T_PLUS);
        QueueToken(T_CONSTVAL, PutValue(tNUVVariant(tNUVString(piece))));
        if (end != tPieceEnd::Quote) entry.NeedsPlus = true;
      } else if (end == tPieceEnd::Quote && !entry.NeedsPlus) {
        QueueToken(T_CONSTVAL, PutValue(tNUVVariant(tNUVString())));
      }
      if (end == tPieceEnd::Quote) {
        QueueToken(T_RPARENTHESIS);
        EmbedStack.pop_back();
        return;
      }
      if (entry.NeedsPlus) QueueToken(T_PLUS);
      QueueToken(T_STRING);
      QueueToken(T_LPARENTHESIS);
      if (end == tPieceEnd::Ampersand) {
        entry.ClosingToken = T_SEMICOLON;
      } else {
        entry.ClosingToken = T_RBRACE;
        // The "{" of "${" was read as string text.
        ++BracketDepth;
      }
      entry.Phase = 2;
      return;
    }
    default: {
      int32_t value = 0;
      const int32_t token = ScanNext(&value);
      // -1: a nested embeddable string was pushed; it is expanded first.
      if (token == -1) return;
      if (token == 0) Raise(NUVStringParseError, EmbedStack[top].StartOffset);
      tEmbeddableExpressionData& entry = EmbedStack[top];
      if (token == entry.ClosingToken && BracketDepth == entry.DepthAtOpen) {
        QueueToken(T_RPARENTHESIS);
        entry.NeedsPlus = true;
        entry.Phase = 1;
        return;
      }
      QueueToken(token, value);
      return;
    }
  }
}

// The dicfunc wrapping: an array or dictionary literal becomes the value of an
// anonymous function that is called at once.
void tNUVLexicalAnalyzer::WrapLiteralToken(int32_t& token) {
  if (token == T_PERCENT || (token == T_LBRACKET && LastToken != T_PERCENT)) {
    QueueToken(T_FUNCTION);
    QueueToken(T_LBRACE);
    QueueToken(T_RETURN);
    QueueToken(token);
    token = -1;
  } else if (token == T_RBRACKET) {
    QueueToken(T_RBRACKET);
    QueueToken(T_SEMICOLON);
    QueueToken(T_RBRACE);
    QueueToken(T_LPARENTHESIS);
    QueueToken(T_RPARENTHESIS);
    token = -1;
  }
}

}  // namespace NUV
