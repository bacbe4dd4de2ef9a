#pragma once
// tNUVVariant: the one value type of the script language.
//
// Every register, constant, member value, argument and result is a variant: a
// value area and a type tag (0 void, 1 object, 2 string, 3 octet, 4 int, 5 real).
// A variant owns one reference of what its value area points to: for objects one
// reference of the object and one of its bound this (objthis, may be null), for
// strings and octets one body reference. Assignment secures the new value before it
// releases the old one, so assigning a variant to itself is safe. The value area is
// 16 bytes (two pointers); arrays of variants use sizeof(tNUVVariant) as stride.
//
// Failed conversions raise eNUVVariantError; the in-place binary operators convert
// before they release the left operand's old value wherever the operation allows.

#include <concepts>
#include <cstdint>

#include "engine/objects/dispatch_interface.h"
#include "engine/values/nuv_string.h"
#include "engine/values/octet.h"

namespace NUV {

enum tNUVVariantType : int32_t {
  tvtVoid = 0,
  tvtObject = 1,
  tvtString = 2,
  tvtOctet = 3,
  tvtInteger = 4,
  tvtReal = 5,
};

// An object value: the object and the this it is bound to.
struct tNUVVariantClosure_S {
  iNUVDispatch2* Object;
  iNUVDispatch2* ObjThis;
};

class tNUVVariantClosure : public tNUVVariantClosure_S {
public:
  tNUVVariantClosure() { Object = ObjThis = nullptr; }
  tNUVVariantClosure(iNUVDispatch2* object, iNUVDispatch2* objThis = nullptr) {
    Object = object;
    ObjThis = objThis;
  }
  tNUVVariantClosure(const tNUVVariantClosure_S& other) { Object = other.Object; ObjThis = other.ObjThis; }
  void AddRef() const { if (Object) Object->AddRef(); if (ObjThis) ObjThis->AddRef(); }
  // Releases both references (the closure itself keeps the pointers).
  void Release() const {
    iNUVDispatch2* object = Object;
    iNUVDispatch2* objThis = ObjThis;
    if (objThis) {
      try {
        objThis->Release();
      } catch (...) {
        // A failing finalizer of objthis must not leak the object's reference.
        if (object) object->Release();
        throw;
      }
    }
    if (object) object->Release();
  }
};

// 32-bit Windows: an 8-byte value area and the tag, packed to 12 bytes.
#if defined(_WIN32) && !defined(_WIN64)
#pragma pack(push, 4)
#endif
struct tNUVVariant_S {
  union {
    tNUVVariantClosure_S Object;
    tNUVVariantString* String;
    tNUVVariantOctet* Octet;
    int64_t Integer;
    double Real;
  };
  int32_t vt;
};
#if defined(_WIN32) && !defined(_WIN64)
#pragma pack(pop)
static_assert(sizeof(tNUVVariant_S) == 12, "a variant is 12 bytes on 32-bit Windows");
#endif

class tNUVVariant : public tNUVVariant_S {
public:
  // Construction --------------------------------------------------------------
  tNUVVariant() { Object.Object = Object.ObjThis = nullptr; vt = tvtVoid; }
  tNUVVariant(const tNUVVariant& other) {
    static_cast<tNUVVariant_S&>(*this) = other;
    if (!IsPlain()) AddRefContent();
  }
  tNUVVariant(tNUVVariant&& other) noexcept {
    static_cast<tNUVVariant_S&>(*this) = other;
    other.vt = tvtVoid;
    other.Object.Object = other.Object.ObjThis = nullptr;
  }
  explicit tNUVVariant(iNUVDispatch2* object, iNUVDispatch2* objThis = nullptr);
  tNUVVariant(const tNUVVariantClosure_S& closure) : tNUVVariant(closure.Object, closure.ObjThis) {}
  tNUVVariant(const tNUVString& string) {
    ZeroValue();
    vt = tvtString;
    String = string.AddRefBody();
  }
  tNUVVariant(const char16_t* text) { ZeroValue(); vt = tvtString; String = CreateStringBody(text); }
  explicit tNUVVariant(const char* narrow) {
    ZeroValue();
    String = CreateStringBodyFromNarrow(narrow);
    vt = tvtString;
  }
  // Takes a new reference of the octet body.
  explicit tNUVVariant(tNUVVariantOctet* octet) {
    ZeroValue();
    vt = tvtOctet;
    Octet = octet;
    AddRefOctet(octet);
  }
  tNUVVariant(const uint8_t* bytes, int32_t length) {
    ZeroValue();
    Octet = CreateOctet(bytes, length);
    vt = tvtOctet;
  }
  tNUVVariant(int32_t value) { ZeroValue(); vt = tvtInteger; Integer = value; }
  tNUVVariant(int64_t value) { ZeroValue(); vt = tvtInteger; Integer = value; }
  tNUVVariant(double value) { ZeroValue(); vt = tvtReal; Real = value; }
  // Exactly bool: a pointer (narrow text, an object of a derived class) must not
  // slip through the pointer-to-bool conversion and become int 1.
  template <std::same_as<bool> tBool>
  tNUVVariant(tBool value) { ZeroValue(); vt = tvtInteger; Integer = value ? 1 : 0; }
  // Releasing an object may run its finalizer; an exception from it is reported,
  // since it cannot leave a destructor. Clear and assignment let it pass.
  ~tNUVVariant() { if (!IsPlain()) ReleaseContentNoThrow(); }

