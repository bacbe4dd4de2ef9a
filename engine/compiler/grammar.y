/* The grammar of the script language.
 *
 * Bison generates a push parser from this file (the C skeleton, compiled as
 * C++): NUVParseTokens feeds it one token at a time. A push parser keeps its
 * stacks in a heap-allocated state object, so the stacks are freed even when an
 * action ends the parse with an exception.
 *
 * Token codes are those of tokens.h: each %token below carries the same code as
 * its namesake there (checked by static_assert), and the grammar's string aliases
 * are the tokens' spellings. Syntax-error messages name tokens through
 * NUVTokenName, so they read exactly as tokens.h writes them.
 *
 * Conflicts: two shift/reduce conflicts exist by design and are resolved by
 * precedence, both toward the shift:
 * - "else" after a complete if statement binds to the nearest if;
 * - "(" after "catch" opens the catch's parenthesised variable, not a statement.
 * There are no other conflicts.
 *
 * Look-ahead discipline: the states right after "." of a member access and after
 * "/" or "/=" where an operand is expected hold a single item whose next symbol is
 * the mid-rule action, so the parser reduces it by default without reading a
 * look-ahead: the lexer hears ExpectMemberName / BeginRegExp before it scans the
 * following token.
 */

%require "3.8"
%define api.pure full
%define api.push-pull push
%define api.prefix {nuv_grammar_}
%define api.token.prefix {Y}
%define parse.error custom
%define lr.default-reduction most
%parse-param {NUV::tNUVParserDriver* driver}

%code requires {
#include <cstdint>

#include "engine/compiler/compile_host.h"
#include "engine/compiler/parser.h"

namespace NUV {

// What the grammar's actions work with: the compile host that receives every
// action, and the token source whose position marks new nodes and errors.
struct tNUVParserDriver {
  iNUVCompileHost* Host;
  iNUVTokenSource* Source;

  int32_t Position() const { return Source->TokenPosition(); }
  tNUVExprNode* Node(int32_t op);
  tNUVExprNode* Node(int32_t op, tNUVExprNode* first);
  tNUVExprNode* Node(int32_t op, tNUVExprNode* first, tNUVExprNode* second);
  tNUVExprNode* Node(int32_t op, tNUVExprNode* first, tNUVExprNode* second, tNUVExprNode* third);
  // A node of kind op holding the token value with this index.
  tNUVExprNode* ValueNode(int32_t op, int32_t valueIndex);
  // A constant node holding the name of a T_SYMBOL token as a string.
  tNUVExprNode* NameConstant(int32_t valueIndex);
  tNUVString Name(int32_t valueIndex) const;
};

}  // namespace NUV
}

%code {
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "engine/compiler/expression_builder.h"
#include "engine/compiler/tokens.h"

using namespace NUV;

#define YYINITDEPTH 200
#define YYMAXDEPTH 10000
static_assert(YYINITDEPTH == NUVParserInitialStack && YYMAXDEPTH == NUVParserMaximumStack);

// A failed allocation is an engine resource error like any other, not a parser
// stack overflow.
#define YYMALLOC NUVParserAllocate
#define YYFREE std::free
static void* NUVParserAllocate(size_t size) {
  void* memory = std::malloc(size);
  if (!memory) throw std::bad_alloc();
  return memory;
}

static void yyerror(tNUVParserDriver* driver, const char* message);
}

%union {
  NUV::tNUVExprNode* Node;
  int32_t ValueIndex;
}

