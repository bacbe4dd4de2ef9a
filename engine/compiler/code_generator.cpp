// The code generator's tree walk, its helpers and the statements.

#include "engine/compiler/code_generator.h"

#include "engine/compiler/tokens.h"
#include "engine/services/messages.h"

namespace NUV {

tNUVCodeGenerator::tNUVCodeGenerator(tNUVInterCodeContext& context, int32_t position)
    : Context(context), Position(position), StatementBase(context.GetNextTemp()) {}

// Helpers -------------------------------------------------------------------------------

void tNUVCodeGenerator::ReportAt(const tNUVString& message, int32_t position) {
  Context.GetOwner()->ReportError(message, position);
}

void tNUVCodeGenerator::ReportAt(const tNUVMessageHolder& message, int32_t position) {
  ReportAt(tNUVString(message.Text()), position);
}

bool tNUVCodeGenerator::RequirePlaceless(const tNUVExprNode* node, const tPlace& place) {
  if (IsRead(place.Op)) return true;
  ReportAt(NUVCannotModifyLHS, PositionOf(node));
  return false;
}

tNUVString tNUVCodeGenerator::NameOf(const tNUVExprNode* nameNode) const {
  if (!nameNode) return tNUVString();
  const tNUVVariant& value = nameNode->GetValue();
  return value.Type() == tvtString ? value.AsString() : tNUVString();
}

bool tNUVCodeGenerator::InsideFunction() const {
  return Context.GetKind() == ctFunction || Context.GetKind() == ctExprFunction;
}

int32_t tNUVCodeGenerator::ValueRegister(int32_t result, int32_t position) {
  if (result != ResultFlag && result != ResultInvertedFlag) return result;
  int32_t reg = Temporary();
  Context.Emit(result == ResultFlag ? VM_SETF : VM_SETNF, {reg}, position);
  return reg;
}

// Locals, this, the this proxy, void and registers kept by an enclosing statement
// must never be changed in place: only a temporary taken inside the current node
// may be.
int32_t tNUVCodeGenerator::WritableCopy(int32_t result, int32_t base, int32_t position) {
  result = ValueRegister(result, position);
  if (result > 0 && result >= base) return result;
  int32_t reg = Temporary();
  Context.Emit(VM_CP, {reg, result}, position);
  return reg;
}

int32_t tNUVCodeGenerator::GenerateValue(const tNUVExprNode* expression) {
  return ValueRegister(Generate(expression, WantValue), PositionOf(expression));
}

bool tNUVCodeGenerator::GenerateCondition(const tNUVExprNode* condition) {
  int32_t result = Generate(condition, WantValue | WantFlagAllowed);
  if (result == ResultFlag) return false;
  if (result == ResultInvertedFlag) return true;
  Context.Emit(VM_TT, {result}, PositionOf(condition));
  return false;
}

void tNUVCodeGenerator::GenerateNormalFlag(const tNUVExprNode* condition, int32_t wanted, const tPlace& place) {
  int32_t result = Generate(condition, wanted | WantFlagAllowed, place);
  if (result == ResultFlag) return;
  if (result == ResultInvertedFlag) {
    Context.Emit(VM_NF, {}, PositionOf(condition));
  } else {
    Context.Emit(VM_TT, {result}, PositionOf(condition));
  }
}

void tNUVCodeGenerator::GenerateConditionJump(const tNUVExprNode* condition, bool jumpWhenTrue,
                                              std::vector<int32_t>& patches) {
  bool inverted = GenerateCondition(condition);
  Context.EmitForwardJump(jumpWhenTrue != inverted ? VM_JF : VM_JNF, patches, PositionOf(condition));
}

int32_t tNUVCodeGenerator::ReserveStatementRegister(int32_t value) {
  int32_t reg = StatementBase;
  if (value != reg) Context.Emit(VM_CP, {reg, value}, Position);
  Context.CoverRegister(reg);
  Context.ReleaseTemporaries(reg + 1);
  return reg;
}

// The walk ------------------------------------------------------------------------------

// Temporaries taken inside a node above its result are free again afterwards: only
// the result is handed on, so long expressions need few registers.
int32_t tNUVCodeGenerator::Generate(const tNUVExprNode* node, int32_t wanted, const tPlace& place) {
  if (Depth >= NUVGeneratorDepthLimit) {
    if (!DepthReported) {
      DepthReported = true;
      ReportAt(tNUVString(u"syntax error, expression nested too deeply"), PositionOf(node));
    }
    return 0;
  }
  int32_t base = Context.GetNextTemp();
  ++Depth;
  int32_t result = GenerateNode(node, wanted, place);
  --Depth;
  int32_t next = result >= base ? result + 1 : base;
  if (next < Context.GetNextTemp()) Context.ReleaseTemporaries(next);
  return result;
}

int32_t tNUVCodeGenerator::GenerateNode(const tNUVExprNode* node, int32_t wanted, const tPlace& place) {
  if (!node) {
    RequirePlaceless(node, place);
    return 0;
  }
  int32_t position = node->GetPosition();
  switch (node->GetOpecode()) {
    case T_CONSTVAL: {
      if (!RequirePlaceless(node, place) || !(wanted & WantValue)) return 0;
      int32_t reg = Temporary();
      Context.Emit(VM_CONST, {reg, Constant(node->GetValue())}, position);
      return reg;
    }
    case T_SYMBOL: return GenerateSymbol(node, wanted, place);
    case T_THIS:
      RequirePlaceless(node, place);
      return -1;
    case T_THIS_PROXY:
      RequirePlaceless(node, place);
      return -Context.GetReservedCount();
    case T_GLOBAL:
    case T_WITHDOT_PROXY:
      if (!RequirePlaceless(node, place) || !(wanted & WantValue)) return 0;
      return ImplicitObject(node->GetOpecode(), position);
    case T_VOID:
      RequirePlaceless(node, place);
      return 0;
    case T_SUPER: return GenerateSuper(node, wanted, place);
    case T_DOT: return GenerateMember(node, {0, (*node)[0]}, (*node)[1], true, wanted, place);
    case T_LBRACKET: return GenerateMember(node, {0, (*node)[0]}, (*node)[1], false, wanted, place);
    case T_WITHDOT: return GenerateMember(node, {T_WITHDOT_PROXY, nullptr}, (*node)[0], true, wanted, place);
    case T_IGNOREPROP: {
      tPlace ignoring = place;
      if (place.Op == poRead) ignoring.Op = poReadIgnoreProperty;
      if (place.Op == poAssign) ignoring.Op = poWriteIgnoreProperty;
      return Generate((*node)[0], wanted, ignoring);
    }
    case T_PROPACCESS: return GeneratePropertyAccess(node, wanted, place);
    case T_LPARENTHESIS: return GenerateCall(node, wanted, place, false);
    case T_NEW: return GenerateCall(node, wanted, place, true);
    case T_REGEXP: return GenerateRegExp(node, wanted, place);
    case T_INLINEARRAY: return GenerateArrayLiteral(node, wanted, place);
    case T_INLINEDIC: return GenerateDictionaryLiteral(node, wanted, place);

    case T_TILDE: case T_SHARP: case T_DOLLAR: case T_INT: case T_REAL: case T_STRING: case T_OCTET:
    case T_UPLUS: case T_UMINUS: case T_ISVALID: case T_INVALIDATE: case T_EVAL: case T_EXCLAMATION:
    case T_TYPEOF: case T_DELETE: case T_INCREMENT: case T_DECREMENT: case T_POSTINCREMENT:
    case T_POSTDECREMENT:
      return GenerateUnary(node, wanted, place);

    case T_VERTLINE: case T_CHEVRON: case T_AMPERSAND: case T_RARITHSHIFT: case T_LARITHSHIFT:
    case T_RBITSHIFT: case T_PERCENT: case T_SLASH: case T_BACKSLASH: case T_ASTERISK: case T_PLUS:
    case T_MINUS: case T_INCONTEXTOF: case T_INSTANCEOF:
      return GenerateBinary(node, wanted, place);

    case T_EQUALEQUAL: case T_NOTEQUAL: case T_DISCEQUAL: case T_DISCNOTEQUAL: case T_LT: case T_GT:
    case T_LTOREQUAL: case T_GTOREQUAL:
      return GenerateComparison(node, wanted, place);

    case T_LOGICALOR: case T_LOGICALAND: return GenerateLogical(node, wanted, place);
    case T_QUESTION: return GenerateConditional(node, wanted, place);

    case T_EQUAL: case T_AMPERSANDEQUAL: case T_VERTLINEEQUAL: case T_CHEVRONEQUAL: case T_MINUSEQUAL:
    case T_PLUSEQUAL: case T_PERCENTEQUAL: case T_SLASHEQUAL: case T_BACKSLASHEQUAL: case T_ASTERISKEQUAL:
    case T_LOGICALOREQUAL: case T_LOGICALANDEQUAL: case T_RARITHSHIFTEQUAL: case T_LARITHSHIFTEQUAL:
    case T_RBITSHIFTEQUAL:
      return GenerateAssignment(node, wanted, place);
    case T_SWAP: return GenerateSwap(node, wanted, place);

    case T_COMMA: {
      // Left-associative: the left spine is walked without recursion.
      std::vector<const tNUVExprNode*> spine;
      const tNUVExprNode* left = (*node)[0];
      for (; left && left->GetOpecode() == T_COMMA; left = (*left)[0]) spine.push_back(left);
      Generate(left, 0);
      for (auto step = spine.rbegin(); step != spine.rend(); ++step) Generate((**step)[1], 0);
      return Generate((*node)[1], wanted, place);
    }

    case T_IF: {
      // "x if c": x is evaluated only when c holds, so it has no value.
      if (wanted & WantValue) ReportAt(NUVCannotGetResult, position);
      std::vector<int32_t> skip;
      GenerateConditionJump((*node)[1], false, skip);
      Generate((*node)[0], 0, place);
      Context.ResolvePatches(skip, Context.GetCodeCount());
      return 0;
    }
    default:
      ReportAt(NUVInternalError, position);
      return 0;
  }
}

// Declarations --------------------------------------------------------------------------

void tNUVCodeGenerator::OpenBlock() { Context.PushScope(); }

void tNUVCodeGenerator::CloseBlock() { Context.PopScope(); }

void tNUVCodeGenerator::DeclareLocal(const tNUVString& name, tNUVExprNode* initial) {
  if (!initial) {
    Context.DeclareLocal(name, 0, Position);
    return;
  }
  Context.DeclareLocal(
      name, [&](tNUVInterCodeContext&) { return GenerateValue(initial); }, PositionOf(initial));
}

void tNUVCodeGenerator::AddParameter(const tNUVString& name, tNUVExprNode* defaultValue) {
  if (!defaultValue) {
    Context.AddParameter(name, nullptr, Position);
    return;
  }
  Context.AddParameter(
      name, [&](tNUVInterCodeContext&) { return GenerateValue(defaultValue); }, PositionOf(defaultValue));
}

// Each super class body runs on the new object before the class's own; the proxy
// context yields each super class object for member lookups that fail on the class.
void tNUVCodeGenerator::AddSuperclass(tNUVExprNode* expression, bool onlyOne) {
  int32_t position = PositionOf(expression);
  int32_t base = Context.GetNextTemp();
  int32_t reg = WritableCopy(Generate(expression, WantValue), base, position);
  Context.Emit(VM_CHGTHIS, {reg, -1}, position);
  std::vector<int32_t> noArguments;
  Context.EmitCall(VM_CALL, {0, reg}, &noArguments, position);
  Context.ReleaseTemporaries(base);
  if (onlyOne) Context.SetSuperExpression(expression);
  Context.SetRegistrationPoint(Context.GetCodeCount());

  tNUVInterCodeContext* proxy = Context.GetSuperProxy();
  if (!proxy) {
    proxy = new tNUVInterCodeContext(&Context, Context.GetName(), Context.GetOwner(), ctSuperClassGetter);
    Context.SetSuperProxy(proxy);
    proxy->Release();
  }
  proxy->AddSuperClassEntry(proxy->GetCodeCount());
  tNUVCodeGenerator getter(*proxy, position);
  int32_t value = getter.GenerateValue(expression);
  proxy->Emit(VM_SRV, {value}, position);
  proxy->Emit(VM_RET, {}, position);
  proxy->Emit(VM_NOP, {}, position);
  proxy->ReleaseTemporaries(1);
}

// Statements ------------------------------------------------------------------------------

void tNUVCodeGenerator::ExpressionStatement(tNUVExprNode* expression) {
  BeginStatement();
  Generate(expression, 0);
  EndStatement();
}

void tNUVCodeGenerator::BeginIf() { Context.PushNest(ntIf); }

void tNUVCodeGenerator::IfCondition(tNUVExprNode* condition) {
  BeginStatement();
  std::vector<int32_t> patches;
  GenerateConditionJump(condition, false, patches);
  EndStatement();
  if (tNestData* nest = Context.CurrentNest(); nest && nest->Type == ntIf) nest->Patch1 = patches.front();
}

void tNUVCodeGenerator::EndIf() {
  tNestData nest = Context.PopNest(ntIf, Position);
  if (nest.Patch1 >= 0) Context.PatchJump(nest.Patch1, Context.GetCodeCount());
  Context.SetLastIfPatch(nest.Patch1);
}

void tNUVCodeGenerator::BeginElse() {
  tNestData& nest = Context.PushNest(ntElse);
  Context.EmitForwardJump(VM_JMP, nest.ExitPatches, Position);
  // The if's false jump was resolved to the jump just emitted; it goes to the else
  // part behind it.
  int32_t ifPatch = Context.GetLastIfPatch();
  if (ifPatch >= 0) Context.PatchJump(ifPatch, Context.GetCodeCount());
  Context.SetLastIfPatch(-1);
}

void tNUVCodeGenerator::EndElse() {
  tNestData nest = Context.PopNest(ntElse, Position);
  Context.ResolvePatches(nest.ExitPatches, Context.GetCodeCount());
}

void tNUVCodeGenerator::BeginWhile(bool doWhile) {
  tNestData& nest = Context.PushNest(doWhile ? ntDoWhile : ntWhile);
  nest.LoopStart = Context.GetCodeCount();
}

void tNUVCodeGenerator::WhileCondition(tNUVExprNode* condition) {
  tNestData* nest = Context.CurrentNest();
  if (!nest || (nest->Type != ntWhile && nest->Type != ntDoWhile)) return;
  BeginStatement();
  if (nest->Type == ntWhile) {
    GenerateConditionJump(condition, false, nest->ExitPatches);
  } else {
    Context.ResolvePatches(nest->ContinuePatches, Context.GetCodeCount());
    nest->ContinuePatches.clear();
    bool inverted = GenerateCondition(condition);
    Context.Emit(inverted ? VM_JNF : VM_JF, {nest->LoopStart}, PositionOf(condition));
  }
  EndStatement();
}

void tNUVCodeGenerator::EndWhile() {
  tNestData* top = Context.CurrentNest();
  bool doWhile = top && top->Type == ntDoWhile;
  tNestData nest = Context.PopNest(doWhile ? ntDoWhile : ntWhile, Position);
  if (!doWhile && nest.LoopStart >= 0) Context.Emit(VM_JMP, {nest.LoopStart}, Position);
  Context.ResolvePatches(nest.ExitPatches, Context.GetCodeCount());
}

void tNUVCodeGenerator::BeginFor(bool withDeclaration) {
  tNestData& nest = Context.PushNest(ntFor);
  nest.Flags = withDeclaration ? 1 : 0;
  if (withDeclaration) Context.PushScope();
}

void tNUVCodeGenerator::ForCondition(tNUVExprNode* condition) {
  tNestData* nest = Context.CurrentNest();
  if (!nest || nest->Type != ntFor) return;
  nest->LoopStart = Context.GetCodeCount();
  if (!condition) return;
  BeginStatement();
  GenerateConditionJump(condition, false, nest->ExitPatches);
  EndStatement();
}

void tNUVCodeGenerator::ForStep(tNUVExprNode* step) {
  if (tNestData* nest = Context.CurrentNest(); nest && nest->Type == ntFor) nest->Step = step;
}

void tNUVCodeGenerator::EndFor() {
  tNestData nest = Context.PopNest(ntFor, Position);
  if (nest.LoopStart < 0) return;
  Context.ResolvePatches(nest.ContinuePatches, Context.GetCodeCount());
  if (nest.Step) {
    BeginStatement();
    Generate(nest.Step, 0);
    EndStatement();
  }
  Context.Emit(VM_JMP, {nest.LoopStart}, Position);
  Context.ResolvePatches(nest.ExitPatches, Context.GetCodeCount());
  if (nest.Flags & 1) Context.PopScope();
}

void tNUVCodeGenerator::LeaveTries(int32_t stop) {
  for (int32_t i = Context.NestCount() - 1; i > stop; --i) {
    const tNestData& nest = Context.NestAt(i);
    if (nest.Type == ntTry && !nest.InCatch) Context.Emit(VM_EXTRY, {}, Position);
  }
}

void tNUVCodeGenerator::Break() {
  for (int32_t i = Context.NestCount() - 1; i >= 0; --i) {
    uint8_t type = Context.NestAt(i).Type;
    if (type == ntWhile || type == ntDoWhile || type == ntFor || type == ntSwitch) {
      LeaveTries(i);
      Context.EmitForwardJump(VM_JMP, Context.NestAt(i).ExitPatches, Position);
      return;
    }
  }
  ReportAt(NUVMisplacedBreakContinue, Position);
}

void tNUVCodeGenerator::Continue() {
  for (int32_t i = Context.NestCount() - 1; i >= 0; --i) {
    uint8_t type = Context.NestAt(i).Type;
    if (type != ntWhile && type != ntDoWhile && type != ntFor) continue;
    LeaveTries(i);
    tNestData& loop = Context.NestAt(i);
    if (type == ntWhile) {
      Context.Emit(VM_JMP, {loop.LoopStart}, Position);
    } else {
      Context.EmitForwardJump(VM_JMP, loop.ContinuePatches, Position);
    }
    return;
  }
  ReportAt(NUVMisplacedBreakContinue, Position);
}

void tNUVCodeGenerator::Debugger() { Context.Emit(VM_DEBUGGER, {}, Position); }

void tNUVCodeGenerator::Return(tNUVExprNode* value) {
  BeginStatement();
  int32_t reg = value ? GenerateValue(value) : 0;
  Context.Emit(VM_SRV, {reg}, PositionOf(value));
  LeaveTries(-1);
  Context.Emit(VM_RET, {}, Position);
  EndStatement();
}

tNestData* tNUVCodeGenerator::LabelSwitch() {
  tNestData* nest = Context.CurrentNest();
  if (!nest || nest->Type != ntSwitch) return nullptr;
  // The switch opened one scope and its block the second; a label in a nested block
  // would jump into that block's scope.
  if (Context.ScopeDepth() != nest->ScopeDepth + 2) return nullptr;
  return nest;
}

// switch and with keep their value in a register for the whole statement and
// open a scope.
void tNUVCodeGenerator::OpenHeldValueStatement(tNUVNestType type, tNUVExprNode* value) {
  BeginStatement();
  int32_t reg = ReserveStatementRegister(GenerateValue(value));
  tNestData& nest = Context.PushNest(type);
  nest.ValueRegister = reg;
  nest.ScopeDepth = Context.ScopeDepth();
  Context.PushScope();
}

void tNUVCodeGenerator::CloseHeldValueStatement(const tNestData& nest) {
  if (Context.ScopeDepth() > nest.ScopeDepth) Context.PopScope();
  if (nest.ValueRegister > 0) Context.ReleaseTemporaries(nest.ValueRegister);
}

void tNUVCodeGenerator::BeginSwitch(tNUVExprNode* value) { OpenHeldValueStatement(ntSwitch, value); }

void tNUVCodeGenerator::CaseLabel(tNUVExprNode* value) {
  tNestData* nest = LabelSwitch();
  if (!nest) {
    ReportAt(NUVMisplacedCase, PositionOf(value));
    return;
  }
  // The previous body falls through into the next body, over this label's test.
  std::vector<int32_t> intoBody;
  if (nest->LabelSeen) Context.EmitForwardJump(VM_JMP, intoBody, Position);
  Context.PopScope();
  Context.PushScope();
  if (nest->Patch1 >= 0) Context.PatchJump(nest->Patch1, Context.GetCodeCount());
  nest->Patch1 = -1;
  std::vector<int32_t> next;
  if (value) {
    BeginStatement();
    int32_t reg = GenerateValue(value);
    Context.Emit(VM_CEQ, {nest->ValueRegister, reg}, PositionOf(value));
    Context.EmitForwardJump(VM_JNF, next, PositionOf(value));
    EndStatement();
  } else {
    Context.EmitForwardJump(VM_JMP, next, Position);
    nest->Patch2 = Context.GetCodeCount();
  }
  nest->Patch1 = next.front();
  Context.ResolvePatches(intoBody, Context.GetCodeCount());
  nest->LabelSeen = true;
}

void tNUVCodeGenerator::EndSwitch() {
  tNestData nest = Context.PopNest(ntSwitch, Position);
  if (nest.Patch1 >= 0) {
    if (nest.Patch2 >= 0) {
      // The last body ends the switch; a failed last test runs the default body.
      Context.EmitForwardJump(VM_JMP, nest.ExitPatches, Position);
      Context.PatchJump(nest.Patch1, Context.GetCodeCount());
      Context.Emit(VM_JMP, {nest.Patch2}, Position);
    } else {
      Context.PatchJump(nest.Patch1, Context.GetCodeCount());
    }
  }
  Context.ResolvePatches(nest.ExitPatches, Context.GetCodeCount());
  CloseHeldValueStatement(nest);
}

void tNUVCodeGenerator::BeginWith(tNUVExprNode* value) { OpenHeldValueStatement(ntWith, value); }

void tNUVCodeGenerator::EndWith() { CloseHeldValueStatement(Context.PopNest(ntWith, Position)); }

void tNUVCodeGenerator::BeginTry() {
  tNestData& nest = Context.PushNest(ntTry);
  nest.ValueRegister = Context.GetNextTemp();
  nest.ScopeDepth = Context.ScopeDepth();
  Context.CoverRegister(nest.ValueRegister);
  std::vector<int32_t> entry;
  Context.EmitForwardJump(VM_ENTRY, entry, Position, nest.ValueRegister);
  nest.Patch1 = entry.front();
}

void tNUVCodeGenerator::BeginCatch(const tNUVString& name) {
  tNestData* nest = Context.CurrentNest();
  if (!nest || nest->Type != ntTry) return;
  Context.Emit(VM_EXTRY, {}, Position);
  Context.EmitForwardJump(VM_JMP, nest->ExitPatches, Position);
  Context.PatchJump(nest->Patch1, Context.GetCodeCount());
  // The region was left when the exception arrived: return, break and continue in
  // the catch part must not leave it again.
  nest->InCatch = true;
  if (!name.IsEmpty()) {
    Context.PushScope();
    nest->Flags = 1;
    Context.DeclareLocal(name, nest->ValueRegister, Position);
  }
}

void tNUVCodeGenerator::EndTry() {
  tNestData nest = Context.PopNest(ntTry, Position);
  if ((nest.Flags & 1) && Context.ScopeDepth() > nest.ScopeDepth) Context.PopScope();
  Context.ResolvePatches(nest.ExitPatches, Context.GetCodeCount());
}

void tNUVCodeGenerator::Throw(tNUVExprNode* value) {
  BeginStatement();
  int32_t reg = GenerateValue(value);
  Context.Emit(VM_THROW, {reg}, PositionOf(value));
  EndStatement();
}

}  // namespace NUV
