// Numbered exports on variants, octets, memory and value texts.
//
// Each export is a thin wrapper around one engine operation so that a host's
// variant record (tNUVVariant_S) is only ever created, changed and released by
// the library's own code. Constructors take uninitialised storage and do nothing
// for a null target; everything else expects valid pointers. Engine exceptions
// (conversion errors, division by zero) pass to the caller unchanged.
//
// Functions that make a new string return its body with one reference for the
// caller (null is the empty string).

#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/objects/dispatch.h"
#include "engine/values/variant.h"
#include "engine/values/variant_internal.h"
#include "environment/environment.h"
#include "environment/stored_records.h"

namespace NUV {

namespace {

using tV = tNUVVariant;

// Library heap: plain malloc, raising bad_alloc like operator new.
void* AllocateBlock(size_t size) {
  void* block = std::malloc(size ? size : 1);
  if (!block) throw std::bad_alloc();
  return block;
}

int64_t JoinHalves(uint32_t low, uint32_t high) {
  return static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
}

double RealFromBits(uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void RequireString(const tV* value) {
  if (value->vt != tvtString) VariantDetail::ThrowConvertError(*value, VariantDetail::NUVTargetString);
}

// result = left op right, computed on a copy so that result may alias an operand.
template <void (tV::*Operation)(const tV&)>
void Binary(tV* result, const tV* left, const tV* right) {
  tV value(*left);
  (value.*Operation)(*right);
  *result = std::move(value);
}

template <void (tV::*Operation)()>
void Unary(tV* result, const tV* operand) {
  tV value(*operand);
  (value.*Operation)();
  *result = std::move(value);
}

// Builds an octet body in the caller's storage from a heap body (which is freed).
void ConstructOctetInPlace(tNUVVariantOctet* target, tNUVVariantOctet* made) {
  target->RefCount = 1;
  target->Length = made ? made->Length : 0;
  target->Data = made ? made->Data : nullptr;
  delete made;
}

}  // namespace

extern "C" {

// The string record reader lives with the string exports.
tNUVVariantString* Mrvk_00D4_Export_Func(const uint8_t** cursor);

// Octet record: a 32-bit length, then the bytes; the cursor moves past it.
MRVK_EXPORT tNUVVariantOctet* Mrvk_00EF_Export_Func(const uint8_t** cursor) {
  uint32_t length = ReadRecordWord(cursor);
  if (length > INT32_MAX) throw std::bad_alloc();  // no octet can be that long
  tNUVVariantOctet* octet = CreateOctet(*cursor, static_cast<int32_t>(length));
  *cursor += length;
  return octet;
}

// Variant construction ----------------------------------------------------------------

MRVK_EXPORT void Mrvk_0000_Export_Func(tV* target, iNUVDispatch2* objThis) {
  target->SetObject(target->AsObject(), objThis);
}
MRVK_EXPORT void Mrvk_0001_Export_Func(tV* target) { if (target) new (target) tV(); }
MRVK_EXPORT void Mrvk_0002_Export_Func(tV* target, const tV* source) {
  if (target) new (target) tV(source ? *source : tV());
}
MRVK_EXPORT void Mrvk_0003_Export_Func(tV* target, iNUVDispatch2* object) {
  if (target) new (target) tV(object, nullptr);
}
MRVK_EXPORT void Mrvk_0004_Export_Func(tV* target, iNUVDispatch2* object, iNUVDispatch2* objThis) {
  if (target) new (target) tV(object, objThis);
}
MRVK_EXPORT void Mrvk_0005_Export_Func(tV* target, const char16_t* text) { if (target) new (target) tV(text); }
MRVK_EXPORT void Mrvk_0006_Export_Func(tV* target, const tNUVString* string) {
  if (target) new (target) tV(string ? *string : tNUVString());
}
MRVK_EXPORT void Mrvk_0007_Export_Func(tV* target, const char* text) { if (target) new (target) tV(text); }
MRVK_EXPORT void Mrvk_0008_Export_Func(tV* target, const uint8_t* bytes, int32_t length) {
  if (target) new (target) tV(bytes, length);
}
MRVK_EXPORT void Mrvk_0009_Export_Func(tV* target, uint8_t value) {
  if (target) new (target) tV(int64_t{value != 0});
}
MRVK_EXPORT void Mrvk_000A_Export_Func(tV* target, int32_t value) { if (target) new (target) tV(value); }
MRVK_EXPORT void Mrvk_000B_Export_Func(tV* target, uint32_t low, uint32_t high) {
  if (target) new (target) tV(JoinHalves(low, high));
}
MRVK_EXPORT void Mrvk_000C_Export_Func(tV* target, double value) { if (target) new (target) tV(value); }
MRVK_EXPORT void Mrvk_000D_Export_Func(tV* target, int32_t tag, const uint8_t** cursor) {
  if (!target) return;
  new (target) tV();
  switch (tag) {
    case tvtString: target->String = Mrvk_00D4_Export_Func(cursor); break;
    case tvtOctet: target->Octet = Mrvk_00EF_Export_Func(cursor); break;
    case tvtObject: {
      iNUVDispatch2* object;
      std::memcpy(&object, *cursor, sizeof object);
      // The variant owns a reference like every other object variant.
      if (object) object->AddRef();
      target->Object.Object = object;
      break;
    }
    case tvtInteger:
    case tvtReal: std::memcpy(&target->Integer, *cursor, sizeof target->Integer); break;
    default: return;  // void, and tags no value has: a void variant, nothing read
  }
  if (tag == tvtObject || tag == tvtInteger || tag == tvtReal) *cursor += 8;
  target->vt = tag;
}
// Ends the variant; freeRecord non-zero also frees a record from Mrvk_006B_Export_Func.
// Like every destructor it raises nothing: a failing finalizer is reported on the console.
MRVK_EXPORT void Mrvk_000E_Export_Func(tV* target, int32_t freeRecord) {
  if (!target) return;
  target->~tV();
  if (freeRecord) std::free(target);
}

// Queries ------------------------------------------------------------------------------

MRVK_EXPORT int32_t Mrvk_000F_Export_Func(const tV* value) { return value->vt; }
MRVK_EXPORT int32_t Mrvk_0077_Export_Func(const tV* value) { return value->vt; }
MRVK_EXPORT void Mrvk_0010_Export_Func(tV* target) { target->Clear(); }
MRVK_EXPORT tNUVVariantClosure_S Mrvk_0011_Export_Func(const tV* value) {
  tNUVVariantClosure closure = value->AsObjectClosure();
  closure.AddRef();
  return closure;
}
MRVK_EXPORT void Mrvk_0012_Export_Func(const tV* value) { value->AsObject(); }
MRVK_EXPORT iNUVDispatch2* Mrvk_0013_Export_Func(const tV* value) {
  iNUVDispatch2* object = value->AsObject();
  if (object) object->AddRef();
  return object;
}
MRVK_EXPORT iNUVDispatch2* Mrvk_0042_Export_Func(const tV* value) { return Mrvk_0013_Export_Func(value); }
MRVK_EXPORT iNUVDispatch2* Mrvk_0043_Export_Func(const tV* value) { return value->AsObject(); }
MRVK_EXPORT iNUVDispatch2* Mrvk_0044_Export_Func(const tV* value) {
  iNUVDispatch2* objThis = value->AsObjectThis();
  if (objThis) objThis->AddRef();
  return objThis;
}
MRVK_EXPORT iNUVDispatch2* Mrvk_0045_Export_Func(const tV* value) { return value->AsObjectThis(); }
MRVK_EXPORT tNUVVariantClosure_S* Mrvk_0046_Export_Func(tV* value) {
  value->AsObject();
  return &value->Object;
}
MRVK_EXPORT uint32_t* Mrvk_0015_Export_Func(const tV* value) {
  RequireString(value);
  return value->String ? &value->String->Hint : nullptr;
}
MRVK_EXPORT tNUVVariantString* Mrvk_0047_Export_Func(const tV* value) { return value->AsString().Detach(); }
MRVK_EXPORT tNUVVariantString* Mrvk_0048_Export_Func(const tV* value) {
  RequireString(value);
  return value->String;
}
MRVK_EXPORT const char16_t* Mrvk_0049_Export_Func(const tV* value) {
  RequireString(value);
  return value->String ? value->String->Text() : u"";
}
MRVK_EXPORT tNUVVariantOctet* Mrvk_004A_Export_Func(const tV* value) {
  tNUVVariantOctet* octet = value->AsOctet();
  AddRefOctet(octet);
  return octet;
}
MRVK_EXPORT tNUVVariantOctet* Mrvk_004B_Export_Func(const tV* value) { return value->AsOctet(); }
MRVK_EXPORT int64_t Mrvk_004C_Export_Func(const tV* value) { return value->AsInteger(); }
MRVK_EXPORT int64_t Mrvk_004E_Export_Func(const tV* value) { return value->AsInteger(); }
MRVK_EXPORT int64_t Mrvk_0050_Export_Func(const tV* value) { return value->AsInteger(); }
MRVK_EXPORT bool Mrvk_004F_Export_Func(const tV* value) { return value->AsBoolean(); }
MRVK_EXPORT double Mrvk_0051_Export_Func(const tV* value) { return value->AsReal(); }
MRVK_EXPORT double Mrvk_0052_Export_Func(const tV* value) { return value->AsReal(); }
MRVK_EXPORT void Mrvk_004D_Export_Func(const tV* value, tV* number) { Unary<&tV::ToNumber>(number, value); }

// Conversion in place and assignment -----------------------------------------------------

MRVK_EXPORT void Mrvk_0014_Export_Func(tV* value) { value->ToString(); }
MRVK_EXPORT void Mrvk_0016_Export_Func(tV* value) { value->ToOctet(); }
MRVK_EXPORT int64_t Mrvk_0017_Export_Func(tV* value) {
  value->ToInteger();
  return value->Integer;
}
MRVK_EXPORT double Mrvk_0018_Export_Func(tV* value) {
  value->ToReal();
  return value->Real;
}
MRVK_EXPORT tV* Mrvk_0019_Export_Func(tV* target, const tV* source) { return &(*target = *source); }
MRVK_EXPORT void Mrvk_001A_Export_Func(tV* target, const tV* source) { *target = *source; }
MRVK_EXPORT void Mrvk_001B_Export_Func(tV* target, iNUVDispatch2* object) { target->SetObject(object, nullptr); }
MRVK_EXPORT void Mrvk_001C_Export_Func(tV* target, iNUVDispatch2* object) { target->SetObject(object, nullptr); }
MRVK_EXPORT void Mrvk_001D_Export_Func(tV* target, iNUVDispatch2* object, iNUVDispatch2* objThis) {
  target->SetObject(object, objThis);
}
MRVK_EXPORT void Mrvk_001E_Export_Func(tV* target, const tNUVVariantClosure_S* closure) { *target = *closure; }
MRVK_EXPORT void Mrvk_001F_Export_Func(tV* target, tNUVVariantString* body) {
  *target = tNUVString::FromBody(body);
}
MRVK_EXPORT void Mrvk_0020_Export_Func(tV* target, tNUVVariantOctet* octet) { *target = octet; }
MRVK_EXPORT void Mrvk_0021_Export_Func(tV* target, const tNUVString* string) { *target = *string; }
MRVK_EXPORT void Mrvk_0022_Export_Func(tV* target, const char16_t* text) { *target = text; }
MRVK_EXPORT void Mrvk_0023_Export_Func(tV* target, const char* text) { *target = tV(text); }
MRVK_EXPORT void Mrvk_0024_Export_Func(tV* target, bool value) { *target = value; }
MRVK_EXPORT void Mrvk_0025_Export_Func(tV* target, int32_t value) { *target = value; }
MRVK_EXPORT void Mrvk_0026_Export_Func(tV* target, int64_t value) { *target = value; }
MRVK_EXPORT void Mrvk_0027_Export_Func(tV* target, double value) { *target = value; }

// Operators in place on the first variant -------------------------------------------------

#define NUV_IN_PLACE(number, operation) \
  MRVK_EXPORT void Mrvk_##number##_Export_Func(tV* target, const tV* right) { target->operation(*right); }
#define NUV_IN_PLACE_UNARY(number, operation) \
  MRVK_EXPORT void Mrvk_##number##_Export_Func(tV* target) { target->operation(); }

NUV_IN_PLACE(0028, LogicalOrAssign)
NUV_IN_PLACE(0029, LogicalAndAssign)
NUV_IN_PLACE(002A, BitOrAssign)
NUV_IN_PLACE_UNARY(002B, Increment)
NUV_IN_PLACE_UNARY(002C, Decrement)
NUV_IN_PLACE(002D, BitXorAssign)
NUV_IN_PLACE(002E, BitAndAssign)
NUV_IN_PLACE(002F, ShiftRightAssign)
NUV_IN_PLACE(0030, LogicalShiftRightAssign)
NUV_IN_PLACE(0031, ShiftLeftAssign)
NUV_IN_PLACE(0032, ModuloAssign)
NUV_IN_PLACE(0033, DivideAssign)
NUV_IN_PLACE(0034, IntegerDivideAssign)
NUV_IN_PLACE(0035, MultiplyAssign)
NUV_IN_PLACE_UNARY(0036, LogicalNot)
NUV_IN_PLACE_UNARY(0037, BitNot)
NUV_IN_PLACE_UNARY(0038, ToNumber)
NUV_IN_PLACE_UNARY(0039, Negate)
NUV_IN_PLACE(003A, SubtractAssign)
NUV_IN_PLACE(003B, AddAssign)

// Comparisons -----------------------------------------------------------------------------

#define NUV_COMPARE(number, expression) \
  MRVK_EXPORT bool Mrvk_##number##_Export_Func(const tV* left, const tV* right) { return expression; }

NUV_COMPARE(003C, left->NormalCompare(*right))
NUV_COMPARE(003D, left->DiscernCompare(*right))
NUV_COMPARE(003E, left->DiscernCompareStrictReal(*right))
NUV_COMPARE(003F, left->LessThan(*right))
NUV_COMPARE(0040, left->GreaterThan(*right))

// Operators writing into a result variant (result may be one of the operands) ----------------

#define NUV_INTO(number, operation) \
  MRVK_EXPORT void Mrvk_##number##_Export_Func(tV* result, const tV* left, const tV* right) { \
    Binary<&tV::operation>(result, left, right); \
  }
#define NUV_INTO_UNARY(number, operation) \
  MRVK_EXPORT void Mrvk_##number##_Export_Func(tV* result, const tV* operand) { \
    Unary<&tV::operation>(result, operand); \
  }
#define NUV_INTO_TEST(number, expression) \
  MRVK_EXPORT void Mrvk_##number##_Export_Func(tV* result, const tV* left, const tV* right) { \
    bool outcome = expression; \
    *result = int64_t{outcome}; \
  }

