#include "engine/compiler/expression_builder.h"

#include "engine/compiler/tokens.h"

namespace NUV {

namespace {

bool IsConstant(const tNUVExprNode* node) { return node && node->GetOpecode() == T_CONSTVAL; }

// The value of op applied to a constant operand.
tNUVVariant FoldUnary(int32_t op, const tNUVVariant& operand) {
  tNUVVariant value = operand;
  switch (op) {
    case T_EXCLAMATION: value.LogicalNot(); break;
    case T_TILDE: value.BitNot(); break;
    case T_SHARP: value.CharacterCode(); break;
    case T_DOLLAR: value.CharacterFromCode(); break;
    case T_INT: value.ToInteger(); break;
    case T_REAL: value.ToReal(); break;
    case T_STRING: value.ToString(); break;
    case T_OCTET: value.ToOctet(); break;
    case T_UPLUS: value.ToNumber(); break;
    // Integers negate with 64-bit wrap-around, everything else as a number.
    case T_UMINUS: value.Negate(); break;
    default: break;
  }
  return value;
}

// The value of op applied to two constant operands.
tNUVVariant FoldBinary(int32_t op, const tNUVVariant& left, const tNUVVariant& right) {
  tNUVVariant value = left;
  switch (op) {
    case T_COMMA: value = right; break;
    case T_LOGICALOR: value.LogicalOrAssign(right); break;
    case T_LOGICALAND: value.LogicalAndAssign(right); break;
    case T_VERTLINE: value.BitOrAssign(right); break;
    case T_CHEVRON: value.BitXorAssign(right); break;
    case T_AMPERSAND: value.BitAndAssign(right); break;
    case T_EQUALEQUAL: value = left.NormalCompare(right); break;
    case T_NOTEQUAL: value = !left.NormalCompare(right); break;
    case T_DISCEQUAL: value = left.DiscernCompare(right); break;
    case T_DISCNOTEQUAL: value = !left.DiscernCompare(right); break;
    case T_LT: value = left.LessThan(right); break;
    case T_GT: value = left.GreaterThan(right); break;
    case T_LTOREQUAL: value = !left.GreaterThan(right); break;
    case T_GTOREQUAL: value = !left.LessThan(right); break;
    case T_RARITHSHIFT: value.ShiftRightAssign(right); break;
    case T_LARITHSHIFT: value.ShiftLeftAssign(right); break;
    case T_RBITSHIFT: value.LogicalShiftRightAssign(right); break;
    // Both raise NUVDivideByZero for a zero divisor.
    case T_PERCENT: value.ModuloAssign(right); break;
    case T_BACKSLASH: value.IntegerDivideAssign(right); break;
    case T_SLASH: value.DivideAssign(right); break;
    case T_ASTERISK: value.MultiplyAssign(right); break;
    case T_PLUS: value.AddAssign(right); break;
    case T_MINUS: value.SubtractAssign(right); break;
    default: break;
  }
  return value;
}

tNUVExprNode* Allocate(iNUVCompileHost* host, int32_t position, int32_t op) {
  return host->AllocateNode(op, position);
}

}  // namespace

bool NUVIsFoldedUnary(int32_t op) {
  switch (op) {
    case T_EXCLAMATION:
    case T_TILDE:
    case T_SHARP:
    case T_DOLLAR:
    case T_INT:
    case T_REAL:
    case T_STRING:
    case T_OCTET:
    case T_UPLUS:
    case T_UMINUS:
      return true;
    default:
      return false;
  }
}

bool NUVIsFoldedBinary(int32_t op) {
  switch (op) {
    case T_COMMA:
    case T_LOGICALOR:
    case T_LOGICALAND:
    case T_VERTLINE:
    case T_CHEVRON:
    case T_AMPERSAND:
    case T_EQUALEQUAL:
    case T_NOTEQUAL:
    case T_DISCEQUAL:
    case T_DISCNOTEQUAL:
    case T_LT:
    case T_GT:
    case T_LTOREQUAL:
    case T_GTOREQUAL:
    case T_RARITHSHIFT:
    case T_LARITHSHIFT:
    case T_RBITSHIFT:
    case T_PERCENT:
    case T_BACKSLASH:
    case T_SLASH:
    case T_ASTERISK:
    case T_PLUS:
    case T_MINUS:
      return true;
    default:
      return false;
  }
}

tNUVExprNode* NUVMakeConstNode(iNUVCompileHost* host, int32_t position, const tNUVVariant& value) {
  tNUVExprNode* node = Allocate(host, position, T_CONSTVAL);
  node->SetValue(value);
  return node;
}

tNUVExprNode* NUVMakeNode(iNUVCompileHost* host, int32_t position, int32_t op) {
  return Allocate(host, position, op);
}

tNUVExprNode* NUVMakeNode(iNUVCompileHost* host, int32_t position, int32_t op, tNUVExprNode* first) {
  if (IsConstant(first) && NUVIsFoldedUnary(op)) {
    // The operand keeps its value until the result exists, so a failing
    // operation leaves the tree as it was.
    tNUVVariant value = FoldUnary(op, first->GetValue());
    tNUVExprNode* result = NUVMakeConstNode(host, position, value);
    first->Clear();
    return result;
  }
  tNUVExprNode* node = Allocate(host, position, op);
  node->Add(first);
  return node;
}

tNUVExprNode* NUVMakeNode(iNUVCompileHost* host, int32_t position, int32_t op, tNUVExprNode* first,
                          tNUVExprNode* second) {
  if (IsConstant(first) && IsConstant(second) && NUVIsFoldedBinary(op)) {
    tNUVVariant value = FoldBinary(op, first->GetValue(), second->GetValue());
    tNUVExprNode* result = NUVMakeConstNode(host, position, value);
    first->Clear();
    second->Clear();
    return result;
  }
  tNUVExprNode* node = Allocate(host, position, op);
  node->Add(first);
  node->Add(second);
  return node;
}

tNUVExprNode* NUVMakeNode(iNUVCompileHost* host, int32_t position, int32_t op, tNUVExprNode* first,
                          tNUVExprNode* second, tNUVExprNode* third) {
  tNUVExprNode* node = Allocate(host, position, op);
  node->Add(first);
  node->Add(second);
  node->Add(third);
  return node;
}

}  // namespace NUV