%token T_END_OF_TEXT 0 "$end"
%token T_COMMA 258 ","
%token T_EQUAL 259 "="
%token T_AMPERSANDEQUAL 260 "&="
%token T_VERTLINEEQUAL 261 "|="
%token T_CHEVRONEQUAL 262 "^="
%token T_MINUSEQUAL 263 "-="
%token T_PLUSEQUAL 264 "+="
%token T_PERCENTEQUAL 265 "%="
%token T_SLASHEQUAL 266 "/="
%token T_BACKSLASHEQUAL 267 "\\="
%token T_ASTERISKEQUAL 268 "*="
%token T_LOGICALOREQUAL 269 "||="
%token T_LOGICALANDEQUAL 270 "&&="
%token T_RBITSHIFTEQUAL 271 ">>>="
%token T_LARITHSHIFTEQUAL 272 "<<="
%token T_RARITHSHIFTEQUAL 273 ">>="
%token T_QUESTION 274 "?"
%token T_LOGICALOR 275 "||"
%token T_LOGICALAND 276 "&&"
%token T_VERTLINE 277 "|"
%token T_CHEVRON 278 "^"
%token T_AMPERSAND 279 "&"
%token T_NOTEQUAL 280 "!="
%token T_EQUALEQUAL 281 "=="
%token T_DISCNOTEQUAL 282 "!=="
%token T_DISCEQUAL 283 "==="
%token T_SWAP 284 "<->"
%token T_LT 285 "<"
%token T_GT 286 ">"
%token T_LTOREQUAL 287 "<="
%token T_GTOREQUAL 288 ">="
%token T_RARITHSHIFT 289 ">>"
%token T_LARITHSHIFT 290 "<<"
%token T_RBITSHIFT 291 ">>>"
%token T_PERCENT 292 "%"
%token T_SLASH 293 "/"
%token T_BACKSLASH 294 "\\"
%token T_ASTERISK 295 "*"
%token T_EXCLAMATION 296 "!"
%token T_TILDE 297 "~"
%token T_DECREMENT 298 "--"
%token T_INCREMENT 299 "++"
%token T_NEW 300 "new"
%token T_DELETE 301 "delete"
%token T_TYPEOF 302 "typeof"
%token T_PLUS 303 "+"
%token T_MINUS 304 "-"
%token T_SHARP 305 "#"
%token T_DOLLAR 306 "$"
%token T_ISVALID 307 "isvalid"
%token T_INVALIDATE 308 "invalidate"
%token T_INSTANCEOF 309 "instanceof"
%token T_LPARENTHESIS 310 "("
%token T_DOT 311 "."
%token T_LBRACKET 312 "["
%token T_THIS 313 "this"
%token T_SUPER 314 "super"
%token T_GLOBAL 315 "global"
%token T_RBRACKET 316 "]"
%token T_CLASS 317 "class"
%token T_RPARENTHESIS 318 ")"
%token T_COLON 319 ":"
%token T_SEMICOLON 320 ";"
%token T_LBRACE 321 "{"
%token T_RBRACE 322 "}"
%token T_CONTINUE 323 "continue"
%token T_FUNCTION 324 "function"
%token T_DEBUGGER 325 "debugger"
%token T_DEFAULT 326 "default"
%token T_CASE 327 "case"
%token T_EXTENDS 328 "extends"
%token T_FINALLY 329 "finally"
%token T_PROPERTY 330 "property"
%token T_PRIVATE 331 "private"
%token T_PUBLIC 332 "public"
%token T_PROTECTED 333 "protected"
%token T_STATIC 334 "static"
%token T_RETURN 335 "return"
%token T_BREAK 336 "break"
%token T_EXPORT 337 "export"
%token T_IMPORT 338 "import"
%token T_SWITCH 339 "switch"
%token T_IN 340 "in"
%token T_INCONTEXTOF 341 "incontextof"
%token T_FOR 342 "for"
%token T_WHILE 343 "while"
%token T_DO 344 "do"
%token T_IF 345 "if"
%token T_VAR 346 "var"
%token T_CONST 347 "const"
%token T_ENUM 348 "enum"
%token T_GOTO 349 "goto"
%token T_THROW 350 "throw"
%token T_TRY 351 "try"
%token T_SETTER 352 "setter"
%token T_GETTER 353 "getter"
%token T_ELSE 354 "else"
%token T_CATCH 355 "catch"
%token T_OMIT 356 "..."
%token T_SYNCHRONIZED 357 "synchronized"
%token T_WITH 358 "with"
%token T_INT 359 "int"
%token T_REAL 360 "real"
%token T_STRING 361 "string"
%token T_OCTET 362 "octet"
%token T_FALSE 363 "false"
%token T_NULL 364 "null"
%token T_TRUE 365 "true"
%token T_VOID 366 "void"
%token T_NAN 367 "NaN"
%token T_INFINITY 368 "Infinity"
%token T_UPLUS 369
%token T_UMINUS 370
%token T_EVAL 371
%token <ValueIndex> T_SYMBOL 372
%token T_POSTDECREMENT 373
%token T_POSTINCREMENT 374
%token T_IGNOREPROP 375
%token T_PROPACCESS 376
%token T_ARG 377
%token T_EXPANDARG 378
%token T_INLINEARRAY 379
%token T_ARRAYARG 380
%token T_INLINEDIC 381
%token T_DICELM 382
%token <ValueIndex> T_REGEXP 383
%token T_WITHDOT 384
%token T_THIS_PROXY 385
%token T_WITHDOT_PROXY 386
%token <ValueIndex> T_CONSTVAL 387