NUV_INTO_TEST(0053, left->AsBoolean() || right->AsBoolean())
NUV_INTO_TEST(0054, left->AsBoolean() && right->AsBoolean())
NUV_INTO(0055, BitOrAssign)
NUV_INTO(0056, BitXorAssign)
NUV_INTO(0057, BitAndAssign)
NUV_INTO_TEST(0058, !left->NormalCompare(*right))
NUV_INTO_TEST(0059, left->NormalCompare(*right))
NUV_INTO_TEST(005A, left->LessThan(*right))
NUV_INTO_TEST(005B, left->GreaterThan(*right))
NUV_INTO_TEST(005C, !left->GreaterThan(*right))
NUV_INTO_TEST(005D, !left->LessThan(*right))
NUV_INTO(005E, ShiftRightAssign)
NUV_INTO(005F, LogicalShiftRightAssign)
NUV_INTO(0060, ShiftLeftAssign)
NUV_INTO(0061, ModuloAssign)
NUV_INTO(0062, DivideAssign)
NUV_INTO(0063, IntegerDivideAssign)
NUV_INTO(0064, MultiplyAssign)
NUV_INTO_UNARY(0065, LogicalNot)
NUV_INTO_UNARY(0066, BitNot)
NUV_INTO(0067, SubtractAssign)
NUV_INTO_UNARY(0069, Negate)
NUV_INTO(006A, AddAssign)

