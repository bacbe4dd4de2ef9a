// The parser and the expression builder, driven by the real lexer (and, where the
// order of lexer calls matters, by a scripted token source), against a compile
// host that records every action.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/compiler/expression_builder.h"
#include "engine/compiler/lexer.h"
#include "engine/compiler/parser.h"
#include "engine/services/errors.h"
#include "engine/services/messages.h"
#include "tests/unit/recording_compile_host.h"

namespace NUV::ParserTest {
namespace {

using tLines = std::vector<std::string>;

struct tParsed {
  int32_t Result = -1;
  tLines Log;
  std::vector<std::pair<int32_t, std::string>> Errors;
};

tParsed ParseScript(const std::u16string& text, bool printTrees = true) {
  tRecordingCompileHost host;
  host.PrintTrees = printTrees;
  tNUVLexicalAnalyzer lexer(&host, text.c_str(), false, false);
  tParsed parsed;
  parsed.Result = NUVParse(&host, &lexer);
  parsed.Log = host.Log;
  parsed.Errors = host.Errors;
  return parsed;
}

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// The tree of the one expression statement "<text>;".
std::string Tree(const std::string& text) {
  tParsed parsed = ParseScript(Wide(text + ";"));
  EXPECT_EQ(parsed.Result, 0) << text;
  if (parsed.Log.size() != 3 || parsed.Log[1].rfind("EmitExpressionStatement ", 0) != 0) {
    ADD_FAILURE() << text << ": unexpected actions:\n" << testing::PrintToString(parsed.Log);
    return "";
  }
  return parsed.Log[1].substr(sizeof("EmitExpressionStatement ") - 1);
}

// The actions between the global context's begin and end.
tLines Actions(const std::string& text) {
  tParsed parsed = ParseScript(Wide(text));
  EXPECT_EQ(parsed.Result, 0) << text;
  EXPECT_TRUE(parsed.Errors.empty()) << text << ": " << parsed.Errors.front().second;
  if (parsed.Log.size() < 2 || parsed.Log.front() != "BeginContext global 0" || parsed.Log.back() != "EndContext") {
    ADD_FAILURE() << text << ": not framed by the global context:\n" << testing::PrintToString(parsed.Log);
    return parsed.Log;
  }
  return tLines(parsed.Log.begin() + 1, parsed.Log.end() - 1);
}

// The first syntax error's message.
std::string FirstError(const std::string& text) {
  tParsed parsed = ParseScript(Wide(text));
  if (parsed.Errors.empty()) {
    ADD_FAILURE() << text << ": no error";
    return "";
  }
  return parsed.Errors.front().second;
}

// Expression trees --------------------------------------------------------------------

TEST(ParserExpressionTree, BinaryLevelsAreLeftAssociativeAndOrdered) {
  // From the loosest binary level to the tightest.
  const std::vector<std::vector<std::string>> levels = {
      {"||"}, {"&&"}, {"|"}, {"^"}, {"&"}, {"!=", "==", "!==", "==="}, {"<", ">", "<=", ">="},
      {">>", "<<", ">>>"}, {"+", "-"}, {"%", "/", "\\", "*"},
  };
  for (size_t level = 0; level < levels.size(); ++level) {
    for (const std::string& op : levels[level]) {
      EXPECT_EQ(Tree("a " + op + " b " + op + " c"), "(" + op + " (" + op + " a b) c)");
      for (const std::string& other : levels[level]) {
        EXPECT_EQ(Tree("a " + op + " b " + other + " c"), "(" + other + " (" + op + " a b) c)");
      }
      if (level + 1 < levels.size()) {
        const std::string& tighter = levels[level + 1].front();
        EXPECT_EQ(Tree("a " + op + " b " + tighter + " c"), "(" + op + " a (" + tighter + " b c))");
        EXPECT_EQ(Tree("a " + tighter + " b " + op + " c"), "(" + op + " (" + tighter + " a b) c)");
      }
    }
  }
}

TEST(ParserExpressionTree, AssignmentsAreRightAssociativeAboveConditional) {
  for (const char* op : {"<->", "=", "&=", "|=", "^=", "-=", "+=", "%=", "/=", "\\=", "*=", "||=", "&&=",
                         ">>=", "<<=", ">>>="}) {
    std::string name = op;
    EXPECT_EQ(Tree("a " + name + " b " + name + " c"), "(" + name + " a (" + name + " b c))");
    EXPECT_EQ(Tree("a " + name + " b ? c : d"), "(" + name + " a (? b c d))");
  }
  EXPECT_EQ(Tree("a = b, c = d"), "(, (= a b) (= c d))");
  EXPECT_EQ(Tree("a ? b : c = d"), "(= (? a b c) d)");
}

TEST(ParserExpressionTree, ConditionalGroupsToTheRight) {
  EXPECT_EQ(Tree("a ? b : c ? d : e"), "(? a b (? c d e))");
  EXPECT_EQ(Tree("a ? b ? c : d : e"), "(? a (? b c d) e)");
  EXPECT_EQ(Tree("a || b ? c : d"), "(? (|| a b) c d)");
}

TEST(ParserExpressionTree, CommaIsLeftAssociativeAndIfGuardsTheWholeExpression) {
  EXPECT_EQ(Tree("a, b, c"), "(, (, a b) c)");
  EXPECT_EQ(Tree("x = y if z"), "(if (= x y) z)");
  EXPECT_EQ(Tree("a, b if c"), "(if (, a b) c)");
  EXPECT_EQ(Tree("a if b if c"), "(if a (if b c))");
  EXPECT_EQ(Tree("a if b, c"), "(if a (, b c))");
}

TEST(ParserExpressionTree, UnaryOperators) {
  EXPECT_EQ(Tree("!a"), "(! a)");
  EXPECT_EQ(Tree("~a"), "(~ a)");
  EXPECT_EQ(Tree("--a"), "(-- a)");
  EXPECT_EQ(Tree("++a"), "(++ a)");
  EXPECT_EQ(Tree("invalidate a"), "(invalidate a)");
  EXPECT_EQ(Tree("isvalid a"), "(isvalid a)");
  EXPECT_EQ(Tree("a isvalid"), "(isvalid a)");
  EXPECT_EQ(Tree("delete a.b"), "(delete (. a \"b\"))");
  EXPECT_EQ(Tree("typeof a"), "(typeof a)");
  EXPECT_EQ(Tree("#a"), "(# a)");
  EXPECT_EQ(Tree("$a"), "($ a)");
  EXPECT_EQ(Tree("+a"), "(T_UPLUS a)");
  EXPECT_EQ(Tree("-a"), "(T_UMINUS a)");
  EXPECT_EQ(Tree("&a"), "(T_IGNOREPROP a)");
  EXPECT_EQ(Tree("*a"), "(T_PROPACCESS a)");
  EXPECT_EQ(Tree("a instanceof b"), "(instanceof a b)");
  EXPECT_EQ(Tree("a instanceof b instanceof c"), "(instanceof a (instanceof b c))");
  // Unary binds tighter than every binary operator.
  EXPECT_EQ(Tree("-a * -b"), "(* (T_UMINUS a) (T_UMINUS b))");
  EXPECT_EQ(Tree("a & &b"), "(& a (T_IGNOREPROP b))");
  EXPECT_EQ(Tree("a * *b"), "(* a (T_PROPACCESS b))");
  EXPECT_EQ(Tree("!a.b"), "(! (. a \"b\"))");
  EXPECT_EQ(Tree("- -a"), "(T_UMINUS (T_UMINUS a))");
}

TEST(ParserExpressionTree, CastsWithAndWithoutParenthesesMakeTheSameNode) {
  for (const char* cast : {"int", "real", "string"}) {
    std::string name = cast;
    EXPECT_EQ(Tree("(" + name + ")x"), "(" + name + " x)");
    EXPECT_EQ(Tree(name + " x"), "(" + name + " x)");
    EXPECT_EQ(Tree("(" + name + ")x + 1"), "(+ (" + name + " x) 1)");
    // A parenthesised cast expression is not a cast of what follows.
    EXPECT_EQ(Tree("(" + name + " x)"), "(" + name + " x)");
  }
}

TEST(ParserExpressionTree, PostfixMemberIndexAndIncontextof) {
  EXPECT_EQ(Tree("a.b.c"), "(. (. a \"b\") \"c\")");
  EXPECT_EQ(Tree("a[b][c]"), "([ ([ a b) c)");
  EXPECT_EQ(Tree("a.b[c](d)"), "(( ([ (. a \"b\") c) (T_ARG d))");
  EXPECT_EQ(Tree("a++"), "(T_POSTINCREMENT a)");
  EXPECT_EQ(Tree("a.b--"), "(T_POSTDECREMENT (. a \"b\"))");
  EXPECT_EQ(Tree("a!"), "(T_EVAL a)");
  EXPECT_EQ(Tree("++a[1]"), "(++ ([ a 1))");
  EXPECT_EQ(Tree("a incontextof b incontextof c"), "(incontextof a (incontextof b c))");
  EXPECT_EQ(Tree("a.b incontextof c"), "(incontextof (. a \"b\") c)");
  EXPECT_EQ(Tree("(a, b)[0]"), "([ (, a b) 0)");
}

TEST(ParserExpressionTree, MemberNamesMayBeReservedWords) {
  EXPECT_EQ(Tree("obj.if"), "(. obj \"if\")");
  EXPECT_EQ(Tree("obj.class.new"), "(. (. obj \"class\") \"new\")");
  EXPECT_EQ(Tree(".name"), "(T_WITHDOT \"name\")");
  EXPECT_EQ(Tree(".while = .for"), "(= (T_WITHDOT \"while\") (T_WITHDOT \"for\"))");
}

TEST(ParserExpressionTree, Factors) {
  EXPECT_EQ(Tree("this"), "this");
  EXPECT_EQ(Tree("super.f"), "(. super \"f\")");
  EXPECT_EQ(Tree("global"), "global");
  EXPECT_EQ(Tree("void"), "void");
  EXPECT_EQ(Tree("a = true"), "(= a 1)");
  EXPECT_EQ(Tree("a = \"text\""), "(= a \"text\")");
}

TEST(ParserExpressionTree, RegularExpressionLiteralsInOperandPosition) {
  EXPECT_EQ(Tree("a = /x/g"), "(= a (T_REGEXP \"//g/x\"))");
  EXPECT_EQ(Tree("a = /=x/"), "(= a (T_REGEXP \"///=x\"))");
  EXPECT_EQ(Tree("a = b / c / d"), "(= a (/ (/ b c) d))");
  EXPECT_EQ(Tree("a /= /y/i"), "(/= a (T_REGEXP \"//i/y\"))");
  EXPECT_EQ(Tree("f(/a b/, [/c/])"),
            "(( f (T_ARG (T_INLINEARRAY (T_ARRAYARG (T_REGEXP \"///c\"))) (T_ARG (T_REGEXP \"///a b\"))))");
}

TEST(ParserExpressionTree, CallArguments) {
  EXPECT_EQ(Tree("f()"), "(( f (T_ARG -))");
  EXPECT_EQ(Tree("f(,)"), "(( f (T_ARG - (T_ARG -)))");
  // The chain's first child is the last argument.
  EXPECT_EQ(Tree("f(1, 2)"), "(( f (T_ARG 2 (T_ARG 1)))");
  EXPECT_EQ(Tree("f(1,,3)"), "(( f (T_ARG 3 (T_ARG - (T_ARG 1))))");
  EXPECT_EQ(Tree("f(*)"), "(( f (T_ARG T_EXPANDARG))");
  EXPECT_EQ(Tree("f(a*)"), "(( f (T_ARG (T_EXPANDARG a)))");
  EXPECT_EQ(Tree("f(a * b)"), "(( f (T_ARG (* a b)))");
  EXPECT_EQ(Tree("f(a * b *, *)"), "(( f (T_ARG T_EXPANDARG (T_ARG (T_EXPANDARG (* a b)))))");
  EXPECT_EQ(Tree("f(...)"), "(( f ...)");
  EXPECT_EQ(Tree("f(a = 1)"), "(( f (T_ARG (= a 1)))");
  EXPECT_EQ(Tree("f(a)(b)"), "(( (( f (T_ARG a)) (T_ARG b))");
}

TEST(ParserExpressionTree, NewTakesACall) {
  EXPECT_EQ(Tree("new a.b(1)"), "(new (. a \"b\") (T_ARG 1))");
  EXPECT_EQ(Tree("new a()"), "(new a (T_ARG -))");
  EXPECT_EQ(Tree("x = (new A(1, 2)).b"), "(= x (. (new A (T_ARG 2 (T_ARG 1))) \"b\"))");
  EXPECT_EQ(Tree("new a(1)(2)"), "(new (( a (T_ARG 1)) (T_ARG 2))");
  // new needs a call: without parentheses, or followed by more than the call, it
  // is a syntax error.
  EXPECT_EQ(FirstError("new a;"), "syntax error, unexpected \";\"");
  EXPECT_EQ(FirstError("x = new a.b;"), "syntax error, unexpected \";\"");
  EXPECT_EQ(FirstError("x = new a().b;"), "syntax error, unexpected \";\"");
}

TEST(ParserExpressionTree, ArrayLiterals) {
  EXPECT_EQ(Tree("[]"), "(T_INLINEARRAY (T_ARRAYARG -))");
  EXPECT_EQ(Tree("[1,]"), "(T_INLINEARRAY (T_ARRAYARG 1) (T_ARRAYARG -))");
  EXPECT_EQ(Tree("[,]"), "(T_INLINEARRAY (T_ARRAYARG -) (T_ARRAYARG -))");
  EXPECT_EQ(Tree("[1, [2, a]]"),
            "(T_INLINEARRAY (T_ARRAYARG 1) (T_ARRAYARG (T_INLINEARRAY (T_ARRAYARG 2) (T_ARRAYARG a))))");
  EXPECT_EQ(Tree("[a = 1][0]"), "([ (T_INLINEARRAY (T_ARRAYARG (= a 1))) 0)");
}

TEST(ParserExpressionTree, DictionaryLiterals) {
  EXPECT_EQ(Tree("%[ \"a\" => 1, b: 2, ]"), "(T_INLINEDIC (T_DICELM \"a\" 1) (T_DICELM \"b\" 2))");
  EXPECT_EQ(Tree("%[\"a\", 1, \"b\", 2]"), "(T_INLINEDIC (T_DICELM \"a\" 1) (T_DICELM \"b\" 2))");
  EXPECT_EQ(Tree("%[,]"), "T_INLINEDIC");
  EXPECT_EQ(Tree("%[]"), "T_INLINEDIC");
  EXPECT_EQ(Tree("%[a: %[b: []]]"),
            "(T_INLINEDIC (T_DICELM \"a\" (T_INLINEDIC (T_DICELM \"b\" (T_INLINEARRAY (T_ARRAYARG -))))))");
  // A key word followed by ":" is a name; a conditional key is an expression.
  EXPECT_EQ(Tree("%[c ? d : e, f]"), "(T_INLINEDIC (T_DICELM (? c d e) f))");
  EXPECT_EQ(Tree("a % [1]"), "(% a (T_INLINEARRAY (T_ARRAYARG 1)))");
  EXPECT_EQ(FirstError("x = %[,,];"), "syntax error, unexpected \",\", expecting \"]\"");
  EXPECT_EQ(FirstError("x = %[1];"), "syntax error, unexpected \"]\", expecting \",\"");
}

TEST(ParserExpressionTree, FunctionExpressionIsAConstantHoldingItsContext) {
  EXPECT_EQ(Actions("f = function(a, b = 1) { return a; };"),
            (tLines{"BeginContext (anonymous) 2", "OpenBlock", "AddParameter a -", "AddParameter b 1", "OpenBlock",
                    "EmitReturn a", "CloseBlock", "CloseBlock", "EndContext",
                    "EmitExpressionStatement (= f <context (anonymous)>)"}));
  EXPECT_EQ(Actions("x = function { };"),
            (tLines{"BeginContext (anonymous) 2", "OpenBlock", "OpenBlock", "CloseBlock", "CloseBlock", "EndContext",
                    "EmitExpressionStatement (= x <context (anonymous)>)"}));
  EXPECT_EQ(Actions("(function { })();").back(), "EmitExpressionStatement (( <context (anonymous)> (T_ARG -))");
}

TEST(ParserExpressionTree, LexerRewritesParseAsOrdinaryTokens) {
  // An embeddable string arrives as a parenthesised concatenation.
  EXPECT_EQ(Tree("x = @\"a&y;b${z}\""), "(= x (+ (+ (+ \"a\" (string y)) \"b\") (string z)))");
  EXPECT_EQ(Tree("x = @\"n=&1+2;\""), "(= x \"n=3\")");
  // An expression whose result is wanted compiles as a return statement.
  tRecordingCompileHost host;
  tNUVLexicalAnalyzer lexer(&host, u"1 + 2 * a", true, true);
  EXPECT_EQ(NUVParse(&host, &lexer), 0);
  EXPECT_EQ(host.Log, (tLines{"BeginContext global 0", "EmitReturn (+ 1 (* 2 a))", "EndContext"}));
}

TEST(ParserExpressionTree, NodesCarryTheLexerPosition) {
  tRecordingCompileHost host;
  tNUVLexicalAnalyzer lexer(&host, u"abc  +  d;", false, false);
  ASSERT_EQ(NUVParse(&host, &lexer), 0);
  // Each node takes the position of the token scanned last when it was made: a
  // symbol is reduced before the next token is read, the sum on the look-ahead ";".
  std::vector<std::pair<std::string, int32_t>> made;
  for (const auto& node : host.Nodes) made.emplace_back(host.TreeText(node.get()), node->GetPosition());
  EXPECT_EQ(made, (std::vector<std::pair<std::string, int32_t>>{{"abc", 0}, {"d", 8}, {"(+ abc d)", 9}}));
}

// Constant folding --------------------------------------------------------------------

TEST(ParserConstantFolding, FoldsOperatorsOnConstants) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"-1", "-1"},
      {"1 + 2 * 3", "7"},
      {"\"a\" + 1", "\"a1\""},
      {"\"a\" + \"b\" + \"c\"", "\"abc\""},
      {"1 / 0", "(real)+Infinity"},
      {"7 / 2", "(real)3.5"},
      {"7 % 3", "1"},
      {"-7 \\ 2", "-3"},
      {"2 - 0.5", "(real)1.5"},
      {"!0", "1"},
      {"!\"x\"", "1"},
      {"!\"2\"", "0"},
      {"~0", "-1"},
      {"#\"A\"", "65"},
      {"$65", "\"A\""},
      {"int \"12\"", "12"},
      {"(int)2.9", "2"},
      {"real 1", "(real)1"},
      {"string 12", "\"12\""},
      {"+\"3\"", "3"},
      {"-\"3\"", "-3"},
      {"- -1", "1"},
      {"(1, 2)", "2"},
      {"1 || 0", "1"},
      {"0 && 1", "0"},
      {"6 | 1", "7"},
      {"6 ^ 3", "5"},
      {"6 & 3", "2"},
      {"1 == \"1\"", "1"},
      {"1 != \"1\"", "0"},
      {"1 === \"1\"", "0"},
      {"1 !== \"1\"", "1"},
      {"1 < 2", "1"},
      {"1 > 2", "0"},
      {"2 <= 2", "1"},
      {"1 >= 2", "0"},
      {"-8 >> 1", "-4"},
      {"-8 >>> 60", "15"},
      {"1 << 3", "8"},
      {"(1 + 2) * (3 + 4)", "21"},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(Tree("x = " + text), "(= x " + value + ")") << text;
}

