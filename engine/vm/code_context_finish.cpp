// Committing a code context: binding it to its enclosing context, inserting the
// registration code, relocating and threading the jumps.

#include <algorithm>

#include "engine/services/errors.h"
#include "engine/services/messages.h"
#include "engine/vm/code_context.h"

namespace NUV {

namespace {

bool IsFunctionLike(tNUVContextKind kind) { return kind == ctFunction || kind == ctExprFunction; }

}  // namespace

void tNUVInterCodeContext::Finish() {
  if (Finished) return;
  Finished = true;
  if (Kind == ctClass && SuperProxy) SuperProxy->Finish();
  bool hasCode = Kind != ctProperty && Kind != ctSuperClassGetter;
  if (hasCode) {
    // Falling off the end returns void.
    Emit(VM_SRV, {0});
    Emit(VM_RET, {});
  }
  BindToParent();
  // The super class getter has no registration code, but its jumps (a conditional
  // super class expression) still need their byte distances.
  if (Kind != ctProperty) FinalizeCode();

  if (Kind == ctSuperClassGetter) {
    LocalSlotCount = 2;
  } else {
    // Scopes still open at commit and parameters declared under one name twice
    // still need their frame slots.
    LocalSlotCount = std::max({Scopes.GetMaxCount(), Scopes.LiveCount(), ArgCount});
  }
  SuperExpression = nullptr;
  for (tNUVExprNode* node : Nodes) delete node;
  Nodes.clear();
  Nodes.shrink_to_fit();
  ListNodes.clear();
  ListNodes.shrink_to_fit();
  Data.shrink_to_fit();
  Positions.SortedPairs();
  Positions.ShrinkToFit();
  Code.shrink_to_fit();
  if (NUVObjectTracking) [[unlikely]] Owner->RecordTrackedTypeName(this, ShortLabel());
  Nest.clear();
  Nest.shrink_to_fit();
  Jumps.clear();
  Jumps.shrink_to_fit();
  Fixes.clear();
  Fixes.shrink_to_fit();
  NonLocalDecls.clear();
  NonLocalDecls.shrink_to_fit();
}

void tNUVInterCodeContext::BindToParent() {
  tNUVInterCodeContext* parent = Enclosing;
  // A committed parent is immutable; nothing is bound into it.
  if (!parent || parent->Finished) return;
  if (Kind == ctSuperClassGetter) return;
  if (Kind == ctPropertySetter || Kind == ctPropertyGetter) {
    tNUVInterCodeContext*& slot = Kind == ctPropertySetter ? parent->Setter : parent->Getter;
    AddRef();
    if (slot) slot->Release();
    slot = this;
    return;
  }
  if (parent->Kind == ctTopLevel && (Kind == ctFunction || Kind == ctProperty || Kind == ctClass)) {
    tNonLocalFunctionDecl declaration;
    declaration.ContextConstant = parent->AddConstant(tNUVVariant(static_cast<iNUVDispatch2*>(this), nullptr));
    declaration.NameConstant = parent->AddConstant(tNUVVariant(Name));
    declaration.ChangeThis = Kind != ctClass;
    parent->Guarded([&] { parent->NonLocalDecls.push_back(declaration); });
  }
  if (IsFunctionLike(parent->Kind) && Kind == ctFunction) {
    // A local of the enclosing function from here on, unlike top level declarations.
    int32_t savedBase = parent->NextTemp;
    int32_t functionRegister = parent->AllocateTemporary();
    int32_t contextConstant = parent->AddConstant(tNUVVariant(static_cast<iNUVDispatch2*>(this), nullptr));
    parent->Emit(VM_CONST, {functionRegister, contextConstant});
    parent->DeclareLocal(Name, functionRegister);
    parent->ReleaseTemporaries(savedBase);
  }
  if (parent->Kind == ctFunction || parent->Kind == ctClass) {
    tNUVVariant value(static_cast<iNUVDispatch2*>(this), nullptr);
    int32_t result = parent->SetMember(NUVMemberEnsure | NUVIgnoreProperty, Name.c_str(), nullptr, &value, parent);
    if (NUVFailed(result)) {
      Owner->ReportError(NUVResultCodeMessage(result, Name.c_str()), LastPosition < 0 ? 0 : LastPosition);
    }
  }
}

void tNUVInterCodeContext::FinalizeCode() {
  if (Kind == ctClass) {
    tFixData fix;
    fix.Start = RegistrationPoint;
    fix.NewSize = 1;
    fix.Words = {VM_REGMEMBER};
    QueueFix(std::move(fix));
  }
  if (!NonLocalDecls.empty()) {
    TempHighWater = std::max(TempHighWater, 1);
    tFixData fix;
    fix.Start = RegistrationPoint;
    Guarded([&] {
      for (const tNonLocalFunctionDecl& declaration : NonLocalDecls) {
        fix.Words.insert(fix.Words.end(), {VM_CONST, EncodeRegister(1), EncodeConstant(declaration.ContextConstant)});
        if (declaration.ChangeThis) {
          fix.Words.insert(fix.Words.end(), {VM_CHGTHIS, EncodeRegister(1), EncodeRegister(-1)});
        }
        fix.Words.insert(fix.Words.end(),
                         {VM_SPDS, EncodeRegister(-1), EncodeConstant(declaration.NameConstant), EncodeRegister(1)});
      }
      fix.Words.insert(fix.Words.end(), {VM_CL, EncodeRegister(1)});
    });
    fix.NewSize = static_cast<int32_t>(fix.Words.size());
    QueueFix(std::move(fix));
  }
  Positions.SortedPairs();
  for (const tFixData& fix : Fixes) ApplyFix(fix);
  ThreadJumps();
  for (int32_t jump : Jumps) {
    int32_t& operand = Code[static_cast<size_t>(jump) + 1];
    operand = EncodeJump(jump, jump + operand);
  }
}

// Jump operands are word distances here. Code behind the replaced range moves by
// the size difference; a target exactly at an insertion point stays there for
// jumps in front of it (they run the inserted code) and moves for jumps behind it.
void tNUVInterCodeContext::ApplyFix(const tFixData& fix) {
  int32_t start = std::clamp(fix.Start, 0, GetCodeCount());
  int32_t end = std::min(start + std::max(fix.Size, 0), GetCodeCount());
  int32_t delta = fix.NewSize - (end - start);
  bool pureInsertion = end == start;

  auto relocate = [&](int32_t position, bool fromBehind) {
    if (pureInsertion) {
      if (position > start) return position + delta;
      if (position == start && (fromBehind || !fix.BeforeInstruction)) return position + delta;
      return position;
    }
    if (position >= end) return position + delta;
    if (position > start) return start;   // inside the replaced range
    return position;
  };

  std::vector<int32_t> kept;
  Guarded([&] {
    kept.reserve(Jumps.size());
    for (int32_t jump : Jumps) {
      if (!pureInsertion && jump >= start && jump < end) continue;
      int32_t target = jump + Code[static_cast<size_t>(jump) + 1];
      int32_t newJump = jump >= end ? jump + delta : jump;
      int32_t newTarget = relocate(target, jump >= end);
      Code[static_cast<size_t>(jump) + 1] = newTarget - newJump;
      kept.push_back(newJump);
    }
    Code.erase(Code.begin() + start, Code.begin() + end);
    Code.insert(Code.begin() + start, fix.Words.begin(), fix.Words.begin() + std::min<size_t>(fix.Words.size(),
                                                                                          static_cast<size_t>(fix.NewSize)));
  });
  Jumps = std::move(kept);
  Positions.Relocate(start, end, delta);
}

// Each jump goes straight to the end of a chain of jmp (or jumps of its own kind),
// and a conditional jump that lands on the opposite conditional jump skips it, since
// the flag it tested decides that one too. A try entry follows only jmp: its target
// is a catch position, not a jump of the same meaning.
void tNUVInterCodeContext::ThreadJumps() {
  int32_t count = GetCodeCount();
  auto isJumpAt = [&](int32_t position, int32_t opcode) {
    return position >= 0 && position + 1 < count && Code[static_cast<size_t>(position)] == opcode;
  };
  for (int32_t jump : Jumps) {
    int32_t opcode = Code[static_cast<size_t>(jump)];
    int32_t target = jump + Code[static_cast<size_t>(jump) + 1];
    // Bounded so a cycle of jumps cannot hang the compiler.
    for (size_t steps = 0; steps <= Jumps.size(); ++steps) {
      bool follow = isJumpAt(target, VM_JMP) || (opcode != VM_ENTRY && isJumpAt(target, opcode));
      if (!follow) break;
      int32_t distance = Code[static_cast<size_t>(target) + 1];
      if (distance == 0) break;
      target += distance;
    }
    if ((opcode == VM_JF && isJumpAt(target, VM_JNF)) || (opcode == VM_JNF && isJumpAt(target, VM_JF))) {
      target += InstructionInfo(VM_JF).Length;
    }
    Code[static_cast<size_t>(jump) + 1] = target - jump;
  }
}

}  // namespace NUV