// To number: integers and reals copied, strings parsed; anything else is a conversion error.
MRVK_EXPORT void Mrvk_0068_Export_Func(tV* result, const tV* operand) {
  if (operand->vt != tvtInteger && operand->vt != tvtReal && operand->vt != tvtString)
    VariantDetail::ThrowConvertError(*operand, VariantDetail::NUVTargetNumber);
  Unary<&tV::ToNumber>(result, operand);
}

MRVK_EXPORT void Mrvk_00FE_Export_Func(tV* target, uint32_t operation, const tV* operand) {
  target->ApplyOperationCode(operation, operand);
}
MRVK_EXPORT int32_t Mrvk_0041_Export_Func() { return 0; }

// Memory ------------------------------------------------------------------------------------

#define NUV_ALLOCATE(number) \
  MRVK_EXPORT void* Mrvk_##number##_Export_Func(size_t size) { return AllocateBlock(size); }
#define NUV_FREE(number) \
  MRVK_EXPORT void Mrvk_##number##_Export_Func(void* block) { std::free(block); }
#define NUV_PLACE(number) \
  MRVK_EXPORT void* Mrvk_##number##_Export_Func(size_t, void* place) { return place; }

NUV_ALLOCATE(006B)
NUV_FREE(006C)
NUV_ALLOCATE(006D)
NUV_FREE(006E)
NUV_PLACE(006F)
NUV_ALLOCATE(00AF)
NUV_FREE(00B0)
NUV_ALLOCATE(00B1)
NUV_FREE(00B2)
NUV_PLACE(00B3)

