// The compile-time side of code contexts: constants, registers, scopes,
// declarations, the class prologue, commit-time insertions, jump relocation and
// threading, positions and labels. A fake owner stands in for the script block.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "engine/services/errors.h"
#include "engine/values/global_string_map.h"
#include "engine/services/object_tracking.h"
#include "engine/vm/code_context.h"
#include "engine/vm/disassembler.h"

namespace NUV {
namespace {

std::u16string Text(const tNUVString& string) {
  return std::u16string(string.c_str(), static_cast<size_t>(string.GetLen()));
}

// Lines are 10 characters long; the block is named "blk".
class tFakeOwner : public iNUVCodeContextOwner {
public:
  void RegisterContext(tNUVInterCodeContext* context) override { Live.insert(context); }
  void UnregisterContext(tNUVInterCodeContext* context) override { Live.erase(context); }
  void AddRefOwner() override { ++References; }
  void ReleaseOwner() override { --References; }
  [[noreturn]] void RaiseCompileError(const tNUVString& message, int32_t) override { NUVThrowError(message); }
  void ReportError(const tNUVString& message, int32_t) override { Errors.push_back(Text(message)); }
  void PrintLine(const tNUVString& line) override { Printed.push_back(Text(line)); }
  tNUVString GetNameForMessages() override { return tNUVString(u"blk"); }
  int32_t SourcePositionToLine(int32_t position) override { return position / 10; }
  int32_t LineToSourcePosition(int32_t line) override { return line * 10; }
  tNUVString LineLabel(int32_t position) override {
    return tNUVString::Formatted(u"blk(%d)", position / 10 + 1);
  }
  void RecordTrackedTypeName(tNUVInterCodeContext*, const tNUVString& typeName) override {
    TypeNames.push_back(Text(typeName));
  }