TEST(ParserConstantFolding, LeavesOtherKindsAndNonConstantOperands) {
  EXPECT_EQ(Tree("x = a + 1 + 2"), "(= x (+ (+ a 1) 2))");
  EXPECT_EQ(Tree("x = 1 + 2 + a"), "(= x (+ 3 a))");
  EXPECT_EQ(Tree("x = 1 ? 2 : 3"), "(= x (? 1 2 3))");
  EXPECT_EQ(Tree("x = typeof 1"), "(= x (typeof 1))");
  EXPECT_EQ(Tree("x = 1 instanceof \"Number\""), "(= x (instanceof 1 \"Number\"))");
  EXPECT_EQ(Tree("x = 1 incontextof 2"), "(= x (incontextof 1 2))");
  EXPECT_EQ(Tree("x = 1 if 0"), "(if (= x 1) 0)");
  EXPECT_EQ(Tree("x = (1 if 0)"), "(= x (if 1 0))");
  EXPECT_EQ(Tree("x = f(1 + 1)"), "(= x (( f (T_ARG 2)))");
  EXPECT_EQ(Tree("x = [1 + 1]"), "(= x (T_INLINEARRAY (T_ARRAYARG 2)))");
  EXPECT_EQ(Tree("x = ++1"), "(= x (++ 1))");
  EXPECT_EQ(Tree("x = 1++"), "(= x (T_POSTINCREMENT 1))");
  EXPECT_EQ(Tree("x = &1"), "(= x (T_IGNOREPROP 1))");
}