// 2^alignmentBits-aligned block (bits 0..16); the malloc'ed start sits just before it.
// Null when the alignment is out of range or memory cannot be had.
MRVK_EXPORT void* Mrvk_00DC_Export_Func(size_t size, int32_t alignmentBits) {
  if (alignmentBits < 0 || alignmentBits > 16) return nullptr;
  size_t alignment = size_t{1} << alignmentBits;
  if (alignment < alignof(void*)) alignment = alignof(void*);
  if (size > SIZE_MAX - alignment - sizeof(void*)) return nullptr;
  void* raw = std::malloc(size + alignment + sizeof(void*));
  if (!raw) return nullptr;
  uintptr_t start = reinterpret_cast<uintptr_t>(raw) + sizeof(void*);
  uintptr_t aligned = (start + alignment - 1) & ~(uintptr_t{alignment} - 1);
  reinterpret_cast<void**>(aligned)[-1] = raw;
  return reinterpret_cast<void*>(aligned);
}
MRVK_EXPORT void Mrvk_00DD_Export_Func(void* block) {
  if (block) std::free(static_cast<void**>(block)[-1]);
}

// Octet bodies --------------------------------------------------------------------------------
// 0070..0073 build and tear down a body in the caller's storage (end it with 0073);
// 00EC..00EF create bodies on the library's heap (end them with 0075 or 00F0).

