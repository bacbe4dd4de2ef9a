// The operators the virtual machine applies to values. Each computes
// "left (op) right" and stores the result in the left variant. Operands are
// converted before the left operand is changed, so a failed conversion leaves the
// left operand as it was.

#include <cmath>

#include "engine/services/errors.h"
#include "engine/values/variant.h"
#include "engine/values/variant_internal.h"

namespace NUV {

using namespace VariantDetail;

namespace {

// Shift amounts come from the low 8 bits of the right operand, read unsigned:
// 0..63 shift normally, 64..255 shift everything out.
uint32_t ShiftAmount(int64_t right) { return static_cast<uint32_t>(right) & 0xFF; }

int64_t WrappingAdd(int64_t left, int64_t right) {
  return static_cast<int64_t>(static_cast<uint64_t>(left) + static_cast<uint64_t>(right));
}
int64_t WrappingSubtract(int64_t left, int64_t right) {
  return static_cast<int64_t>(static_cast<uint64_t>(left) - static_cast<uint64_t>(right));
}
int64_t WrappingMultiply(int64_t left, int64_t right) {
  return static_cast<int64_t>(static_cast<uint64_t>(left) * static_cast<uint64_t>(right));
}

// Both operands as numbers, then integer or real arithmetic.
template <typename tIntegerOp, typename tRealOp>
void NumericAssign(tNUVVariant& left, const tNUVVariant& right, tIntegerOp integerOp, tRealOp realOp) {
  tNUVVariant leftNumber = NumberOf(left);
  tNUVVariant rightNumber = NumberOf(right);
  if (leftNumber.vt == tvtInteger && rightNumber.vt == tvtInteger) {
    left.SetInteger(integerOp(leftNumber.Integer, rightNumber.Integer));
  } else {
    left.SetReal(realOp(leftNumber.AsReal(), rightNumber.AsReal()));
  }
}

}  // namespace

void tNUVVariant::LogicalOrAssign(const tNUVVariant& right) {
  bool result = AsBoolean() || right.AsBoolean();
  SetInteger(result ? 1 : 0);
}

void tNUVVariant::LogicalAndAssign(const tNUVVariant& right) {
  bool result = AsBoolean() && right.AsBoolean();
  SetInteger(result ? 1 : 0);
}

void tNUVVariant::BitOrAssign(const tNUVVariant& right) {
  int64_t left = AsInteger();
  SetInteger(left | right.AsInteger());
}

void tNUVVariant::BitXorAssign(const tNUVVariant& right) {
  int64_t left = AsInteger();
  SetInteger(left ^ right.AsInteger());
}

void tNUVVariant::BitAndAssign(const tNUVVariant& right) {
  int64_t left = AsInteger();
  SetInteger(left & right.AsInteger());
}

void tNUVVariant::ShiftRightAssign(const tNUVVariant& right) {
  int64_t left = AsInteger();
  uint32_t amount = ShiftAmount(right.AsInteger());
  SetInteger(amount >= 64 ? (left < 0 ? -1 : 0) : (left >> amount));
}

void tNUVVariant::LogicalShiftRightAssign(const tNUVVariant& right) {
  int64_t left = AsInteger();
  uint32_t amount = ShiftAmount(right.AsInteger());
  SetInteger(amount >= 64 ? 0 : static_cast<int64_t>(static_cast<uint64_t>(left) >> amount));
}

void tNUVVariant::ShiftLeftAssign(const tNUVVariant& right) {
  int64_t left = AsInteger();
  uint32_t amount = ShiftAmount(right.AsInteger());
  SetInteger(amount >= 64 ? 0 : static_cast<int64_t>(static_cast<uint64_t>(left) << amount));
}

// The most negative integer divided by -1 overflows; it wraps to itself with
// remainder 0 instead of trapping.
void tNUVVariant::ModuloAssign(const tNUVVariant& right) {
  int64_t divisor = right.AsInteger();
  int64_t dividend = AsInteger();
  if (divisor == 0) NUVThrowError(NUVDivideByZero);
  SetInteger(divisor == -1 ? 0 : dividend % divisor);
}

void tNUVVariant::IntegerDivideAssign(const tNUVVariant& right) {
  int64_t divisor = right.AsInteger();
  int64_t dividend = AsInteger();
  if (divisor == 0) NUVThrowError(NUVDivideByZero);
  SetInteger(divisor == -1 ? WrappingSubtract(0, dividend) : dividend / divisor);
}

void tNUVVariant::DivideAssign(const tNUVVariant& right) {
  double left = AsReal();
  SetReal(left / right.AsReal());
}

void tNUVVariant::MultiplyAssign(const tNUVVariant& right) {
  NumericAssign(*this, right, WrappingMultiply, [](double a, double b) { return a * b; });
}

void tNUVVariant::SubtractAssign(const tNUVVariant& right) {
  NumericAssign(*this, right, WrappingSubtract, [](double a, double b) { return a - b; });
}

void tNUVVariant::AddAssign(const tNUVVariant& right) {
  if (vt == tvtString || right.vt == tvtString) {
    if (vt == tvtString && right.vt == tvtString) {
      // right may be this very variant: hold its text before taking the body over.
      tNUVString tail = tNUVString::FromBody(right.String);
      tNUVString text = tNUVString::Adopt(String);
      vt = tvtVoid;
      String = nullptr;
      try {
        text += tail;
      } catch (...) {
        // A failed append leaves the text as it was: give it back to the left operand.
        String = text.Detach();
        vt = tvtString;
        throw;
      }
      *this = text;
      return;
    }
    tNUVString left = AsString();
    tNUVString tail = right.AsString();
    *this = left + tail;
    return;
  }
  if (vt == tvtOctet && right.vt == tvtOctet) {
    tNUVVariantOctet* joined = CreateJoinedOctet(Octet, right.Octet);
    Clear();
    vt = tvtOctet;
    Octet = joined;
    return;
  }
  if (vt == tvtInteger && right.vt == tvtInteger) {
    Integer = WrappingAdd(Integer, right.Integer);
    return;
  }
  if (vt == tvtVoid && (right.vt == tvtInteger || right.vt == tvtReal)) {
    *this = right;
    return;
  }
  if ((vt == tvtInteger || vt == tvtReal) && right.vt == tvtVoid) return;
  double left = AsReal();
  SetReal(left + right.AsReal());
}

void tNUVVariant::LogicalNot() { SetInteger(AsBoolean() ? 0 : 1); }

void tNUVVariant::BitNot() { SetInteger(~AsInteger()); }

void tNUVVariant::Negate() {
  tNUVVariant number = NumberOf(*this);
  if (number.vt == tvtInteger) SetInteger(WrappingSubtract(0, number.Integer));
  else SetReal(-number.Real);
}

void tNUVVariant::Increment() {
  if (vt == tvtString) ToNumber();
  switch (vt) {
    case tvtVoid: SetInteger(1); break;
    case tvtInteger: Integer = WrappingAdd(Integer, 1); break;
    case tvtReal: Real += 1.0; break;
    default: ThrowConvertError(*this, NUVTargetNumber);
  }
}

void tNUVVariant::Decrement() {
  if (vt == tvtString) ToNumber();
  switch (vt) {
    case tvtVoid: SetInteger(-1); break;
    case tvtInteger: Integer = WrappingSubtract(Integer, 1); break;
    case tvtReal: Real -= 1.0; break;
    default: ThrowConvertError(*this, NUVTargetNumber);
  }
}

void tNUVVariant::CharacterCode() {
  tNUVString text = AsString();
  SetInteger(text.IsEmpty() ? 0 : text[0]);
}

void tNUVVariant::CharacterFromCode() {
  char16_t unit = static_cast<char16_t>(AsInteger() & 0xFFFF);
  char16_t text[2] = {unit, 0};
  *this = tNUVString(text);
}

void tNUVVariant::ApplyOperationCode(uint32_t operation, const tNUVVariant* operand) {
  static const tNUVVariant none;
  const tNUVVariant& right = operand ? *operand : none;
  switch (operation) {
    case NUVOpBitAnd: BitAndAssign(right); break;
    case NUVOpBitOr: BitOrAssign(right); break;
    case NUVOpBitXor: BitXorAssign(right); break;
    case NUVOpSubtract: SubtractAssign(right); break;
    case NUVOpAdd: AddAssign(right); break;
    case NUVOpModulo: ModuloAssign(right); break;
    case NUVOpDivide: DivideAssign(right); break;
    case NUVOpIntegerDivide: IntegerDivideAssign(right); break;
    case NUVOpMultiply: MultiplyAssign(right); break;
    case NUVOpLogicalOr: LogicalOrAssign(right); break;
    case NUVOpLogicalAnd: LogicalAndAssign(right); break;
    case NUVOpShiftRight: ShiftRightAssign(right); break;
    case NUVOpShiftLeft: ShiftLeftAssign(right); break;
    case NUVOpLogicalShiftRight: LogicalShiftRightAssign(right); break;
    case NUVOpIncrement: Increment(); break;
    case NUVOpDecrement: Decrement(); break;
    default: break;
  }
}

}  // namespace NUV

