#pragma once
// tNUVPPExprParser: the integer expression language of the conditional-compilation
// directives @set (...) and @if (...).
//
// Values are signed 32-bit integers with wrap-around arithmetic. Names are
// preprocessor variables read and written through the compile host (unset names
// read as 0). Binding from loosest to tightest, each level left-associative:
//   ,   ||   &&   |   ^   &   (name = ...)   != ==   < > <= >=   + -   * / %   prefix ! + -
// An assignment "name = value" may stand wherever an operand may; its value runs
// over the levels tighter than itself, so "a = 1 == 1" sets a to 1 and
// "a = 1 || 0" sets a to 1 before the "||". "||" and "&&" evaluate both sides.
// The expression is evaluated while it is parsed, so assignments before a
// syntax error have taken effect.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/compiler/compile_host.h"
#include "engine/values/nuv_string.h"

namespace NUV {

class tNUVPPExprParser {
public:
  // Parentheses, prefix operators and assignments nest at most this deep.
  static constexpr int32_t MaxNesting = 256;

  tNUVPPExprParser(iNUVCompileHost* host, const char16_t* text);
  tNUVPPExprParser(const tNUVPPExprParser&) = delete;
  tNUVPPExprParser& operator=(const tNUVPPExprParser&) = delete;

  // Parses and evaluates the whole text: false on a syntax error, a division or
  // remainder by zero, or nesting beyond MaxNesting.
  bool Parse();
  int32_t GetResult() const { return Result; }

private:
  enum class tKind {
    End, Error, Number, Name,
    LeftParenthesis, RightParenthesis, Comma,
    Plus, Minus, Asterisk, Slash, Percent, Chevron,
    Exclamation, NotEqual, Assign, Equal,
    Less, LessOrEqual, Greater, GreaterOrEqual,
    VerticalLine, LogicalOr, Ampersand, LogicalAnd,
  };
  struct tToken {
    tKind Kind = tKind::End;
    int32_t Value = 0;   // a number's value, or a name's index in Names
  };
  struct eFailure {};

  tToken Scan();
  void Next() { Current = Scan(); }
  int32_t ParseBinary(int32_t minimumLevel);
  int32_t ParseUnary();
  int32_t ParsePrimary();
  static int32_t BinaryLevel(tKind kind);
  static int32_t Apply(tKind op, int32_t left, int32_t right);

  iNUVCompileHost* Host;
  std::u16string Text;
  const char16_t* Position;
  std::vector<tNUVString> Names;
  tToken Current;
  int32_t Depth = 0;
  int32_t Result = 0;
};

// Evaluates a directive's expression (the text between its parentheses). Any
// failure raises NUVPPError through the host, without a position.
int32_t NUVEvaluatePP(iNUVCompileHost* host, const std::u16string& text);

}  // namespace NUV