MRVK_EXPORT void Mrvk_0070_Export_Func(tNUVVariantOctet* target, const uint8_t* bytes, int32_t length) {
  if (target) ConstructOctetInPlace(target, CreateOctet(bytes, length));
}
MRVK_EXPORT void Mrvk_0071_Export_Func(tNUVVariantOctet* target, const uint8_t* first, int32_t firstLength,
                                       const uint8_t* second, int32_t secondLength) {
  if (target) ConstructOctetInPlace(target, CreateJoinedOctet(first, firstLength, second, secondLength));
}
MRVK_EXPORT void Mrvk_0072_Export_Func(tNUVVariantOctet* target, const tNUVVariantOctet* first,
                                       const tNUVVariantOctet* second) {
  if (target) ConstructOctetInPlace(target, CreateJoinedOctet(first, second));
}
MRVK_EXPORT void Mrvk_0073_Export_Func(tNUVVariantOctet* target) {
  if (!target) return;
  std::free(target->Data);
  target->Data = nullptr;
  target->Length = 0;
}
MRVK_EXPORT int32_t Mrvk_0074_Export_Func(tNUVVariantOctet* octet) {
  AddRefOctet(octet);
  return octet ? octet->RefCount : 0;
}
MRVK_EXPORT void Mrvk_0075_Export_Func(tNUVVariantOctet* octet) { ReleaseOctet(octet); }
MRVK_EXPORT int32_t Mrvk_0076_Export_Func(const tNUVVariantOctet* octet) { return octet ? octet->RefCount : 0; }
MRVK_EXPORT tNUVVariantOctet* Mrvk_00EC_Export_Func(const uint8_t* bytes, int32_t length) {
  return CreateOctet(bytes, length);
}
MRVK_EXPORT tNUVVariantOctet* Mrvk_00ED_Export_Func(const uint8_t* first, int32_t firstLength,
                                                    const uint8_t* second, int32_t secondLength) {
  return CreateJoinedOctet(first, firstLength, second, secondLength);
}
MRVK_EXPORT tNUVVariantOctet* Mrvk_00EE_Export_Func(const tNUVVariantOctet* first, const tNUVVariantOctet* second) {
  return CreateJoinedOctet(first, second);
}
MRVK_EXPORT void Mrvk_00F0_Export_Func(tNUVVariantOctet* octet) { ReleaseOctet(octet); }