  std::set<tNUVInterCodeContext*> Live;
  int32_t References = 0;
  std::vector<std::u16string> Errors, Printed, TypeNames;
};

class CodeContext : public testing::Test {
protected:
  void TearDown() override {
    EXPECT_TRUE(Owner.Live.empty());
    EXPECT_EQ(Owner.References, 0);
  }
  tNUVInterCodeContext* Make(tNUVInterCodeContext* parent, const char16_t* name, tNUVContextKind kind) {
    return new tNUVInterCodeContext(parent, tNUVString(name), &Owner, kind);
  }
  // Every instruction's printed form, in order.
  static std::vector<std::u16string> Listing(const tNUVInterCodeContext& context) {
    std::vector<std::u16string> lines;
    for (tNUVCodeWalker walker(context.GetCodeView()); !walker.AtEnd(); walker.Next()) {
      lines.push_back(Text(InstructionText(context.GetCodeView(), walker.Position())));
    }
    return lines;
  }
  tFakeOwner Owner;
};

using tLines = std::vector<std::u16string>;

double RealFromBits(uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

TEST_F(CodeContext, ConstantsAreSharedOnlyWithinTheLastTwenty) {
  tNUVInterCodeContext* top = Make(nullptr, u"global", ctTopLevel);
  for (int i = 0; i < 21; ++i) EXPECT_EQ(top->AddConstant(tNUVVariant(u"same")), 0);
  for (int i = 1; i <= 20; ++i) EXPECT_EQ(top->AddConstant(tNUVVariant(int32_t{i})), i);
  EXPECT_EQ(top->AddConstant(tNUVVariant(u"same")), 21);   // fell out of the window

  EXPECT_EQ(top->AddConstant(tNUVVariant(0.0)), 22);
  EXPECT_EQ(top->AddConstant(tNUVVariant(-0.0)), 23);
  EXPECT_EQ(top->AddConstant(tNUVVariant(0.0)), 22);
  double nan = RealFromBits(0x7FF8000000000001ull);
  EXPECT_EQ(top->AddConstant(tNUVVariant(nan)), 24);
  EXPECT_EQ(top->AddConstant(tNUVVariant(RealFromBits(0x7FF8000000000001ull))), 24);
  EXPECT_EQ(top->AddConstant(tNUVVariant(RealFromBits(0x7FF8000000000002ull))), 25);
  EXPECT_EQ(top->AddConstant(tNUVVariant(int32_t{77})), 26);
  EXPECT_EQ(top->AddConstant(tNUVVariant(77.0)), 27);   // a real never stands for an int
  EXPECT_EQ(top->GetConstantCount(), 28);
  top->Release();
}

TEST_F(CodeContext, StringConstantsAreInterned) {
  NUVAddRefGlobalStringMap();
  tNUVInterCodeContext* top = Make(nullptr, u"global", ctTopLevel);
  int32_t index = top->AddConstant(tNUVVariant(u"name"));
  EXPECT_EQ(top->GetData()[static_cast<size_t>(index)].AsStringBody(), MapGlobalString(tNUVString(u"name")).GetBody());
  top->Release();
  NUVReleaseGlobalStringMap();
}

TEST_F(CodeContext, TemporariesAndScopes) {
  tNUVInterCodeContext* function = Make(nullptr, u"f", ctFunction);
  int32_t base = function->GetNextTemp();
  EXPECT_EQ(function->AllocateTemporary(), 1);
  EXPECT_EQ(function->AllocateTemporary(), 2);
  EXPECT_EQ(function->AllocateTemporary(), 3);
  function->ReleaseTemporaries(base);
  EXPECT_EQ(function->AllocateTemporary(), 1);
  function->ReleaseTemporaries(base);
  EXPECT_EQ(function->GetTempHighWater(), 3);

  function->PushScope();
  EXPECT_EQ(function->AddName(tNUVString(u"a")), 0);
  EXPECT_EQ(function->AddName(tNUVString(u"b")), 1);
  EXPECT_EQ(function->AddName(tNUVString(u"a")), 0);   // same name, same slot
  function->PushScope();
  EXPECT_EQ(function->AddName(tNUVString(u"c")), 2);
  EXPECT_EQ(function->FindName(tNUVString(u"a")), 0);
  EXPECT_EQ(function->ScopeDepth(), 2);
  function->PopScope();
  function->PushScope();
  EXPECT_EQ(function->AddName(tNUVString(u"d")), 2);   // the closed scope's slot is reused
  EXPECT_EQ(function->FindName(tNUVString(u"c")), -1);
  function->PopScope();
  function->RemoveName(tNUVString(u"b"));
  EXPECT_EQ(function->FindName(tNUVString(u"b")), -1);
  EXPECT_EQ(function->AddName(tNUVString(u"e")), 1);   // first empty slot
  EXPECT_EQ(function->LiveCount(), 2);
  EXPECT_EQ(function->GetScopes().GetMaxCount(), 3);
  function->Finish();
  EXPECT_EQ(function->GetLocalSlotCount(), 3);
  function->Release();
}

TEST_F(CodeContext, DeclarationsAreMembersAtTheTopAndLocalsInFunctions) {
  tNUVInterCodeContext* top = Make(nullptr, u"global", ctTopLevel);
  top->DeclareLocal(tNUVString(u"x"), 0);
  top->DeclareLocal(tNUVString(u"y"), 2);
  top->PushScope();
  top->DeclareLocal(tNUVString(u"z"), 0);   // inside a block: a local
  EXPECT_EQ(Listing(*top), (tLines{u"spde %-1.*0, %0", u"spde %-1.*1, %2", u"cl %-3"}));

  tNUVInterCodeContext* function = Make(top, u"f", ctFunction);
  function->PushScope();
  function->AddParameter(tNUVString(u"a"));
  function->DeclareLocal(tNUVString(u"v"), 0);
  function->DeclareLocal(tNUVString(u"w"), [](tNUVInterCodeContext& context) {
    int32_t reg = context.AllocateTemporary();
    context.Emit(VM_CONST, {reg, context.AddConstant(tNUVVariant(int32_t{5}))});
    return reg;
  });
  EXPECT_EQ(function->GetNextTemp(), 1);
  EXPECT_EQ(Listing(*function), (tLines{u"cl %-4", u"const %1, *0", u"cp %-5, %1"}));
  EXPECT_EQ(function->GetArgCount(), 1);
  function->Finish();
  function->Release();
  top->Finish();
  top->Release();
}

TEST_F(CodeContext, DefaultParameterIsTakenOnlyForVoid) {
  tNUVInterCodeContext* function = Make(nullptr, u"f", ctFunction);
  function->PushScope();
  function->AddParameter(tNUVString(u"a"));
  function->AddParameter(tNUVString(u"b"), [](tNUVInterCodeContext& context) {
    int32_t reg = context.AllocateTemporary();
    context.Emit(VM_CONST, {reg, context.AddConstant(tNUVVariant(int32_t{1}))});
    return reg;
  });
  function->AddRestParameter(tNUVString(u"rest"));
  EXPECT_EQ(function->GetArgCount(), 2);
  EXPECT_EQ(function->GetCollapseBase(), 2);
  function->Finish();
  EXPECT_EQ(Listing(*function), (tLines{u"cdeq %-4, %0", u"jnf 000000011", u"const %1, *0", u"cp %-4, %1",
                                        u"srv %0", u"ret"}));
  EXPECT_EQ(function->GetLocalSlotCount(), 3);
  function->Release();
}

TEST_F(CodeContext, ClassPrologueRegmemberAndMethods) {
  tNUVInterCodeContext* top = Make(nullptr, u"global", ctTopLevel);
  tNUVInterCodeContext* klass = Make(top, u"C", ctClass);
  EXPECT_EQ(klass->GetRegistrationPoint(), 8);
  EXPECT_GE(klass->GetTempHighWater(), 1);
  klass->PushScope();   // the class body
  klass->DeclareLocal(tNUVString(u"a"), 0);
  tNUVInterCodeContext* method = Make(klass, u"f", ctFunction);
  method->Finish();
  klass->PopScope();
  klass->Finish();
  EXPECT_EQ(Listing(*klass), (tLines{u"const %1, *0", u"addci %-1, %1", u"cl %1", u"regmember",
                                     u"spde %-1.*1, %0", u"srv %0", u"ret"}));
  tNUVVariant member;
  ASSERT_EQ(klass->GetMember(0, u"f", nullptr, &member, klass), NUVResultOk);
  EXPECT_EQ(member.AsObjectNoError(), static_cast<iNUVDispatch2*>(method));
  EXPECT_EQ(Text(method->ShortLabel()), u"(function) C.f");
  member.Clear();
  method->Release();
  klass->Release();
  top->Finish();
  top->Release();
}

TEST_F(CodeContext, TopLevelDeclarationsAreInsertedAtTheStart) {
  tNUVInterCodeContext* top = Make(nullptr, u"global", ctTopLevel);
  top->EmitWord(VM_NOP, 100);
  std::vector<int32_t> exit;
  top->EmitForwardJump(VM_JMP, exit, 200);   // at 1, to 3
  top->ResolvePatches(exit, top->GetCodeCount());
  tNUVInterCodeContext* function = Make(top, u"f", ctFunction);
  function->Finish();
  tNUVInterCodeContext* klass = Make(top, u"K", ctClass);
  klass->Finish();
  ASSERT_EQ(top->GetNonLocalDecls().size(), 2u);
  top->Finish();
  EXPECT_EQ(Listing(*top), (tLines{u"const %1, *0", u"chgthis %1, %-1", u"spds %-1.*1, %1",
                                   u"const %1, *2", u"spds %-1.*3, %1", u"cl %1",
                                   u"nop", u"jmp 000000022", u"srv %0", u"ret"}));
  EXPECT_EQ(top->GetCodeCount(), 10 + 7 + 2 + 1 + 2 + 3);
  EXPECT_EQ(top->GetFrameRegisterCount(), 1);
  // The positions moved with the code they describe.
  EXPECT_EQ(top->FindPosition(0), 0);
  EXPECT_EQ(top->FindPosition(19), 100);
  EXPECT_EQ(top->FindPosition(21), 200);
  EXPECT_EQ(top->GetData()[0].AsObjectNoError(), static_cast<iNUVDispatch2*>(function));
  EXPECT_EQ(top->GetData()[0].AsObjectThis(), nullptr);
  function->Release();
  klass->Release();
  top->Release();
}

TEST_F(CodeContext, JumpsAreRelocatedAcrossTheRegistrationPoint) {
  tNUVInterCodeContext* klass = Make(nullptr, u"C", ctClass);
  // A conditional in front of the registration point (as in a superclass expression).
  std::vector<int32_t> toPoint, crossing;
  klass->EmitForwardJump(VM_JF, toPoint);     // at 8
  klass->EmitForwardJump(VM_JNF, crossing);   // at 10
  klass->Emit(VM_NOP, {});
  klass->ResolvePatches(toPoint, klass->GetCodeCount());
  klass->SetRegistrationPoint(klass->GetCodeCount());   // 13
  klass->Emit(VM_NOP, {});
  klass->ResolvePatches(crossing, klass->GetCodeCount());   // 14
  klass->Emit(VM_NOP, {});
  klass->Emit(VM_JMP, {13});   // a loop back to the point, at 15
  klass->Finish();
  tLines listing = Listing(*klass);
  ASSERT_EQ(listing.size(), 12u);
  EXPECT_EQ(listing[3], u"jf 000000013");    // still runs the inserted regmember
  EXPECT_EQ(listing[4], u"jnf 000000015");   // gained the inserted word
  EXPECT_EQ(listing[6], u"regmember");
  EXPECT_EQ(listing[9], u"jmp 000000014");   // behind the point: does not re-register
  for (int32_t jump : {8, 10, 16}) {
    EXPECT_EQ(klass->GetCode()[static_cast<size_t>(jump) + 1] % 4, 0);
  }
  klass->Release();
}

TEST_F(CodeContext, JumpThreading) {
  tNUVInterCodeContext* top = Make(nullptr, u"global", ctTopLevel);
  top->Emit(VM_JF, {4});     // 0: to a jmp chain
  top->Emit(VM_NOP, {});     // 2
  top->Emit(VM_NOP, {});     // 3
  top->Emit(VM_JMP, {6});    // 4
  top->Emit(VM_JMP, {10});   // 6
  top->Emit(VM_JF, {12});    // 8: jf to jnf skips it
  top->Emit(VM_NOP, {});     // 10
  top->Emit(VM_NOP, {});     // 11
  top->Emit(VM_JNF, {8});    // 12
  top->Emit(VM_JMP, {14});   // 14: to itself
  top->Emit(VM_JMP, {18});   // 16: a cycle of two
  top->Emit(VM_JMP, {16});   // 18
  top->Finish();
  tLines listing = Listing(*top);
  EXPECT_EQ(listing[0], u"jf 000000010");
  EXPECT_EQ(listing[3], u"jmp 000000010");
  EXPECT_EQ(listing[5], u"jf 000000014");
  EXPECT_EQ(listing[9], u"jmp 000000014");
  for (int32_t jump : {0, 4, 6, 8, 12, 14, 16, 18}) {
    EXPECT_EQ(top->GetCode()[static_cast<size_t>(jump) + 1] % 4, 0) << jump;
  }
  top->Release();
}

TEST_F(CodeContext, TryEntryFollowsOnlyUnconditionalJumps) {
  tNUVInterCodeContext* top = Make(nullptr, u"global", ctTopLevel);
  top->Emit(VM_ENTRY, {3, 1});   // 0: catch position holds another entry
  top->Emit(VM_ENTRY, {6, 2});   // 3
  top->Emit(VM_NOP, {});         // 6
  top->Finish();
  tLines listing = Listing(*top);
  EXPECT_EQ(listing[0], u"entry 000000003, %1");
  top->Release();
}

TEST_F(CodeContext, AccessorsBindToTheirPropertyAndLabels) {
  // Type names are recorded only while objects are tracked.
  NUVAddRefObjectTracking();
  tNUVInterCodeContext* top = Make(nullptr, u"global", ctTopLevel);
  tNUVInterCodeContext* property = Make(top, u"p", ctProperty);
  EXPECT_EQ(property->GetReservedCount(), 0);
  tNUVInterCodeContext* setter = Make(property, u"(setter)", ctPropertySetter);
  setter->SetSetterParameter(tNUVString(u"v"));
  setter->Finish();
  tNUVInterCodeContext* getter = Make(property, u"(getter)", ctPropertyGetter);
  getter->Finish();
  property->Finish();
  EXPECT_EQ(property->GetSetter(), setter);
  EXPECT_EQ(property->GetGetter(), getter);
  EXPECT_EQ(property->GetCodeCount(), 0);
  EXPECT_EQ(setter->GetArgCount(), 1);
  EXPECT_EQ(Text(setter->KindAndName()), u"(property setter) p");
  EXPECT_EQ(Text(setter->ShortLabel()), u"(property setter) global.p");
  EXPECT_EQ(Text(property->ShortLabel()), u"(property) global.p");
  EXPECT_EQ(Text(top->ShortLabel()), u"(top level script) global");
  ASSERT_FALSE(Owner.TypeNames.empty());
  EXPECT_EQ(Owner.TypeNames.front(), u"(property setter) global.p");
  setter->Release();
  getter->Release();
  property->Release();
  top->Finish();
  top->Release();
  NUVReleaseObjectTracking(nullptr, nullptr);
}

TEST_F(CodeContext, NestedFunctionBecomesALocalFromItsDeclaration) {
  tNUVInterCodeContext* outer = Make(nullptr, u"outer", ctFunction);
  outer->PushScope();
  tNUVInterCodeContext* inner = Make(outer, u"inner", ctFunction);
  inner->Finish();
  EXPECT_EQ(Listing(*outer), (tLines{u"const %1, *0", u"cp %-3, %1"}));
  EXPECT_EQ(outer->GetNextTemp(), 1);
  EXPECT_EQ(Text(inner->ShortLabel()), u"(function) outer.inner");
  inner->Release();
  outer->Finish();
  outer->Release();
}

TEST_F(CodeContext, InstructionsAreEncodedFromTheTable) {
  tNUVInterCodeContext* top = Make(nullptr, u"global", ctTopLevel);
  std::vector<int32_t> arguments = {1, -3};
  top->EmitCall(VM_CALLD, {2, -1, top->AddConstant(tNUVVariant(u"m"))}, &arguments);
  top->EmitCall(VM_CALL, {0, 2}, nullptr);
  top->EmitCallExtended(VM_NEW, {1, 2}, {{akPlain, 3}, {akExpand, 4}, {akUnnamed, 0}});
  top->Emit(VM_CCL, {3, 4});
  EXPECT_EQ(Listing(*top), (tLines{u"calld %2, %-1.*0(%1, %-3)", u"call %0, %2(...)",
                                   u"new %1, %2(%3, %4*, *)", u"ccl %3-%6"}));
  EXPECT_THROW(top->Emit(VM_CP, {1}), eNUVError);
  EXPECT_THROW(top->Emit(VM_CALL, {1, 2}), eNUVError);
  top->Release();
}

TEST_F(CodeContext, PositionsLabelsWarningsAndNesting) {
  tNUVInterCodeContext* top = Make(nullptr, u"global", ctTopLevel);
  top->Emit(VM_NOP, {}, 5);
  top->Emit(VM_NOP, {}, 12);
  top->Emit(VM_NOP, {}, 12);   // same position: no new pair
  top->Emit(VM_NOP, {}, 17);
  EXPECT_EQ(top->SortedPositions().size(), 3u);
  EXPECT_EQ(top->FindPosition(2), 12);
  EXPECT_EQ(top->FirstCodeOfLine(3), 1);
  EXPECT_EQ(Text(top->PositionLabel(3)), u"blk(2)[(top level script) global]");
  top->CompileWarning(tNUVString(u"careful"), 25);
  ASSERT_EQ(Owner.Printed.size(), 1u);
  EXPECT_EQ(Owner.Printed[0], Text(tNUVString(NUVWarning.Text())) + u"careful at blk line 3");

  top->PushNest(ntWhile);
  top->PopNest(ntIf);   // mismatch is reported, not fatal
  EXPECT_EQ(Owner.Errors.size(), 1u);
  top->PushNest(ntIf);
  EXPECT_EQ(top->PopNest(ntIf).Type, ntIf);

  tNUVExprNode* list = top->AllocateNode(1, 0);
  top->OpenListNode(list);
  EXPECT_EQ(top->CurrentListNode(), list);
  top->CloseListNode();
  top->CloseListNode();   // nothing open: ignored
  EXPECT_EQ(top->CurrentListNode(), nullptr);
  top->Finish();
  EXPECT_EQ(top->GetNodeCount(), 0);
  top->Release();
}

}  // namespace
}  // namespace NUV