/* Never produced by the lexer: names the precedence of a statement that could
   still take an "else" or of a "catch" that could still take "(". */
%token T_PREFER_SHIFT 388
%precedence T_PREFER_SHIFT
%precedence "else" "("

%type <Node> expr expr_no_comma comma_expr assign_expr cond_expr logical_or_expr
%type <Node> logical_and_expr inclusive_or_expr exclusive_or_expr and_expr identical_expr
%type <Node> compare_expr shift_expr add_sub_expr mul_div_expr mul_div_expr_and_asterisk
%type <Node> unary_expr incontextof_expr priority_expr factor_expr func_call_expr
%type <Node> call_arg_list call_arg func_expr_def inline_array array_elm inline_dic dic_elm

%start program

%%

/* Program structure ---------------------------------------------------------- */

program:
  global_list
;

global_list:
  { driver->Host->BeginContext(u"global", ctTopLevel); }
  def_list
  { driver->Host->EndContext(); }
;

def_list:
  %empty
| def_list block_or_statement
| def_list error ";"
  {
    if (driver->Host->GetErrorCount() > NUVParserErrorLimit) YYABORT;
    yyerrok;
  }
;

block_or_statement:
  statement
| block
;

block:
  "{" { driver->Host->OpenBlock(); }
  def_list
  "}" { driver->Host->CloseBlock(); }
;

statement:
  ";"
| expr ";"                  { driver->Host->EmitExpressionStatement($1); }
| if %prec T_PREFER_SHIFT
| if_else
| while
| do_while
| for
| "break" ";"               { driver->Host->EmitBreak(); }
| "continue" ";"            { driver->Host->EmitContinue(); }
| "debugger" ";"            { driver->Host->EmitDebugger(); }
| variable_def
| func_def
| property_def
| class_def
| return
| switch
| with
| case
| try
| throw
;

/* Control statements ------------------------------------------------------------ */

while:
  "while" { driver->Host->BeginWhile(false); }
  "(" expr ")" { driver->Host->WhileCondition($4); }
  block_or_statement { driver->Host->EndWhile(); }
;

do_while:
  "do" { driver->Host->BeginWhile(true); }
  block_or_statement "while" "(" expr ")" { driver->Host->WhileCondition($6); }
  ";" { driver->Host->EndWhile(); }
;

if:
  "if" "(" { driver->Host->BeginIf(); }
  expr { driver->Host->IfCondition($4); }
  ")" block_or_statement { driver->Host->EndIf(); }
;

if_else:
  if "else" { driver->Host->BeginElse(); }
  block_or_statement { driver->Host->EndElse(); }
;

for:
  "for" "(" for_first_clause ";" for_second_clause ";" for_third_clause ")"
  block_or_statement { driver->Host->EndFor(); }
;

for_first_clause:
  %empty { driver->Host->BeginFor(false); }
| { driver->Host->BeginFor(true); } variable_def_inner
| expr
  {
    driver->Host->BeginFor(false);
    driver->Host->EmitExpressionStatement($1);
  }
;

for_second_clause:
  %empty { driver->Host->ForCondition(nullptr); }
| expr   { driver->Host->ForCondition($1); }
;

for_third_clause:
  %empty { driver->Host->ForStep(nullptr); }
| expr   { driver->Host->ForStep($1); }
;

return:
  "return" ";"       { driver->Host->EmitReturn(nullptr); }
| "return" expr ";"  { driver->Host->EmitReturn($2); }
;

switch:
  "switch" "(" expr ")" { driver->Host->BeginSwitch($3); }
  block { driver->Host->EndSwitch(); }
;

with:
  "with" "(" expr ")" { driver->Host->BeginWith($3); }
  block_or_statement { driver->Host->EndWith(); }
;

case:
  "case" expr ":"  { driver->Host->CaseLabel($2); }
| "default" ":"    { driver->Host->CaseLabel(nullptr); }
;