TEST(ParserConstantFolding, ReplacedOperandsGiveUpTheirValues) {
  tRecordingCompileHost host;
  tNUVLexicalAnalyzer lexer(&host, u"x = \"a\" + \"b\";", false, false);
  ASSERT_EQ(NUVParse(&host, &lexer), 0);
  int32_t withValue = 0;
  for (const auto& node : host.Nodes) {
    if (node->GetOpecode() == T_CONSTVAL && node->HasValue()) ++withValue;
  }
  EXPECT_EQ(withValue, 1);
}

TEST(ParserConstantFolding, IntegerDivisionByConstantZeroFailsAtCompileTime) {
  for (const char* text : {"x = 1 % 0;", "x = 1 \\ 0;", "x = 5 % 0.5;", "x = a + (1 \\ 0);"}) {
    tRecordingCompileHost host;
    std::u16string script = Wide(text);
    tNUVLexicalAnalyzer lexer(&host, script.c_str(), false, false);
    try {
      NUVParse(&host, &lexer);
      ADD_FAILURE() << text << ": no error raised";
    } catch (const eNUVError& error) {
      EXPECT_EQ(error.GetMessage(), tNUVString(NUVDivideByZero.Text())) << text;
    }
  }
}

TEST(ParserConstantFolding, BuilderFoldsOnlyWhenAllOperandsAreConstants) {
  tRecordingCompileHost host;
  tNUVExprNode* two = NUVMakeConstNode(&host, 0, tNUVVariant(int64_t{2}));
  tNUVExprNode* three = NUVMakeConstNode(&host, 0, tNUVVariant(int64_t{3}));
  tNUVExprNode* product = NUVMakeNode(&host, 7, T_ASTERISK, two, three);
  EXPECT_EQ(host.TreeText(product), "6");
  EXPECT_EQ(product->GetPosition(), 7);
  // An absent operand is not a constant.
  tNUVExprNode* element = NUVMakeNode(&host, 0, T_UMINUS, nullptr);
  EXPECT_EQ(host.TreeText(element), "(T_UMINUS -)");
  tNUVExprNode* name = NUVMakeNode(&host, 0, T_SYMBOL);
  name->SetValue(tNUVVariant(u"n"));
  EXPECT_EQ(host.TreeText(NUVMakeNode(&host, 0, T_PLUS, name, product)), "(+ n 6)");
  EXPECT_EQ(host.TreeText(NUVMakeNode(&host, 0, T_QUESTION, product, product, product)), "(? 6 6 6)");
  EXPECT_TRUE(NUVIsFoldedBinary(T_COMMA));
  EXPECT_FALSE(NUVIsFoldedBinary(T_EQUAL));
  EXPECT_TRUE(NUVIsFoldedUnary(T_OCTET));
  EXPECT_FALSE(NUVIsFoldedUnary(T_TYPEOF));
}