// Value texts and numbers --------------------------------------------------------------------

MRVK_EXPORT const char16_t* Mrvk_00D9_Export_Func(int32_t tag) { return tV::TypeName(tag); }
MRVK_EXPORT tNUVVariantString* Mrvk_00DA_Export_Func(const tV* value, int32_t limit) {
  return value->ReadableText(limit).Detach();
}
MRVK_EXPORT tNUVVariantString* Mrvk_00DB_Export_Func(const tV* value) { return value->TypedLiteralText().Detach(); }

// Bit-pattern classification: 0 finite, 1 NaN, 2 infinity, plus 8 for a set sign bit.
MRVK_EXPORT int32_t Mrvk_00DE_Export_Func(int32_t lowNonZero, uint32_t high) {
  int32_t sign = (high & 0x80000000u) ? 8 : 0;
  if ((high & 0x7FF00000u) != 0x7FF00000u) return sign;
  bool fraction = lowNonZero != 0 || (high & 0x000FFFFFu) != 0;
  return sign + (fraction ? 1 : 2);
}

// Upper-case hexadecimal of the low `digits` digits (1..8) of value, without padding.
MRVK_EXPORT tNUVVariantString* Mrvk_00E0_Export_Func(uint32_t value, int32_t digits) {
  if (digits < 1) digits = 1;
  if (digits < 8) value &= (uint32_t{1} << (4 * digits)) - 1;
  return tNUVString::ToHexText(value, 1).Detach();
}

// "<% 01 AB %>": the byte part of the octet's readable text.
MRVK_EXPORT tNUVVariantString* Mrvk_00F1_Export_Func(tNUVVariantOctet* octet) {
  tNUVString text = tV(octet).ReadableText(INT32_MAX);
  constexpr int32_t prefix = 7;  // "(octet)"
  return tNUVString(text.c_str() + prefix, text.GetLen() - prefix).Detach();
}
MRVK_EXPORT tNUVVariantString* Mrvk_00F2_Export_Func(const tV* value) {
  return ObjectToText(value->AsObject(), value->AsObjectThis()).Detach();
}
MRVK_EXPORT tNUVVariantString* Mrvk_00F3_Export_Func(uint32_t low, uint32_t high) {
  return IntegerToText(JoinHalves(low, high)).Detach();
}
MRVK_EXPORT tNUVVariantString* Mrvk_00F4_Export_Func(uint64_t bits) { return RealToText(RealFromBits(bits)).Detach(); }
MRVK_EXPORT tNUVVariantString* Mrvk_00F5_Export_Func(uint64_t bits) {
  return RealToHexText(RealFromBits(bits)).Detach();
}
MRVK_EXPORT int64_t Mrvk_00F6_Export_Func(const char16_t* text) { return ParseNumberText(text).AsInteger(); }
MRVK_EXPORT double Mrvk_00F7_Export_Func(const char16_t* text) { return ParseNumberText(text).AsReal(); }

}  // extern "C"

}  // namespace NUV