try:
  "try" { driver->Host->BeginTry(); }
  block_or_statement catch block_or_statement { driver->Host->EndTry(); }
;

catch:
  "catch" %prec T_PREFER_SHIFT       { driver->Host->BeginCatch(tNUVString()); }
| "catch" "(" ")"                    { driver->Host->BeginCatch(tNUVString()); }
| "catch" "(" T_SYMBOL ")"           { driver->Host->BeginCatch(driver->Name($3)); }
;

throw:
  "throw" expr ";" { driver->Host->EmitThrow($2); }
;

/* Declarations ------------------------------------------------------------------ */

variable_def:
  variable_def_inner ";"
;

/* "const" declares exactly like "var". */
variable_def_inner:
  "var" variable_id_list
| "const" variable_id_list
;

variable_id_list:
  variable_id
| variable_id_list "," variable_id
;

variable_id:
  T_SYMBOL                     { driver->Host->DeclareLocal(driver->Name($1), nullptr); }
| T_SYMBOL "=" expr_no_comma   { driver->Host->DeclareLocal(driver->Name($1), $3); }
;

func_def:
  "function" T_SYMBOL
  {
    driver->Host->BeginContext(driver->Name($2), ctFunction);
    driver->Host->OpenBlock();
  }
  func_decl_arg_opt block
  {
    driver->Host->CloseBlock();
    driver->Host->EndContext();
  }
;

func_expr_def:
  "function"
  {
    driver->Host->BeginContext(u"(anonymous)", ctExprFunction);
    driver->Host->OpenBlock();
  }
  func_decl_arg_opt block
  {
    driver->Host->CloseBlock();
    // The constant keeps the new context alive after it is closed.
    tNUVVariant context = driver->Host->CurrentContextValue();
    driver->Host->EndContext();
    $$ = NUVMakeConstNode(driver->Host, driver->Position(), context);
  }
;

func_decl_arg_opt:
  %empty
| "(" func_decl_arg_collapse ")"
| "(" func_decl_arg_list ")"
| "(" func_decl_arg_at_least_one "," func_decl_arg_collapse ")"
;

func_decl_arg_list:
  %empty
| func_decl_arg_at_least_one
;

func_decl_arg_at_least_one:
  func_decl_arg
| func_decl_arg_at_least_one "," func_decl_arg
;

func_decl_arg:
  T_SYMBOL                    { driver->Host->AddParameter(driver->Name($1), nullptr); }
| T_SYMBOL "=" expr_no_comma  { driver->Host->AddParameter(driver->Name($1), $3); }
;

func_decl_arg_collapse:
  "*"           { driver->Host->AddRestParameter(tNUVString()); }
| T_SYMBOL "*"  { driver->Host->AddRestParameter(driver->Name($1)); }
;

property_def:
  "property" T_SYMBOL "{" { driver->Host->BeginContext(driver->Name($2), ctProperty); }
  property_handler_def_list "}" { driver->Host->EndContext(); }
;

property_handler_def_list:
  property_handler_setter
| property_handler_getter
| property_handler_setter property_handler_getter
| property_handler_getter property_handler_setter
;

property_handler_setter:
  "setter" "(" T_SYMBOL ")"
  {
    driver->Host->BeginContext(u"(setter)", ctPropertySetter);
    driver->Host->OpenBlock();
    driver->Host->SetSetterParameter(driver->Name($3));
  }
  block
  {
    driver->Host->CloseBlock();
    driver->Host->EndContext();
  }
;

property_handler_getter:
  property_getter_handler_head
  {
    driver->Host->BeginContext(u"(getter)", ctPropertyGetter);
    driver->Host->OpenBlock();
  }
  block
  {
    driver->Host->CloseBlock();
    driver->Host->EndContext();
  }
;

property_getter_handler_head:
  "getter" "(" ")"
| "getter"
;

class_def:
  "class" T_SYMBOL { driver->Host->BeginContext(driver->Name($2), ctClass); }
  class_extender block { driver->Host->EndContext(); }
;

class_extender:
  %empty
| "extends" expr_no_comma  { driver->Host->AddSuperclass($2, true); }
| "extends" expr_no_comma "," { driver->Host->AddSuperclass($2, false); }
  extends_list
;

extends_list:
  extends_name
| extends_list "," extends_name
;