// Statements ----------------------------------------------------------------------------

TEST(ParserStatements, ElseBindsToTheNearestIf) {
  EXPECT_EQ(Actions("if (a) if (b) x(); else y();"),
            (tLines{"BeginIf", "IfCondition a", "BeginIf", "IfCondition b", "EmitExpressionStatement (( x (T_ARG -))",
                    "EndIf", "BeginElse", "EmitExpressionStatement (( y (T_ARG -))", "EndElse", "EndIf"}));
  EXPECT_EQ(Actions("if (a) { x; } else if (b) y; else z;"),
            (tLines{"BeginIf", "IfCondition a", "OpenBlock", "EmitExpressionStatement x", "CloseBlock", "EndIf",
                    "BeginElse", "BeginIf", "IfCondition b", "EmitExpressionStatement y", "EndIf", "BeginElse",
                    "EmitExpressionStatement z", "EndElse", "EndElse"}));
}

TEST(ParserStatements, Loops) {
  EXPECT_EQ(Actions("while (a < 3) a++;"),
            (tLines{"BeginWhile while", "WhileCondition (< a 3)", "EmitExpressionStatement (T_POSTINCREMENT a)",
                    "EndWhile"}));
  EXPECT_EQ(Actions("do { break; continue; } while (x);"),
            (tLines{"BeginWhile do", "OpenBlock", "EmitBreak", "EmitContinue", "CloseBlock", "WhileCondition x",
                    "EndWhile"}));
  EXPECT_EQ(Actions("for (;;) ;"), (tLines{"BeginFor", "ForCondition -", "ForStep -", "EndFor"}));
  EXPECT_EQ(Actions("for (var i = 0, j; i < 3; i++) f(i);"),
            (tLines{"BeginFor var", "DeclareLocal i 0", "DeclareLocal j -", "ForCondition (< i 3)",
                    "ForStep (T_POSTINCREMENT i)", "EmitExpressionStatement (( f (T_ARG i))", "EndFor"}));
  EXPECT_EQ(Actions("for (i = 0; ; i += 2) { }"),
            (tLines{"BeginFor", "EmitExpressionStatement (= i 0)", "ForCondition -", "ForStep (+= i 2)", "OpenBlock",
                    "CloseBlock", "EndFor"}));
}

