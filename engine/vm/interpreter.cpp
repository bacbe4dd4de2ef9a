// Frame setup and the execution loop.
//
// The loop dispatches with computed gotos over a table generated from the one
// instruction list. Register and constant operands are byte offsets from the
// register base and the data area, and jump operands byte distances of code, so
// no operand is scaled at run time. The instructions that only move or combine
// plain values run inline with integer (and real) fast paths; everything that
// reaches the object interface, builds argument lists, enters a try region or
// raises lives out of line in interpreter_members.cpp and interpreter_calls.cpp,
// which keeps this function's native frame small for deep recursion.
//
// Which instructions may run script code (and so re-enter this loop, allocate
// frames, raise): every member access, call, new, eval, typeof of a member,
// chkins, inv, chkinv, addci, regmember, throw, and any instruction that converts
// or releases a value (a finalizer may run). The loop keeps no state that such a
// re-entry could invalidate: registers live in a frame that never moves, and the
// condition flag and ip are locals.

#include "engine/vm/interpreter.h"

#include <algorithm>
#include <type_traits>

#include "engine/objects/array.h"
#include "engine/platform/system.h"
#include "engine/services/call_tracer.h"
#include "engine/services/errors.h"
#include "engine/services/interrupt.h"
#include "engine/services/messages.h"
#include "engine/vm/code_context.h"
#include "engine/vm/direct_members.h"
#include "engine/vm/instructions.h"
#include "engine/vm/object_proxy.h"
#include "engine/vm/primitive_operations.h"
#include "engine/vm/runtime.h"
#include "engine/vm/variant_array_stack.h"