extends_name:
  expr_no_comma { driver->Host->AddSuperclass($1, false); }
;

/* Expressions, from the lowest binding to the highest ---------------------------- */

/* The value is computed only when the condition holds. */
expr:
  comma_expr
| comma_expr "if" expr  { $$ = driver->Node(T_IF, $1, $3); }
;

expr_no_comma:
  assign_expr
;

comma_expr:
  assign_expr
| comma_expr "," assign_expr  { $$ = driver->Node(T_COMMA, $1, $3); }
;

/* Whether the left side can be assigned is the code generator's concern. */
assign_expr:
  cond_expr
| cond_expr "<->" assign_expr   { $$ = driver->Node(T_SWAP, $1, $3); }
| cond_expr "=" assign_expr     { $$ = driver->Node(T_EQUAL, $1, $3); }
| cond_expr "&=" assign_expr    { $$ = driver->Node(T_AMPERSANDEQUAL, $1, $3); }
| cond_expr "|=" assign_expr    { $$ = driver->Node(T_VERTLINEEQUAL, $1, $3); }
| cond_expr "^=" assign_expr    { $$ = driver->Node(T_CHEVRONEQUAL, $1, $3); }
| cond_expr "-=" assign_expr    { $$ = driver->Node(T_MINUSEQUAL, $1, $3); }
| cond_expr "+=" assign_expr    { $$ = driver->Node(T_PLUSEQUAL, $1, $3); }
| cond_expr "%=" assign_expr    { $$ = driver->Node(T_PERCENTEQUAL, $1, $3); }
| cond_expr "/=" assign_expr    { $$ = driver->Node(T_SLASHEQUAL, $1, $3); }
| cond_expr "\\=" assign_expr   { $$ = driver->Node(T_BACKSLASHEQUAL, $1, $3); }
| cond_expr "*=" assign_expr    { $$ = driver->Node(T_ASTERISKEQUAL, $1, $3); }
| cond_expr "||=" assign_expr   { $$ = driver->Node(T_LOGICALOREQUAL, $1, $3); }
| cond_expr "&&=" assign_expr   { $$ = driver->Node(T_LOGICALANDEQUAL, $1, $3); }
| cond_expr ">>=" assign_expr   { $$ = driver->Node(T_RARITHSHIFTEQUAL, $1, $3); }
| cond_expr "<<=" assign_expr   { $$ = driver->Node(T_LARITHSHIFTEQUAL, $1, $3); }
| cond_expr ">>>=" assign_expr  { $$ = driver->Node(T_RBITSHIFTEQUAL, $1, $3); }
;

cond_expr:
  logical_or_expr
| logical_or_expr "?" cond_expr ":" cond_expr  { $$ = driver->Node(T_QUESTION, $1, $3, $5); }
;

logical_or_expr:
  logical_and_expr
| logical_or_expr "||" logical_and_expr  { $$ = driver->Node(T_LOGICALOR, $1, $3); }
;

logical_and_expr:
  inclusive_or_expr
| logical_and_expr "&&" inclusive_or_expr  { $$ = driver->Node(T_LOGICALAND, $1, $3); }
;

inclusive_or_expr:
  exclusive_or_expr
| inclusive_or_expr "|" exclusive_or_expr  { $$ = driver->Node(T_VERTLINE, $1, $3); }
;

exclusive_or_expr:
  and_expr
| exclusive_or_expr "^" and_expr  { $$ = driver->Node(T_CHEVRON, $1, $3); }
;

and_expr:
  identical_expr
| and_expr "&" identical_expr  { $$ = driver->Node(T_AMPERSAND, $1, $3); }
;

identical_expr:
  compare_expr
| identical_expr "!=" compare_expr   { $$ = driver->Node(T_NOTEQUAL, $1, $3); }
| identical_expr "==" compare_expr   { $$ = driver->Node(T_EQUALEQUAL, $1, $3); }
| identical_expr "!==" compare_expr  { $$ = driver->Node(T_DISCNOTEQUAL, $1, $3); }
| identical_expr "===" compare_expr  { $$ = driver->Node(T_DISCEQUAL, $1, $3); }
;

compare_expr:
  shift_expr
