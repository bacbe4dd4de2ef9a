// Names, member accesses, property objects, super and calls.

#include "engine/compiler/code_generator.h"
#include "engine/compiler/tokens.h"
#include "engine/services/messages.h"

namespace NUV {

namespace {

// The member forms of a read-modify-write family follow its plain opcode.
tNUVOpcode FamilyForm(tNUVOpcode family, int32_t offset) { return static_cast<tNUVOpcode>(family + offset); }

}  // namespace

bool tNUVCodeGenerator::IsLocalName(const tNUVExprNode* symbol) const {
  return !GlobalNameMode && Context.FindName(NameOf(symbol)) >= 0;
}

bool tNUVCodeGenerator::IsMethodTarget(const tNUVExprNode* node) const {
  if (!node) return false;
  switch (node->GetOpecode()) {
    case T_DOT:
    case T_LBRACKET:
    case T_WITHDOT: return true;
    case T_SYMBOL: return !IsLocalName(node);
    default: return false;
  }
}

int32_t tNUVCodeGenerator::ImplicitObject(int32_t implicit, int32_t position) {
  if (implicit == T_THIS_PROXY) return -Context.GetReservedCount();
  if (implicit == T_WITHDOT_PROXY) {
    for (int32_t i = Context.NestCount() - 1; i >= 0; --i) {
      const tNestData& nest = Context.NestAt(i);
      if (nest.Type == ntWith) return nest.ValueRegister;
    }
  }
  int32_t reg = Temporary();
  Context.Emit(VM_GLOBAL, {reg}, position);
  return reg;
}

int32_t tNUVCodeGenerator::GenerateSymbol(const tNUVExprNode* node, int32_t wanted, const tPlace& place) {
  int32_t position = node->GetPosition();
  tNUVString name = NameOf(node);
  int32_t slot = GlobalNameMode ? -1 : Context.FindName(name);
  if (slot < 0) {
    return GenerateMember(node, {GlobalNameMode ? T_GLOBAL : T_THIS_PROXY, nullptr}, node, true, wanted, place);
  }
  int32_t local = Context.LocalRegister(slot);
  bool needed = (wanted & WantValue) != 0;
  switch (place.Op) {
    case poRead:
    case poReadIgnoreProperty: return local;
    case poAssign:
    case poWriteIgnoreProperty:
      Context.Emit(VM_CP, {local, place.Value}, position);
      return place.Value;
    case poModify:
      Context.Emit(place.Family, {local, place.Value}, position);
      return local;
    case poPreIncrement:
    case poPreDecrement:
      Context.Emit(place.Op == poPreIncrement ? VM_INC : VM_DEC, {local}, position);
      return local;
    case poPostIncrement:
    case poPostDecrement: {
      int32_t old = 0;
      if (needed) {
        old = Temporary();
        Context.Emit(VM_CP, {old, local}, position);
      }
      Context.Emit(place.Op == poPostIncrement ? VM_INC : VM_DEC, {local}, position);
      return old;
    }
    case poDelete: {
      // Later uses of the name are members of the this proxy again.
      Context.RemoveName(name);
      if (!needed) return 0;
      int32_t reg = Temporary();
      Context.Emit(VM_CONST, {reg, Constant(tNUVVariant(int32_t{1}))}, position);
      return reg;
    }
    case poTypeOf:
    case poCall:
    default: {
      // Callers turn these into reads for locals; a copy keeps the local intact.
      int32_t reg = Temporary();
      Context.Emit(VM_CP, {reg, local}, position);
      if (place.Op == poTypeOf) Context.Emit(VM_TYPEOF, {reg}, position);
      return reg;
    }
  }
}

int32_t tNUVCodeGenerator::GenerateMember(const tNUVExprNode* node, tObjectSource object, const tNUVExprNode* key,
                                          bool direct, int32_t wanted, const tPlace& place) {
  int32_t position = node->GetPosition();
  bool needed = (wanted & WantValue) != 0;
  int32_t objectReg = object.Implicit ? ImplicitObject(object.Implicit, position)
                                      : GenerateValue(object.Node);
  int32_t keyOperand = direct ? Constant(tNUVVariant(NameOf(key))) : GenerateValue(key);
  bool onThisProxy = object.Implicit == T_THIS_PROXY;
  auto pick = [direct](tNUVOpcode directForm, tNUVOpcode indirectForm) { return direct ? directForm : indirectForm; };

  switch (place.Op) {
    case poRead:
    case poReadIgnoreProperty: {
      int32_t reg = Temporary();
      tNUVOpcode opcode = place.Op == poRead ? pick(VM_GPD, VM_GPI) : pick(VM_GPDS, VM_GPIS);
      Context.Emit(opcode, {reg, objectReg, keyOperand}, position);
      return reg;
    }
    case poAssign: {
      // A bare name assigns through the this proxy, which finds the member where it
      // lives; any other object gets the member created when missing.
      tNUVOpcode opcode = onThisProxy ? pick(VM_SPD, VM_SPI) : pick(VM_SPDE, VM_SPIE);
      Context.Emit(opcode, {objectReg, keyOperand, place.Value}, position);
      return place.Value;
    }
    case poWriteIgnoreProperty:
      Context.Emit(pick(VM_SPDS, VM_SPIS), {objectReg, keyOperand, place.Value}, position);
      return place.Value;
    case poModify: {
      int32_t reg = needed ? Temporary() : 0;
      Context.Emit(FamilyForm(place.Family, direct ? 1 : 2), {reg, objectReg, keyOperand, place.Value}, position);
      return reg;
    }
    case poPreIncrement:
    case poPreDecrement: {
      int32_t reg = needed ? Temporary() : 0;
      tNUVOpcode opcode = place.Op == poPreIncrement ? pick(VM_INCPD, VM_INCPI) : pick(VM_DECPD, VM_DECPI);
      Context.Emit(opcode, {reg, objectReg, keyOperand}, position);
      return reg;
    }
    case poPostIncrement:
    case poPostDecrement: {
      int32_t old = 0;
      if (needed) {
        old = Temporary();
        Context.Emit(pick(VM_GPD, VM_GPI), {old, objectReg, keyOperand}, position);
      }
      tNUVOpcode opcode = place.Op == poPostIncrement ? pick(VM_INCPD, VM_INCPI) : pick(VM_DECPD, VM_DECPI);
      Context.Emit(opcode, {0, objectReg, keyOperand}, position);
      return old;
    }
    case poDelete: {
      int32_t reg = needed ? Temporary() : 0;
      Context.Emit(pick(VM_DELD, VM_DELI), {reg, objectReg, keyOperand}, position);
      return reg;
    }
    case poTypeOf: {
      int32_t reg = Temporary();
      Context.Emit(pick(VM_TYPEOFD, VM_TYPEOFI), {reg, objectReg, keyOperand}, position);
      return reg;
    }
    case poCall: {
      int32_t reg = needed ? Temporary() : 0;
      tArgumentList arguments;
      CollectArguments(place.Arguments, arguments);
      EmitCallInstruction(pick(VM_CALLD, VM_CALLI), {reg, objectReg, keyOperand}, arguments, position);
      return reg;
    }
  }
  return 0;
}

int32_t tNUVCodeGenerator::GeneratePropertyAccess(const tNUVExprNode* node, int32_t wanted, const tPlace& place) {
  int32_t position = node->GetPosition();
  bool needed = (wanted & WantValue) != 0;
  int32_t property = GenerateValue((*node)[0]);
  switch (place.Op) {
    case poRead:
    case poReadIgnoreProperty: {
      int32_t reg = Temporary();
      Context.Emit(VM_GETP, {reg, property}, position);
      return reg;
    }
    case poAssign:
    case poWriteIgnoreProperty:
      Context.Emit(VM_SETP, {property, place.Value}, position);
      return place.Value;
    case poModify: {
      int32_t reg = needed ? Temporary() : 0;
      Context.Emit(FamilyForm(place.Family, 3), {reg, property, place.Value}, position);
      return reg;
    }
    case poPreIncrement:
    case poPreDecrement: {
      int32_t reg = needed ? Temporary() : 0;
      Context.Emit(place.Op == poPreIncrement ? VM_INCP : VM_DECP, {reg, property}, position);
      return reg;
    }
    case poPostIncrement:
    case poPostDecrement: {
      int32_t old = 0;
      if (needed) {
        old = Temporary();
        Context.Emit(VM_GETP, {old, property}, position);
      }
      Context.Emit(place.Op == poPostIncrement ? VM_INCP : VM_DECP, {0, property}, position);
      return old;
    }
    default:
      ReportAt(NUVCannotModifyLHS, position);
      return 0;
  }
}

// super is the class's only super class expression, compiled where it is used with
// names taken from global (the class body's locals are not visible here).
int32_t tNUVCodeGenerator::GenerateSuper(const tNUVExprNode* node, int32_t wanted, const tPlace& place) {
  if (!RequirePlaceless(node, place)) return 0;
  const tNUVInterCodeContext* owner = nullptr;
  const tNUVInterCodeContext* enclosing = Context.GetEnclosing();
  if (Context.GetKind() == ctFunction && enclosing && enclosing->GetKind() == ctClass) {
    owner = enclosing;
  } else if ((Context.GetKind() == ctPropertySetter || Context.GetKind() == ctPropertyGetter) && enclosing &&
             enclosing->GetEnclosing() && enclosing->GetEnclosing()->GetKind() == ctClass) {
    owner = enclosing->GetEnclosing();
  }
  const tNUVExprNode* expression = owner ? owner->GetSuperExpression() : nullptr;
  if (!expression) {
    ReportAt(NUVCannotGetSuper, node->GetPosition());
    return 0;
  }
  bool saved = GlobalNameMode;
  GlobalNameMode = true;
  int32_t result = Generate(expression, wanted | WantValue);
  GlobalNameMode = saved;
  return result;
}

int32_t tNUVCodeGenerator::GenerateCall(const tNUVExprNode* node, int32_t wanted, const tPlace& place, bool isNew) {
  if (!RequirePlaceless(node, place)) return 0;
  const tNUVExprNode* function = (*node)[0];
  const tNUVExprNode* chain = (*node)[1];
  if (!isNew && IsMethodTarget(function)) {
    tPlace call;
    call.Op = poCall;
    call.Arguments = chain;
    return Generate(function, wanted, call);
  }
  int32_t position = node->GetPosition();
  int32_t reg = (wanted & WantValue) ? Temporary() : 0;
  int32_t functionReg = GenerateValue(function);
  tArgumentList arguments;
  CollectArguments(chain, arguments);
  EmitCallInstruction(isNew ? VM_NEW : VM_CALL, {reg, functionReg}, arguments, position);
  return reg;
}

// The parser chains arguments last first; they are evaluated left to right.
void tNUVCodeGenerator::CollectArguments(const tNUVExprNode* chain, tArgumentList& list) {
  if (!chain) return;
  if (chain->GetOpecode() == T_OMIT) {
    list.Omitted = true;
    if (!InsideFunction()) ReportAt(NUVCannotOmit, chain->GetPosition());
    return;
  }
  std::vector<const tNUVExprNode*> items;
  for (const tNUVExprNode* link = chain; link && link->GetOpecode() == T_ARG; link = (*link)[1]) {
    items.push_back((*link)[0]);
  }
  // f() has one absent argument, which stands for none.
  if (items.size() == 1 && !items.front()) return;
  for (auto item = items.rbegin(); item != items.rend(); ++item) {
    const tNUVExprNode* argument = *item;
    if (!argument) {
      list.Items.push_back({0, akPlain});
    } else if (argument->GetOpecode() == T_EXPANDARG) {
      list.Extended = true;
      const tNUVExprNode* array = (*argument)[0];
      if (array) {
        list.Items.push_back({GenerateValue(array), akExpand});
      } else {
        list.Items.push_back({0, akUnnamed});
      }
    } else {
      list.Items.push_back({GenerateValue(argument), akPlain});
    }
  }
}

void tNUVCodeGenerator::EmitCallInstruction(tNUVOpcode opcode, std::initializer_list<int32_t> fixed,
                                            const tArgumentList& list, int32_t position) {
  if (list.Omitted) {
    Context.EmitCall(opcode, fixed, nullptr, position);
    return;
  }
  if (list.Extended) {
    std::vector<std::pair<tNUVArgumentKind, int32_t>> pairs;
    pairs.reserve(list.Items.size());
    for (const tArgument& item : list.Items) pairs.emplace_back(item.Kind, item.Register);
    Context.EmitCallExtended(opcode, fixed, pairs, position);
    return;
  }
  std::vector<int32_t> registers;
  registers.reserve(list.Items.size());
  for (const tArgument& item : list.Items) registers.push_back(item.Register);
  Context.EmitCall(opcode, fixed, &registers, position);
}

}  // namespace NUV
