// The conditional-compilation directives (@set, @if, @endif) as the lexer runs
// them, and the preprocessor's integer expression language.

#include <climits>

#include "engine/compiler/preprocessor.h"
#include "lexer_test_support.h"

namespace NUV::LexerTest {
namespace {

void ExpectPositionedError(const tCompileFailure& failure, int32_t position) {
  EXPECT_EQ(failure.Message, MessageText(NUVPPError));
  EXPECT_TRUE(failure.HasPosition);
  EXPECT_EQ(failure.Position, position);
}

void ExpectEvaluationError(const tCompileFailure& failure) {
  EXPECT_EQ(failure.Message, MessageText(NUVPPError));
  EXPECT_FALSE(failure.HasPosition);
}

// ---------------------------------------------------------------------------------
// Directives

TEST(PreprocessorDirectives, SetThenIf) {
  tTestHost host;
  EXPECT_EQ(Describe(Scan(host, u"@set (DEBUG = 1)\n@if (DEBUG) x = 1; @endif\ny")), "x = 1 ; y");
  EXPECT_EQ(host.Values[u"DEBUG"], 1);
  EXPECT_EQ(host.PreprocessorUses, 2);

  tTestHost off;
  EXPECT_EQ(Describe(Scan(off, u"@set (DEBUG = 0)\n@if (DEBUG) x = 1; @endif\ny")), "y");
  EXPECT_EQ(off.Values[u"DEBUG"], 0);

  // Variables live in the host, so they carry over to the next text.
  EXPECT_EQ(Describe(Scan(host, u"@if (DEBUG) z @endif")), "z");
}

TEST(PreprocessorDirectives, HostValuesAndUnsetNames) {
  tTestHost host;
  host.Values[u"LEVEL"] = 3;
  EXPECT_EQ(Describe(Scan(host, u"@if (LEVEL > 2) a @endif @if (UNKNOWN) b @endif c")), "a c");
  EXPECT_EQ(host.Values.count(u"UNKNOWN"), 0u);
}

TEST(PreprocessorDirectives, NoSeparatorNeeded) {
  EXPECT_EQ(Tokens(u"@if(1)x@endif;"), "x ;");
  EXPECT_EQ(Tokens(u"@set(a=1)@if(a)y@endif"), "y");
}

TEST(PreprocessorDirectives, TokensBehindADirectiveKeepTheirPositions) {
  tTestHost host;
  const std::vector<tScannedToken> tokens = Scan(host, u"@set(a=1) x @if(0) y @endif z");
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens[0].Position, 10);
  EXPECT_EQ(tokens[1].Position, 28);
}

TEST(PreprocessorDirectives, FalseBlockDropsUnbalancedText) {
  EXPECT_EQ(Tokens(u"@if (0) a( @endif b"), "b");
  EXPECT_EQ(Tokens(u"@if (0) \"unclosed @endif b"), "b");
}

TEST(PreprocessorDirectives, SkippingHonoursComments) {
  EXPECT_EQ(Tokens(u"@if (0) /* @endif */ b(); @endif c"), "c");
  EXPECT_EQ(Tokens(u"@if (0) // @endif\n b(); @endif c"), "c");
  EXPECT_EQ(Tokens(u"@if (0) /* /* @endif */ @endif */ b(); @endif c"), "c");
}

TEST(PreprocessorDirectives, NestedBlocks) {
  EXPECT_EQ(Tokens(u"@if (0) a @if (1) b @endif c @endif d"), "d");
  EXPECT_EQ(Tokens(u"@if (1) a @if (0) b @endif c @endif d"), "a c d");
  EXPECT_EQ(Tokens(u"@if (1) @if (1) a @endif @endif b"), "a b");
  // A skipped @set is not evaluated.
  tTestHost host;
  EXPECT_EQ(Describe(Scan(host, u"@if (0) @set (x = 1 / 0) @endif y")), "y");
  EXPECT_EQ(host.Values.count(u"x"), 0u);
}

TEST(PreprocessorDirectives, OpenIfAtTheEnd) {
  // Still open when the text ends: the error is at the end.
  ExpectPositionedError(ScanFailure(u"@if (1) a"), 9);
  ExpectPositionedError(ScanFailure(u"@if (1) @if (1) @endif"), 22);
  // The text ends while a false block is skipped.
  ExpectPositionedError(ScanFailure(u"@if (0) a"), 9);
  ExpectPositionedError(ScanFailure(u"@if (0) @if (1) @endif"), 22);
  ExpectPositionedError(ScanFailure(u"@if (0) a // @endif"), 19);
}

TEST(PreprocessorDirectives, EndifWithoutIf) {
  ExpectPositionedError(ScanFailure(u"@endif"), 6);
  ExpectPositionedError(ScanFailure(u"@if (1) @endif x @endif"), 23);
}

TEST(PreprocessorDirectives, MissingParenthesis) {
  // "@ifdef" is "@if" followed by "def".
  ExpectPositionedError(ScanFailure(u"@ifdef (X)"), 3);
  ExpectPositionedError(ScanFailure(u"@set x"), 5);
  ExpectPositionedError(ScanFailure(u"x @set"), 6);
  ExpectPositionedError(ScanFailure(u"@setting (a = 1)"), 4);
  // Unbalanced parentheses run into the end.
  ExpectPositionedError(ScanFailure(u"@set (a = (1)"), 13);
  // The same inside a skipped block.
  ExpectPositionedError(ScanFailure(u"@if (0) @set x @endif"), 13);
  ExpectPositionedError(ScanFailure(u"@if (0) @if (1 @endif"), 21);
}

TEST(PreprocessorDirectives, UnclosedCommentWhileSkipping) {
  const tCompileFailure failure = ScanFailure(u"@if (0) /* @endif");
  EXPECT_EQ(failure.Message, MessageText(NUVUnclosedComment));
  EXPECT_EQ(failure.Position, 8);
}

TEST(PreprocessorDirectives, EvaluationErrorsCarryNoPosition) {
  tTestHost host;
  ExpectEvaluationError(ScanFailure(host, u"@set (c = 1 / 0)"));
  ExpectEvaluationError(ScanFailure(host, u"@set (c = 1 % 0)"));
  ExpectEvaluationError(ScanFailure(host, u"@if (1 +) x @endif"));
  ExpectEvaluationError(ScanFailure(host, u"@if () x @endif"));
  EXPECT_EQ(host.Values.count(u"c"), 0u);
}

TEST(PreprocessorDirectives, LineEndsInsideTheExpression) {
  tTestHost host;
  EXPECT_EQ(Describe(Scan(host, u"@set (a\r\n=\r\n2) b")), "b");
  EXPECT_EQ(host.Values[u"a"], 2);
}

TEST(PreprocessorDirectives, NotADirective) {
  const tCompileFailure failure = ScanFailure(u"x @else");
  EXPECT_EQ(failure.Message, MessageText(NUVInvalidChar, u"@"));
  EXPECT_EQ(failure.Position, 2);
}

TEST(PreprocessorDirectives, InsideAnEmbeddedExpression) {
  tTestHost host;
  EXPECT_EQ(Describe(Scan(host, u"@\"a&@if (0) b @endif c;\"")), "( \"a\" + string ( c ) )");
}

// ---------------------------------------------------------------------------------
// The expression language

struct tEvaluation {
  bool Ok = false;
  int32_t Result = 0;
};

tEvaluation Evaluate(tTestHost& host, const char16_t* text) {
  tNUVPPExprParser parser(&host, text);
  tEvaluation evaluation;
  evaluation.Ok = parser.Parse();
  evaluation.Result = parser.GetResult();
  return evaluation;
}

int32_t Value(tTestHost& host, const char16_t* text) {
  const tEvaluation evaluation = Evaluate(host, text);
  EXPECT_TRUE(evaluation.Ok) << Narrow(text);
  return evaluation.Result;
}

int32_t Value(const char16_t* text) {
  tTestHost host;
  return Value(host, text);
}

bool Fails(const char16_t* text) {
  tTestHost host;
  return !Evaluate(host, text).Ok;
}

TEST(PreprocessorExpressions, Precedence) {
  EXPECT_EQ(Value(u"1 + 2 * 3"), 7);
  EXPECT_EQ(Value(u"(1 + 2) * 3"), 9);
  EXPECT_EQ(Value(u"7 - 2 - 1"), 4);
  EXPECT_EQ(Value(u"16 / 4 / 2"), 2);
  EXPECT_EQ(Value(u"1 | 2 ^ 3 & 1"), 3);
  EXPECT_EQ(Value(u"6 & 3 == 3"), 0);
  EXPECT_EQ(Value(u"2 < 3 == 1"), 1);
  EXPECT_EQ(Value(u"1 + 1 <= 2"), 1);
  EXPECT_EQ(Value(u"3 >= 4 != 1"), 1);
  EXPECT_EQ(Value(u"0 || 2 && 3"), 1);
  EXPECT_EQ(Value(u"1, 2, 3"), 3);
  EXPECT_EQ(Value(u"-2 * -3"), 6);
  EXPECT_EQ(Value(u"!0 + !5 + +4 - -(-3)"), 2);
  EXPECT_EQ(Value(u"!2 == 0"), 1);
  EXPECT_EQ(Value(u"10 % 4 * 3"), 6);
}

TEST(PreprocessorExpressions, Assignment) {
  tTestHost host;
  EXPECT_EQ(Value(host, u"x = 1 == 1"), 1);
  EXPECT_EQ(host.Values[u"x"], 1);
  EXPECT_EQ(Value(host, u"y = 1 || 0"), 1);
  EXPECT_EQ(host.Values[u"y"], 1);
  EXPECT_EQ(Value(host, u"y = 0 || 5"), 1);
  EXPECT_EQ(host.Values[u"y"], 0);
  // The value runs over the levels tighter than "=", and stops at "&".
  EXPECT_EQ(Value(host, u"a = 2 + 3 & 1"), 1);
  EXPECT_EQ(host.Values[u"a"], 5);
  EXPECT_EQ(Value(host, u"a = b = 4"), 4);
  EXPECT_EQ(host.Values[u"a"], 4);
  EXPECT_EQ(host.Values[u"b"], 4);
  EXPECT_EQ(Value(host, u"2 * c = 3 + 4"), 14);
  EXPECT_EQ(host.Values[u"c"], 7);
  EXPECT_EQ(Value(host, u"a = 7 / 2, b = -7 / 2"), -3);
  EXPECT_EQ(host.Values[u"a"], 3);
  EXPECT_EQ(host.Values[u"b"], -3);
  EXPECT_EQ(Value(host, u"a + b"), 0);
  EXPECT_TRUE(Fails(u"1 = 2"));
  EXPECT_TRUE(Fails(u"(a) = 2"));
}

TEST(PreprocessorExpressions, BothSidesOfLogicalOperatorsRun) {
  tTestHost host;
  EXPECT_EQ(Value(host, u"0 && (p = 5)"), 0);
  EXPECT_EQ(host.Values[u"p"], 5);
  EXPECT_EQ(Value(host, u"1 || (q = 6)"), 1);
  EXPECT_EQ(host.Values[u"q"], 6);
}

TEST(PreprocessorExpressions, ThirtyTwoBitArithmetic) {
  EXPECT_EQ(Value(u"2147483647 + 1"), INT32_MIN);
  EXPECT_EQ(Value(u"-2147483647 - 2"), INT32_MAX);
  EXPECT_EQ(Value(u"65536 * 65536"), 0);
  EXPECT_EQ(Value(u"(-2147483647 - 1) / -1"), INT32_MIN);
  EXPECT_EQ(Value(u"(-2147483647 - 1) % -1"), 0);
  EXPECT_EQ(Value(u"-(-2147483647 - 1)"), INT32_MIN);
  EXPECT_EQ(Value(u"-7 % 3"), -1);
  EXPECT_EQ(Value(u"4294967297"), 1);
  EXPECT_EQ(Value(u"0x10 + 0b101 + 017"), 36);
  EXPECT_EQ(Value(u"1.9 + 0"), 1);
  EXPECT_EQ(Value(u"0 - 1.9"), -1);
  EXPECT_TRUE(Fails(u"1 / 0"));
  EXPECT_TRUE(Fails(u"1 % (2 - 2)"));
}

TEST(PreprocessorExpressions, Names) {
  tTestHost host;
  host.Values[u"_v1"] = 2;
  host.Values[u"\u5909\u6570"] = 5;
  EXPECT_EQ(Value(host, u"_v1 * \u5909\u6570 + unset"), 10);
}

TEST(PreprocessorExpressions, SyntaxErrors) {
  const char16_t* texts[] = {u"", u"1 +", u"(1", u"1)", u"1 2", u"a ==", u"$", u".5", u"0p1",
                             u"1 ; 2", u"a === 1", u"a =", u"\"s\"", u"<<"};
  for (const char16_t* text : texts) EXPECT_TRUE(Fails(text)) << Narrow(text);
}

TEST(PreprocessorExpressions, DeepNestingFailsCleanly) {
  const int32_t allowed = tNUVPPExprParser::MaxNesting / 2;
  std::u16string nested = std::u16string(allowed, u'(') + u"1" + std::u16string(allowed, u')');
  EXPECT_EQ(Value(nested.c_str()), 1);

  const size_t deep = 200000;
  std::u16string parentheses = std::u16string(deep, u'(') + u"1" + std::u16string(deep, u')');
  EXPECT_TRUE(Fails(parentheses.c_str()));
  EXPECT_TRUE(Fails((std::u16string(deep, u'-') + u"1").c_str()));
  EXPECT_TRUE(Fails((std::u16string(deep, u'!') + u"1").c_str()));
  std::u16string assignments;
  for (size_t i = 0; i < deep / 4; ++i) assignments += u"a=";
  EXPECT_TRUE(Fails((assignments + u"1").c_str()));

  // Through a directive the failure is an evaluation error.
  ExpectEvaluationError(ScanFailure((u"@set (" + parentheses + u")").c_str()));
}

}  // namespace
}  // namespace NUV::LexerTest