  // Assignment ------------------------------------------------------------------
  // Numbers and void over numbers and void copy without a call.
  tNUVVariant& operator=(const tNUVVariant& other) {
    if (IsPlain() && other.IsPlain()) {
      static_cast<tNUVVariant_S&>(*this) = other;
      return *this;
    }
    return AssignContent(other);
  }
  // Over void or a number nothing is released: the record moves without a call.
  tNUVVariant& operator=(tNUVVariant&& other) {
    if (IsPlain() && this != &other) {
      static_cast<tNUVVariant_S&>(*this) = other;
      other.ZeroValue();
      other.vt = tvtVoid;
      return *this;
    }
    return MoveContent(std::move(other));
  }
  tNUVVariant& operator=(const tNUVVariantClosure_S& closure);
  tNUVVariant& operator=(iNUVDispatch2* object);
  tNUVVariant& operator=(const tNUVString& string);
  tNUVVariant& operator=(const char16_t* text);
  tNUVVariant& operator=(tNUVVariantOctet* octet);
  tNUVVariant& operator=(int32_t value) { SetInteger(value); return *this; }
  tNUVVariant& operator=(int64_t value) { SetInteger(value); return *this; }
  tNUVVariant& operator=(double value) { SetReal(value); return *this; }
  template <std::same_as<bool> tBool>
  tNUVVariant& operator=(tBool value) { SetInteger(value ? 1 : 0); return *this; }
  void SetObject(iNUVDispatch2* object, iNUVDispatch2* objThis);
  void SetInteger(int64_t value) { if (!IsPlain()) ReleaseContent(); vt = tvtInteger; Integer = value; }
  void SetReal(double value) { if (!IsPlain()) ReleaseContent(); vt = tvtReal; Real = value; }
  // Back to void.
  void Clear() { if (!IsPlain()) ReleaseContent(); ZeroValue(); vt = tvtVoid; }

  // Queries ---------------------------------------------------------------------
  tNUVVariantType Type() const { return static_cast<tNUVVariantType>(vt); }
  bool IsVoid() const { return vt == tvtVoid; }
  static const char16_t* TypeName(int32_t tag);