| compare_expr "<" shift_expr   { $$ = driver->Node(T_LT, $1, $3); }
| compare_expr ">" shift_expr   { $$ = driver->Node(T_GT, $1, $3); }
| compare_expr "<=" shift_expr  { $$ = driver->Node(T_LTOREQUAL, $1, $3); }
| compare_expr ">=" shift_expr  { $$ = driver->Node(T_GTOREQUAL, $1, $3); }
;

shift_expr:
  add_sub_expr
| shift_expr ">>" add_sub_expr   { $$ = driver->Node(T_RARITHSHIFT, $1, $3); }
| shift_expr "<<" add_sub_expr   { $$ = driver->Node(T_LARITHSHIFT, $1, $3); }
| shift_expr ">>>" add_sub_expr  { $$ = driver->Node(T_RBITSHIFT, $1, $3); }
;

add_sub_expr:
  mul_div_expr
| add_sub_expr "+" mul_div_expr  { $$ = driver->Node(T_PLUS, $1, $3); }
| add_sub_expr "-" mul_div_expr  { $$ = driver->Node(T_MINUS, $1, $3); }
;

/* "*" goes through mul_div_expr_and_asterisk so that "a*" can stand alone as a
   call argument (see call_arg). */
mul_div_expr:
  unary_expr
| mul_div_expr "%" unary_expr               { $$ = driver->Node(T_PERCENT, $1, $3); }
| mul_div_expr "/" unary_expr               { $$ = driver->Node(T_SLASH, $1, $3); }
| mul_div_expr "\\" unary_expr              { $$ = driver->Node(T_BACKSLASH, $1, $3); }
| mul_div_expr_and_asterisk unary_expr      { $$ = driver->Node(T_ASTERISK, $1, $2); }
;

mul_div_expr_and_asterisk:
  mul_div_expr "*"  { $$ = $1; }
;

unary_expr:
  incontextof_expr
| "!" unary_expr                      { $$ = driver->Node(T_EXCLAMATION, $2); }
| "~" unary_expr                      { $$ = driver->Node(T_TILDE, $2); }
| "--" unary_expr                     { $$ = driver->Node(T_DECREMENT, $2); }
| "++" unary_expr                     { $$ = driver->Node(T_INCREMENT, $2); }
| "new" func_call_expr                { $2->SetOpecode(T_NEW); $$ = $2; }
| "invalidate" unary_expr             { $$ = driver->Node(T_INVALIDATE, $2); }
| "isvalid" unary_expr                { $$ = driver->Node(T_ISVALID, $2); }
| incontextof_expr "isvalid"          { $$ = driver->Node(T_ISVALID, $1); }
| "delete" unary_expr                 { $$ = driver->Node(T_DELETE, $2); }
| "typeof" unary_expr                 { $$ = driver->Node(T_TYPEOF, $2); }
| "#" unary_expr                      { $$ = driver->Node(T_SHARP, $2); }
| "$" unary_expr                      { $$ = driver->Node(T_DOLLAR, $2); }
| "+" unary_expr                      { $$ = driver->Node(T_UPLUS, $2); }
| "-" unary_expr                      { $$ = driver->Node(T_UMINUS, $2); }
| "&" unary_expr                      { $$ = driver->Node(T_IGNOREPROP, $2); }
| "*" unary_expr                      { $$ = driver->Node(T_PROPACCESS, $2); }
| incontextof_expr "instanceof" unary_expr  { $$ = driver->Node(T_INSTANCEOF, $1, $3); }
| "(" "int" ")" unary_expr            { $$ = driver->Node(T_INT, $4); }
| "int" unary_expr                    { $$ = driver->Node(T_INT, $2); }
| "(" "real" ")" unary_expr           { $$ = driver->Node(T_REAL, $4); }
| "real" unary_expr                   { $$ = driver->Node(T_REAL, $2); }
| "(" "string" ")" unary_expr         { $$ = driver->Node(T_STRING, $4); }
| "string" unary_expr                 { $$ = driver->Node(T_STRING, $2); }
/* What saveStruct writes for octets ("octet <% .. %>") must read back. */
| "(" "octet" ")" unary_expr          { $$ = driver->Node(T_OCTET, $4); }
| "octet" unary_expr                  { $$ = driver->Node(T_OCTET, $2); }
;

incontextof_expr:
  priority_expr
| priority_expr "incontextof" incontextof_expr  { $$ = driver->Node(T_INCONTEXTOF, $1, $3); }
;

priority_expr:
  factor_expr