namespace NUV {

using namespace InterpreterDetail;

namespace InterpreterDetail {
int32_t ActivationDepthCounter = 0;

void RaiseTooDeep() { NUVThrowError(NUVStackOverflow); }
}  // namespace InterpreterDetail

int32_t NUVActivationDepth() { return ActivationDepthCounter; }

namespace {

// The slots of one frame: from the shared segmented stack when it can give them,
// else from the heap. The destructor empties every slot (a finalizer that raises
// is reported, not thrown: it may run while another exception unwinds) and gives
// the slots back.
class tFrame {
public:
  explicit tFrame(int32_t count) : Count(count) {
    tNUVVariantArrayStack* stack = NUVGetVariantArrayStack();
    if (stack) Slots = stack->Take(count);
    if (Slots) {
      Stack = stack;
    } else {
      Slots = new tNUVVariant[static_cast<size_t>(count)];
    }
  }
  tFrame(const tFrame&) = delete;
  tFrame& operator=(const tFrame&) = delete;
  ~tFrame() {
    for (tNUVVariant* slot = Slots; slot != Slots + Count; ++slot) {
      if (slot->IsPlain()) [[likely]] {
        slot->vt = tvtVoid;
      } else {
        slot->~tNUVVariant();
        ::new (slot) tNUVVariant();
      }
    }
    if (Stack) {
      Stack->Give(Count);
    } else {
      delete[] Slots;
    }
  }
  tNUVVariant* GetSlots() const { return Slots; }

private:
  tNUVVariant* Slots = nullptr;
  int32_t Count;
  tNUVVariantArrayStack* Stack = nullptr;
};

// The collapse parameter: a new Array holding the arguments from index first on.
[[gnu::noinline]] void FillCollapseParameter(tNUVVariant& slot, int32_t first, tNUVVariant** arguments,
                                             int32_t argumentCount) {
  iNUVDispatch2* array = CreateArrayObject();
  slot.SetObject(array, array);
  array->Release();
  for (int32_t i = first; i < argumentCount; ++i) {
    NUVThrowFromResultCode(array->SetMemberByNum(0, i - first, arguments[i], array));
  }
}

// Copies a value; two plain values are copied without touching reference counts.
inline void Assign(tNUVVariant& target, const tNUVVariant& source) {
  constexpr uint32_t plain = (1u << tvtVoid) | (1u << tvtInteger) | (1u << tvtReal);
  if ((((1u << target.vt) | (1u << source.vt)) & ~plain) == 0) {
    static_cast<tNUVVariant_S&>(target) = source;
    return;
  }
  target = source;
}

inline bool Truth(const tNUVVariant& value) {
  return value.vt == tvtInteger ? value.Integer != 0 : value.AsBoolean();
}

inline int64_t WrappingAdd(int64_t left, int64_t right) {
  return static_cast<int64_t>(static_cast<uint64_t>(left) + static_cast<uint64_t>(right));
}
inline int64_t WrappingSubtract(int64_t left, int64_t right) {
  return static_cast<int64_t>(static_cast<uint64_t>(left) - static_cast<uint64_t>(right));
}
inline int64_t WrappingMultiply(int64_t left, int64_t right) {
  return static_cast<int64_t>(static_cast<uint64_t>(left) * static_cast<uint64_t>(right));
}

// Numbers: an int or a real. Mixed operands combine as reals, as the general
// operators combine them.
static_assert(tvtReal == tvtInteger + 1 && (tvtInteger & 1) == 0);
inline bool IsNumber(const tNUVVariant& value) { return (value.vt & ~1) == tvtInteger; }
inline bool BothIntegers(const tNUVVariant& left, const tNUVVariant& right) {
  return left.vt == tvtInteger && right.vt == tvtInteger;
}
inline double RealOf(const tNUVVariant& value) {
  return value.vt == tvtReal ? value.Real : static_cast<double>(value.Integer);
}

// The arithmetic of operation on two numbers, into target: false (nothing done)
// for other operations or operands. operand is null for increment and decrement.
[[gnu::always_inline]] inline bool ApplyToNumber(uint32_t operation, tNUVVariant& target,
                                                 const tNUVVariant* operand) {
  if (!IsNumber(target)) return false;
  if (operation == NUVOpIncrement || operation == NUVOpDecrement) {
    const int64_t step = operation == NUVOpIncrement ? 1 : -1;
    if (target.vt == tvtInteger) {
      target.Integer = WrappingAdd(target.Integer, step);
    } else {
      target.Real += static_cast<double>(step);
    }
    return true;
  }
  if (!operand || !IsNumber(*operand)) return false;
  const bool integers = target.vt == tvtInteger && operand->vt == tvtInteger;
  switch (operation) {
    case NUVOpAdd:
      if (integers) target.Integer = WrappingAdd(target.Integer, operand->Integer);
      else target.Real = RealOf(target) + RealOf(*operand);
      break;
    case NUVOpSubtract:
      if (integers) target.Integer = WrappingSubtract(target.Integer, operand->Integer);
      else target.Real = RealOf(target) - RealOf(*operand);
      break;
    case NUVOpMultiply:
      if (integers) target.Integer = WrappingMultiply(target.Integer, operand->Integer);
      else target.Real = RealOf(target) * RealOf(*operand);
      break;
    case NUVOpDivide:
      target.Real = RealOf(target) / RealOf(*operand);
      target.vt = tvtReal;
      return true;
    default:
      return false;
  }
  if (!integers) target.vt = tvtReal;
  return true;
}

// Empties the two reserved slots (proxy and this) when they hold the global
// object without owning references, before the frame's clearing would release
// them; declared after the frame, it runs first.
struct tBorrowedReservedSlots {
  tNUVVariant* Proxy = nullptr;   // base[-2]; base[-1] follows it
  tBorrowedReservedSlots() = default;
  tBorrowedReservedSlots(const tBorrowedReservedSlots&) = delete;
  tBorrowedReservedSlots& operator=(const tBorrowedReservedSlots&) = delete;
  ~tBorrowedReservedSlots() {
    if (Proxy) Proxy[0].vt = Proxy[1].vt = tvtVoid;
  }
};

}  // namespace

void NUVRunAsFunction(tNUVInterCodeContext* context, iNUVDispatch2* thisObject, tNUVVariant** arguments,
                      int32_t argumentCount, tNUVVariant* result, int32_t startIp) {
  iNUVRuntime* runtime = context->GetOwner()->GetRuntime();
  RunWithGlobal(context, thisObject, runtime ? runtime->GetGlobalNoAddRef() : nullptr, arguments, argumentCount,
                result, startIp);
}

void InterpreterDetail::RunWithGlobal(tNUVInterCodeContext* context, iNUVDispatch2* thisObject,
                                      tNUVCustomObject* global, tNUVVariant** arguments, int32_t argumentCount,
                                      tNUVVariant* result, int32_t startIp) {
  // Recursion without loops reaches the host's stop request here.
  NUVInterruptCheckPoint();
  tActivationDepthGuard depth;
  const int32_t locals = context->GetLocalSlotCount();
  const int32_t reserved = context->GetReservedCount();
  // Declared before the frame, so it outlives the register that points at it.
  tNUVObjectProxy proxy(thisObject, global);
  // Also before the frame: finalizers that run when the registers are cleared see
  // this activation in their call history.
  tNUVTracedActivation traced(context, false);
  tFrame frame(locals + reserved + 1 + context->GetFrameRegisterCount());
  tNUVVariant* base = frame.GetSlots() + locals + reserved;
  tBorrowedReservedSlots borrowedSlots;

  if (reserved >= 2) {
    // Both slots are void: the values are placed directly, with the references
    // the variants own taken by hand. The proxy counts no references.
    tNUVVariant& proxySlot = base[-2];
    tNUVVariant& thisSlot = base[-1];
    if (thisObject && thisObject == global) {
      // With the global object as this the proxy would relay every operation to
      // it, with itself as this: it stands in both slots itself. The engine keeps
      // it while code runs, so the slots hold no references, like the proxy.
      proxySlot.Object.Object = proxySlot.Object.ObjThis = global;
      borrowedSlots.Proxy = &proxySlot;
    } else if (thisObject) {
      proxySlot.Object.Object = &proxy;
      proxySlot.Object.ObjThis = nullptr;
      thisObject->AddRef();
      thisObject->AddRef();
    } else if (global) {
      global->AddRef();
      global->AddRef();
      proxySlot.Object.Object = proxySlot.Object.ObjThis = global;
    } else {
      proxySlot.Object.Object = proxySlot.Object.ObjThis = nullptr;
    }
    proxySlot.vt = tvtObject;
    thisSlot.Object.Object = thisSlot.Object.ObjThis = thisObject;
    thisSlot.vt = tvtObject;
  }

  // The frame's slots are void already: parameters without an argument stay so.
  const int32_t copied = std::min(argumentCount, context->GetArgCount());
  for (int32_t i = 0; i < copied; ++i) Assign(base[-(i + reserved + 1)], *arguments[i]);
  const int32_t collapseBase = context->GetCollapseBase();
  if (collapseBase >= 0) [[unlikely]] {
    FillCollapseParameter(base[-(collapseBase + reserved + 1)], collapseBase, arguments, argumentCount);
  }

  const tActivation activation{context, base,       arguments,           argumentCount,
                               result,  thisObject, global, context->GetMemberCaches()};
  RunCode(activation, startIp, false);
}

namespace {

// A read-modify-write of a named member: numbers in a member the cache answers
// for are combined right here, everything else out of line.
[[gnu::always_inline]] inline void ApplyToNamedMemberFast(const tActivation& activation, const int32_t* ip,
                                                          uint32_t operation, const tNUVVariant* operand) {
  const tNUVVariant& name = *reinterpret_cast<const tNUVVariant*>(
      reinterpret_cast<const char*>(activation.Context->GetData().data()) + ip[3]);
  const tCachedMember hit =
      FindCachedPlainMember(Register(activation, ip[2]), name, MemberCacheAt(activation, ip[3]), activation);
  if (hit.Owner && ApplyToNumber(operation, hit.Symbol->Value, operand)) {
    if (ip[1] != 0) Register(activation, ip[1]) = hit.Symbol->Value;
    return;
  }
  ApplyToNamedMember(activation, ip, operation, operand);
}

// Stands in for tNUVTracedLoop in the loop that runs while calls are not traced.
struct tUntracedLoop {
  constexpr tUntracedLoop(const int32_t*, const int32_t* const*) {}
};

}  // namespace

template <bool Traced>
int32_t InterpreterDetail::RunLoop(const tActivation& activation, int32_t startIp, bool tryRegion) {
  static void* const Dispatch[] = {NUV_VM_INSTRUCTIONS(NUV_VM_DISPATCH_ENTRY)};

  tNUVInterCodeContext* const context = activation.Context;
  const std::vector<int32_t>& codeArea = context->GetCode();
  // A context without code (a property itself) has nothing to run.
  if (startIp < 0 || startIp >= static_cast<int32_t>(codeArea.size())) return startIp;
  const int32_t* const code = codeArea.data();
  char* const registers = reinterpret_cast<char*>(activation.Base);
  const char* const data = reinterpret_cast<const char*>(context->GetData().data());
  const int32_t* ip = code + startIp;
  bool flag = false;
  [[maybe_unused]] std::conditional_t<Traced, tNUVTracedLoop, tUntracedLoop> tracedLoop(code, &ip);

// A register or constant operand addresses its slot by adding the operand.
#define NUV_R(operand) (*reinterpret_cast<tNUVVariant*>(registers + (operand)))
#define NUV_K(operand) (*reinterpret_cast<const tNUVVariant*>(data + (operand)))
#define NUV_JUMP_TARGET(operand) \
  reinterpret_cast<const int32_t*>(reinterpret_cast<const char*>(ip) + (operand))
#define NUV_DISPATCH()                                          \
  do {                                                          \
    uint32_t opcode = static_cast<uint32_t>(*ip);               \
    if (opcode >= static_cast<uint32_t>(NUVOpcodeCount)) [[unlikely]] goto InvalidOpcode; \
    goto* Dispatch[opcode];                                     \
  } while (0)
#define NUV_NEXT(length) \
  do {                   \
    ip += (length);      \
    NUV_DISPATCH();      \
  } while (0)
// The member forms of an arithmetic family: operand a is the last operand word.
#define NUV_MEMBER_FORMS(NAME, operation)                                          \
  NUV_VM_LABEL(NAME##PD) : ApplyToNamedMemberFast(activation, ip, operation, &NUV_R(ip[4]));   \
  NUV_NEXT(5);                                                                     \
  NUV_VM_LABEL(NAME##PI) : ApplyToIndexedMember(activation, ip, operation, &NUV_R(ip[4])); \
  NUV_NEXT(5);                                                                     \
  NUV_VM_LABEL(NAME##P) : ApplyToProperty(activation, ip, operation, &NUV_R(ip[3]));       \
  NUV_NEXT(4);
// An operator with an inline path for two integers when usable holds: the
// integer result, else the general operator.
#define NUV_INTEGER_BINARY(NAME, operation, Method, usable, result) \
  NUV_VM_LABEL(NAME) : {                                           \
    tNUVVariant& left = NUV_R(ip[1]);                              \
    const tNUVVariant& right = NUV_R(ip[2]);                       \
    if (BothIntegers(left, right) && (usable)) {                   \
      left.Integer = (result);                                     \
    } else {                                                       \
      left.Method(right);                                          \
    }                                                              \
    NUV_NEXT(3);                                                   \
  }                                                                \
  NUV_MEMBER_FORMS(NAME, operation)
// An arithmetic operator: wrapping on two integers, op on two reals, mixed
// numbers as reals, anything else through the general operator.
#define NUV_NUMBER_BINARY(NAME, operation, Method, IntegerOperation, op)  \
  NUV_VM_LABEL(NAME) : {                                                  \
    tNUVVariant& left = NUV_R(ip[1]);                                     \
    const tNUVVariant& right = NUV_R(ip[2]);                              \
    if (BothIntegers(left, right)) {                                      \
      left.Integer = IntegerOperation(left.Integer, right.Integer);        \
    } else if (left.vt == tvtReal && right.vt == tvtReal) {               \
      left.Real = left.Real op right.Real;                                \
    } else if (!ApplyToNumber(operation, left, &right)) {                 \
      left.Method(right);                                                 \
    }                                                                     \
    NUV_NEXT(3);                                                          \
  }                                                                       \
  NUV_MEMBER_FORMS(NAME, operation)
// A binary operator without a fast path.
#define NUV_GENERAL_BINARY(NAME, operation, Method) \
  NUV_VM_LABEL(NAME) : NUV_R(ip[1]).Method(NUV_R(ip[2]));  \
  NUV_NEXT(3);                                      \
  NUV_MEMBER_FORMS(NAME, operation)

  try {
    NUV_DISPATCH();

  NUV_VM_LABEL(NOP):
    NUV_NEXT(1);
  NUV_VM_LABEL(CONST):
    Assign(NUV_R(ip[1]), NUV_K(ip[2]));
    NUV_NEXT(3);
  NUV_VM_LABEL(CP):
    Assign(NUV_R(ip[1]), NUV_R(ip[2]));
    NUV_NEXT(3);
  NUV_VM_LABEL(CL):
    NUV_R(ip[1]).Clear();
    NUV_NEXT(2);
  NUV_VM_LABEL(CCL): {
    tNUVVariant* first = &NUV_R(ip[1]);
    for (int32_t i = 0; i < ip[2]; ++i) first[i].Clear();
    NUV_NEXT(3);
  }
  NUV_VM_LABEL(TT):
    flag = Truth(NUV_R(ip[1]));
    NUV_NEXT(2);
  NUV_VM_LABEL(TF):
    flag = !Truth(NUV_R(ip[1]));
    NUV_NEXT(2);
  NUV_VM_LABEL(CEQ): {
    const tNUVVariant& left = NUV_R(ip[1]);
    const tNUVVariant& right = NUV_R(ip[2]);
    flag = (left.vt == tvtInteger && right.vt == tvtInteger) ? left.Integer == right.Integer
                                                              : left.NormalCompare(right);
    NUV_NEXT(3);
  }
  NUV_VM_LABEL(CDEQ):
    flag = NUV_R(ip[1]).DiscernCompare(NUV_R(ip[2]));
    NUV_NEXT(3);
  NUV_VM_LABEL(CLT): {
    const tNUVVariant& left = NUV_R(ip[1]);
    const tNUVVariant& right = NUV_R(ip[2]);
    flag = (left.vt == tvtInteger && right.vt == tvtInteger) ? left.Integer < right.Integer : left.LessThan(right);
    NUV_NEXT(3);
  }
  NUV_VM_LABEL(CGT): {
    const tNUVVariant& left = NUV_R(ip[1]);
    const tNUVVariant& right = NUV_R(ip[2]);
    flag = (left.vt == tvtInteger && right.vt == tvtInteger) ? left.Integer > right.Integer
                                                              : left.GreaterThan(right);
    NUV_NEXT(3);
  }
  NUV_VM_LABEL(SETF):
    NUV_R(ip[1]).SetInteger(flag ? 1 : 0);
    NUV_NEXT(2);
  NUV_VM_LABEL(SETNF):
    NUV_R(ip[1]).SetInteger(flag ? 0 : 1);
    NUV_NEXT(2);
  NUV_VM_LABEL(LNOT): {
    tNUVVariant& value = NUV_R(ip[1]);
    if (value.vt == tvtInteger) {
      value.Integer = value.Integer == 0 ? 1 : 0;
    } else {
      value.LogicalNot();
    }
    NUV_NEXT(2);
  }
  NUV_VM_LABEL(NF):
    flag = !flag;
    NUV_NEXT(1);
  NUV_VM_LABEL(JF):
    if (flag) {
      if (ip[1] <= 0) NUVInterruptCheckPoint();
      ip = NUV_JUMP_TARGET(ip[1]);
      NUV_DISPATCH();
    }
    NUV_NEXT(2);
  NUV_VM_LABEL(JNF):
    if (!flag) {
      if (ip[1] <= 0) NUVInterruptCheckPoint();
      ip = NUV_JUMP_TARGET(ip[1]);
      NUV_DISPATCH();
    }
    NUV_NEXT(2);
  NUV_VM_LABEL(JMP):
    // Backward jumps are where loops go round: the host may stop the script here.
    if (ip[1] <= 0) NUVInterruptCheckPoint();
    ip = NUV_JUMP_TARGET(ip[1]);
    NUV_DISPATCH();
  NUV_VM_LABEL(INC): {
    tNUVVariant& value = NUV_R(ip[1]);
    if (value.vt == tvtInteger) {
      value.Integer = WrappingAdd(value.Integer, 1);
    } else if (value.vt == tvtReal) {
      value.Real += 1.0;
    } else {
      value.Increment();
    }
    NUV_NEXT(2);
  }
  NUV_VM_LABEL(INCPD):
    ApplyToNamedMemberFast(activation, ip, NUVOpIncrement, nullptr);
    NUV_NEXT(4);
  NUV_VM_LABEL(INCPI):
    ApplyToIndexedMember(activation, ip, NUVOpIncrement, nullptr);
    NUV_NEXT(4);
  NUV_VM_LABEL(INCP):
    ApplyToProperty(activation, ip, NUVOpIncrement, nullptr);
    NUV_NEXT(3);
  NUV_VM_LABEL(DEC): {
    tNUVVariant& value = NUV_R(ip[1]);
    if (value.vt == tvtInteger) {
      value.Integer = WrappingSubtract(value.Integer, 1);
    } else if (value.vt == tvtReal) {
      value.Real -= 1.0;
    } else {
      value.Decrement();
    }
    NUV_NEXT(2);
  }
  NUV_VM_LABEL(DECPD):
    ApplyToNamedMemberFast(activation, ip, NUVOpDecrement, nullptr);
    NUV_NEXT(4);
  NUV_VM_LABEL(DECPI):
    ApplyToIndexedMember(activation, ip, NUVOpDecrement, nullptr);
    NUV_NEXT(4);
  NUV_VM_LABEL(DECP):
    ApplyToProperty(activation, ip, NUVOpDecrement, nullptr);
    NUV_NEXT(3);

    NUV_GENERAL_BINARY(LOR, NUVOpLogicalOr, LogicalOrAssign)
    NUV_GENERAL_BINARY(LAND, NUVOpLogicalAnd, LogicalAndAssign)
    NUV_INTEGER_BINARY(BOR, NUVOpBitOr, BitOrAssign, true, left.Integer | right.Integer)
    NUV_INTEGER_BINARY(BXOR, NUVOpBitXor, BitXorAssign, true, left.Integer ^ right.Integer)
    NUV_INTEGER_BINARY(BAND, NUVOpBitAnd, BitAndAssign, true, left.Integer & right.Integer)
    // Shifts by 0..63 (the general operators take the amount's low byte and give
    // 0, or -1, for 64 and more).
    NUV_INTEGER_BINARY(SAR, NUVOpShiftRight, ShiftRightAssign, (right.Integer & 0xFF) < 64,
                       left.Integer >> (right.Integer & 0xFF))
    NUV_INTEGER_BINARY(SAL, NUVOpShiftLeft, ShiftLeftAssign, (right.Integer & 0xFF) < 64,
                       static_cast<int64_t>(static_cast<uint64_t>(left.Integer) << (right.Integer & 0xFF)))
    NUV_INTEGER_BINARY(SR, NUVOpLogicalShiftRight, LogicalShiftRightAssign, (right.Integer & 0xFF) < 64,
                       static_cast<int64_t>(static_cast<uint64_t>(left.Integer) >> (right.Integer & 0xFF)))
    NUV_NUMBER_BINARY(ADD, NUVOpAdd, AddAssign, WrappingAdd, +)
    NUV_NUMBER_BINARY(SUB, NUVOpSubtract, SubtractAssign, WrappingSubtract, -)
    NUV_NUMBER_BINARY(MUL, NUVOpMultiply, MultiplyAssign, WrappingMultiply, *)
    // Remainder and division; a zero or -1 divisor takes the general path (the
    // error, and the wrapping of the most negative integer).
    NUV_INTEGER_BINARY(MOD, NUVOpModulo, ModuloAssign, right.Integer != 0 && right.Integer != -1,
                       left.Integer % right.Integer)
    NUV_INTEGER_BINARY(IDIV, NUVOpIntegerDivide, IntegerDivideAssign, right.Integer != 0 && right.Integer != -1,
                       left.Integer / right.Integer)
  NUV_VM_LABEL(DIV):
    if (!ApplyToNumber(NUVOpDivide, NUV_R(ip[1]), &NUV_R(ip[2]))) NUV_R(ip[1]).DivideAssign(NUV_R(ip[2]));
    NUV_NEXT(3);
    NUV_MEMBER_FORMS(DIV, NUVOpDivide)

  NUV_VM_LABEL(BNOT): {
    tNUVVariant& value = NUV_R(ip[1]);
    if (value.vt == tvtInteger) {
      value.Integer = ~value.Integer;
    } else {
      value.BitNot();
    }
    NUV_NEXT(2);
  }
  NUV_VM_LABEL(TYPEOF):
    NUV_R(ip[1]) = NUVTypeOfName(NUV_R(ip[1]));
    NUV_NEXT(2);
  NUV_VM_LABEL(TYPEOFD):
    TypeOfNamedMember(activation, ip);
    NUV_NEXT(4);
  NUV_VM_LABEL(TYPEOFI):
    TypeOfIndexedMember(activation, ip);
    NUV_NEXT(4);
  NUV_VM_LABEL(EVAL):
    Evaluate(activation, ip, true);
    NUV_NEXT(2);
  NUV_VM_LABEL(EEXP):
    Evaluate(activation, ip, false);
    NUV_NEXT(2);
  NUV_VM_LABEL(CHKINS):
    CheckInstance(activation, ip);
    NUV_NEXT(3);
  NUV_VM_LABEL(ASC):
    NUV_R(ip[1]).CharacterCode();
    NUV_NEXT(2);
  NUV_VM_LABEL(CHR):
    NUV_R(ip[1]).CharacterFromCode();
    NUV_NEXT(2);
  NUV_VM_LABEL(NUM):
    NUV_R(ip[1]).ToNumber();
    NUV_NEXT(2);
  NUV_VM_LABEL(CHS): {
    tNUVVariant& value = NUV_R(ip[1]);
    if (value.vt == tvtInteger) {
      value.Integer = WrappingSubtract(0, value.Integer);
    } else if (value.vt == tvtReal) {
      value.Real = -value.Real;
    } else {
      value.Negate();
    }
    NUV_NEXT(2);
  }
  NUV_VM_LABEL(INV):
    InvalidateObject(activation, ip);
    NUV_NEXT(2);
  NUV_VM_LABEL(CHKINV):
    CheckValid(activation, ip);
    NUV_NEXT(2);
  NUV_VM_LABEL(INT):
    if (NUV_R(ip[1]).vt != tvtInteger) NUV_R(ip[1]).ToInteger();
    NUV_NEXT(2);
  NUV_VM_LABEL(REAL):
    if (NUV_R(ip[1]).vt != tvtReal) NUV_R(ip[1]).ToReal();
    NUV_NEXT(2);
  NUV_VM_LABEL(STR):
    NUV_R(ip[1]).ToString();
    NUV_NEXT(2);
  NUV_VM_LABEL(OCTET):
    NUV_R(ip[1]).ToOctet();
    NUV_NEXT(2);
  NUV_VM_LABEL(CALLD): {
    const int32_t* next = CallCachedFunction(activation, ip);
    ip = next ? next : ExecuteCall(activation, ip);
    NUV_DISPATCH();
  }
  NUV_VM_LABEL(CALL):
  NUV_VM_LABEL(CALLI):
  NUV_VM_LABEL(NEW):
    ip = ExecuteCall(activation, ip);
    NUV_DISPATCH();
  NUV_VM_LABEL(GPD): {
    const tCachedMember hit =
        FindCachedPlainMember(NUV_R(ip[2]), NUV_K(ip[3]), MemberCacheAt(activation, ip[3]), activation);
    if (hit.Owner) {
      if (ip[1] != 0) NUV_R(ip[1]) = hit.Symbol->Value;
    } else {
      GetNamedMember(activation, ip, 0);
    }
    NUV_NEXT(4);
  }
  NUV_VM_LABEL(SPD): {
    const tCachedMember hit =
        FindCachedPlainMember(NUV_R(ip[1]), NUV_K(ip[2]), MemberCacheAt(activation, ip[2]), activation);
    if (hit.Owner) {
      hit.Owner->StoreFoundMember(*hit.Symbol, 0, NUV_R(ip[3]));
    } else {
      SetNamedMember(activation, ip, 0);
    }
    NUV_NEXT(4);
  }
  NUV_VM_LABEL(SPDE):
    SetNamedMember(activation, ip, NUVMemberEnsure);
    NUV_NEXT(4);
  NUV_VM_LABEL(SPDEH):
    SetNamedMember(activation, ip, NUVMemberEnsure | NUVHiddenMember);
    NUV_NEXT(4);
  NUV_VM_LABEL(GPI): {
    // An element of an engine array by integer index, read as itself.
    const tNUVVariant& receiver = NUV_R(ip[2]);
    const tNUVVariant& key = NUV_R(ip[3]);
    if (receiver.vt == tvtObject && receiver.Object.Object && key.vt == tvtInteger &&
        receiver.Object.Object->Reserved2() == NUVEngineKindArray) {
      const tNUVVariant* element = static_cast<tNUVArrayObject*>(receiver.Object.Object)
                                       ->FindElement(static_cast<int32_t>(key.Integer));
      if (element && IsPlainMemberValue(*element)) {
        if (ip[1] != 0) NUV_R(ip[1]) = *element;
        NUV_NEXT(4);
      }
    }
    GetIndexedMember(activation, ip, 0);
    NUV_NEXT(4);
  }
  NUV_VM_LABEL(SPI):
    SetIndexedMember(activation, ip, 0);
    NUV_NEXT(4);
  NUV_VM_LABEL(SPIE):
    SetIndexedMember(activation, ip, NUVMemberEnsure);
    NUV_NEXT(4);
  NUV_VM_LABEL(GPDS):
    GetNamedMember(activation, ip, NUVIgnoreProperty);
    NUV_NEXT(4);
  NUV_VM_LABEL(SPDS):
    SetNamedMember(activation, ip, NUVMemberEnsure | NUVIgnoreProperty);
    NUV_NEXT(4);
  NUV_VM_LABEL(GPIS):
    GetIndexedMember(activation, ip, NUVIgnoreProperty);
    NUV_NEXT(4);
  NUV_VM_LABEL(SPIS):
    SetIndexedMember(activation, ip, NUVMemberEnsure | NUVIgnoreProperty);
    NUV_NEXT(4);
  NUV_VM_LABEL(SETP):
    SetProperty(activation, ip);
    NUV_NEXT(3);
  NUV_VM_LABEL(GETP):
    GetProperty(activation, ip);
    NUV_NEXT(3);
  NUV_VM_LABEL(DELD):
    DeleteNamedMember(activation, ip);
    NUV_NEXT(4);
  NUV_VM_LABEL(DELI):
    DeleteIndexedMember(activation, ip);
    NUV_NEXT(4);
  NUV_VM_LABEL(SRV):
    if (activation.Result) Assign(*activation.Result, NUV_R(ip[1]));
    NUV_NEXT(2);
  NUV_VM_LABEL(RET):
  NUV_VM_LABEL(EXTRY):
    return static_cast<int32_t>(ip + 1 - code);
  NUV_VM_LABEL(ENTRY):
    ip = ExecuteTryRegion(activation, ip);
    NUV_DISPATCH();
  NUV_VM_LABEL(THROW):
    ExecuteThrow(activation, ip);
  NUV_VM_LABEL(CHGTHIS):
    ChangeThis(activation, ip);
    NUV_NEXT(3);
  NUV_VM_LABEL(GLOBAL):
    NUV_R(ip[1]).SetObject(activation.Global, activation.Global);
    NUV_NEXT(2);
  NUV_VM_LABEL(ADDCI):
    AddClassName(activation, ip);
    NUV_NEXT(3);
  NUV_VM_LABEL(REGMEMBER):
    CopyClassMembers(activation);
    NUV_NEXT(1);
  NUV_VM_LABEL(DEBUGGER):
    Platform::BreakIntoDebugger();
    NUV_NEXT(1);

  InvalidOpcode:
    NUVThrowError(NUVInvalidOpecode);
  } catch (...) {
    // A try region's own loop converts too: the error leaves that loop (with the
    // dump and its trace entry) before the entry handler catches it.
    static_cast<void>(tryRegion);
    ConvertEscapingException(activation, static_cast<int32_t>(ip - code));
  }

#undef NUV_GENERAL_BINARY
#undef NUV_NUMBER_BINARY
#undef NUV_INTEGER_BINARY
#undef NUV_MEMBER_FORMS
#undef NUV_NEXT
#undef NUV_DISPATCH
#undef NUV_JUMP_TARGET
#undef NUV_K
#undef NUV_R
}

template int32_t InterpreterDetail::RunLoop<false>(const tActivation&, int32_t, bool);
template int32_t InterpreterDetail::RunLoop<true>(const tActivation&, int32_t, bool);

}  // namespace NUV