TEST(ParserStatements, SwitchWithTryThrowReturnDebugger) {
  EXPECT_EQ(Actions("switch (x) { case 1: a; default: b; }"),
            (tLines{"BeginSwitch x", "OpenBlock", "CaseLabel 1", "EmitExpressionStatement a", "CaseLabel -",
                    "EmitExpressionStatement b", "CloseBlock", "EndSwitch"}));
  EXPECT_EQ(Actions("with (o) .a = 1;"),
            (tLines{"BeginWith o", "EmitExpressionStatement (= (T_WITHDOT \"a\") 1)", "EndWith"}));
  EXPECT_EQ(Actions("try a; catch b;"),
            (tLines{"BeginTry", "EmitExpressionStatement a", "BeginCatch -", "EmitExpressionStatement b", "EndTry"}));
  EXPECT_EQ(Actions("try { } catch () { }"),
            (tLines{"BeginTry", "OpenBlock", "CloseBlock", "BeginCatch -", "OpenBlock", "CloseBlock", "EndTry"}));
  EXPECT_EQ(Actions("try { throw 1; } catch (e) { return e; }"),
            (tLines{"BeginTry", "OpenBlock", "EmitThrow 1", "CloseBlock", "BeginCatch e", "OpenBlock", "EmitReturn e",
                    "CloseBlock", "EndTry"}));
  EXPECT_EQ(Actions("return; debugger; ;"), (tLines{"EmitReturn -", "EmitDebugger"}));
}