| "(" expr ")"                      { $$ = $2; }
| priority_expr "[" expr "]"        { $$ = driver->Node(T_LBRACKET, $1, $3); }
| func_call_expr
| priority_expr "." { driver->Source->ExpectMemberName(); }
  T_SYMBOL                          { $$ = driver->Node(T_DOT, $1, driver->NameConstant($4)); }
| priority_expr "++"                { $$ = driver->Node(T_POSTINCREMENT, $1); }
| priority_expr "--"                { $$ = driver->Node(T_POSTDECREMENT, $1); }
| priority_expr "!"                 { $$ = driver->Node(T_EVAL, $1); }
| "." { driver->Source->ExpectMemberName(); }
  T_SYMBOL                          { $$ = driver->Node(T_WITHDOT, driver->NameConstant($3)); }
;

factor_expr:
  T_CONSTVAL      { $$ = NUVMakeConstNode(driver->Host, driver->Position(), driver->Source->ValueAt($1)); }
| T_SYMBOL        { $$ = driver->ValueNode(T_SYMBOL, $1); }
| "this"          { $$ = driver->Node(T_THIS); }
| "super"         { $$ = driver->Node(T_SUPER); }
| func_expr_def
| "global"        { $$ = driver->Node(T_GLOBAL); }
| "void"          { $$ = driver->Node(T_VOID); }
| inline_array
| inline_dic
| "/=" { driver->Source->BeginRegExp(); }
  T_REGEXP        { $$ = driver->ValueNode(T_REGEXP, $3); }
| "/" { driver->Source->BeginRegExp(); }
  T_REGEXP        { $$ = driver->ValueNode(T_REGEXP, $3); }
;

func_call_expr:
  priority_expr "(" call_arg_list ")"  { $$ = driver->Node(T_LPARENTHESIS, $1, $3); }
;

/* A chain whose first child is the last argument. */
call_arg_list:
  "..."                          { $$ = driver->Node(T_OMIT); }
| call_arg                       { $$ = driver->Node(T_ARG, $1); }
| call_arg_list "," call_arg     { $$ = driver->Node(T_ARG, $3, $1); }
;

call_arg:
  %empty                      { $$ = nullptr; }
| "*"                         { $$ = driver->Node(T_EXPANDARG); }
| mul_div_expr_and_asterisk   { $$ = driver->Node(T_EXPANDARG, $1); }
| expr_no_comma
;

inline_array:
  "[" { driver->Host->OpenListNode(driver->Node(T_INLINEARRAY)); }
  array_elm_list "]"
  {
    $$ = driver->Host->CurrentListNode();
    driver->Host->CloseListNode();
  }
;

array_elm_list:
  array_elm                     { driver->Host->CurrentListNode()->Add($1); }
| array_elm_list "," array_elm  { driver->Host->CurrentListNode()->Add($3); }
;

array_elm:
  %empty          { $$ = driver->Node(T_ARRAYARG, nullptr); }
| expr_no_comma   { $$ = driver->Node(T_ARRAYARG, $1); }
;

inline_dic:
  "%" "[" { driver->Host->OpenListNode(driver->Node(T_INLINEDIC)); }
  dic_elm_list dic_dummy_elm_opt "]"
  {
    $$ = driver->Host->CurrentListNode();
    driver->Host->CloseListNode();
  }
;

dic_elm_list:
  %empty
| dic_elm                    { driver->Host->CurrentListNode()->Add($1); }
| dic_elm_list "," dic_elm   { driver->Host->CurrentListNode()->Add($3); }
;

dic_elm:
  expr_no_comma "," expr_no_comma  { $$ = driver->Node(T_DICELM, $1, $3); }
| T_SYMBOL ":" expr_no_comma       { $$ = driver->Node(T_DICELM, driver->NameConstant($1), $3); }
;

/* One trailing comma is allowed. */
dic_dummy_elm_opt:
  %empty
| ","
;

%%

/* The grammar's tokens carry the codes of tokens.h. */
#define NUV_TOKEN(name, code, spelling) static_assert(Y##name == code, #name);
NUV_TOKEN_LIST
#undef NUV_TOKEN
static_assert(YT_END_OF_TEXT == 0);