  int64_t AsInteger() const;
  double AsReal() const;
  tNUVString AsString() const;
  // The octet body without a new reference (null for void).
  tNUVVariantOctet* AsOctet() const;
  bool AsBoolean() const;
  // Raise NUVVariantConvertErrorToObject unless the tag is object; no new references.
  iNUVDispatch2* AsObject() const;
  iNUVDispatch2* AsObjectThis() const;
  tNUVVariantClosure AsObjectClosure() const;
  // The object pointer when the tag is object, else null; no error.
  iNUVDispatch2* AsObjectNoError() const { return vt == tvtObject ? Object.Object : nullptr; }
  // The string body without a new reference; requires tag string.
  tNUVVariantString* AsStringBody() const { return vt == tvtString ? String : nullptr; }

  // In-place conversions.
  void ToInteger();
  void ToReal();
  void ToString();
  void ToOctet();
  void ToNumber();

  // Comparisons -----------------------------------------------------------------
  bool NormalCompare(const tNUVVariant& other) const;              // ==
  bool DiscernCompare(const tNUVVariant& other) const;             // ===
  bool DiscernCompareStrictReal(const tNUVVariant& other) const;   // bitwise reals
  bool LessThan(const tNUVVariant& other) const;                   // <
  bool GreaterThan(const tNUVVariant& other) const;                // >

  // In-place operators: this = this (op) right ----------------------------------
  void LogicalOrAssign(const tNUVVariant& right);
  void LogicalAndAssign(const tNUVVariant& right);
  void BitOrAssign(const tNUVVariant& right);
  void BitXorAssign(const tNUVVariant& right);
  void BitAndAssign(const tNUVVariant& right);
  void ShiftRightAssign(const tNUVVariant& right);          // arithmetic
  void LogicalShiftRightAssign(const tNUVVariant& right);
  void ShiftLeftAssign(const tNUVVariant& right);
  void ModuloAssign(const tNUVVariant& right);
  void DivideAssign(const tNUVVariant& right);               // real division
  void IntegerDivideAssign(const tNUVVariant& right);
  void MultiplyAssign(const tNUVVariant& right);
  void SubtractAssign(const tNUVVariant& right);
  void AddAssign(const tNUVVariant& right);

  // Unary in-place operations.
  void LogicalNot();
  void BitNot();
  void Increment();
  void Decrement();
  void Negate();
  // The "#" operator: code of the first unit of the string form (0 for empty).
  void CharacterCode();
  // The "$" operator: the one-unit string of the integer value cut to 16 bits.
  void CharacterFromCode();

  // Applies an ApplyOperation code (1..16) with the given operand.
  void ApplyOperationCode(uint32_t operation, const tNUVVariant* operand);

  // Text forms --------------------------------------------------------------------
  tNUVString ReadableText(int32_t limit) const;
  tNUVString TypedLiteralText() const;

  // Void or a number: copies and releases touch no reference.
  bool IsPlain() const { return vt == tvtVoid || vt == tvtInteger || vt == tvtReal; }

private:
  void ZeroValue() { Object.Object = Object.ObjThis = nullptr; }
  // The references a copied record needs (for object, string and octet values).
  void AddRefContent();
  tNUVVariant& AssignContent(const tNUVVariant& other);
  tNUVVariant& MoveContent(tNUVVariant&& other);
  void ReleaseContent();
  void ReleaseContentNoThrow() noexcept;
};

static_assert(sizeof(tNUVVariant) == sizeof(tNUVVariant_S));

// Number texts ------------------------------------------------------------------
// "NaN", "+Infinity", "-Infinity", "+0.0", "-0.0", else "%.15g".
tNUVString RealToText(double value);
// "0x1.<13 hex digits>p<exponent>" (specials as above).
tNUVString RealToHexText(double value);
// Parses a string as a number (int 0 for text that is not a number).
tNUVVariant ParseNumberText(const char16_t* text);
// The object text "(object 0x...:0x...)" of a closure.
tNUVString ObjectToText(iNUVDispatch2* object, iNUVDispatch2* objThis);

}  // namespace NUV