TEST(ParserStatements, VariableDeclarations) {
  EXPECT_EQ(Actions("var a, b = 1 + 1, c = (d, e); const f = g;"),
            (tLines{"DeclareLocal a -", "DeclareLocal b 2", "DeclareLocal c (, d e)", "DeclareLocal f g"}));
  EXPECT_EQ(FirstError("var export;"), "syntax error, unexpected \"export\", expecting T_SYMBOL");
}

TEST(ParserStatements, FunctionDefinitionsAndParameterForms) {
  EXPECT_EQ(Actions("function f(a, b = 2, c*) { }"),
            (tLines{"BeginContext f 1", "OpenBlock", "AddParameter a -", "AddParameter b 2", "AddRestParameter c",
                    "OpenBlock", "CloseBlock", "CloseBlock", "EndContext"}));
  EXPECT_EQ(Actions("function g(*) { } function h { } function k(a, *) { } function m() { }"),
            (tLines{"BeginContext g 1", "OpenBlock", "AddRestParameter -", "OpenBlock", "CloseBlock", "CloseBlock",
                    "EndContext", "BeginContext h 1", "OpenBlock", "OpenBlock", "CloseBlock", "CloseBlock",
                    "EndContext", "BeginContext k 1", "OpenBlock", "AddParameter a -", "AddRestParameter -",
                    "OpenBlock", "CloseBlock", "CloseBlock", "EndContext", "BeginContext m 1", "OpenBlock",
                    "OpenBlock", "CloseBlock", "CloseBlock", "EndContext"}));
  // The rest parameter comes last.
  EXPECT_EQ(FirstError("x = function (*, a) { };"), "syntax error, unexpected \",\", expecting \")\"");
}

TEST(ParserStatements, Properties) {
  EXPECT_EQ(Actions("property p { setter(v) { x = v; } getter { return x; } }"),
            (tLines{"BeginContext p 3", "BeginContext (setter) 4", "OpenBlock", "SetSetterParameter v", "OpenBlock",
                    "EmitExpressionStatement (= x v)", "CloseBlock", "CloseBlock", "EndContext",
                    "BeginContext (getter) 5", "OpenBlock", "OpenBlock", "EmitReturn x", "CloseBlock", "CloseBlock",
                    "EndContext", "EndContext"}));
  EXPECT_EQ(Actions("property q { getter() { } setter(v) { } }"),
            (tLines{"BeginContext q 3", "BeginContext (getter) 5", "OpenBlock", "OpenBlock", "CloseBlock",
                    "CloseBlock", "EndContext", "BeginContext (setter) 4", "OpenBlock", "SetSetterParameter v",
                    "OpenBlock", "CloseBlock", "CloseBlock", "EndContext", "EndContext"}));
  EXPECT_EQ(Actions("property r { getter { } }"),
            (tLines{"BeginContext r 3", "BeginContext (getter) 5", "OpenBlock", "OpenBlock", "CloseBlock",
                    "CloseBlock", "EndContext", "EndContext"}));
  EXPECT_EQ(Actions("property s { setter(v) { } }"),
            (tLines{"BeginContext s 3", "BeginContext (setter) 4", "OpenBlock", "SetSetterParameter v", "OpenBlock",
                    "CloseBlock", "CloseBlock", "EndContext", "EndContext"}));
  // The state after a getter reduces by default, so only "}" is named.
  EXPECT_EQ(FirstError("property t { getter { } getter { } }"),
            "syntax error, unexpected \"getter\", expecting \"}\"");
}

TEST(ParserStatements, ClassExtendsForms) {
  EXPECT_EQ(Actions("class A { }"),
            (tLines{"BeginContext A 6", "OpenBlock", "CloseBlock", "EndContext"}));
  EXPECT_EQ(Actions("class A extends B { }"),
            (tLines{"BeginContext A 6", "AddSuperclass B only", "OpenBlock", "CloseBlock", "EndContext"}));
  EXPECT_EQ(Actions("class A extends B, C { }"),
            (tLines{"BeginContext A 6", "AddSuperclass B many", "AddSuperclass C many", "OpenBlock", "CloseBlock",
                    "EndContext"}));
  EXPECT_EQ(Actions("class A extends B, C, global.D { function f() { } }"),
            (tLines{"BeginContext A 6", "AddSuperclass B many", "AddSuperclass C many",
                    "AddSuperclass (. global \"D\") many", "OpenBlock", "BeginContext f 1", "OpenBlock", "OpenBlock",
                    "CloseBlock", "CloseBlock", "EndContext", "CloseBlock", "EndContext"}));
}

