// The lexer: token codes, reserved words and member names, comments, string,
// number, octet and regular-expression literals, embeddable strings, line ends
// and positions, expression mode, the "#!" line, invalid characters and the
// dicfunc wrapping.

#include <bit>
#include <limits>

#include "engine/compiler/reserved_words.h"
#include "lexer_test_support.h"

namespace NUV::LexerTest {
namespace {

std::vector<int32_t> Codes(const std::vector<tScannedToken>& tokens) {
  std::vector<int32_t> codes;
  for (const tScannedToken& token : tokens) codes.push_back(token.Token);
  return codes;
}

void ExpectFailure(const tCompileFailure& failure, const std::u16string& message, int32_t position) {
  EXPECT_EQ(failure.Message, message);
  EXPECT_TRUE(failure.HasPosition);
  EXPECT_EQ(failure.Position, position);
}

// ---------------------------------------------------------------------------------
// Operators and punctuation

struct tOperator {
  const char16_t* Spelling;
  int32_t Token;
};

const tOperator kOperators[] = {
    {u",", T_COMMA}, {u"=", T_EQUAL}, {u"&=", T_AMPERSANDEQUAL}, {u"|=", T_VERTLINEEQUAL},
    {u"^=", T_CHEVRONEQUAL}, {u"-=", T_MINUSEQUAL}, {u"+=", T_PLUSEQUAL}, {u"%=", T_PERCENTEQUAL},
    {u"/=", T_SLASHEQUAL}, {u"\\=", T_BACKSLASHEQUAL}, {u"*=", T_ASTERISKEQUAL}, {u"||=", T_LOGICALOREQUAL},
    {u"&&=", T_LOGICALANDEQUAL}, {u">>>=", T_RBITSHIFTEQUAL}, {u"<<=", T_LARITHSHIFTEQUAL},
    {u">>=", T_RARITHSHIFTEQUAL}, {u"?", T_QUESTION}, {u"||", T_LOGICALOR}, {u"&&", T_LOGICALAND},
    {u"|", T_VERTLINE}, {u"^", T_CHEVRON}, {u"&", T_AMPERSAND}, {u"!=", T_NOTEQUAL}, {u"==", T_EQUALEQUAL},
    {u"!==", T_DISCNOTEQUAL}, {u"===", T_DISCEQUAL}, {u"<->", T_SWAP}, {u"<", T_LT}, {u">", T_GT},
    {u"<=", T_LTOREQUAL}, {u">=", T_GTOREQUAL}, {u">>", T_RARITHSHIFT}, {u"<<", T_LARITHSHIFT},
    {u">>>", T_RBITSHIFT}, {u"%", T_PERCENT}, {u"/", T_SLASH}, {u"\\", T_BACKSLASH}, {u"*", T_ASTERISK},
    {u"!", T_EXCLAMATION}, {u"~", T_TILDE}, {u"--", T_DECREMENT}, {u"++", T_INCREMENT}, {u"+", T_PLUS},
    {u"-", T_MINUS}, {u"#", T_SHARP}, {u"$", T_DOLLAR}, {u"(", T_LPARENTHESIS}, {u".", T_DOT},
    {u"[", T_LBRACKET}, {u"]", T_RBRACKET}, {u")", T_RPARENTHESIS}, {u":", T_COLON}, {u";", T_SEMICOLON},
    {u"{", T_LBRACE}, {u"}", T_RBRACE}, {u"...", T_OMIT},
};

TEST(LexerOperators, EverySpellingGivesItsToken) {
  EXPECT_EQ(T_COMMA, 258);
  EXPECT_EQ(T_NEW, 300);
  EXPECT_EQ(T_THIS, 313);
  EXPECT_EQ(T_SYMBOL, 372);
  EXPECT_EQ(T_CONSTVAL, 387);
  for (const tOperator& entry : kOperators) {
    SCOPED_TRACE(Narrow(entry.Spelling));
    tTestHost host;
    const std::vector<tScannedToken> tokens = Scan(host, entry.Spelling);
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(tokens[0].Token, entry.Token);
    EXPECT_EQ(tokens[0].Position, 0);
    EXPECT_EQ(tokens[0].Value.Type(), tvtVoid);
    EXPECT_EQ(std::string(NUVTokenName(entry.Token)), "\"" + Narrow(entry.Spelling) + "\"");
  }
}

TEST(LexerOperators, LongestSpellingWins) {
  EXPECT_EQ(Tokens(u"a+++b"), "a ++ + b");
  EXPECT_EQ(Tokens(u">>>>="), ">>> >=");
  EXPECT_EQ(Tokens(u"<<<"), "<< <");
  EXPECT_EQ(Tokens(u"!==="), "!== =");
  EXPECT_EQ(Tokens(u"-->"), "-- >");
  EXPECT_EQ(Tokens(u"&&&"), "&& &");
  EXPECT_EQ(Tokens(u"|||="), "|| |=");
  EXPECT_EQ(Tokens(u"<->>"), "<-> >");
  EXPECT_EQ(Tokens(u"....."), "... . .");
  EXPECT_EQ(Tokens(u"a-=-1"), "a -= - 1");
  EXPECT_EQ(Tokens(u".5.x"), "real:0.5 . x");
}

TEST(LexerOperators, FatArrowIsAComma) {
  tTestHost host;
  const std::vector<tScannedToken> arrows = Scan(host, u"%[\"a\" => 1, \"b\" => 2]");
  const std::vector<tScannedToken> commas = Scan(host, u"%[\"a\", 1, \"b\", 2]");
  EXPECT_EQ(Codes(arrows), Codes(commas));
  EXPECT_EQ(Describe(arrows), "% [ \"a\" , 1 , \"b\" , 2 ]");
  EXPECT_EQ(Describe(commas), Describe(arrows));
  EXPECT_EQ(Tokens(u"=>="), ", =");
}

// ---------------------------------------------------------------------------------
// Reserved words and member names

struct tReserved {
  const char16_t* Word;
  int32_t Token;
};

const tReserved kReservedWords[] = {
    {u"break", T_BREAK}, {u"continue", T_CONTINUE}, {u"const", T_CONST}, {u"catch", T_CATCH},
    {u"class", T_CLASS}, {u"case", T_CASE}, {u"debugger", T_DEBUGGER}, {u"default", T_DEFAULT},
    {u"delete", T_DELETE}, {u"do", T_DO}, {u"extends", T_EXTENDS}, {u"export", T_EXPORT}, {u"enum", T_ENUM},
    {u"else", T_ELSE}, {u"function", T_FUNCTION}, {u"finally", T_FINALLY}, {u"for", T_FOR},
    {u"global", T_GLOBAL}, {u"getter", T_GETTER}, {u"goto", T_GOTO}, {u"incontextof", T_INCONTEXTOF},
    {u"invalidate", T_INVALIDATE}, {u"instanceof", T_INSTANCEOF}, {u"isvalid", T_ISVALID},
    {u"import", T_IMPORT}, {u"int", T_INT}, {u"in", T_IN}, {u"if", T_IF}, {u"new", T_NEW}, {u"octet", T_OCTET},
    {u"protected", T_PROTECTED}, {u"property", T_PROPERTY}, {u"private", T_PRIVATE}, {u"public", T_PUBLIC},
    {u"return", T_RETURN}, {u"real", T_REAL}, {u"synchronized", T_SYNCHRONIZED}, {u"switch", T_SWITCH},
    {u"static", T_STATIC}, {u"setter", T_SETTER}, {u"string", T_STRING}, {u"super", T_SUPER},
    {u"typeof", T_TYPEOF}, {u"throw", T_THROW}, {u"this", T_THIS}, {u"try", T_TRY}, {u"void", T_VOID},
    {u"var", T_VAR}, {u"while", T_WHILE}, {u"with", T_WITH},
};

TEST(LexerWords, ReservedWordsGiveTheirTokens) {
  for (const tReserved& entry : kReservedWords) {
    SCOPED_TRACE(Narrow(entry.Word));
    tTestHost host;
    const std::vector<tScannedToken> tokens = Scan(host, entry.Word);
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(tokens[0].Token, entry.Token);
    EXPECT_EQ(tokens[0].Value.Type(), tvtVoid);
  }
}

TEST(LexerWords, LiteralWordsBecomeConstants) {
  tTestHost host;
  const std::vector<tScannedToken> tokens = Scan(host, u"false true null NaN Infinity");
  ASSERT_EQ(tokens.size(), 5u);
  for (const tScannedToken& token : tokens) EXPECT_EQ(token.Token, T_CONSTVAL);
  EXPECT_EQ(tokens[0].Value.Type(), tvtInteger);
  EXPECT_EQ(tokens[0].Value.AsInteger(), 0);
  EXPECT_EQ(tokens[1].Value.Type(), tvtInteger);
  EXPECT_EQ(tokens[1].Value.AsInteger(), 1);
  EXPECT_EQ(tokens[2].Value.Type(), tvtObject);
  EXPECT_EQ(tokens[2].Value.Object.Object, nullptr);
  EXPECT_EQ(tokens[2].Value.Object.ObjThis, nullptr);
  ASSERT_EQ(tokens[3].Value.Type(), tvtReal);
  EXPECT_EQ(std::bit_cast<uint64_t>(tokens[3].Value.Real), 0x7FF8000000000000u);
  ASSERT_EQ(tokens[4].Value.Type(), tvtReal);
  EXPECT_EQ(tokens[4].Value.Real, std::numeric_limits<double>::infinity());
}

TEST(LexerWords, OtherWordsAreSymbols) {
  tTestHost host;
  // Reserved words are case-sensitive; letters from U+0100 up and "_" are word characters.
  const std::vector<tScannedToken> tokens =
      Scan(host, u"If NULL nan infinity Class _a1 iff \u3042\u3044 x\u0100y");
  ASSERT_EQ(tokens.size(), 9u);
  const char16_t* names[] = {u"If", u"NULL", u"nan", u"infinity", u"Class", u"_a1", u"iff",
                             u"\u3042\u3044", u"x\u0100y"};
  for (size_t i = 0; i < tokens.size(); ++i) {
    EXPECT_EQ(tokens[i].Token, T_SYMBOL);
    ASSERT_EQ(tokens[i].Value.Type(), tvtString);
    EXPECT_EQ(std::u16string(tokens[i].Value.AsString().c_str()), names[i]);
  }
}

TEST(LexerWords, MemberNamesMayBeReservedWords) {
  tTestHost host;
  const std::vector<tScannedToken> tokens = Scan(host, u"obj.if obj.class obj.new obj.true if");
  ASSERT_EQ(tokens.size(), 13u);
  const char16_t* members[] = {u"if", u"class", u"new", u"true"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(tokens[3 * i].Token, T_SYMBOL);
    EXPECT_EQ(tokens[3 * i + 1].Token, T_DOT);
    EXPECT_EQ(tokens[3 * i + 2].Token, T_SYMBOL);
    EXPECT_EQ(std::u16string(tokens[3 * i + 2].Value.AsString().c_str()), members[i]);
  }
  // The announcement covers one word only.
  EXPECT_EQ(tokens[12].Token, T_IF);

  // Without the parser's announcement the word after "." stays reserved.
  tScanOptions plain;
  plain.MemberNameAfterDot = false;
  EXPECT_EQ(Codes(Scan(host, u"obj.if", plain)), (std::vector<int32_t>{T_SYMBOL, T_DOT, T_IF}));
}

TEST(LexerWords, TheTableLivesWhileReferenced) {
  const int32_t before = NUVReservedWordTableRefCount();
  tTestHost host;
  {
    tNUVLexicalAnalyzer lexer(&host, u"if", false, false);
    EXPECT_EQ(NUVReservedWordTableRefCount(), before + 1);
    int32_t value = 0;
    EXPECT_EQ(lexer.NextToken(&value), T_IF);
  }
  EXPECT_EQ(NUVReservedWordTableRefCount(), before);

  // An engine's reference keeps the filled table across lexers.
  NUVAddRefReservedWordTable();
  {
    tNUVLexicalAnalyzer lexer(&host, u"x", false, false);
    EXPECT_EQ(NUVLookupReservedWord(tNUVString(u"while")), T_WHILE);
    EXPECT_EQ(NUVLookupReservedWord(tNUVString(u"whilst")), 0);
  }
  EXPECT_EQ(NUVLookupReservedWord(tNUVString(u"Infinity")), T_INFINITY);
  NUVReleaseReservedWordTable();
  EXPECT_EQ(NUVReservedWordTableRefCount(), before);
}

// ---------------------------------------------------------------------------------
// Comments

TEST(LexerComments, LineAndNestedBlockComments) {
  EXPECT_EQ(Tokens(u"a // line\nb"), "a b");
  EXPECT_EQ(Tokens(u"a /* x /* y */ z */ b"), "a b");
  EXPECT_EQ(Tokens(u"a /**/ b /***/ c"), "a b c");
  EXPECT_EQ(Tokens(u"a // to the end"), "a");
  EXPECT_EQ(Tokens(u"/* only */"), "");
  EXPECT_EQ(Tokens(u"a /* x */"), "a");
}

TEST(LexerComments, UnclosedCommentIsAnError) {
  ExpectFailure(ScanFailure(u"x /* a /* b */"), MessageText(NUVUnclosedComment), 2);
  ExpectFailure(ScanFailure(u"x = 1; /* a"), MessageText(NUVUnclosedComment), 7);
  EXPECT_EQ(MessageText(NUVUnclosedComment), u"コメントが終わらないままスクリプトの終端に達しました");
}

TEST(LexerComments, TokenBehindACommentStartsWhereItIs) {
  tTestHost host;
  const std::vector<tScannedToken> tokens = Scan(host, u"a /* c */ b // d\n  c");
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(tokens[1].Position, 10);
  EXPECT_EQ(tokens[2].Position, 19);
  // A regular expression behind a comment is read from its own "/".
  EXPECT_EQ(Tokens(u"a = /* c */ /x/;"), "a = / re(///x) ;");
}

// ---------------------------------------------------------------------------------
// String literals

std::u16string StringValue(const char16_t* text) {
  tTestHost host;
  const std::vector<tScannedToken> tokens = Scan(host, text);
  EXPECT_EQ(tokens.size(), 1u) << Narrow(text);
  if (tokens.size() != 1 || tokens[0].Token != T_CONSTVAL || tokens[0].Value.Type() != tvtString) return u"<none>";
  return tokens[0].Value.AsString().c_str();
}

TEST(LexerStrings, Escapes) {
  EXPECT_EQ(StringValue(uR"("\a\b\f\n\r\t\v")"), u"\a\b\f\n\r\t\v");
  EXPECT_EQ(StringValue(uR"("\\\'\"\q\$")"), u"\\'\"q$");
  EXPECT_EQ(StringValue(uR"("\x41\x4142")"), u"A\u4142");
  EXPECT_EQ(StringValue(uR"("\X4a\x4A\x12345")"), u"JJ\u12345");
  EXPECT_EQ(StringValue(uR"("\xg")"), u"g");
  EXPECT_EQ(StringValue(uR"("\101")"), u"101");
  EXPECT_EQ(StringValue(uR"("\0101")"), u"A");
  EXPECT_EQ(StringValue(uR"("\0200101")"), u"A");   // octal codes wrap at 16 bits
  EXPECT_EQ(StringValue(uR"("\0")"), u"");
  EXPECT_EQ(StringValue(uR"("a\0b\x0g")"), u"abg");
  EXPECT_EQ(StringValue(uR"('a"b')"), u"a\"b");
  EXPECT_EQ(StringValue(uR"("a'b")"), u"a'b");
  EXPECT_EQ(StringValue(u"\"\""), u"");
}

TEST(LexerStrings, AdjacentLiteralsJoin) {
  EXPECT_EQ(StringValue(u"\"abc\"  \"def\""), u"abcdef");
  EXPECT_EQ(StringValue(u"\"abc\"\r\n\t\"def\""), u"abcdef");
  EXPECT_EQ(StringValue(u"'ab' 'cd' 'ef'"), u"abcdef");
  EXPECT_EQ(Tokens(u"\"ab\" 'cd'"), "\"ab\" \"cd\"");
  // A comment between the parts ends the joining.
  EXPECT_EQ(Tokens(u"\"ab\" /* c */ \"cd\""), "\"ab\" \"cd\"");
  EXPECT_EQ(Tokens(u"\"ab\" // c\n \"cd\""), "\"ab\" \"cd\"");
  EXPECT_EQ(Tokens(u"\"ab\" + \"cd\"x"), "\"ab\" + \"cd\" x");

  tTestHost host;
  const std::vector<tScannedToken> tokens = Scan(host, u"x \"ab\" \"cd\" y");
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(tokens[1].Position, 2);
  EXPECT_EQ(tokens[2].Position, 12);
}

TEST(LexerStrings, LineEndsInsideAString) {
  EXPECT_EQ(StringValue(u"\"a\r\nb\""), u"a\nb");
  EXPECT_EQ(StringValue(u"\"a\rb\""), u"a\nb");
  EXPECT_EQ(StringValue(u"\"a\\\r\nb\""), u"a\nb");
}

TEST(LexerStrings, UnclosedStringIsAnError) {
  ExpectFailure(ScanFailure(u"x = \"abc"), MessageText(NUVStringParseError), 4);
  ExpectFailure(ScanFailure(u"x = 'ab\\'"), MessageText(NUVStringParseError), 4);
  ExpectFailure(ScanFailure(u"\"abc\\"), MessageText(NUVStringParseError), 0);
  ExpectFailure(ScanFailure(u"\"abc\" \"d"), MessageText(NUVStringParseError), 0);
}

// ---------------------------------------------------------------------------------
// Number literals

TEST(LexerNumbers, LiteralsGoThroughTheNumberScanner) {
  EXPECT_EQ(Tokens(u"0x10 1e3 .5 017 0b101 0 1.5 18446744073709551617"),
            "16 real:1000 real:0.5 15 5 0 real:1.5 1");
  EXPECT_EQ(Tokens(u"12abc"), "12 abc");
  // "08" is octal 0 followed by 8.
  EXPECT_EQ(Tokens(u"08"), "0 8");
  tTestHost host;
  const std::vector<tScannedToken> tokens = Scan(host, u"x=0x10;");
  ASSERT_EQ(tokens.size(), 4u);
  EXPECT_EQ(tokens[2].Value.Type(), tvtInteger);
  EXPECT_EQ(tokens[2].Position, 2);
  EXPECT_EQ(tokens[3].Position, 6);
}

TEST(LexerNumbers, UnreadableNumberIsAnError) {
  ExpectFailure(ScanFailure(u"0p1"), MessageText(NUVNumberError), 0);
  ExpectFailure(ScanFailure(u"x = 0p1;"), MessageText(NUVNumberError), 4);
  ExpectFailure(ScanFailure(u"x = 0x;"), MessageText(NUVNumberError), 4);
  EXPECT_EQ(MessageText(NUVNumberError), u"数値として解釈できません");
}

// ---------------------------------------------------------------------------------
// Octet literals

TEST(LexerOctets, BytesFromHexadecimalPairs) {
  EXPECT_EQ(Tokens(u"<% 00 ff 1, 2 %>"), "<%00 FF 01 02%>");
  EXPECT_EQ(Tokens(u"<%1%>"), "<%01%>");
  EXPECT_EQ(Tokens(u"<% a, b %>"), "<%0A 0B%>");
  EXPECT_EQ(Tokens(u"<% 0 1 %>"), "<%01%>");
  EXPECT_EQ(Tokens(u"<% 12 /* 34 */ 56 // 78\n 9A %>"), "<%12 56 9A%>");
  EXPECT_EQ(Tokens(u"x = <%AbCd%>;"), "x = <%AB CD%> ;");
  EXPECT_EQ(Tokens(u"a<b a<=b a<<b"), "a < b a <= b a << b");
}

TEST(LexerOctets, EmptyOctetHasNoData) {
  tTestHost host;
  const std::vector<tScannedToken> tokens = Scan(host, u"<%%>");
  ASSERT_EQ(tokens.size(), 1u);
  EXPECT_EQ(tokens[0].Token, T_CONSTVAL);
  EXPECT_EQ(tokens[0].Value.Type(), tvtOctet);
  EXPECT_EQ(tokens[0].Value.AsOctet(), nullptr);
}

TEST(LexerOctets, UnclosedOctetIsAnError) {
  ExpectFailure(ScanFailure(u"<% 12"), MessageText(NUVStringParseError), 0);
  ExpectFailure(ScanFailure(u"x = <% 12 // c"), MessageText(NUVStringParseError), 4);
  ExpectFailure(ScanFailure(u"x = <% 12 %"), MessageText(NUVStringParseError), 4);
}

// ---------------------------------------------------------------------------------
// Regular-expression literals

TEST(LexerRegExps, ReadOnlyWhenAnnounced) {
  EXPECT_EQ(Tokens(u"a = /x/g;"), "a = / re(//g/x) ;");
  EXPECT_EQ(Tokens(u"a = b / c;"), "a = b / c ;");
  // The "=" of "/=" belongs to the pattern.
  EXPECT_EQ(Tokens(u"a = /=x/;"), "a = /= re(///=x) ;");
  EXPECT_EQ(Tokens(u"f(/ab+c/gi)"), "f ( / re(//gi/ab+c) )");
  EXPECT_EQ(Tokens(uR"(a = /a\/b\\/m;)"), R"(a = / re(//m/a\/b\\) ;)");
  // Flags are lower-case letters only.
  EXPECT_EQ(Tokens(u"a = /x/gI;"), "a = / re(//g/x) I ;");

  tTestHost host;
  const std::vector<tScannedToken> tokens = Scan(host, u"a = /x/g;");
  ASSERT_EQ(tokens.size(), 5u);
  EXPECT_EQ(tokens[3].Token, T_REGEXP);
  EXPECT_EQ(tokens[3].Value.Type(), tvtString);
  EXPECT_EQ(tokens[2].Position, 4);
  EXPECT_EQ(tokens[4].Position, 8);
}

TEST(LexerRegExps, UnclosedRegExpIsAnError) {
  ExpectFailure(ScanFailure(u"a = /abc"), MessageText(NUVStringParseError), 4);
  ExpectFailure(ScanFailure(u"a = /abc\\"), MessageText(NUVStringParseError), 4);
}

// ---------------------------------------------------------------------------------
// Embeddable strings

TEST(LexerEmbeddable, ExpandsToAConcatenation) {
  EXPECT_EQ(Tokens(u"@\"a&x;b${y}c\""), "( \"a\" + string ( x ) + \"b\" + string ( y ) + \"c\" )");
  EXPECT_EQ(Tokens(u"@\"sum=&a+b;.\""), "( \"sum=\" + string ( a + b ) + \".\" )");
  EXPECT_EQ(Tokens(u"@\"\""), "( \"\" )");
  EXPECT_EQ(Tokens(u"@''"), "( \"\" )");
  EXPECT_EQ(Tokens(u"@\"abc\""), "( \"abc\" )");
  EXPECT_EQ(Tokens(u"@\"&x;\""), "( string ( x ) )");
  EXPECT_EQ(Tokens(u"@\"&x;${y}\""), "( string ( x ) + string ( y ) )");
  EXPECT_EQ(Tokens(u"@ 'a&n;' 'b'"), "( \"a\" + string ( n ) + \"b\" )");
  EXPECT_EQ(Tokens(u"x = @\"a\" + 1;"), "x = ( \"a\" ) + 1 ;");
}

TEST(LexerEmbeddable, EscapesAndOrdinaryDollars) {
  EXPECT_EQ(Tokens(uR"(@"\&\${}$x$")"), "( \"&${}$x$\" )");
  EXPECT_EQ(Tokens(uR"(@"a\"b")"), "( \"a\"b\" )");
}

TEST(LexerEmbeddable, ExpressionsCloseOnlyAtTheirOwnDepth) {
  EXPECT_EQ(Tokens(u"@\"${ {a:1}[\"a\"] }\""), "( string ( { a : 1 } [ \"a\" ] ) )");
  EXPECT_EQ(Tokens(u"@\"&f(a;b);\""), "( string ( f ( a ; b ) ) )");
  EXPECT_EQ(Tokens(u"f(@\"&x;\")"), "f ( ( string ( x ) ) )");
}

TEST(LexerEmbeddable, NestedEmbeddableStrings) {
  EXPECT_EQ(Tokens(u"@\"a${@\"b&c;\"}d\""), "( \"a\" + string ( ( \"b\" + string ( c ) ) ) + \"d\" )");

  // Deep nesting is expanded without recursion.
  std::u16string text = u"x";
  const int levels = 5000;
  for (int i = 0; i < levels; ++i) text = u"@\"${" + text + u"}\"";
  tTestHost host;
  const std::vector<tScannedToken> tokens = Scan(host, text.c_str());
  // Each level is "( string (" ... ") )".
  ASSERT_EQ(tokens.size(), static_cast<size_t>(1 + 5 * levels));
  EXPECT_EQ(tokens[0].Token, T_LPARENTHESIS);
  EXPECT_EQ(tokens[1].Token, T_STRING);
  EXPECT_EQ(tokens[3 * levels].Token, T_SYMBOL);
  EXPECT_EQ(tokens.back().Token, T_RPARENTHESIS);
}

TEST(LexerEmbeddable, UnclosedEmbeddableStringIsAnError) {
  ExpectFailure(ScanFailure(u"x = @\"abc"), MessageText(NUVStringParseError), 4);
  ExpectFailure(ScanFailure(u"x = @\"a&b"), MessageText(NUVStringParseError), 4);
  ExpectFailure(ScanFailure(u"x = @\"a${b;"), MessageText(NUVStringParseError), 4);
  tScanOptions expression;
  expression.IsExpression = true;
  // The appended ";" closes the embedded expression, not the string.
  ExpectFailure(ScanFailure(u"@\"a&b", expression), MessageText(NUVStringParseError), 0);
}

TEST(LexerEmbeddable, AtSignAlone) {
  EXPECT_EQ(Tokens(u"x @"), "x");
  EXPECT_EQ(Tokens(u"x @  "), "x");
  ExpectFailure(ScanFailure(u"a @foo"), MessageText(NUVInvalidChar, u"@"), 2);
}

// ---------------------------------------------------------------------------------
// Line ends, invisible units and positions

TEST(LexerText, LineEndsAreNormalised) {
  tTestHost host;
  tNUVLexicalAnalyzer lexer(&host, u"a\r\nb\rc\nd", false, false);
  std::vector<int32_t> positions;
  int32_t value = 0;
  while (lexer.NextToken(&value) != 0) positions.push_back(lexer.TokenPosition());
  EXPECT_EQ(std::u16string(lexer.GetText()), u"a\uFFFF\nb\nc\nd");
  EXPECT_EQ(positions, (std::vector<int32_t>{0, 3, 5, 7}));
}

TEST(LexerText, InvisibleUnitsNeverSplitTokens) {
  tTestHost host;
  const std::vector<tScannedToken> tokens = Scan(host, u"ab\uFFFFcd !\uFFFF= \"x\uFFFFy\" 1\uFFFF");
  ASSERT_EQ(tokens.size(), 4u);
  EXPECT_EQ(std::u16string(tokens[0].Value.AsString().c_str()), u"abcd");
  EXPECT_EQ(tokens[1].Token, T_NOTEQUAL);
  EXPECT_EQ(std::u16string(tokens[2].Value.AsString().c_str()), u"xy");
  EXPECT_EQ(tokens[3].Value.AsInteger(), 1);
  EXPECT_EQ(Tokens(u"x\r\n=\r\n1"), "x = 1");
}

TEST(LexerText, TokenPositions) {
  tTestHost host;
  const std::vector<tScannedToken> tokens = Scan(host, u"  foo  = 12;\n\tbar");
  ASSERT_EQ(tokens.size(), 5u);
  EXPECT_EQ(tokens[0].Position, 2);
  EXPECT_EQ(tokens[1].Position, 7);
  EXPECT_EQ(tokens[2].Position, 9);
  EXPECT_EQ(tokens[3].Position, 11);
  EXPECT_EQ(tokens[4].Position, 14);
}

TEST(LexerText, ExpressionMode) {
  tScanOptions expression;
  expression.IsExpression = true;
  expression.WantsResult = true;
  EXPECT_EQ(Tokens(u"1+2", expression), "return 1 + 2 ;");
  expression.WantsResult = false;
  EXPECT_EQ(Tokens(u"1+2", expression), "1 + 2 ;");
  // "#!" has no meaning in an expression.
  EXPECT_EQ(Tokens(u"#!x", expression), "# ! x ;");

  tTestHost host;
  tNUVLexicalAnalyzer lexer(&host, u"1+2", true, true);
  int32_t value = -1;
  EXPECT_EQ(lexer.NextToken(&value), T_RETURN);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(lexer.TokenPosition(), 0);
  EXPECT_EQ(std::u16string(lexer.GetText()), u"1+2;");
}

TEST(LexerText, HashBangFirstLineIsAComment) {
  EXPECT_EQ(Tokens(u"#!/usr/bin/env nuv\nx = 1;"), "x = 1 ;");
  EXPECT_EQ(Tokens(u"#!"), "");
  EXPECT_EQ(Tokens(u"a #!b"), "a # ! b");
  EXPECT_EQ(Tokens(u" #!b"), "# ! b");
  EXPECT_EQ(Tokens(u""), "");
}

TEST(LexerText, InvalidCharacters) {
  const tCompileFailure backquote = ScanFailure(u"a ` b");
  ExpectFailure(backquote, MessageText(NUVInvalidChar, u"`"), 2);
  EXPECT_EQ(backquote.Message, u"不正な文字です : '`'");
  ExpectFailure(ScanFailure(u"x = \x01;"), u"不正な文字です : '\\x01'", 4);
  ExpectFailure(ScanFailure(u"x = \u00e9;"), MessageText(NUVInvalidChar, u"\u00e9"), 4);
  ExpectFailure(ScanFailure(u"\x7f"), MessageText(NUVInvalidChar, u"\x7f"), 0);
}

TEST(LexerText, ValueTable) {
  tTestHost host;
  tNUVLexicalAnalyzer lexer(&host, u"\"s\"", false, false);
  int32_t value = 0;
  ASSERT_EQ(lexer.NextToken(&value), T_CONSTVAL);
  EXPECT_GT(value, 0);
  EXPECT_EQ(lexer.ValueAt(value).AsString(), u"s");
  EXPECT_TRUE(lexer.ValueAt(0).IsVoid());
  EXPECT_TRUE(lexer.ValueAt(-1).IsVoid());
  EXPECT_TRUE(lexer.ValueAt(1000).IsVoid());
  EXPECT_EQ(lexer.NextToken(&value), 0);
  EXPECT_EQ(lexer.NextToken(&value), 0);
  EXPECT_EQ(lexer.NextToken(nullptr), 0);
}

// ---------------------------------------------------------------------------------
// The dicfunc wrapping

class tDicFuncSwitch {
public:
  explicit tDicFuncSwitch(bool enabled) : Saved(NUVDicFuncQuickHackEnabled()) { NUVSetDicFuncQuickHack(enabled); }
  ~tDicFuncSwitch() { NUVSetDicFuncQuickHack(Saved); }

private:
  bool Saved;
};

TEST(LexerDicFunc, OffAsShipped) {
  EXPECT_FALSE(NUVDicFuncQuickHackEnabled());
  tScanOptions expression;
  expression.IsExpression = true;
  expression.WantsResult = true;
  EXPECT_EQ(Tokens(u"[1]", expression), "return [ 1 ] ;");
}

TEST(LexerDicFunc, WrapsLiteralsInACalledFunction) {
  tDicFuncSwitch on(true);
  tScanOptions expression;
  expression.IsExpression = true;
  expression.WantsResult = true;
  EXPECT_EQ(Tokens(u"[1, 2]", expression), "return function { return [ 1 , 2 ] ; } ( ) ;");
  EXPECT_EQ(Tokens(u"%[\"a\" => 1]", expression), "return function { return % [ \"a\" , 1 ] ; } ( ) ;");
  // Only expressions that begin with a literal are wrapped.
  EXPECT_EQ(Tokens(u"x[1]", expression), "return x [ 1 ] ;");
  EXPECT_EQ(Tokens(u"[1]"), "[ 1 ]");
}

}  // namespace
}  // namespace NUV::LexerTest
