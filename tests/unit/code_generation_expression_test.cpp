// Code generation for expressions: operators, names and members as values and as
// places, calls, literals, the semantic errors and warnings of the generator, and
// trees too deep to walk. Listings are worked out by hand from the generator's
// rules; see code_generation_test.cpp for the temporary numbering they assume.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/vm/instructions.h"
#include "tests/unit/compile_test_support.h"

namespace NUV {
namespace {

using namespace CompileTestSupport;

class CodeGenerationExpressions : public CompileFixture {
protected:
  // The listing of function f of a script.
  static tListing FunctionListing(const std::u16string& script) {
    tCompilation result = Compile(script);
    return result.Get(ctFunction, "f").Listing;
  }
};

// Operators -------------------------------------------------------------------------------------

TEST_F(CodeGenerationExpressions, BinaryOperatorsWorkOnCopiesOfLocals) {
  EXPECT_TRUE(ListingIs(FunctionListing(u"function f(a, b) { var x; x = a + b * 2 - a; }"), {
      "cl %-5",
      "cp %1, %-3",
      "cp %2, %-4",
      "const %3, *0",
      "mul %2, %3",
      "add %1, %2",
      "sub %1, %-3",
      "cp %-5, %1",
      "srv %0",
      "ret",
  }));
}

TEST_F(CodeGenerationExpressions, LeftAssociativeChainReusesTemporaries) {
  tCompilation result = Compile(u"x = a + b + c;");
  EXPECT_TRUE(ListingIs(result.TopLevel().Listing, {
      "gpd %1, %-2.*0",
      "gpd %2, %-2.*1",
      "add %1, %2",
      "gpd %2, %-2.*2",
      "add %1, %2",
      "spd %-2.*3, %1",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(result.TopLevel().FrameRegisterCount, 2);
}

TEST_F(CodeGenerationExpressions, UnaryOperatorsWorkOnCopiesOfLocals) {
  tListing expected = {"cl %-4"};
  for (const char* opcode : {"bnot", "lnot", "num", "int", "chkinv", "chs", "asc", "chr"}) {
    expected.insert(expected.end(), {"cp %1, %-3", std::string(opcode) + " %1", "cp %-4, %1"});
  }
  expected.insert(expected.end(), {"srv %0", "ret"});
  EXPECT_TRUE(ListingIs(
      FunctionListing(u"function f(a) { var x; x = ~a; x = !a; x = +a; x = int a; x = isvalid a; x = -a; "
                      u"x = #a; x = $a; }"),
      expected));
}

TEST_F(CodeGenerationExpressions, VoidOperandIsCopiedBeforeAnInPlaceOperator) {
  // %0 must never be written: "chs %0" or "add %0, ..." would change void itself.
  tCompilation result = Compile(u"x = -void;\nx = void + 1;\nx = void;");
  const tCompiledContext& top = result.TopLevel();
  EXPECT_TRUE(ListingIs(top.Listing, {
      "cp %1, %0",
      "chs %1",
      "spd %-2.*0, %1",
      "cp %1, %0",
      "const %2, *1",
      "add %1, %2",
      "spd %-2.*0, %1",
      "spd %-2.*0, %0",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(std::count(top.Listing.begin(), top.Listing.end(), "chs %0"), 0);
}

TEST_F(CodeGenerationExpressions, ComparisonsAreMaterialisedWithSetf) {
  tCompilation result = Compile(u"x = a < b;\nx = a <= b;");
  EXPECT_TRUE(ListingIs(result.TopLevel().Listing, {
      "gpd %1, %-2.*0",
      "gpd %2, %-2.*1",
      "clt %1, %2",
      "setf %1",
      "spd %-2.*2, %1",
      "gpd %1, %-2.*0",
      "gpd %2, %-2.*1",
      "cgt %1, %2",
      "setnf %1",
      "spd %-2.*2, %1",
      "srv %0",
      "ret",
  }));
  // A local left operand is copied first, since setf writes into it.
  EXPECT_TRUE(ListingIs(
      FunctionListing(u"function f(a, b) { var x; x = a < b; x = a <= b; x = a !== b; x = a == b; }"), {
          "cl %-5",
          "cp %1, %-3", "clt %1, %-4", "setf %1", "cp %-5, %1",
          "cp %1, %-3", "cgt %1, %-4", "setnf %1", "cp %-5, %1",
          "cp %1, %-3", "cdeq %1, %-4", "setnf %1", "cp %-5, %1",
          "cp %1, %-3", "ceq %1, %-4", "setf %1", "cp %-5, %1",
          "srv %0",
          "ret",
      }));
}

TEST_F(CodeGenerationExpressions, LogicalOperatorsYieldZeroOrOne) {
  EXPECT_TRUE(ListingIs(FunctionListing(u"function f(a, b) { var x; x = a || b; x = a && b; }"), {
      "cl %-5",
      "tt %-3",
      "jf 000000008",
      "tt %-4",
      "setf %1",
      "cp %-5, %1",
      "tt %-3",
      "jnf 000000019",
      "tt %-4",
      "setf %1",
      "cp %-5, %1",
      "srv %0",
      "ret",
  }));
}

TEST_F(CodeGenerationExpressions, ConditionalAsValueAndAsAssignmentTarget) {
  // As a value, a local branch result is copied into the true branch's temporary;
  // as a target, each branch is assigned.
  EXPECT_TRUE(ListingIs(FunctionListing(u"function f(a, b, c) { var x; x = a ? b : c; (a ? b : c) = 1; }"), {
      "cl %-6",
      "tt %-3",
      "jnf 000000011",
      "cp %1, %-4",
      "jmp 000000014",
      "cp %1, %-5",
      "cp %-6, %1",
      "const %1, *0",
      "tt %-3",
      "jnf 000000029",
      "cp %-4, %1",
      "jmp 000000032",
      "cp %-5, %1",
      "srv %0",
      "ret",
  }));
}

TEST_F(CodeGenerationExpressions, ConditionalAsAConditionLeavesANormalFlag) {
  // The false branch yields an inverted flag, normalised with nf.
  EXPECT_TRUE(ListingIs(FunctionListing(u"function f(a, b, c) { if (a ? b : !(c < a)) b = 1; }"), {
      "tt %-3",
      "jnf 000000008",
      "tt %-4",
      "jmp 000000012",
      "clt %-5, %-3",
      "nf",
      "jnf 000000020",
      "const %1, *0",
      "cp %-4, %1",
      "srv %0",
      "ret",
  }));
}

TEST_F(CodeGenerationExpressions, SwapCommaAndIfExpression) {
  // Swap reads both sides into temporaries, then assigns the left side first.
  tCompilation result = Compile(u"function f(a, b) { var x; a <-> b; x = (g(), b); a = 1 if b; }");
  const tCompiledContext& function = result.Get(ctFunction, "f");
  EXPECT_TRUE(ListingIs(function.Listing, {
      "cl %-5",
      "cp %1, %-3",
      "cp %2, %-4",
      "cp %-3, %2",
      "cp %-4, %1",
      "calld %0, %-2.*0()",
      "cp %-5, %-4",
      "tt %-4",
      "jnf 000000032",
      "const %1, *1",
      "cp %-3, %1",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(function.Constants, (std::vector<std::string>{"(string)\"g\"", "(int)1"}));
}

TEST_F(CodeGenerationExpressions, IncontextofAndInstanceof) {
  // incontextof without a wanted value generates nothing.
  tCompilation result =
      Compile(u"function f(a, o) { x = a incontextof o; a incontextof o; x = a instanceof \"Array\"; }");
  const tCompiledContext& function = result.Get(ctFunction, "f");
  EXPECT_TRUE(ListingIs(function.Listing, {
      "cp %1, %-3",
      "chgthis %1, %-4",
      "spd %-2.*0, %1",
      "cp %1, %-3",
      "const %2, *1",
      "chkins %1, %2",
      "spd %-2.*0, %1",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(function.Constants, (std::vector<std::string>{"(string)\"x\"", "(string)\"Array\""}));
}

// Names and members ----------------------------------------------------------------------------------

TEST_F(CodeGenerationExpressions, MemberReadsAndWritesOfEachForm) {
  tCompilation result = Compile(
      u"x = o.p;\n"
      u"x = o[k];\n"
      u"o.p = 1;\n"
      u"o[k] = 1;\n"
      u"x = &o.p;\n"
      u"&o.p = 1;\n"
      u"&o[k] = 1;\n"
      u"x = *o;\n"
      u"*o = 1;\n");
  const tCompiledContext& top = result.TopLevel();
  EXPECT_TRUE(ListingIs(top.Listing, {
      "gpd %1, %-2.*0", "gpd %2, %1.*1", "spd %-2.*2, %2",
      "gpd %1, %-2.*0", "gpd %2, %-2.*3", "gpi %3, %1.%2", "spd %-2.*2, %3",
      "const %1, *4", "gpd %2, %-2.*0", "spde %2.*1, %1",
      "const %1, *4", "gpd %2, %-2.*0", "gpd %3, %-2.*3", "spie %2.%3, %1",
      "gpd %1, %-2.*0", "gpds %2, %1.*1", "spd %-2.*2, %2",
      "const %1, *4", "gpd %2, %-2.*0", "spds %2.*1, %1",
      "const %1, *4", "gpd %2, %-2.*0", "gpd %3, %-2.*3", "spis %2.%3, %1",
      "gpd %1, %-2.*0", "getp %2, %1", "spd %-2.*2, %2",
      "const %1, *4", "gpd %2, %-2.*0", "setp %2, %1",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(top.Constants, (std::vector<std::string>{"(string)\"o\"", "(string)\"p\"", "(string)\"x\"",
                                                      "(string)\"k\"", "(int)1"}));
}

TEST_F(CodeGenerationExpressions, NamesOfTheThisProxyAsPlaces) {
  tCompilation result = Compile(
      u"x++;\n"
      u"y = ++x;\n"
      u"delete x;\n"
      u"y = typeof x;\n"
      u"y = this;\n"
      u"y = global;\n"
      u"y = &o[k];\n");
  EXPECT_TRUE(ListingIs(result.TopLevel().Listing, {
      "incpd %0, %-2.*0",
      "incpd %1, %-2.*0", "spd %-2.*1, %1",
      "deld %0, %-2.*0",
      "typeofd %1, %-2.*0", "spd %-2.*1, %1",
      "spd %-2.*1, %-1",
      "global %1", "spd %-2.*1, %1",
      "gpd %1, %-2.*2", "gpd %2, %-2.*3", "gpis %3, %1.%2", "spd %-2.*1, %3",
      "srv %0",
      "ret",
  }));
  // A property object held in a local.
  EXPECT_TRUE(ListingIs(FunctionListing(u"function f(o) { var x = *o; *o = x; }"), {
      "getp %1, %-3",
      "cp %-4, %1",
      "setp %-3, %-4",
      "srv %0",
      "ret",
  }));
}

TEST_F(CodeGenerationExpressions, CompoundAssignments) {
  // On a local the plain form changes the local itself; on members the pd, pi and p
  // forms, with destination 0 unless the value is wanted.
  EXPECT_TRUE(ListingIs(
      FunctionListing(u"function f(a, o) { a += 2; o.p += 2; o[a] -= 2; a = (o.p *= a); *o |= a; }"), {
          "const %1, *0",
          "add %-3, %1",
          "const %1, *0",
          "addpd %0, %-4.*1, %1",
          "const %1, *0",
          "subpi %0, %-4.%-3, %1",
          "mulpd %1, %-4.*1, %-3",
          "cp %-3, %1",
          "borp %0, %-4, %-3",
          "srv %0",
          "ret",
      }));
  tCompilation result = Compile(u"x += 1;");
  EXPECT_TRUE(ListingIs(result.TopLevel().Listing, {"const %1, *0", "addpd %0, %-2.*1, %1", "srv %0", "ret"}));
}

TEST_F(CodeGenerationExpressions, IncrementAndDecrement) {
  EXPECT_TRUE(ListingIs(
      FunctionListing(u"function f(a, o) { var x; ++a; a++; x = a++; x = ++a; ++o.p; o.p--; x = o.p++; "
                      u"x = --o[a]; ++*o; }"), {
          "cl %-5",
          "inc %-3",
          "inc %-3",
          "cp %1, %-3", "inc %-3", "cp %-5, %1",
          "inc %-3", "cp %-5, %-3",
          "incpd %0, %-4.*0",
          "decpd %0, %-4.*0",
          "gpd %1, %-4.*0", "incpd %0, %-4.*0", "cp %-5, %1",
          "decpi %1, %-4.%-3", "cp %-5, %1",
          "incp %0, %-4",
          "srv %0",
          "ret",
      }));
}

TEST_F(CodeGenerationExpressions, DeleteOfAMemberAndOfALocal) {
  // Deleting a local emits nothing and makes later uses of the name members of the
  // this proxy; its value is integer 1.
  tCompilation result = Compile(u"function f(a, o) { delete o.p; x = delete o[a]; x = delete a; a = 1; }");
  const tCompiledContext& function = result.Get(ctFunction, "f");
  EXPECT_TRUE(ListingIs(function.Listing, {
      "deld %0, %-4.*0",
      "deli %1, %-4.%-3",
      "spd %-2.*1, %1",
      "const %1, *2",
      "spd %-2.*1, %1",
      "const %1, *2",
      "spd %-2.*3, %1",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(function.Constants, (std::vector<std::string>{"(string)\"p\"", "(string)\"x\"", "(int)1",
                                                           "(string)\"a\""}));
}

TEST_F(CodeGenerationExpressions, TypeofOfMembersNamesAndLocals) {
  EXPECT_TRUE(ListingIs(
      FunctionListing(u"function f(a, o) { x = typeof o.p; x = typeof o[a]; x = typeof a; x = typeof y; }"), {
          "typeofd %1, %-4.*0",
          "spd %-2.*1, %1",
          "typeofi %1, %-4.%-3",
          "spd %-2.*1, %1",
          "cp %1, %-3",
          "typeof %1",
          "spd %-2.*1, %1",
          "typeofd %1, %-2.*2",
          "spd %-2.*1, %1",
          "srv %0",
          "ret",
      }));
}

// Calls ------------------------------------------------------------------------------------------------

TEST_F(CodeGenerationExpressions, MethodCallsAndNew) {
  tCompilation result = Compile(u"f(1, 2);\nf(,);\nx = new C(1);\no.m(a*, *);");
  const tCompiledContext& top = result.TopLevel();
  EXPECT_TRUE(ListingIs(top.Listing, {
      "const %1, *1",
      "const %2, *2",
      "calld %0, %-2.*0(%1, %2)",
      "calld %0, %-2.*0(%0, %0)",
      "gpd %2, %-2.*3",
      "const %3, *1",
      "new %1, %2(%3)",
      "spd %-2.*4, %1",
      "gpd %1, %-2.*5",
      "gpd %2, %-2.*7",
      "calld %0, %1.*6(%2*, *)",
      "srv %0",
      "ret",
  }));
  // The extended list: -2, two pairs (expand, unnamed arguments).
  ASSERT_EQ(top.Ips.size(), 13u);
  int32_t call = top.Ips[10];
  EXPECT_EQ(top.Words[call + 4], NUVArgumentsExtended);
  EXPECT_EQ(top.Words[call + 5], 2);
  EXPECT_EQ(top.Words[call + 6], akExpand);
  EXPECT_EQ(top.Words[call + 7], EncodeRegister(2));
  EXPECT_EQ(top.Words[call + 8], akUnnamed);
  EXPECT_EQ(top.Ips[11], call + 10);
  EXPECT_EQ(top.Constants, (std::vector<std::string>{"(string)\"f\"", "(int)1", "(int)2", "(string)\"C\"",
                                                      "(string)\"x\"", "(string)\"o\"", "(string)\"m\"",
                                                      "(string)\"a\""}));
}

TEST_F(CodeGenerationExpressions, CallResultsAndNewOfAMember) {
  // "new" evaluates its class like any value, never as a method call.
  tCompilation result = Compile(u"x = f();\ny = new o.C(1);");
  EXPECT_TRUE(ListingIs(result.TopLevel().Listing, {
      "calld %1, %-2.*0()",
      "spd %-2.*1, %1",
      "gpd %2, %-2.*2",
      "gpd %3, %2.*3",
      "const %4, *4",
      "new %1, %3(%4)",
      "spd %-2.*5, %1",
      "srv %0",
      "ret",
  }));
}

TEST_F(CodeGenerationExpressions, CallsOfLocalsComputedMembersAndOmittedArguments) {
  tCompilation result = Compile(u"function f(g) { var x = g(1); o[k](...); x = new g(); }");
  const tCompiledContext& function = result.Get(ctFunction, "f");
  EXPECT_TRUE(ListingIs(function.Listing, {
      "const %2, *0",
      "call %1, %-3(%2)",
      "cp %-4, %1",
      "gpd %1, %-2.*1",
      "gpd %2, %-2.*2",
      "calli %0, %1.%2(...)",
      "new %1, %-3()",
      "cp %-4, %1",
      "srv %0",
      "ret",
  }));
  ASSERT_EQ(function.Ips.size(), 10u);
  EXPECT_EQ(function.Words[function.Ips[5] + 4], NUVArgumentsOmitted);
  EXPECT_EQ(function.Ips[6], function.Ips[5] + 5);
}

// Literals ----------------------------------------------------------------------------------------------

TEST_F(CodeGenerationExpressions, ArrayLiterals) {
  // The index register and the element values take the temporaries after the
  // class register.
  tCompilation withTwo = Compile(u"x = [1,];");
  EXPECT_TRUE(ListingIs(withTwo.TopLevel().Listing, {
      "global %1",
      "gpd %2, %1.*0",
      "new %1, %2()",
      "const %3, *1",
      "const %4, *2",
      "spis %1.%3, %4",
      "inc %3",
      "spis %1.%3, %0",
      "inc %3",
      "spd %-2.*3, %1",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(withTwo.TopLevel().Constants,
            (std::vector<std::string>{"(string)\"Array\"", "(int)0", "(int)1", "(string)\"x\""}));

  tCompilation twoVoids = Compile(u"x = [,];");
  EXPECT_TRUE(ListingIs(twoVoids.TopLevel().Listing, {
      "global %1",
      "gpd %2, %1.*0",
      "new %1, %2()",
      "const %3, *1",
      "spis %1.%3, %0",
      "inc %3",
      "spis %1.%3, %0",
      "inc %3",
      "spd %-2.*2, %1",
      "srv %0",
      "ret",
  }));

  // "[]" stores nothing (whether the unused index is loaded is left open).
  tCompilation empty = Compile(u"x = [];");
  const tListing& listing = empty.TopLevel().Listing;
  ASSERT_GE(listing.size(), 6u);
  EXPECT_EQ(tListing(listing.begin(), listing.begin() + 3), (tListing{"global %1", "gpd %2, %1.*0", "new %1, %2()"}));
  EXPECT_EQ(tListing(listing.end() - 3, listing.end()),
            (tListing{"spd %-2.*" + std::to_string(empty.TopLevel().Constants.size() - 1) + ", %1", "srv %0", "ret"}));
  for (const std::string& line : listing) {
    EXPECT_EQ(line.rfind("spis", 0), std::string::npos) << line;
    EXPECT_EQ(line.rfind("inc", 0), std::string::npos) << line;
  }
}

TEST_F(CodeGenerationExpressions, DictionaryLiteral) {
  tCompilation result = Compile(u"x = %[ \"a\" => 1 ];");
  const tCompiledContext& top = result.TopLevel();
  EXPECT_TRUE(ListingIs(top.Listing, {
      "global %1",
      "gpd %2, %1.*0",
      "new %1, %2()",
      "const %3, *1",
      "const %4, *2",
      "spis %1.%3, %4",
      "spd %-2.*3, %1",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(top.Constants, (std::vector<std::string>{"(string)\"Dictionary\"", "(string)\"a\"", "(int)1",
                                                      "(string)\"x\""}));
}

TEST_F(CodeGenerationExpressions, RegularExpressionLiteral) {
  tCompilation result = Compile(u"x = /ab/g;");
  const tCompiledContext& top = result.TopLevel();
  EXPECT_TRUE(ListingIs(top.Listing, {
      "global %1",
      "gpd %2, %1.*0",
      "const %3, *1",
      "new %1, %2()",
      "calld %0, %1.*2(%3)",
      "spd %-2.*3, %1",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(top.Constants, (std::vector<std::string>{"(string)\"RegExp\"", "(string)\"//g/ab\"",
                                                      "(string)\"_compile\"", "(string)\"x\""}));
}

// Semantic errors and warnings ----------------------------------------------------------------------------

struct tErrorCase {
  const char16_t* Script;
  const tNUVMessageHolder* Message;
  int32_t Line;
};

TEST_F(CodeGenerationExpressions, SemanticErrorsAreReportedAndFailTheCompilation) {
  const tErrorCase cases[] = {
      {u"a = 1;\n1 = a;", &NUVCannotModifyLHS, 2},
      {u"1 <-> a;", &NUVCannotModifyLHS, 1},
      {u"x = (a <-> b);", &NUVCannotGetResult, 1},
      {u"a = 1;\n\nx = (a if b);", &NUVCannotGetResult, 3},
      {u"super.f();", &NUVCannotGetSuper, 1},
      {u"f(...);", &NUVCannotOmit, 1},
      {u"a = 1;\nbreak;", &NUVMisplacedBreakContinue, 2},
      {u"switch (a) {\n{ case 1: }\n}", &NUVMisplacedCase, 2},
      // Values that are no places.
      {u"f() = 1;", &NUVCannotModifyLHS, 1},
      {u"++1;", &NUVCannotModifyLHS, 1},
      {u"this = 1;", &NUVCannotModifyLHS, 1},
      {u"x = delete 1;", &NUVCannotModifyLHS, 1},
      // Inside functions and classes.
      {u"class C { function f() {\nsuper.g(); } }", &NUVCannotGetSuper, 2},
      {u"function f() {\n  continue;\n}", &NUVMisplacedBreakContinue, 2},
      {u"function f(a) { switch (a) { default: continue; } }", &NUVMisplacedBreakContinue, 1},
  };
  for (const tErrorCase& test : cases) {
    SCOPED_TRACE(Utf8(test.Script));
    tCompilation result = Compile(test.Script, false);
    EXPECT_TRUE(result.Failed);
    EXPECT_EQ(result.ErrorCount, 1);
    EXPECT_EQ(result.Printed, (std::vector<std::string>{ErrorLine(*test.Message, test.Line)}));
    EXPECT_NE(result.FailureMessage.find(Utf8(test.Message->Text())), std::string::npos) << result.FailureMessage;
  }
}

TEST_F(CodeGenerationExpressions, AssignmentInAConditionWarnsOnce) {
  tCompilation result = Compile(u"if (a = b) ;", false);
  EXPECT_FALSE(result.Failed);
  EXPECT_EQ(result.Printed, (std::vector<std::string>{Utf8(NUVWarning.Text()) +
                                                      Utf8(NUVSubstitutionInBooleanContext.Text()) +
                                                      " at test line 1"}));
  EXPECT_TRUE(ListingIs(result.TopLevel().Listing, {
      "gpd %1, %-2.*0",
      "spd %-2.*1, %1",
      "tt %1",
      "jnf 000000012",
      "srv %0",
      "ret",
  }));
}

// Deep trees -----------------------------------------------------------------------------------------------

std::u16string Repeated(const std::u16string& piece, int count) {
  std::u16string text;
  for (int i = 0; i < count; ++i) text += piece;
  return text;
}

TEST_F(CodeGenerationExpressions, DeepButAllowedTreeCompiles) {
  tCompilation result = Compile(u"x = " + Repeated(u"- ", 900) + u"a;");
  const tListing& listing = result.TopLevel().Listing;
  ASSERT_EQ(listing.size(), 904u);
  EXPECT_EQ(listing.front(), "gpd %1, %-2.*0");
  EXPECT_EQ(std::count(listing.begin(), listing.end(), "chs %1"), 900);
  EXPECT_EQ(listing[901], "spd %-2.*1, %1");
}

TEST_F(CodeGenerationExpressions, TreesNestedTooDeeplyAreSyntaxErrors) {
  const std::string tooDeep = SyntaxErrorLine(u"syntax error, expression nested too deeply", 1);
  {
    tCompilation result = Compile(u"x = " + Repeated(u"- ", 5000) + u"a;", false);
    EXPECT_TRUE(result.Failed);
    EXPECT_EQ(result.Printed, (std::vector<std::string>{tooDeep}));
  }
  {
    // A left-associative member chain: shallow for the parser, deep for the generator.
    tCompilation result = Compile(u"x = a" + Repeated(u".b", 5000) + u";", false);
    EXPECT_TRUE(result.Failed);
    EXPECT_EQ(result.Printed, (std::vector<std::string>{tooDeep}));
  }
  {
    // Parenthesised: the parser's own stack limit comes first.
    tCompilation result = Compile(u"x = " + Repeated(u"-(", 5000) + u"a" + Repeated(u")", 5000) + u";", false);
    EXPECT_TRUE(result.Failed);
    EXPECT_EQ(result.Printed, (std::vector<std::string>{"parser stack overflow at line 1"}));
  }
}

TEST_F(CodeGenerationExpressions, LongArithmeticChainNeedsNoDeepWalk) {
  // 20000 terms: compiled along the chain, with two temporaries.
  tCompilation result = Compile(u"x = a" + Repeated(u"+a", 20000) + u";");
  const tCompiledContext& top = result.TopLevel();
  ASSERT_EQ(top.Listing.size(), 40004u);
  EXPECT_EQ(top.Listing[0], "gpd %1, %-2.*0");
  for (size_t i = 1; i <= 40000; i += 2) {
    if (top.Listing[i] != "gpd %2, %-2.*0" || top.Listing[i + 1] != "add %1, %2") {
      ADD_FAILURE() << "at " << i << ": " << top.Listing[i] << " / " << top.Listing[i + 1];
      break;
    }
  }
  EXPECT_EQ(top.Listing[40001], "spd %-2.*1, %1");
  EXPECT_EQ(top.FrameRegisterCount, 2);
}

}  // namespace
}  // namespace NUV