// Syntax errors ---------------------------------------------------------------------------

TEST(ParserSyntaxErrors, MessagesNameTheTokensAndAtMostFourExpected) {
  // More than four tokens could follow "=": no expecting part.
  EXPECT_EQ(FirstError("a = ;"), "syntax error, unexpected \";\"");
  // States that reduce by default report only what their final state expects.
  EXPECT_EQ(FirstError("f(a, ...);"), "syntax error, unexpected \"...\", expecting \",\" or \")\"");
  EXPECT_EQ(FirstError("property p { }"), "syntax error, unexpected \"}\", expecting \"setter\" or \"getter\"");
  EXPECT_EQ(FirstError("x = a b;"), "syntax error, unexpected T_SYMBOL, expecting \";\"");
  // Expected tokens are listed in code order.
  EXPECT_EQ(FirstError("try a; catch (1) b;"), "syntax error, unexpected T_CONSTVAL, expecting \")\" or T_SYMBOL");
  EXPECT_EQ(FirstError("x = (a;"), "syntax error, unexpected \";\", expecting \")\"");
  EXPECT_EQ(FirstError("class 1 { }"), "syntax error, unexpected T_CONSTVAL, expecting T_SYMBOL");
  EXPECT_EQ(FirstError("x = a.\"b\";"), "syntax error, unexpected T_CONSTVAL, expecting T_SYMBOL");
}

TEST(ParserSyntaxErrors, EndOfInput) {
  tParsed parsed = ParseScript(u"x = a");
  ASSERT_EQ(parsed.Errors.size(), 1u);
  EXPECT_EQ(parsed.Errors[0], (std::pair<int32_t, std::string>{5, "syntax error, unexpected $end, expecting \";\""}));
  // Nothing to resume with: the parse is abandoned.
  EXPECT_EQ(parsed.Result, 1);
  EXPECT_EQ(FirstError("while (a"), "syntax error, unexpected $end, expecting \")\"");
  EXPECT_EQ(FirstError("{"), "syntax error, unexpected $end");
}

TEST(ParserSyntaxErrors, PositionIsTheOffendingToken) {
  tParsed parsed = ParseScript(u"a = 1;\nb = ) ;");
  ASSERT_EQ(parsed.Errors.size(), 1u);
  EXPECT_EQ(parsed.Errors[0].first, 11);
  EXPECT_EQ(parsed.Errors[0].second, "syntax error, unexpected \")\"");
}

TEST(ParserSyntaxErrors, RecoveryReportsEachErrorOnceAndGoesOn) {
  tParsed parsed = ParseScript(u"a = ; b = 1; c d e f; function f() { x = ); y = 2; } z = 3;");
  EXPECT_EQ(parsed.Result, 0);
  EXPECT_EQ(parsed.Log, (tLines{"BeginContext global 0", "Error 4 syntax error, unexpected \";\"",
                                "EmitExpressionStatement (= b 1)", "Error 15 syntax error, unexpected T_SYMBOL, expecting \";\"",
                                "BeginContext f 1", "OpenBlock", "OpenBlock",
                                "Error 41 syntax error, unexpected \")\"", "EmitExpressionStatement (= y 2)",
                                "CloseBlock", "CloseBlock", "EndContext", "EmitExpressionStatement (= z 3)",
                                "EndContext"}));
}

TEST(ParserSyntaxErrors, MoreThanTwentyErrorsAbandonTheParse) {
  std::u16string twenty;
  for (int i = 0; i < 20; ++i) twenty += u"a = ;\n";
  tParsed parsed = ParseScript(twenty + u"z = 1;");
  EXPECT_EQ(parsed.Result, 0);
  EXPECT_EQ(parsed.Errors.size(), 20u);
  EXPECT_EQ(parsed.Log[parsed.Log.size() - 2], "EmitExpressionStatement (= z 1)");

  parsed = ParseScript(twenty + u"a = ;\nz = 1;");
  EXPECT_EQ(parsed.Result, 1);
  EXPECT_EQ(parsed.Errors.size(), 21u);
  for (const std::string& line : parsed.Log) EXPECT_EQ(line.find("EmitExpressionStatement"), std::string::npos);
}

// Nesting and the parser stack ---------------------------------------------------------

TEST(ParserStack, GrowsForDeepNestingWithinTheLimit) {
  std::u16string text = u"x = ";
  text += std::u16string(2000, u'(') + u"1" + std::u16string(2000, u')') + u";";
  tParsed parsed = ParseScript(text);
  EXPECT_EQ(parsed.Result, 0);
  EXPECT_EQ(parsed.Log, (tLines{"BeginContext global 0", "EmitExpressionStatement (= x 1)", "EndContext"}));
}

TEST(ParserStack, AbsurdNestingOverflowsWithAMessage) {
  for (const std::u16string& opener : {std::u16string(u"("), std::u16string(u"-"), std::u16string(u"{"),
                                       std::u16string(u"a = ")}) {
    std::u16string text;
    for (int i = 0; i < 100000; ++i) text += opener;
    text += u"1;";
    tParsed parsed = ParseScript(text);
    EXPECT_EQ(parsed.Result, 2);
    ASSERT_EQ(parsed.Errors.size(), 1u);
    EXPECT_EQ(parsed.Errors[0].second, "parser stack overflow");
  }
}

