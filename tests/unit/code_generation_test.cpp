// Code generation for contexts, declarations and statements: short scripts are
// compiled and the instructions of each code context are compared with listings
// worked out by hand from the rules of the generator (registers, temporaries,
// jump patching, commit-time insertions and jump threading).
//
// Temporaries: a statement starts at %1; each intermediate value takes the next
// free temporary in evaluation order, and the temporaries a finished sub-expression
// used above its own result are free again.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/unit/compile_test_support.h"

namespace NUV {
namespace {

using namespace CompileTestSupport;

class CodeGeneration : public CompileFixture {};

// Registration of declarations ------------------------------------------------------------

TEST_F(CodeGeneration, ClassBodyStartsWithItsPrologueAndGetsRegmember) {
  tCompilation result = Compile(u"class C { var a = 1; function f() { } }");
  ASSERT_EQ(result.Contexts.size(), 3u);
  EXPECT_EQ(result.Contexts[0].Kind, ctTopLevel);
  EXPECT_EQ(result.Contexts[1].Kind, ctClass);
  EXPECT_EQ(result.Contexts[1].Name, "C");
  EXPECT_EQ(result.Contexts[2].Kind, ctFunction);
  EXPECT_EQ(result.Contexts[2].Name, "f");

  const tCompiledContext& klass = result.Get(ctClass, "C");
  // The instance variable is a member of the new object (spde on this).
  EXPECT_TRUE(ListingIs(klass.Listing, {
      "const %1, *0",
      "addci %-1, %1",
      "cl %1",
      "regmember",
      "const %1, *1",
      "spde %-1.*2, %1",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(klass.Constants, (std::vector<std::string>{"(string)\"C\"", "(int)1", "(string)\"a\""}));
  EXPECT_GE(klass.FrameRegisterCount, 1);
  EXPECT_TRUE(ListingIs(result.Get(ctFunction, "f").Listing, {"srv %0", "ret"}));

  // A class is registered without change-this: 7 words, then the closing cl.
  const tCompiledContext& top = result.TopLevel();
  EXPECT_TRUE(ListingIs(top.Listing, {
      "const %1, *0",
      "spds %-1.*1, %1",
      "cl %1",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(top.Ips, (std::vector<int32_t>{0, 3, 7, 9, 11}));
  EXPECT_EQ(top.Constants, (std::vector<std::string>{"(class) C", "(string)\"C\""}));
}

TEST_F(CodeGeneration, TopLevelFunctionIsRegisteredBeforeItsText) {
  tCompilation result = Compile(u"f();\nfunction f() { }");
  const tCompiledContext& top = result.TopLevel();
  // 10 words with change-this, then cl; the call's name constant is shared with the
  // registration.
  EXPECT_TRUE(ListingIs(top.Listing, {
      "const %1, *1",
      "chgthis %1, %-1",
      "spds %-1.*0, %1",
      "cl %1",
      "calld %0, %-2.*0()",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(top.Ips[4], 12);
  EXPECT_EQ(top.Constants, (std::vector<std::string>{"(string)\"f\"", "(function) f"}));
  EXPECT_GE(top.FrameRegisterCount, 1);
}

TEST_F(CodeGeneration, LoopBackToTheRegistrationPointSkipsTheInsertedCode) {
  // The loop starts where the registration block is inserted: the back jump must
  // land on the loop's condition, not run the registration again.
  tCompilation result = Compile(u"while (a) ;\nfunction f() { }");
  const tCompiledContext& top = result.TopLevel();
  EXPECT_TRUE(ListingIs(top.Listing, {
      "const %1, *1",
      "chgthis %1, %-1",
      "spds %-1.*2, %1",
      "cl %1",
      "gpd %1, %-2.*0",
      "tt %1",
      "jnf 000000022",
      "jmp 000000012",
      "srv %0",
      "ret",
  }));
  // Finished code holds byte distances.
  EXPECT_EQ(top.JumpOperandAt(18), 4 * 4);
  EXPECT_EQ(top.JumpOperandAt(20), -8 * 4);
}

TEST_F(CodeGeneration, JumpsInsideASuperclassExpressionKeepTheirDistances) {
  // The conditional's jumps lie before the registration point, which moves behind
  // the superclass code; regmember is inserted after them.
  tCompilation result = Compile(u"class C extends (x ? y : z) { }");
  ASSERT_EQ(result.Contexts.size(), 3u);
  EXPECT_EQ(result.Contexts[2].Kind, ctSuperClassGetter);
  EXPECT_EQ(result.Contexts[2].Name, "C");

  const tCompiledContext& klass = result.Get(ctClass, "C");
  EXPECT_TRUE(ListingIs(klass.Listing, {
      "const %1, *0",
      "addci %-1, %1",
      "cl %1",
      "gpd %1, %-2.*1",
      "tt %1",
      "jnf 000000022",
      "gpd %2, %-2.*2",
      "jmp 000000029",
      "gpd %3, %-2.*3",
      "cp %2, %3",
      "chgthis %2, %-1",
      "call %0, %2()",
      "regmember",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(klass.JumpOperandAt(14), 8 * 4);
  EXPECT_EQ(klass.JumpOperandAt(20), 9 * 4);

  // The getter proxy evaluates the same expression and returns it; its jumps are
  // byte distances too.
  const tCompiledContext& proxy = result.Get(ctSuperClassGetter, "C");
  EXPECT_TRUE(ListingIs(proxy.Listing, {
      "gpd %1, %-2.*0",
      "tt %1",
      "jnf 000000014",
      "gpd %2, %-2.*1",
      "jmp 000000021",
      "gpd %3, %-2.*2",
      "cp %2, %3",
      "srv %2",
      "ret",
      "nop",
  }));
  EXPECT_EQ(proxy.JumpOperandAt(6), 8 * 4);
  EXPECT_EQ(proxy.JumpOperandAt(12), 9 * 4);
  EXPECT_EQ(proxy.Constants, (std::vector<std::string>{"(string)\"x\"", "(string)\"y\"", "(string)\"z\""}));
  EXPECT_EQ(proxy.LocalSlotCount, 2);

  EXPECT_TRUE(ListingIs(result.TopLevel().Listing, {"const %1, *0", "spds %-1.*1, %1", "cl %1", "srv %0", "ret"}));
}

TEST_F(CodeGeneration, SuperInAMemberFunctionNamesTheSuperclassThroughGlobal) {
  tCompilation result = Compile(u"class C extends B { function f() { super.g(); } }");
  ASSERT_EQ(result.Contexts.size(), 4u);
  EXPECT_TRUE(ListingIs(result.Get(ctClass, "C").Listing, {
      "const %1, *0",
      "addci %-1, %1",
      "cl %1",
      "gpd %1, %-2.*1",
      "chgthis %1, %-1",
      "call %0, %1()",
      "regmember",
      "srv %0",
      "ret",
  }));
  EXPECT_TRUE(ListingIs(result.Get(ctSuperClassGetter, "C").Listing, {"gpd %1, %-2.*0", "srv %1", "ret", "nop"}));
  const tCompiledContext& method = result.Get(ctFunction, "f");
  EXPECT_TRUE(ListingIs(method.Listing, {
      "global %1",
      "gpd %2, %1.*0",
      "calld %0, %2.*1()",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(method.Constants, (std::vector<std::string>{"(string)\"B\"", "(string)\"g\""}));
}

TEST_F(CodeGeneration, SeveralSuperclassesAndNoSuper) {
  // Each superclass runs on the new object; the proxy has one entry per superclass.
  // With more than one, "super" names none of them.
  tCompilation result = Compile(u"class A extends B, C { }");
  EXPECT_TRUE(ListingIs(result.Get(ctClass, "A").Listing, {
      "const %1, *0",
      "addci %-1, %1",
      "cl %1",
      "gpd %1, %-2.*1",
      "chgthis %1, %-1",
      "call %0, %1()",
      "gpd %1, %-2.*2",
      "chgthis %1, %-1",
      "call %0, %1()",
      "regmember",
      "srv %0",
      "ret",
  }));
  EXPECT_TRUE(ListingIs(result.Get(ctSuperClassGetter, "A").Listing, {
      "gpd %1, %-2.*0", "srv %1", "ret", "nop",
      "gpd %1, %-2.*1", "srv %1", "ret", "nop",
  }));

  tCompilation withSuper = Compile(u"class A extends B, C { function f() { super.g(); } }", false);
  EXPECT_TRUE(withSuper.Failed);
  EXPECT_EQ(withSuper.Printed, (std::vector<std::string>{ErrorLine(NUVCannotGetSuper, 1)}));
}

TEST_F(CodeGeneration, PropertyWithAccessors) {
  tCompilation result = Compile(u"property p { getter { return 1; } setter (v) { } }");
  ASSERT_EQ(result.Contexts.size(), 4u);
  const tCompiledContext& property = result.Get(ctProperty, "p");
  EXPECT_TRUE(property.Listing.empty());
  EXPECT_EQ(property.ReservedCount, 0);
  EXPECT_TRUE(ListingIs(result.Get(ctPropertyGetter, "(getter)").Listing,
                        {"const %1, *0", "srv %1", "ret", "srv %0", "ret"}));
  const tCompiledContext& setter = result.Get(ctPropertySetter, "(setter)");
  EXPECT_TRUE(ListingIs(setter.Listing, {"srv %0", "ret"}));
  EXPECT_EQ(setter.ArgCount, 1);
  EXPECT_TRUE(ListingIs(result.TopLevel().Listing, {
      "const %1, *0",
      "chgthis %1, %-1",
      "spds %-1.*1, %1",
      "cl %1",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(result.TopLevel().Constants, (std::vector<std::string>{"(property) p", "(string)\"p\""}));
}

TEST_F(CodeGeneration, FunctionDeclaredInAFunctionIsALocalFromItsEnd) {
  tCompilation result = Compile(u"function f() { g(); function g() { } g(); }");
  ASSERT_EQ(result.Contexts.size(), 3u);
  const tCompiledContext& outer = result.Get(ctFunction, "f");
  EXPECT_TRUE(ListingIs(outer.Listing, {
      "calld %0, %-2.*0()",
      "const %1, *1",
      "cp %-3, %1",
      "call %0, %-3()",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(outer.Constants, (std::vector<std::string>{"(string)\"g\"", "(function) g"}));
  // Only f is registered at the top level.
  EXPECT_EQ(result.TopLevel().Listing.size(), 6u);
}

TEST_F(CodeGeneration, VariablesAtTopLevelAreMembersAndInBlocksLocals) {
  tCompilation result = Compile(u"var x;\nvar y = 1;\n{ var z; z = 2; }\nfunction f() { var a = 1, b; }");
  EXPECT_TRUE(ListingIs(result.Get(ctFunction, "f").Listing, {"const %1, *0", "cp %-3, %1", "cl %-4", "srv %0", "ret"}));
  const tCompiledContext& top = result.TopLevel();
  EXPECT_TRUE(ListingIs(top.Listing, {
      "const %1, *4",
      "chgthis %1, %-1",
      "spds %-1.*5, %1",
      "cl %1",
      "spde %-1.*0, %0",
      "const %1, *1",
      "spde %-1.*2, %1",
      "cl %-3",
      "const %1, *3",
      "cp %-3, %1",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(top.Constants, (std::vector<std::string>{"(string)\"x\"", "(int)1", "(string)\"y\"", "(int)2",
                                                      "(function) f", "(string)\"f\""}));
  EXPECT_EQ(top.LocalSlotCount, 1);
}

TEST_F(CodeGeneration, DefaultParameterIsTakenOnlyForVoid) {
  tCompilation result = Compile(u"function f(a, b = 2) { return b; }");
  const tCompiledContext& function = result.Get(ctFunction, "f");
  EXPECT_TRUE(ListingIs(function.Listing, {
      "cdeq %-4, %0",
      "jnf 000000011",
      "const %1, *0",
      "cp %-4, %1",
      "srv %-4",
      "ret",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(function.ArgCount, 2);
  EXPECT_EQ(function.Constants, (std::vector<std::string>{"(int)2"}));
}

// Control statements -----------------------------------------------------------------------

TEST_F(CodeGeneration, IfElseJumpsPastTheElseJump) {
  tCompilation result = Compile(u"function f(a) { if (a) a = 1; else a = 2; }");
  EXPECT_TRUE(ListingIs(result.Get(ctFunction, "f").Listing, {
      "tt %-3",
      "jnf 000000012",
      "const %1, *0",
      "cp %-3, %1",
      "jmp 000000018",
      "const %1, *1",
      "cp %-3, %1",
      "srv %0",
      "ret",
  }));
}

TEST_F(CodeGeneration, WhileWithContinueAndBreak) {
  // The if's failure jump lands on the break's jmp and is threaded to the exit.
  tCompilation result = Compile(u"function f(a) { while (a) { if (a) continue; break; } }");
  const tCompiledContext& function = result.Get(ctFunction, "f");
  EXPECT_TRUE(ListingIs(function.Listing, {
      "tt %-3",
      "jnf 000000014",
      "tt %-3",
      "jnf 000000014",
      "jmp 000000000",
      "jmp 000000014",
      "jmp 000000000",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(function.JumpOperandAt(8), -8 * 4);
}

TEST_F(CodeGeneration, DoWhileContinuesAtTheCondition) {
  tCompilation result = Compile(u"function f(a) { do { if (a) continue; if (a) break; } while (a); }");
  EXPECT_TRUE(ListingIs(result.Get(ctFunction, "f").Listing, {
      "tt %-3",
      "jnf 000000006",
      "jmp 000000012",
      "tt %-3",
      "jnf 000000012",
      "jmp 000000016",
      "tt %-3",
      "jf 000000000",
      "srv %0",
      "ret",
  }));
}

TEST_F(CodeGeneration, ForContinuesAtTheStepAndLoopsBackBehindTheDeclaration) {
  tCompilation result = Compile(u"function f() { for (var i = 0; i < 10; i++) { if (i) continue; break; } }");
  const tCompiledContext& function = result.Get(ctFunction, "f");
  EXPECT_TRUE(ListingIs(function.Listing, {
      "const %1, *0",
      "cp %-3, %1",
      "const %1, *1",
      "clt %-3, %1",
      "jnf 000000026",
      "tt %-3",
      "jnf 000000026",
      "jmp 000000022",
      "jmp 000000026",
      "inc %-3",
      "jmp 000000006",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(function.Constants, (std::vector<std::string>{"(int)0", "(int)10"}));
}

TEST_F(CodeGeneration, SwitchFallsThroughAndRoutesToDefault) {
  // The switch value is copied into a temporary reserved for the statement (like a
  // with object), so assigning the local in a body does not change later tests. Each
  // label after the first ends the previous body with a jmp over its test; default's
  // own jmp goes on to the next test, and at the end the last failure is routed to
  // the default body by a jmp that the last body skips. Threading shortens the
  // chains.
  tCompilation result = Compile(
      u"function f(a) { switch (a) { case 1: a = 2; case 3: a = 4; break; default: a = 5; } }\n"
      u"function g(a) { switch (a) { case 1: a = 2; } }\n"
      u"function h(a) { switch (a) { default: b(); case 1: c(); } }");
  EXPECT_TRUE(ListingIs(result.Get(ctFunction, "f").Listing, {
      "cp %1, %-3",
      "const %2, *0",
      "ceq %1, %2",
      "jnf 000000019",
      "const %2, *1",
      "cp %-3, %2",
      "jmp 000000027",
      "const %2, *2",
      "ceq %1, %2",
      "jnf 000000039",
      "const %2, *3",
      "cp %-3, %2",
      "jmp 000000049",
      "jmp 000000039",
      "jmp 000000039",
      "const %2, *4",
      "cp %-3, %2",
      "jmp 000000049",
      "jmp 000000039",
      "srv %0",
      "ret",
  }));
  // Without default the last failure goes to the end.
  EXPECT_TRUE(ListingIs(result.Get(ctFunction, "g").Listing, {
      "cp %1, %-3",
      "const %2, *0",
      "ceq %1, %2",
      "jnf 000000017",
      "const %2, *1",
      "cp %-3, %2",
      "srv %0",
      "ret",
  }));
  // default first: its jmp goes to the next test, whose failure comes back to it.
  EXPECT_TRUE(ListingIs(result.Get(ctFunction, "h").Listing, {
      "cp %1, %-3",
      "jmp 000000012",
      "calld %0, %-2.*0()",
      "jmp 000000020",
      "const %2, *1",
      "ceq %1, %2",
      "jnf 000000005",
      "calld %0, %-2.*2()",
      "jmp 000000029",
      "jmp 000000005",
      "srv %0",
      "ret",
  }));
}

TEST_F(CodeGeneration, ReturnThroughTwoTriesLeavesBoth) {
  tCompilation result = Compile(u"function f() { try { try { return 1; } catch { } } catch { } }");
  const tCompiledContext& function = result.Get(ctFunction, "f");
  EXPECT_TRUE(ListingIs(function.Listing, {
      "entry 000000020, %1",
      "entry 000000017, %1",
      "const %1, *0",
      "srv %1",
      "extry",
      "extry",
      "ret",
      "extry",
      "jmp 000000017",
      "extry",
      "jmp 000000020",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(function.JumpOperandAt(0), 20 * 4);
  EXPECT_GE(function.FrameRegisterCount, 1);
}

TEST_F(CodeGeneration, CatchVariableTakesTheExceptionRegister) {
  // The catch part runs after its try region was left: a return there leaves no
  // try region.
  tCompilation result = Compile(u"function f() { try { g(); } catch (e) { return e; } }");
  EXPECT_TRUE(ListingIs(result.Get(ctFunction, "f").Listing, {
      "entry 000000011, %1",
      "calld %0, %-2.*0()",
      "extry",
      "jmp 000000017",
      "cp %-3, %1",
      "srv %-3",
      "ret",
      "srv %0",
      "ret",
  }));
}

TEST_F(CodeGeneration, BreakInACatchPartLeavesNoTryRegion) {
  // An extry here would end the function's own execution loop instead of leaving
  // the while loop.
  tCompilation result = Compile(u"function f(a) { while (a) { try { a(); } catch (e) { break; } } }");
  EXPECT_TRUE(ListingIs(result.Get(ctFunction, "f").Listing, {
      "tt %-3",
      "jnf 000000021",
      "entry 000000014, %1",
      "call %0, %-3()",
      "extry",
      "jmp 000000000",
      "cp %-4, %1",
      "jmp 000000021",
      "jmp 000000000",
      "srv %0",
      "ret",
  }));
}

TEST_F(CodeGeneration, WithObjectIsHeldInAReservedTemporary) {
  tCompilation result = Compile(
      u"with (o) .p = 1;\n"
      u"function f(a) { with (a) { .p = 1; x = .q; } .r = 1; }");
  // Already in the first free temporary: no copy.
  EXPECT_TRUE(ListingIs(result.TopLevel().Listing, {
      "const %1, *3",
      "chgthis %1, %-1",
      "spds %-1.*4, %1",
      "cl %1",
      "gpd %1, %-2.*0",
      "const %2, *1",
      "spde %1.*2, %2",
      "srv %0",
      "ret",
  }));
  // A local is copied; outside any with, ".name" is a member of global.
  const tCompiledContext& function = result.Get(ctFunction, "f");
  EXPECT_TRUE(ListingIs(function.Listing, {
      "cp %1, %-3",
      "const %2, *0",
      "spde %1.*1, %2",
      "gpd %2, %1.*2",
      "spd %-2.*3, %2",
      "const %1, *0",
      "global %2",
      "spde %2.*4, %1",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(function.Constants, (std::vector<std::string>{"(int)1", "(string)\"p\"", "(string)\"q\"",
                                                           "(string)\"x\"", "(string)\"r\""}));
}

TEST_F(CodeGeneration, ContinueInASwitchGoesToTheLoop) {
  // continue passes over the switch; break ends the switch only. After the switch
  // its reserved register is free again.
  tCompilation result =
      Compile(u"function f(a) { while (a) { switch (a) { case 1: continue; case 2: break; } a = 0; } }");
  EXPECT_TRUE(ListingIs(result.Get(ctFunction, "f").Listing, {
      "tt %-3",
      "jnf 000000037",
      "cp %1, %-3",
      "const %2, *0",
      "ceq %1, %2",
      "jnf 000000019",
      "jmp 000000000",
      "jmp 000000029",
      "const %2, *1",
      "ceq %1, %2",
      "jnf 000000029",
      "jmp 000000029",
      "const %1, *2",
      "cp %-3, %1",
      "jmp 000000000",
      "srv %0",
      "ret",
  }));
}

TEST_F(CodeGeneration, BreakInATryLeavesTheTryRegion) {
  // The try entry's catch position is a jmp back to the loop start; threading
  // follows it like any other jump.
  tCompilation result = Compile(u"function f(a) { while (a) { try { break; } catch { } } }");
  EXPECT_TRUE(ListingIs(result.Get(ctFunction, "f").Listing, {
      "tt %-3",
      "jnf 000000015",
      "entry 000000000, %1",
      "extry",
      "jmp 000000015",
      "extry",
      "jmp 000000000",
      "jmp 000000000",
      "srv %0",
      "ret",
  }));
}

TEST_F(CodeGeneration, ForWithoutDeclarationOrClauses) {
  tCompilation result = Compile(u"for (i = 0; i < 2; ) ;\nfunction f() { for (;;) { break; } }");
  // The loop-back jump lands on the break's jmp and is threaded to the exit.
  EXPECT_TRUE(ListingIs(result.Get(ctFunction, "f").Listing, {"jmp 000000004", "jmp 000000004", "srv %0", "ret"}));
  const tCompiledContext& top = result.TopLevel();
  EXPECT_TRUE(ListingIs(top.Listing, {
      "const %1, *3",
      "chgthis %1, %-1",
      "spds %-1.*4, %1",
      "cl %1",
      "const %1, *0",
      "spd %-2.*1, %1",
      "gpd %1, %-2.*1",
      "const %2, *2",
      "clt %1, %2",
      "jnf 000000033",
      "jmp 000000019",
      "srv %0",
      "ret",
  }));
}

TEST_F(CodeGeneration, FunctionExpressionsAndRestParameters) {
  tCompilation result = Compile(
      u"x = function (a) { return a; };\n"
      u"function g(a, rest*) { return rest; }\n"
      u"function h(*) { g(*); }");
  ASSERT_EQ(result.Contexts.size(), 4u);
  const tCompiledContext& anonymous = result.Contexts[1];
  EXPECT_EQ(anonymous.Kind, ctExprFunction);
  EXPECT_EQ(anonymous.Name, "(anonymous)");
  EXPECT_TRUE(ListingIs(anonymous.Listing, {"srv %-3", "ret", "srv %0", "ret"}));

  const tCompiledContext& rest = result.Get(ctFunction, "g");
  EXPECT_TRUE(ListingIs(rest.Listing, {"srv %-4", "ret", "srv %0", "ret"}));
  EXPECT_EQ(rest.ArgCount, 1);
  EXPECT_EQ(rest.CollapseBase, 1);

  const tCompiledContext& unnamed = result.Get(ctFunction, "h");
  EXPECT_TRUE(ListingIs(unnamed.Listing, {"calld %0, %-2.*0(*)", "srv %0", "ret"}));
  EXPECT_EQ(unnamed.ArgCount, 0);
  EXPECT_EQ(unnamed.UnnamedArgBase, 0);
  EXPECT_EQ(unnamed.CollapseBase, -1);

  // Only the declared functions are registered; the expression's value is a constant.
  const tCompiledContext& top = result.TopLevel();
  EXPECT_TRUE(ListingIs(top.Listing, {
      "const %1, *2",
      "chgthis %1, %-1",
      "spds %-1.*3, %1",
      "const %1, *4",
      "chgthis %1, %-1",
      "spds %-1.*5, %1",
      "cl %1",
      "const %1, *0",
      "spd %-2.*1, %1",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(top.Constants, (std::vector<std::string>{"(function expression) (anonymous)", "(string)\"x\"",
                                                      "(function) g", "(string)\"g\"", "(function) h",
                                                      "(string)\"h\""}));
}

TEST_F(CodeGeneration, ThrowDebuggerAndReturnAtTopLevel) {
  tCompilation result = Compile(u"throw x;\ndebugger;\nreturn 1;\nfunction f(a) { throw a; }");
  EXPECT_TRUE(ListingIs(result.TopLevel().Listing, {
      "const %1, *2",
      "chgthis %1, %-1",
      "spds %-1.*3, %1",
      "cl %1",
      "gpd %1, %-2.*0",
      "throw %1",
      "debugger",
      "const %1, *1",
      "srv %1",
      "ret",
      "srv %0",
      "ret",
  }));
  EXPECT_TRUE(ListingIs(result.Get(ctFunction, "f").Listing, {"throw %-3", "srv %0", "ret"}));
}

// Conditions and jump threading ----------------------------------------------------------------

TEST_F(CodeGeneration, ConditionsUseTheFlagDirectly) {
  tCompilation result = Compile(u"function f(a, b) { if (a < b) a = 1; if (!a) b = 1; if (!(a < b)) b = 2; }");
  EXPECT_TRUE(ListingIs(result.Get(ctFunction, "f").Listing, {
      "clt %-3, %-4",
      "jnf 000000011",
      "const %1, *0",
      "cp %-3, %1",
      "tf %-3",
      "jnf 000000021",
      "const %1, *0",
      "cp %-4, %1",
      "clt %-3, %-4",
      "jf 000000032",
      "const %1, *1",
      "cp %-4, %1",
      "srv %0",
      "ret",
  }));
}

TEST_F(CodeGeneration, ConditionalJumpsAreThreaded) {
  // "||": the jf lands on the if's jnf, which the flag cannot take, so it goes past
  // it. "&&": the jnf lands on another jnf and goes on to its target.
  tCompilation result = Compile(u"function f(a, b) { if (a || b) a = 1; if (a && b) b = 1; }");
  const tCompiledContext& function = result.Get(ctFunction, "f");
  EXPECT_TRUE(ListingIs(function.Listing, {
      "tt %-3",
      "jf 000000008",
      "tt %-4",
      "jnf 000000014",
      "const %1, *0",
      "cp %-3, %1",
      "tt %-3",
      "jnf 000000028",
      "tt %-4",
      "jnf 000000028",
      "const %1, *0",
      "cp %-4, %1",
      "srv %0",
      "ret",
  }));
  EXPECT_EQ(function.JumpOperandAt(2), 6 * 4);
  EXPECT_EQ(function.JumpOperandAt(16), 12 * 4);
}

// Constants ---------------------------------------------------------------------------------------

TEST_F(CodeGeneration, ConstantsAreSharedOnlyWithinTheLastTwenty) {
  // "s", "s" again, 1..19, "s" (still in the window), 20, "s" (fell out).
  std::u16string script = u"function f() { var x; x = \"s\"; x = \"s\";";
  for (int i = 1; i <= 19; ++i) script += Widen(" x = " + std::to_string(i) + ";");
  script += u" x = \"s\"; x = 20; x = \"s\"; }";
  tCompilation result = Compile(script);
  const tCompiledContext& function = result.Get(ctFunction, "f");

  std::vector<int> indices = {0, 0};
  for (int i = 1; i <= 19; ++i) indices.push_back(i);
  indices.insert(indices.end(), {0, 20, 21});
  tListing expected = {"cl %-3"};
  for (int index : indices) {
    expected.push_back("const %1, *" + std::to_string(index));
    expected.push_back("cp %-3, %1");
  }
  expected.insert(expected.end(), {"srv %0", "ret"});
  EXPECT_TRUE(ListingIs(function.Listing, expected));
  ASSERT_EQ(function.Constants.size(), 22u);
  EXPECT_EQ(function.Constants[0], "(string)\"s\"");
  EXPECT_EQ(function.Constants[20], "(int)20");
  EXPECT_EQ(function.Constants[21], "(string)\"s\"");
}

}  // namespace
}  // namespace NUV
