// Operators, assignments and literals.

#include "engine/compiler/code_generator.h"
#include "engine/compiler/tokens.h"
#include "engine/services/messages.h"

namespace NUV {

namespace {

tNUVOpcode UnaryOpcode(int32_t op) {
  switch (op) {
    case T_TILDE: return VM_BNOT;
    case T_SHARP: return VM_ASC;
    case T_DOLLAR: return VM_CHR;
    case T_INT: return VM_INT;
    case T_REAL: return VM_REAL;
    case T_STRING: return VM_STR;
    case T_OCTET: return VM_OCTET;
    case T_UPLUS: return VM_NUM;
    case T_UMINUS: return VM_CHS;
    case T_ISVALID: return VM_CHKINV;
    case T_INVALIDATE: return VM_INV;
    default: return VM_NOP;
  }
}

tNUVOpcode BinaryOpcode(int32_t op) {
  switch (op) {
    case T_VERTLINE: return VM_BOR;
    case T_CHEVRON: return VM_BXOR;
    case T_AMPERSAND: return VM_BAND;
    case T_RARITHSHIFT: return VM_SAR;
    case T_LARITHSHIFT: return VM_SAL;
    case T_RBITSHIFT: return VM_SR;
    case T_PERCENT: return VM_MOD;
    case T_SLASH: return VM_DIV;
    case T_BACKSLASH: return VM_IDIV;
    case T_ASTERISK: return VM_MUL;
    case T_PLUS: return VM_ADD;
    case T_MINUS: return VM_SUB;
    case T_INCONTEXTOF: return VM_CHGTHIS;
    case T_INSTANCEOF: return VM_CHKINS;
    default: return VM_NOP;
  }
}

// The family of a compound assignment (VM_NOP for plain "=").
tNUVOpcode AssignmentFamily(int32_t op) {
  switch (op) {
    case T_AMPERSANDEQUAL: return VM_BAND;
    case T_VERTLINEEQUAL: return VM_BOR;
    case T_CHEVRONEQUAL: return VM_BXOR;
    case T_MINUSEQUAL: return VM_SUB;
    case T_PLUSEQUAL: return VM_ADD;
    case T_PERCENTEQUAL: return VM_MOD;
    case T_SLASHEQUAL: return VM_DIV;
    case T_BACKSLASHEQUAL: return VM_IDIV;
    case T_ASTERISKEQUAL: return VM_MUL;
    case T_LOGICALOREQUAL: return VM_LOR;
    case T_LOGICALANDEQUAL: return VM_LAND;
    case T_RARITHSHIFTEQUAL: return VM_SAR;
    case T_LARITHSHIFTEQUAL: return VM_SAL;
    case T_RBITSHIFTEQUAL: return VM_SR;
    default: return VM_NOP;
  }
}

bool IsArithmetic(const tNUVExprNode* node) {
  if (!node) return false;
  tNUVOpcode opcode = BinaryOpcode(node->GetOpecode());
  return opcode != VM_NOP && opcode != VM_CHGTHIS && opcode != VM_CHKINS;
}

bool IsMemberAccess(const tNUVExprNode* node) {
  if (!node) return false;
  int32_t op = node->GetOpecode();
  return op == T_DOT || op == T_LBRACKET || op == T_WITHDOT;
}

}  // namespace

int32_t tNUVCodeGenerator::GenerateUnary(const tNUVExprNode* node, int32_t wanted, const tPlace& place) {
  int32_t op = node->GetOpecode();
  int32_t position = node->GetPosition();
  const tNUVExprNode* operand = (*node)[0];
  tPlace operation;
  switch (op) {
    case T_DELETE: operation.Op = poDelete; break;
    case T_INCREMENT: operation.Op = poPreIncrement; break;
    case T_DECREMENT: operation.Op = poPreDecrement; break;
    case T_POSTINCREMENT: operation.Op = poPostIncrement; break;
    case T_POSTDECREMENT: operation.Op = poPostDecrement; break;
    default: break;
  }
  if (!RequirePlaceless(node, place)) return 0;
  if (operation.Op != poRead) return Generate(operand, wanted, operation);

  int32_t base = Context.GetNextTemp();
  if (op == T_EXCLAMATION) {
    if (wanted & WantFlagAllowed) {
      int32_t result = Generate(operand, WantValue | WantFlagAllowed);
      if (result == ResultFlag) return ResultInvertedFlag;
      if (result == ResultInvertedFlag) return ResultFlag;
      Context.Emit(VM_TF, {result}, position);
      return ResultFlag;
    }
    int32_t reg = WritableCopy(Generate(operand, WantValue), base, position);
    Context.Emit(VM_LNOT, {reg}, position);
    return reg;
  }
  if (op == T_TYPEOF) {
    bool member = IsMemberAccess(operand) || (operand && operand->GetOpecode() == T_SYMBOL && !IsLocalName(operand));
    if (member) {
      tPlace typeOf;
      typeOf.Op = poTypeOf;
      return Generate(operand, WantValue, typeOf);
    }
    int32_t reg = WritableCopy(Generate(operand, WantValue), base, position);
    Context.Emit(VM_TYPEOF, {reg}, position);
    return reg;
  }
  int32_t reg = WritableCopy(Generate(operand, WantValue), base, position);
  tNUVOpcode opcode = op == T_EVAL ? ((wanted & WantValue) ? VM_EVAL : VM_EEXP) : UnaryOpcode(op);
  Context.Emit(opcode, {reg}, position);
  return reg;
}

// Arithmetic works on a copy of the left operand; incontextof binds the copied
// function value to the right object and instanceof checks it.
int32_t tNUVCodeGenerator::GenerateBinary(const tNUVExprNode* node, int32_t wanted, const tPlace& place) {
  if (!RequirePlaceless(node, place)) return 0;
  int32_t op = node->GetOpecode();
  if (op == T_INCONTEXTOF && !(wanted & WantValue)) return 0;
  int32_t base = Context.GetNextTemp();
  if (op == T_INCONTEXTOF || op == T_INSTANCEOF) {
    int32_t left = WritableCopy(Generate((*node)[0], WantValue), base, node->GetPosition());
    int32_t right = GenerateValue((*node)[1]);
    Context.Emit(BinaryOpcode(op), {left, right}, node->GetPosition());
    return left;
  }
  // A left-associative chain (a + b + c ...) is walked along its left spine without
  // recursion, so long sums compile however many terms they have.
  std::vector<const tNUVExprNode*> spine{node};
  for (const tNUVExprNode* left = (*node)[0]; IsArithmetic(left); left = (*left)[0]) spine.push_back(left);
  const tNUVExprNode* first = (*spine.back())[0];
  int32_t accumulator = WritableCopy(Generate(first, WantValue), base, PositionOf(first));
  for (auto step = spine.rbegin(); step != spine.rend(); ++step) {
    int32_t right = GenerateValue((**step)[1]);
    Context.Emit(BinaryOpcode((*step)->GetOpecode()), {accumulator, right}, (*step)->GetPosition());
    Context.ReleaseTemporaries(accumulator + 1);
  }
  return accumulator;
}

int32_t tNUVCodeGenerator::GenerateComparison(const tNUVExprNode* node, int32_t wanted, const tPlace& place) {
  if (!RequirePlaceless(node, place)) return 0;
  int32_t op = node->GetOpecode();
  int32_t position = node->GetPosition();
  bool flagAllowed = (wanted & WantFlagAllowed) != 0;
  int32_t base = Context.GetNextTemp();
  int32_t left = GenerateValue((*node)[0]);
  // Materialising writes the result over the left operand.
  if (!flagAllowed) left = WritableCopy(left, base, position);
  int32_t right = GenerateValue((*node)[1]);
  tNUVOpcode opcode = VM_CEQ;
  bool inverted = false;
  switch (op) {
    case T_EQUALEQUAL: opcode = VM_CEQ; break;
    case T_NOTEQUAL: opcode = VM_CEQ; inverted = true; break;
    case T_DISCEQUAL: opcode = VM_CDEQ; break;
    case T_DISCNOTEQUAL: opcode = VM_CDEQ; inverted = true; break;
    case T_LT: opcode = VM_CLT; break;
    case T_GT: opcode = VM_CGT; break;
    case T_LTOREQUAL: opcode = VM_CGT; inverted = true; break;
    case T_GTOREQUAL: opcode = VM_CLT; inverted = true; break;
    default: break;
  }
  Context.Emit(opcode, {left, right}, position);
  if (flagAllowed) return inverted ? ResultInvertedFlag : ResultFlag;
  Context.Emit(inverted ? VM_SETNF : VM_SETF, {left}, position);
  return left;
}

// Both sides are conditions, so the result is always true or false, never an
// operand's value. The left flag is normalised because the right side is skipped
// with it still set.
int32_t tNUVCodeGenerator::GenerateLogical(const tNUVExprNode* node, int32_t wanted, const tPlace& place) {
  if (!RequirePlaceless(node, place)) return 0;
  int32_t position = node->GetPosition();
  bool isOr = node->GetOpecode() == T_LOGICALOR;
  GenerateNormalFlag((*node)[0], WantValue, tPlace());
  std::vector<int32_t> skip;
  Context.EmitForwardJump(isOr ? VM_JF : VM_JNF, skip, position);
  GenerateNormalFlag((*node)[1], WantValue, tPlace());
  Context.ResolvePatches(skip, Context.GetCodeCount());
  if (wanted & WantFlagAllowed) return ResultFlag;
  int32_t reg = Temporary();
  Context.Emit(VM_SETF, {reg}, position);
  return reg;
}

// Each branch gets the caller's place, so (c ? a : b) = v assigns to a or b.
int32_t tNUVCodeGenerator::GenerateConditional(const tNUVExprNode* node, int32_t wanted, const tPlace& place) {
  int32_t position = node->GetPosition();
  std::vector<int32_t> toFalse, toEnd;
  GenerateConditionJump((*node)[0], false, toFalse);
  if (wanted & WantFlagAllowed) {
    GenerateNormalFlag((*node)[1], wanted, place);
    Context.EmitForwardJump(VM_JMP, toEnd, position);
    Context.ResolvePatches(toFalse, Context.GetCodeCount());
    GenerateNormalFlag((*node)[2], wanted, place);
    Context.ResolvePatches(toEnd, Context.GetCodeCount());
    return ResultFlag;
  }
  bool needed = (wanted & WantValue) != 0;
  int32_t base = Context.GetNextTemp();
  int32_t result = Generate((*node)[1], wanted, place);
  // The false branch writes its value into the true branch's register, which must
  // therefore be a temporary of this node.
  if (needed) result = WritableCopy(result, base, position);
  Context.EmitForwardJump(VM_JMP, toEnd, position);
  Context.ResolvePatches(toFalse, Context.GetCodeCount());
  int32_t other = Generate((*node)[2], wanted, place);
  if (needed) {
    other = ValueRegister(other, position);
    if (other != result) Context.Emit(VM_CP, {result, other}, position);
  }
  Context.ResolvePatches(toEnd, Context.GetCodeCount());
  return needed ? result : 0;
}

int32_t tNUVCodeGenerator::GenerateAssignment(const tNUVExprNode* node, int32_t wanted, const tPlace& place) {
  if (!RequirePlaceless(node, place)) return 0;
  int32_t op = node->GetOpecode();
  int32_t position = node->GetPosition();
  if (op == T_EQUAL && (wanted & WantFlagAllowed)) {
    Context.CompileWarning(tNUVString(NUVSubstitutionInBooleanContext.Text()), position);
  }
  int32_t value = GenerateValue((*node)[1]);
  tPlace target;
  target.Value = value;
  if (op == T_EQUAL) {
    target.Op = poAssign;
  } else {
    target.Op = poModify;
    target.Family = AssignmentFamily(op);
  }
  return Generate((*node)[0], wanted & WantValue, target);
}

int32_t tNUVCodeGenerator::GenerateSwap(const tNUVExprNode* node, int32_t wanted, const tPlace& place) {
  if (!RequirePlaceless(node, place)) return 0;
  int32_t position = node->GetPosition();
  if (wanted & WantValue) ReportAt(NUVCannotGetResult, position);
  int32_t base = Context.GetNextTemp();
  int32_t left = WritableCopy(Generate((*node)[0], WantValue), base, position);
  int32_t right = WritableCopy(Generate((*node)[1], WantValue), base, position);
  tPlace assign;
  assign.Op = poAssign;
  assign.Value = right;
  Generate((*node)[0], 0, assign);
  assign.Value = left;
  Generate((*node)[1], 0, assign);
  return 0;
}

// Literals ----------------------------------------------------------------------------

int32_t tNUVCodeGenerator::EmitNewBuiltin(const char16_t* className, int32_t position) {
  int32_t object = Temporary();
  int32_t classReg = Temporary();
  Context.Emit(VM_GLOBAL, {object}, position);
  Context.Emit(VM_GPD, {classReg, object, Constant(tNUVVariant(className))}, position);
  std::vector<int32_t> noArguments;
  Context.EmitCall(VM_NEW, {object, classReg}, &noArguments, position);
  return object;
}

// A new object every time the literal is evaluated.
int32_t tNUVCodeGenerator::GenerateRegExp(const tNUVExprNode* node, int32_t, const tPlace& place) {
  if (!RequirePlaceless(node, place)) return 0;
  int32_t position = node->GetPosition();
  int32_t object = Temporary();
  int32_t classReg = Temporary();
  int32_t pattern = Temporary();
  Context.Emit(VM_GLOBAL, {object}, position);
  Context.Emit(VM_GPD, {classReg, object, Constant(tNUVVariant(u"RegExp"))}, position);
  Context.Emit(VM_CONST, {pattern, Constant(node->GetValue())}, position);
  std::vector<int32_t> noArguments;
  Context.EmitCall(VM_NEW, {object, classReg}, &noArguments, position);
  std::vector<int32_t> patternArgument{pattern};
  Context.EmitCall(VM_CALLD, {0, object, Constant(tNUVVariant(u"_compile"))}, &patternArgument, position);
  return object;
}

int32_t tNUVCodeGenerator::GenerateArrayLiteral(const tNUVExprNode* node, int32_t, const tPlace& place) {
  if (!RequirePlaceless(node, place)) return 0;
  int32_t position = node->GetPosition();
  int32_t array = EmitNewBuiltin(u"Array", position);
  int32_t count = node->GetSize();
  // "[]" is one absent element, which stands for none; "[,]" has two.
  if (count == 1 && (*node)[0] && !(*(*node)[0])[0]) return array;
  int32_t index = Temporary();
  Context.Emit(VM_CONST, {index, Constant(tNUVVariant(int32_t{0}))}, position);
  for (int32_t i = 0; i < count; ++i) {
    const tNUVExprNode* element = (*node)[i];
    const tNUVExprNode* value = element ? (*element)[0] : nullptr;
    int32_t elementBase = Context.GetNextTemp();
    int32_t reg = value ? GenerateValue(value) : 0;
    Context.Emit(VM_SPIS, {array, index, reg}, PositionOf(element));
    Context.Emit(VM_INC, {index}, PositionOf(element));
    Context.ReleaseTemporaries(elementBase);
  }
  return array;
}

int32_t tNUVCodeGenerator::GenerateDictionaryLiteral(const tNUVExprNode* node, int32_t, const tPlace& place) {
  if (!RequirePlaceless(node, place)) return 0;
  int32_t position = node->GetPosition();
  int32_t dictionary = EmitNewBuiltin(u"Dictionary", position);
  for (int32_t i = 0; i < node->GetSize(); ++i) {
    const tNUVExprNode* element = (*node)[i];
    if (!element) continue;
    int32_t elementBase = Context.GetNextTemp();
    int32_t key = GenerateValue((*element)[0]);
    int32_t value = GenerateValue((*element)[1]);
    Context.Emit(VM_SPIS, {dictionary, key, value}, PositionOf(element));
    Context.ReleaseTemporaries(elementBase);
  }
  return dictionary;
}

}  // namespace NUV
