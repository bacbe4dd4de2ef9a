#pragma once
// Token codes shared by the lexer, the parser and the expression tree: the parser
// reuses a token's code as the kind of the node it makes. Code 0 is the end of the
// text; the terminal tokens are numbered from 258 in the order below. The last
// column is the token's name in syntax-error messages.

#include <cstdint>

namespace NUV {

#define NUV_TOKEN_LIST \
  NUV_TOKEN(T_COMMA, 258, "\",\"") \
  NUV_TOKEN(T_EQUAL, 259, "\"=\"") \
  NUV_TOKEN(T_AMPERSANDEQUAL, 260, "\"&=\"") \
  NUV_TOKEN(T_VERTLINEEQUAL, 261, "\"|=\"") \
  NUV_TOKEN(T_CHEVRONEQUAL, 262, "\"^=\"") \
  NUV_TOKEN(T_MINUSEQUAL, 263, "\"-=\"") \
  NUV_TOKEN(T_PLUSEQUAL, 264, "\"+=\"") \
  NUV_TOKEN(T_PERCENTEQUAL, 265, "\"%=\"") \
  NUV_TOKEN(T_SLASHEQUAL, 266, "\"/=\"") \
  NUV_TOKEN(T_BACKSLASHEQUAL, 267, "\"\\=\"") \
  NUV_TOKEN(T_ASTERISKEQUAL, 268, "\"*=\"") \
  NUV_TOKEN(T_LOGICALOREQUAL, 269, "\"||=\"") \
  NUV_TOKEN(T_LOGICALANDEQUAL, 270, "\"&&=\"") \
  NUV_TOKEN(T_RBITSHIFTEQUAL, 271, "\">>>=\"") \
  NUV_TOKEN(T_LARITHSHIFTEQUAL, 272, "\"<<=\"") \
  NUV_TOKEN(T_RARITHSHIFTEQUAL, 273, "\">>=\"") \
  NUV_TOKEN(T_QUESTION, 274, "\"?\"") \
  NUV_TOKEN(T_LOGICALOR, 275, "\"||\"") \
  NUV_TOKEN(T_LOGICALAND, 276, "\"&&\"") \
  NUV_TOKEN(T_VERTLINE, 277, "\"|\"") \
  NUV_TOKEN(T_CHEVRON, 278, "\"^\"") \
  NUV_TOKEN(T_AMPERSAND, 279, "\"&\"") \
  NUV_TOKEN(T_NOTEQUAL, 280, "\"!=\"") \
  NUV_TOKEN(T_EQUALEQUAL, 281, "\"==\"") \
  NUV_TOKEN(T_DISCNOTEQUAL, 282, "\"!==\"") \
  NUV_TOKEN(T_DISCEQUAL, 283, "\"===\"") \
  NUV_TOKEN(T_SWAP, 284, "\"<->\"") \
  NUV_TOKEN(T_LT, 285, "\"<\"") \
  NUV_TOKEN(T_GT, 286, "\">\"") \
  NUV_TOKEN(T_LTOREQUAL, 287, "\"<=\"") \
  NUV_TOKEN(T_GTOREQUAL, 288, "\">=\"") \
  NUV_TOKEN(T_RARITHSHIFT, 289, "\">>\"") \
  NUV_TOKEN(T_LARITHSHIFT, 290, "\"<<\"") \
  NUV_TOKEN(T_RBITSHIFT, 291, "\">>>\"") \
  NUV_TOKEN(T_PERCENT, 292, "\"%\"") \
  NUV_TOKEN(T_SLASH, 293, "\"/\"") \
  NUV_TOKEN(T_BACKSLASH, 294, "\"\\\"") \
  NUV_TOKEN(T_ASTERISK, 295, "\"*\"") \
  NUV_TOKEN(T_EXCLAMATION, 296, "\"!\"") \
  NUV_TOKEN(T_TILDE, 297, "\"~\"") \
  NUV_TOKEN(T_DECREMENT, 298, "\"--\"") \
  NUV_TOKEN(T_INCREMENT, 299, "\"++\"") \
  NUV_TOKEN(T_NEW, 300, "\"new\"") \
  NUV_TOKEN(T_DELETE, 301, "\"delete\"") \
  NUV_TOKEN(T_TYPEOF, 302, "\"typeof\"") \
  NUV_TOKEN(T_PLUS, 303, "\"+\"") \
  NUV_TOKEN(T_MINUS, 304, "\"-\"") \
  NUV_TOKEN(T_SHARP, 305, "\"#\"") \
  NUV_TOKEN(T_DOLLAR, 306, "\"$\"") \
  NUV_TOKEN(T_ISVALID, 307, "\"isvalid\"") \
  NUV_TOKEN(T_INVALIDATE, 308, "\"invalidate\"") \
  NUV_TOKEN(T_INSTANCEOF, 309, "\"instanceof\"") \
  NUV_TOKEN(T_LPARENTHESIS, 310, "\"(\"") \
  NUV_TOKEN(T_DOT, 311, "\".\"") \
  NUV_TOKEN(T_LBRACKET, 312, "\"[\"") \
  NUV_TOKEN(T_THIS, 313, "\"this\"") \
  NUV_TOKEN(T_SUPER, 314, "\"super\"") \
  NUV_TOKEN(T_GLOBAL, 315, "\"global\"") \
  NUV_TOKEN(T_RBRACKET, 316, "\"]\"") \
  NUV_TOKEN(T_CLASS, 317, "\"class\"") \
  NUV_TOKEN(T_RPARENTHESIS, 318, "\")\"") \
  NUV_TOKEN(T_COLON, 319, "\":\"") \
  NUV_TOKEN(T_SEMICOLON, 320, "\";\"") \
  NUV_TOKEN(T_LBRACE, 321, "\"{\"") \
  NUV_TOKEN(T_RBRACE, 322, "\"}\"") \
  NUV_TOKEN(T_CONTINUE, 323, "\"continue\"") \
  NUV_TOKEN(T_FUNCTION, 324, "\"function\"") \
  NUV_TOKEN(T_DEBUGGER, 325, "\"debugger\"") \
  NUV_TOKEN(T_DEFAULT, 326, "\"default\"") \
  NUV_TOKEN(T_CASE, 327, "\"case\"") \
  NUV_TOKEN(T_EXTENDS, 328, "\"extends\"") \
  NUV_TOKEN(T_FINALLY, 329, "\"finally\"") \
  NUV_TOKEN(T_PROPERTY, 330, "\"property\"") \
  NUV_TOKEN(T_PRIVATE, 331, "\"private\"") \
  NUV_TOKEN(T_PUBLIC, 332, "\"public\"") \
  NUV_TOKEN(T_PROTECTED, 333, "\"protected\"") \
  NUV_TOKEN(T_STATIC, 334, "\"static\"") \
  NUV_TOKEN(T_RETURN, 335, "\"return\"") \
  NUV_TOKEN(T_BREAK, 336, "\"break\"") \
  NUV_TOKEN(T_EXPORT, 337, "\"export\"") \
  NUV_TOKEN(T_IMPORT, 338, "\"import\"") \
  NUV_TOKEN(T_SWITCH, 339, "\"switch\"") \
  NUV_TOKEN(T_IN, 340, "\"in\"") \
  NUV_TOKEN(T_INCONTEXTOF, 341, "\"incontextof\"") \
  NUV_TOKEN(T_FOR, 342, "\"for\"") \
  NUV_TOKEN(T_WHILE, 343, "\"while\"") \
  NUV_TOKEN(T_DO, 344, "\"do\"") \
  NUV_TOKEN(T_IF, 345, "\"if\"") \
  NUV_TOKEN(T_VAR, 346, "\"var\"") \
  NUV_TOKEN(T_CONST, 347, "\"const\"") \
  NUV_TOKEN(T_ENUM, 348, "\"enum\"") \
  NUV_TOKEN(T_GOTO, 349, "\"goto\"") \
  NUV_TOKEN(T_THROW, 350, "\"throw\"") \
  NUV_TOKEN(T_TRY, 351, "\"try\"") \
  NUV_TOKEN(T_SETTER, 352, "\"setter\"") \
  NUV_TOKEN(T_GETTER, 353, "\"getter\"") \
  NUV_TOKEN(T_ELSE, 354, "\"else\"") \
  NUV_TOKEN(T_CATCH, 355, "\"catch\"") \
  NUV_TOKEN(T_OMIT, 356, "\"...\"") \
  NUV_TOKEN(T_SYNCHRONIZED, 357, "\"synchronized\"") \
  NUV_TOKEN(T_WITH, 358, "\"with\"") \
  NUV_TOKEN(T_INT, 359, "\"int\"") \
  NUV_TOKEN(T_REAL, 360, "\"real\"") \
  NUV_TOKEN(T_STRING, 361, "\"string\"") \
  NUV_TOKEN(T_OCTET, 362, "\"octet\"") \
  NUV_TOKEN(T_FALSE, 363, "\"false\"") \
  NUV_TOKEN(T_NULL, 364, "\"null\"") \
  NUV_TOKEN(T_TRUE, 365, "\"true\"") \
  NUV_TOKEN(T_VOID, 366, "\"void\"") \
  NUV_TOKEN(T_NAN, 367, "\"NaN\"") \
  NUV_TOKEN(T_INFINITY, 368, "\"Infinity\"") \
  NUV_TOKEN(T_UPLUS, 369, "T_UPLUS") \
  NUV_TOKEN(T_UMINUS, 370, "T_UMINUS") \
  NUV_TOKEN(T_EVAL, 371, "T_EVAL") \
  NUV_TOKEN(T_SYMBOL, 372, "T_SYMBOL") \
  NUV_TOKEN(T_POSTDECREMENT, 373, "T_POSTDECREMENT") \
  NUV_TOKEN(T_POSTINCREMENT, 374, "T_POSTINCREMENT") \
  NUV_TOKEN(T_IGNOREPROP, 375, "T_IGNOREPROP") \
  NUV_TOKEN(T_PROPACCESS, 376, "T_PROPACCESS") \
  NUV_TOKEN(T_ARG, 377, "T_ARG") \
  NUV_TOKEN(T_EXPANDARG, 378, "T_EXPANDARG") \
  NUV_TOKEN(T_INLINEARRAY, 379, "T_INLINEARRAY") \
  NUV_TOKEN(T_ARRAYARG, 380, "T_ARRAYARG") \
  NUV_TOKEN(T_INLINEDIC, 381, "T_INLINEDIC") \
  NUV_TOKEN(T_DICELM, 382, "T_DICELM") \
  NUV_TOKEN(T_REGEXP, 383, "T_REGEXP") \
  NUV_TOKEN(T_WITHDOT, 384, "T_WITHDOT") \
  NUV_TOKEN(T_THIS_PROXY, 385, "T_THIS_PROXY") \
  NUV_TOKEN(T_WITHDOT_PROXY, 386, "T_WITHDOT_PROXY") \
  NUV_TOKEN(T_CONSTVAL, 387, "T_CONSTVAL") \
  /* end of list */

enum tNUVToken : int32_t {
  T_END_OF_TEXT = 0,
#define NUV_TOKEN(name, code, spelling) name = code,
  NUV_TOKEN_LIST
#undef NUV_TOKEN
};

constexpr int32_t NUVFirstToken = 258;
constexpr int32_t NUVLastToken = 387;

// The token's name as syntax-error messages write it ("$end" for code 0), or null
// for an unknown code.
const char* NUVTokenName(int32_t code);

}  // namespace NUV
