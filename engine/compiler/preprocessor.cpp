// The conditional-compilation directives @set, @if and @endif, executed by the
// lexer while it scans, and the expression language they use.

#include "engine/compiler/preprocessor.h"

#include "engine/compiler/character_class.h"
#include "engine/compiler/lexer.h"
#include "engine/compiler/number_scanner.h"
#include "engine/services/messages.h"

namespace NUV {

// ---------------------------------------------------------------------------------
// tNUVPPExprParser

tNUVPPExprParser::tNUVPPExprParser(iNUVCompileHost* host, const char16_t* text)
    : Host(host), Text(text ? text : u"") {
  Position = Text.c_str();
}

bool tNUVPPExprParser::Parse() {
  try {
    Depth = 0;
    Next();
    const int32_t value = ParseBinary(1);
    if (Current.Kind != tKind::End) return false;
    Result = value;
    return true;
  } catch (const eFailure&) {
    return false;
  }
}

tNUVPPExprParser::tToken tNUVPPExprParser::Scan() {
  while (*Position && *Position < 256 && NUVIsSpace(*Position)) ++Position;
  tToken token;
  const char16_t unit = *Position;
  if (unit == 0) return token;

  if (NUVIsDigit(unit)) {
    tNUVScannedNumber number;
    if (!ScanNumberWord(Position, number)) {
      token.Kind = tKind::Error;
      return token;
    }
    const int64_t value = number.IsReal ? tNUVVariant(number.Real).AsInteger() : number.Integer;
    token.Kind = tKind::Number;
    token.Value = static_cast<int32_t>(static_cast<uint32_t>(value));
    return token;
  }

  if (NUVIsLetter(unit) || unit == u'_') {
    const char16_t* start = Position;
    while (NUVIsLetter(*Position) || NUVIsDigit(*Position) || *Position == u'_') ++Position;
    Names.emplace_back(start, static_cast<int32_t>(Position - start));
    token.Kind = tKind::Name;
    token.Value = static_cast<int32_t>(Names.size() - 1);
    return token;
  }

  ++Position;
  // Operators of one unit, or two when the second unit follows.
  auto pair = [&](char16_t second, tKind single, tKind twice) {
    if (*Position != second) return single;
    ++Position;
    return twice;
  };
  switch (unit) {
    case u'(': token.Kind = tKind::LeftParenthesis; break;
    case u')': token.Kind = tKind::RightParenthesis; break;
    case u',': token.Kind = tKind::Comma; break;
    case u'+': token.Kind = tKind::Plus; break;
    case u'-': token.Kind = tKind::Minus; break;
    case u'*': token.Kind = tKind::Asterisk; break;
    case u'/': token.Kind = tKind::Slash; break;
    case u'%': token.Kind = tKind::Percent; break;
    case u'^': token.Kind = tKind::Chevron; break;
    case u'!': token.Kind = pair(u'=', tKind::Exclamation, tKind::NotEqual); break;
    case u'=': token.Kind = pair(u'=', tKind::Assign, tKind::Equal); break;
    case u'<': token.Kind = pair(u'=', tKind::Less, tKind::LessOrEqual); break;
    case u'>': token.Kind = pair(u'=', tKind::Greater, tKind::GreaterOrEqual); break;
    case u'|': token.Kind = pair(u'|', tKind::VerticalLine, tKind::LogicalOr); break;
    case u'&': token.Kind = pair(u'&', tKind::Ampersand, tKind::LogicalAnd); break;
    default: token.Kind = tKind::Error; break;
  }
  return token;
}

// Binding strength of a binary operator (0: not one). The assignment sits at 7,
// between "&" and the equality operators; it is parsed with the operands.
int32_t tNUVPPExprParser::BinaryLevel(tKind kind) {
  switch (kind) {
    case tKind::Comma: return 1;
    case tKind::LogicalOr: return 2;
    case tKind::LogicalAnd: return 3;
    case tKind::VerticalLine: return 4;
    case tKind::Chevron: return 5;
    case tKind::Ampersand: return 6;
    case tKind::NotEqual: case tKind::Equal: return 8;
    case tKind::Less: case tKind::LessOrEqual: case tKind::Greater: case tKind::GreaterOrEqual: return 9;
    case tKind::Plus: case tKind::Minus: return 10;
    case tKind::Asterisk: case tKind::Slash: case tKind::Percent: return 11;
    default: return 0;
  }
}

constexpr int32_t kAssignmentValueLevel = 8;

int32_t tNUVPPExprParser::Apply(tKind op, int32_t left, int32_t right) {
  // Arithmetic wraps around in 32 bits.
  const uint32_t a = static_cast<uint32_t>(left);
  const uint32_t b = static_cast<uint32_t>(right);
  switch (op) {
    case tKind::Comma: return right;
    case tKind::LogicalOr: return (left || right) ? 1 : 0;
    case tKind::LogicalAnd: return (left && right) ? 1 : 0;
    case tKind::VerticalLine: return static_cast<int32_t>(a | b);
    case tKind::Chevron: return static_cast<int32_t>(a ^ b);
    case tKind::Ampersand: return static_cast<int32_t>(a & b);
    case tKind::NotEqual: return left != right;
    case tKind::Equal: return left == right;
    case tKind::Less: return left < right;
    case tKind::LessOrEqual: return left <= right;
    case tKind::Greater: return left > right;
    case tKind::GreaterOrEqual: return left >= right;
    case tKind::Plus: return static_cast<int32_t>(a + b);
    case tKind::Minus: return static_cast<int32_t>(a - b);
    case tKind::Asterisk: return static_cast<int32_t>(a * b);
    case tKind::Slash:
      if (right == 0) throw eFailure();
      // The one quotient that does not fit wraps to itself.
      if (right == -1) return static_cast<int32_t>(0u - a);
      return left / right;
    case tKind::Percent:
      if (right == 0) throw eFailure();
      if (right == -1) return 0;
      return left % right;
    default: throw eFailure();
  }
}

int32_t tNUVPPExprParser::ParseBinary(int32_t minimumLevel) {
  int32_t left = ParseUnary();
  for (;;) {
    const tKind op = Current.Kind;
    const int32_t level = BinaryLevel(op);
    if (level == 0 || level < minimumLevel) return left;
    Next();
    // Both sides are evaluated, also for "||" and "&&".
    const int32_t right = ParseBinary(level + 1);
    left = Apply(op, left, right);
  }
}

int32_t tNUVPPExprParser::ParseUnary() {
  if (++Depth > MaxNesting) throw eFailure();
  int32_t value;
  switch (Current.Kind) {
    case tKind::Exclamation:
      Next();
      value = ParseUnary() == 0 ? 1 : 0;
      break;
    case tKind::Plus:
      Next();
      value = ParseUnary();
      break;
    case tKind::Minus:
      Next();
      value = static_cast<int32_t>(0u - static_cast<uint32_t>(ParseUnary()));
      break;
    default:
      value = ParsePrimary();
      break;
  }
  --Depth;
  return value;
}

int32_t tNUVPPExprParser::ParsePrimary() {
  const tToken token = Current;
  switch (token.Kind) {
    case tKind::Number:
      Next();
      return token.Value;
    case tKind::Name: {
      Next();
      // A copy: scanning the value may grow the name list.
      const tNUVString name = Names[token.Value];
      if (Current.Kind != tKind::Assign) return Host->GetPreprocessorValue(name);
      Next();
      const int32_t value = ParseBinary(kAssignmentValueLevel);
      Host->SetPreprocessorValue(name, value);
      return value;
    }
    case tKind::LeftParenthesis: {
      Next();
      const int32_t value = ParseBinary(1);
      if (Current.Kind != tKind::RightParenthesis) throw eFailure();
      Next();
      return value;
    }
    default:
      throw eFailure();
  }
}

int32_t NUVEvaluatePP(iNUVCompileHost* host, const std::u16string& text) {
  tNUVPPExprParser parser(host, text.c_str());
  if (!parser.Parse()) host->RaisePreprocessorError(tNUVString(NUVPPError.Text()));
  return parser.GetResult();
}

// ---------------------------------------------------------------------------------
// Directives in the lexer

int32_t tNUVLexicalAnalyzer::MatchDirectiveWord() {
  // Compared by prefix in this order: "@ifdef" is "@if" followed by "def".
  static const char16_t* const words[] = {u"set", u"if", u"endif"};
  const char16_t* afterAt = NUVNextUnit(Cursor);
  for (int32_t i = 0; i < 3; ++i) {
    const char16_t* position = afterAt;
    const char16_t* letter = words[i];
    while (*letter && *position == *letter) {
      position = NUVNextUnit(position);
      ++letter;
    }
    if (*letter == 0) {
      Cursor = position;
      return i + 1;
    }
  }
  return 0;
}

std::u16string tNUVLexicalAnalyzer::ReadDirectiveParentheses() {
  SkipSpace();
  if (*Cursor != u'(') Raise(NUVPPError, CursorOffset());
  Advance();
  std::u16string text;
  int32_t depth = 0;
  for (;;) {
    const char16_t unit = *Cursor;
    if (unit == 0) Raise(NUVPPError, CursorOffset());
    if (unit == u'(') {
      ++depth;
    } else if (unit == u')') {
      if (depth == 0) break;
      --depth;
    }
    text += unit;
    Advance();
  }
  Advance();
  return text;
}

tNUVLexicalAnalyzer::tDirectiveResult tNUVLexicalAnalyzer::ExecuteDirective() {
  switch (MatchDirectiveWord()) {
    case 1:
      Host->NotifyUsingPreprocessor();
      NUVEvaluatePP(Host, ReadDirectiveParentheses());
      break;
    case 2:
      Host->NotifyUsingPreprocessor();
      if (NUVEvaluatePP(Host, ReadDirectiveParentheses()) != 0) {
        ++PPIfDepth;
      } else {
        SkipFalseBlock();
      }
      break;
    case 3:
      if (PPIfDepth == 0) Raise(NUVPPError, CursorOffset());
      --PPIfDepth;
      break;
    default:
      return tDirectiveResult::NotDirective;
  }
  SkipSpace();
  return *Cursor ? tDirectiveResult::GoesOn : tDirectiveResult::TextEnded;
}

// Skips the text of a false @if up to its own @endif. Comments are honoured, so
// directives inside them do not count; nested @if and @set have their
// parenthesised expressions skipped unevaluated.
void tNUVLexicalAnalyzer::SkipFalseBlock() {
  const int32_t depthBefore = PPIfDepth;
  ++PPIfDepth;
  for (;;) {
    const char16_t unit = *Cursor;
    if (unit == 0) Raise(NUVPPError, CursorOffset());
    if (unit == u'/') {
      if (SkipComment() != tCommentResult::NotComment) continue;
    } else if (unit == u'@') {
      switch (MatchDirectiveWord()) {
        case 1:
          ReadDirectiveParentheses();
          continue;
        case 2:
          ++PPIfDepth;
          ReadDirectiveParentheses();
          continue;
        case 3:
          if (--PPIfDepth == depthBefore) return;
          continue;
        default:
          break;
      }
    }
    Advance();
  }
}

}  // namespace NUV