TEST(ParserStack, LongLeftAssociativeChainsNeedNoStack) {
  std::u16string text = u"x = a";
  for (int i = 0; i < 100000; ++i) text += u" + a";
  text += u";";
  tParsed parsed = ParseScript(text, false);
  EXPECT_EQ(parsed.Result, 0);
  EXPECT_EQ(parsed.Log, (tLines{"BeginContext global 0", "EmitExpressionStatement <tree>", "EndContext"}));
}

TEST(ParserStack, ExceptionsFromActionsEndTheParseWithoutLeaking) {
  // The stack has grown beyond its initial room when the lexer raises.
  std::u16string text = u"x = " + std::u16string(1000, u'(') + u"1 ` 2;";
  tRecordingCompileHost host;
  tNUVLexicalAnalyzer lexer(&host, text.c_str(), false, false);
  EXPECT_THROW(NUVParse(&host, &lexer), eNUVError);
  ASSERT_FALSE(host.Log.empty());
  EXPECT_EQ(host.Log.back().rfind("RaiseCompileError 1006 ", 0), 0u) << host.Log.back();
}

// The order of lexer calls ---------------------------------------------------------------

// A token source playing back a fixed token list and recording every call.
class tScriptedTokenSource final : public iNUVTokenSource {
public:
  struct tToken {
    int32_t Code;
    tNUVVariant Value;
  };
  explicit tScriptedTokenSource(std::vector<tToken> tokens) : Tokens(std::move(tokens)) {
    Values.emplace_back();
  }
  int32_t NextToken(int32_t* valueIndex) override {
    if (Next >= Tokens.size()) {
      Calls.push_back("Next $end");
      *valueIndex = 0;
      return 0;
    }
    const tToken& token = Tokens[Next++];
    Calls.push_back("Next " + OperatorName(token.Code));
    Position = static_cast<int32_t>(Next);
    *valueIndex = 0;
    if (!token.Value.IsVoid()) {
      Values.push_back(token.Value);
      *valueIndex = static_cast<int32_t>(Values.size() - 1);
    }
    return token.Code;
  }
  void BeginRegExp() override { Calls.push_back("BeginRegExp"); }
  void ExpectMemberName() override { Calls.push_back("ExpectMemberName"); }
  const tNUVVariant& ValueAt(int32_t index) const override { return Values.at(index); }
  int32_t TokenPosition() const override { return Position; }

  std::vector<std::string> Calls;

private:
  std::vector<tToken> Tokens;
  std::vector<tNUVVariant> Values;
  size_t Next = 0;
  int32_t Position = 0;
};

TEST(ParserLexerProtocol, AnnouncementsPrecedeTheNextScan) {
  tRecordingCompileHost host;
  tScriptedTokenSource source({
      {T_SYMBOL, tNUVVariant(u"a")}, {T_DOT, {}}, {T_SYMBOL, tNUVVariant(u"if")}, {T_EQUAL, {}},
      {T_SLASH, {}}, {T_REGEXP, tNUVVariant(u"//g/x")}, {T_SEMICOLON, {}},
      {T_DOT, {}}, {T_SYMBOL, tNUVVariant(u"b")}, {T_EQUAL, {}},
      {T_SYMBOL, tNUVVariant(u"f")}, {T_LPARENTHESIS, {}}, {T_SLASHEQUAL, {}}, {T_REGEXP, tNUVVariant(u"///=y")},
      {T_COMMA, {}}, {T_EXCLAMATION, {}}, {T_SLASH, {}}, {T_REGEXP, tNUVVariant(u"///z")},
      {T_RPARENTHESIS, {}}, {T_DOT, {}}, {T_SYMBOL, tNUVVariant(u"c")}, {T_SEMICOLON, {}},
  });
  ASSERT_EQ(NUVParseTokens(&host, &source), 0);
  EXPECT_EQ(source.Calls,
            (std::vector<std::string>{
                "Next T_SYMBOL", "Next .", "ExpectMemberName", "Next T_SYMBOL", "Next =", "Next /", "BeginRegExp",
                "Next T_REGEXP", "Next ;", "Next .", "ExpectMemberName", "Next T_SYMBOL", "Next =", "Next T_SYMBOL",
                "Next (", "Next /=", "BeginRegExp", "Next T_REGEXP", "Next ,", "Next !", "Next /", "BeginRegExp",
                "Next T_REGEXP", "Next )", "Next .", "ExpectMemberName", "Next T_SYMBOL", "Next ;", "Next $end"}));
  EXPECT_EQ(host.Log, (tLines{"BeginContext global 0", "EmitExpressionStatement (= (. a \"if\") (T_REGEXP \"//g/x\"))",
                              "EmitExpressionStatement (= (T_WITHDOT \"b\") (. (( f (T_ARG (! (T_REGEXP \"///z\")) "
                              "(T_ARG (T_REGEXP \"///=y\")))) \"c\"))",
                              "EndContext"}));
}

TEST(ParserLexerProtocol, UnknownTokenCodesAreSyntaxErrors) {
  tRecordingCompileHost host;
  tScriptedTokenSource source({{T_UPLUS, {}}, {T_SEMICOLON, {}}, {T_SYMBOL, tNUVVariant(u"a")}, {T_SEMICOLON, {}}});
  EXPECT_EQ(NUVParseTokens(&host, &source), 0);
  ASSERT_EQ(host.Errors.size(), 1u);
  EXPECT_EQ(host.Errors[0].second, "syntax error, unexpected T_UPLUS");
  EXPECT_EQ(host.Log[2], "EmitExpressionStatement a");
}

}  // namespace
}  // namespace NUV::ParserTest