namespace NUV {

tNUVExprNode* tNUVParserDriver::Node(int32_t op) { return NUVMakeNode(Host, Position(), op); }

tNUVExprNode* tNUVParserDriver::Node(int32_t op, tNUVExprNode* first) {
  return NUVMakeNode(Host, Position(), op, first);
}

tNUVExprNode* tNUVParserDriver::Node(int32_t op, tNUVExprNode* first, tNUVExprNode* second) {
  return NUVMakeNode(Host, Position(), op, first, second);
}

tNUVExprNode* tNUVParserDriver::Node(int32_t op, tNUVExprNode* first, tNUVExprNode* second,
                                     tNUVExprNode* third) {
  return NUVMakeNode(Host, Position(), op, first, second, third);
}

tNUVExprNode* tNUVParserDriver::ValueNode(int32_t op, int32_t valueIndex) {
  tNUVExprNode* node = Node(op);
  node->SetValue(Source->ValueAt(valueIndex));
  return node;
}

tNUVExprNode* tNUVParserDriver::NameConstant(int32_t valueIndex) {
  return NUVMakeConstNode(Host, Position(), tNUVVariant(Name(valueIndex)));
}

tNUVString tNUVParserDriver::Name(int32_t valueIndex) const { return Source->ValueAt(valueIndex).AsString(); }

}  // namespace NUV

namespace {

// Engine text of an ASCII message.
tNUVString WidenAscii(const std::string& text) {
  std::u16string wide(text.begin(), text.end());
  return tNUVString(wide);
}

// The token code a grammar symbol stands for, or -1 for a symbol that is no token.
int32_t TokenCodeOfSymbol(yysymbol_kind_t symbol) {
  struct tTable {
    int32_t Codes[YYNTOKENS];
    tTable() {
      for (int32_t& code : Codes) code = -1;
      for (int32_t code = 0; code <= YYMAXUTOK; ++code) {
        yysymbol_kind_t kind = YYTRANSLATE(code);
        if (kind != YYSYMBOL_YYUNDEF && kind >= 0 && kind < YYNTOKENS) Codes[kind] = code;
      }
    }
  };
  static const tTable table;
  return symbol >= 0 && symbol < YYNTOKENS ? table.Codes[symbol] : -1;
}

// A token's name in messages: as tokens.h writes it.
std::string SymbolName(yysymbol_kind_t symbol) {
  const char* name = NUVTokenName(TokenCodeOfSymbol(symbol));
  return name ? name : yysymbol_name(symbol);
}

}  // namespace

/* "syntax error, unexpected X, expecting A or B": at most four expected tokens
   are listed; with more, the message ends after the offending token. */
static int yyreport_syntax_error(const yypcontext_t* context, tNUVParserDriver* driver) {
  tNUVString message;
  try {
    std::string text = "syntax error";
    yysymbol_kind_t unexpected = yypcontext_token(context);
    if (unexpected != YYSYMBOL_YYEMPTY) {
      text += ", unexpected ";
      text += SymbolName(unexpected);
      yysymbol_kind_t expected[4];
      int count = yypcontext_expected_tokens(context, expected, 4);
      for (int i = 0; i < count; ++i) {
        text += i == 0 ? ", expecting " : " or ";
        text += SymbolName(expected[i]);
      }
    }
    message = WidenAscii(text);
  } catch (const std::bad_alloc&) {
    message = u"syntax error; also virtual memory exhausted";
  }
  driver->Host->ReportError(message, driver->Position());
  return 0;
}

/* Reached only when the stacks would grow beyond YYMAXDEPTH (allocation failures
   throw). */
static void yyerror(tNUVParserDriver* driver, const char*) {
  driver->Host->ReportError(u"parser stack overflow", driver->Position());
}

namespace NUV {

int32_t NUVParseTokens(iNUVCompileHost* host, iNUVTokenSource* source) {
  tNUVParserDriver driver{host, source};
  struct tStateDeleter {
    void operator()(yypstate* state) const { yypstate_delete(state); }
  };
  std::unique_ptr<yypstate, tStateDeleter> state(yypstate_new());
  if (!state) throw std::bad_alloc();
  int status;
  do {
    YYSTYPE value;
    value.ValueIndex = 0;
    int32_t token = source->NextToken(&value.ValueIndex);
    status = yypush_parse(state.get(), token, &value, &driver);
  } while (status == YYPUSH_MORE);
  return status;
}

}  // namespace NUV
