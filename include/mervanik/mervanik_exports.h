#pragma once
// mervanik: the numbered exports, Mrvk_0000_Export_Func .. Mrvk_0100_Export_Func.
//
// Each is a thin wrapper around one operation of the engine, so that strings,
// variants, octets and objects are only ever created, changed and released by
// the library's own code and heap. Most hosts use them through the classes of
// mervanik.h (tNUVString, tNUVVariant) rather than directly.
//
// Conventions
// - Constructors ("construct ...") take the address of uninitialised storage and
//   do nothing when it is null. End a string with 0083, a variant with 000E, an
//   octet record built in your storage with 0073.
// - Every other function expects valid pointers (a null string pointer is
//   accepted where noted and counts as the empty string).
// - "new body": the function returns a string body carrying one reference for
//   the caller; take it over with tNUVString::Adopt or drop it with 00B5. A null
//   body is the empty string.
// - "new object": the returned object carries one reference; Release it.
// - "borrowed": no reference is added; do not release.
// - Engine errors (conversion errors, division by zero, invalid text) are C++
//   exceptions of the library's own types; catch them with catch (...).
// - Stored records (000D, 00D4, 00EF), all little-endian as in memory:
//     string: uint32 length n, uint32 reserved (written 0, never read), n UTF-16 units
//     octet:  uint32 length n, n bytes
//     int, real: the 8 bytes of the value; object: the 8-byte object pointer (the
//     variant takes a reference to it).
//   The reader advances the cursor past the record.

#include <cstddef>
#include <cstdint>

namespace NUV {

struct tNUVVariantString;  // a string body; opaque to hosts
class tNUVString;
class iNUVDispatch2;

// A value: a closure (object and bound this), a string body, an octet body, a
// 64-bit integer or a real, with its type tag. The value area is two pointers.
enum : int32_t { tvtVoid = 0, tvtObject = 1, tvtString = 2, tvtOctet = 3, tvtInteger = 4, tvtReal = 5 };

struct tNUVVariantClosure_S {
  iNUVDispatch2* Object;
  iNUVDispatch2* ObjThis;
};

// An immutable byte string. RefCount counts the owners (a new body has 1).
struct tNUVVariantOctet {
  int32_t Length;
  int32_t RefCount;
  uint8_t* Data;
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

// The native data a host attaches to each object of its class (see 00E9). The
// library calls Construct from the standard constructor pattern (the host's
// constructor callback usually forwards to it), Invalidate when the object is
// invalidated and Destruct, which frees the instance, when the object goes.
class iNUVNativeInstance {
public:
  virtual int32_t Construct(int32_t argumentCount, tNUVVariant_S** arguments, iNUVDispatch2* owner) = 0;
  virtual void Invalidate() = 0;
  virtual void Destruct() = 0;

protected:
  ~iNUVNativeInstance() = default;
};

// Callbacks of native classes. They answer a result code (NUVResultOk, or a
// failure such as NUVResultBadParamCount); result may be null (nothing wanted)
// and is cleared before a method runs. objThis is the object the member was
// called on.
using tNUVNativeCallback = int32_t (*)(tNUVVariant_S* result, int32_t argumentCount, tNUVVariant_S** arguments,
                                       iNUVDispatch2* objThis);
using tNUVNativeGetter = int32_t (*)(tNUVVariant_S* result, iNUVDispatch2* objThis);
using tNUVNativeSetter = int32_t (*)(const tNUVVariant_S* value, iNUVDispatch2* objThis);
// Makes the native instance of a new object (null: none).
using tNUVNativeInstanceFactory = iNUVNativeInstance* (*)();

}  // namespace NUV

extern "C" {

// Variants: construction (uninitialised storage) -----------------------------------------------
void Mrvk_0001_Export_Func(NUV::tNUVVariant_S* target);  // void
void Mrvk_0002_Export_Func(NUV::tNUVVariant_S* target, const NUV::tNUVVariant_S* source);
void Mrvk_0003_Export_Func(NUV::tNUVVariant_S* target, NUV::iNUVDispatch2* object);  // adds a reference
void Mrvk_0004_Export_Func(NUV::tNUVVariant_S* target, NUV::iNUVDispatch2* object, NUV::iNUVDispatch2* objThis);
void Mrvk_0005_Export_Func(NUV::tNUVVariant_S* target, const char16_t* text);  // null: empty string
void Mrvk_0006_Export_Func(NUV::tNUVVariant_S* target, const NUV::tNUVString* string);
void Mrvk_0007_Export_Func(NUV::tNUVVariant_S* target, const char* narrow);
void Mrvk_0008_Export_Func(NUV::tNUVVariant_S* target, const uint8_t* bytes, int32_t length);  // octet
void Mrvk_0009_Export_Func(NUV::tNUVVariant_S* target, uint8_t value);  // int 0 or 1
void Mrvk_000A_Export_Func(NUV::tNUVVariant_S* target, int32_t value);
void Mrvk_000B_Export_Func(NUV::tNUVVariant_S* target, uint32_t low, uint32_t high);
void Mrvk_000C_Export_Func(NUV::tNUVVariant_S* target, double value);
void Mrvk_000D_Export_Func(NUV::tNUVVariant_S* target, int32_t tag, const uint8_t** cursor);  // stored record
// Ends a variant (never raises); freeRecord != 0 also frees storage from 006B.
void Mrvk_000E_Export_Func(NUV::tNUVVariant_S* target, int32_t freeRecord);

// Variants: queries --------------------------------------------------------------------------
int32_t Mrvk_000F_Export_Func(const NUV::tNUVVariant_S* value);  // type tag
int32_t Mrvk_0077_Export_Func(const NUV::tNUVVariant_S* value);  // type tag
void Mrvk_0010_Export_Func(NUV::tNUVVariant_S* value);           // to void
// Object-only queries raise the conversion error for other values.
NUV::tNUVVariantClosure_S Mrvk_0011_Export_Func(const NUV::tNUVVariant_S* value);  // adds both references
void Mrvk_0012_Export_Func(const NUV::tNUVVariant_S* value);                         // check: object
NUV::iNUVDispatch2* Mrvk_0013_Export_Func(const NUV::tNUVVariant_S* value);          // object, new reference
NUV::iNUVDispatch2* Mrvk_0042_Export_Func(const NUV::tNUVVariant_S* value);          // object, new reference
NUV::iNUVDispatch2* Mrvk_0043_Export_Func(const NUV::tNUVVariant_S* value);          // object, borrowed
NUV::iNUVDispatch2* Mrvk_0044_Export_Func(const NUV::tNUVVariant_S* value);          // bound this, new reference
NUV::iNUVDispatch2* Mrvk_0045_Export_Func(const NUV::tNUVVariant_S* value);          // bound this, borrowed
NUV::tNUVVariantClosure_S* Mrvk_0046_Export_Func(NUV::tNUVVariant_S* value);         // the closure inside
void Mrvk_0000_Export_Func(NUV::tNUVVariant_S* value, NUV::iNUVDispatch2* objThis);  // rebind this
// String-only queries raise the conversion error for other values.
uint32_t* Mrvk_0015_Export_Func(const NUV::tNUVVariant_S* value);                   // hint (null if empty)
NUV::tNUVVariantString* Mrvk_0047_Export_Func(const NUV::tNUVVariant_S* value);     // AsString: new body
NUV::tNUVVariantString* Mrvk_0048_Export_Func(const NUV::tNUVVariant_S* value);     // body, borrowed
const char16_t* Mrvk_0049_Export_Func(const NUV::tNUVVariant_S* value);             // text
NUV::tNUVVariantOctet* Mrvk_004A_Export_Func(const NUV::tNUVVariant_S* value);      // octet, new reference
NUV::tNUVVariantOctet* Mrvk_004B_Export_Func(const NUV::tNUVVariant_S* value);      // octet, borrowed
int64_t Mrvk_004C_Export_Func(const NUV::tNUVVariant_S* value);                     // AsInteger
int64_t Mrvk_004E_Export_Func(const NUV::tNUVVariant_S* value);
int64_t Mrvk_0050_Export_Func(const NUV::tNUVVariant_S* value);
bool Mrvk_004F_Export_Func(const NUV::tNUVVariant_S* value);                        // AsBoolean
double Mrvk_0051_Export_Func(const NUV::tNUVVariant_S* value);                      // AsReal
double Mrvk_0052_Export_Func(const NUV::tNUVVariant_S* value);
void Mrvk_004D_Export_Func(const NUV::tNUVVariant_S* value, NUV::tNUVVariant_S* number);  // number := ToNumber

// Variants: conversion in place and assignment ------------------------------------------------
void Mrvk_0014_Export_Func(NUV::tNUVVariant_S* value);     // ToString
void Mrvk_0016_Export_Func(NUV::tNUVVariant_S* value);     // ToOctet
int64_t Mrvk_0017_Export_Func(NUV::tNUVVariant_S* value);  // ToInteger, returns the value
double Mrvk_0018_Export_Func(NUV::tNUVVariant_S* value);   // ToReal, returns the value
NUV::tNUVVariant_S* Mrvk_0019_Export_Func(NUV::tNUVVariant_S* target, const NUV::tNUVVariant_S* source);
void Mrvk_001A_Export_Func(NUV::tNUVVariant_S* target, const NUV::tNUVVariant_S* source);
void Mrvk_001B_Export_Func(NUV::tNUVVariant_S* target, NUV::iNUVDispatch2* object);
void Mrvk_001C_Export_Func(NUV::tNUVVariant_S* target, NUV::iNUVDispatch2* object);
void Mrvk_001D_Export_Func(NUV::tNUVVariant_S* target, NUV::iNUVDispatch2* object, NUV::iNUVDispatch2* objThis);
void Mrvk_001E_Export_Func(NUV::tNUVVariant_S* target, const NUV::tNUVVariantClosure_S* closure);
void Mrvk_001F_Export_Func(NUV::tNUVVariant_S* target, NUV::tNUVVariantString* body);  // adds a reference
void Mrvk_0020_Export_Func(NUV::tNUVVariant_S* target, NUV::tNUVVariantOctet* octet);  // adds a reference
void Mrvk_0021_Export_Func(NUV::tNUVVariant_S* target, const NUV::tNUVString* string);
void Mrvk_0022_Export_Func(NUV::tNUVVariant_S* target, const char16_t* text);
void Mrvk_0023_Export_Func(NUV::tNUVVariant_S* target, const char* narrow);
void Mrvk_0024_Export_Func(NUV::tNUVVariant_S* target, bool value);
void Mrvk_0025_Export_Func(NUV::tNUVVariant_S* target, int32_t value);
void Mrvk_0026_Export_Func(NUV::tNUVVariant_S* target, int64_t value);
void Mrvk_0027_Export_Func(NUV::tNUVVariant_S* target, double value);

// Variants: operators in place (target = target op right) ---------------------------------------
void Mrvk_0028_Export_Func(NUV::tNUVVariant_S* target, const NUV::tNUVVariant_S* right);  // ||
void Mrvk_0029_Export_Func(NUV::tNUVVariant_S* target, const NUV::tNUVVariant_S* right);  // &&
void Mrvk_002A_Export_Func(NUV::tNUVVariant_S* target, const NUV::tNUVVariant_S* right);  // |
void Mrvk_002B_Export_Func(NUV::tNUVVariant_S* target);                                   // ++
void Mrvk_002C_Export_Func(NUV::tNUVVariant_S* target);                                   // --
void Mrvk_002D_Export_Func(NUV::tNUVVariant_S* target, const NUV::tNUVVariant_S* right);  // ^
void Mrvk_002E_Export_Func(NUV::tNUVVariant_S* target, const NUV::tNUVVariant_S* right);  // &
void Mrvk_002F_Export_Func(NUV::tNUVVariant_S* target, const NUV::tNUVVariant_S* right);  // >>
void Mrvk_0030_Export_Func(NUV::tNUVVariant_S* target, const NUV::tNUVVariant_S* right);  // >>>
void Mrvk_0031_Export_Func(NUV::tNUVVariant_S* target, const NUV::tNUVVariant_S* right);  // <<
void Mrvk_0032_Export_Func(NUV::tNUVVariant_S* target, const NUV::tNUVVariant_S* right);  // % (0 raises)
void Mrvk_0033_Export_Func(NUV::tNUVVariant_S* target, const NUV::tNUVVariant_S* right);  // /
void Mrvk_0034_Export_Func(NUV::tNUVVariant_S* target, const NUV::tNUVVariant_S* right);  // \ (0 raises)
void Mrvk_0035_Export_Func(NUV::tNUVVariant_S* target, const NUV::tNUVVariant_S* right);  // *
void Mrvk_0036_Export_Func(NUV::tNUVVariant_S* target);                                   // !
void Mrvk_0037_Export_Func(NUV::tNUVVariant_S* target);                                   // ~
void Mrvk_0038_Export_Func(NUV::tNUVVariant_S* target);                                   // to number
void Mrvk_0039_Export_Func(NUV::tNUVVariant_S* target);                                   // -x
void Mrvk_003A_Export_Func(NUV::tNUVVariant_S* target, const NUV::tNUVVariant_S* right);  // -
void Mrvk_003B_Export_Func(NUV::tNUVVariant_S* target, const NUV::tNUVVariant_S* right);  // + (joins texts)
// Operation code 1..16 of ApplyOperation (NUVOp... below) with the operand.
void Mrvk_00FE_Export_Func(NUV::tNUVVariant_S* target, uint32_t operation, const NUV::tNUVVariant_S* operand);

// Variants: comparisons ---------------------------------------------------------------------
bool Mrvk_003C_Export_Func(const NUV::tNUVVariant_S* left, const NUV::tNUVVariant_S* right);  // ==
bool Mrvk_003D_Export_Func(const NUV::tNUVVariant_S* left, const NUV::tNUVVariant_S* right);  // ===
bool Mrvk_003E_Export_Func(const NUV::tNUVVariant_S* left, const NUV::tNUVVariant_S* right);  // === bitwise reals
bool Mrvk_003F_Export_Func(const NUV::tNUVVariant_S* left, const NUV::tNUVVariant_S* right);  // <
bool Mrvk_0040_Export_Func(const NUV::tNUVVariant_S* left, const NUV::tNUVVariant_S* right);  // >

// Variants: operators into a result (result may be an operand; tests give int 0 or 1) -----------
void Mrvk_0053_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* left,
                           const NUV::tNUVVariant_S* right);  // ||
void Mrvk_0054_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* left,
                           const NUV::tNUVVariant_S* right);  // &&
void Mrvk_0055_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* left,
                           const NUV::tNUVVariant_S* right);  // |
void Mrvk_0056_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* left,
                           const NUV::tNUVVariant_S* right);  // ^
void Mrvk_0057_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* left,
                           const NUV::tNUVVariant_S* right);  // &
void Mrvk_0058_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* left,
                           const NUV::tNUVVariant_S* right);  // !=
void Mrvk_0059_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* left,
                           const NUV::tNUVVariant_S* right);  // ==
void Mrvk_005A_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* left,
                           const NUV::tNUVVariant_S* right);  // <
void Mrvk_005B_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* left,
                           const NUV::tNUVVariant_S* right);  // >
void Mrvk_005C_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* left,
                           const NUV::tNUVVariant_S* right);  // <=
void Mrvk_005D_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* left,
                           const NUV::tNUVVariant_S* right);  // >=
void Mrvk_005E_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* left,
                           const NUV::tNUVVariant_S* right);  // >>
void Mrvk_005F_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* left,
                           const NUV::tNUVVariant_S* right);  // >>>
void Mrvk_0060_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* left,
                           const NUV::tNUVVariant_S* right);  // <<
void Mrvk_0061_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* left,
                           const NUV::tNUVVariant_S* right);  // % (truncating; 0 raises)
void Mrvk_0062_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* left,
                           const NUV::tNUVVariant_S* right);  // /
void Mrvk_0063_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* left,
                           const NUV::tNUVVariant_S* right);  // \ (0 raises)
void Mrvk_0064_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* left,
                           const NUV::tNUVVariant_S* right);  // *
void Mrvk_0067_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* left,
                           const NUV::tNUVVariant_S* right);  // -
void Mrvk_006A_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* left,
                           const NUV::tNUVVariant_S* right);  // +
void Mrvk_0065_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* operand);  // !
void Mrvk_0066_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* operand);  // ~
// Number: ints and reals copied, strings parsed; others raise the conversion error.
void Mrvk_0068_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* operand);
void Mrvk_0069_Export_Func(NUV::tNUVVariant_S* result, const NUV::tNUVVariant_S* operand);  // -x

// Memory: blocks of the library's heap (malloc); allocation failure raises ---------------------
void* Mrvk_006B_Export_Func(size_t size);
void Mrvk_006C_Export_Func(void* block);
void* Mrvk_006D_Export_Func(size_t size);
void Mrvk_006E_Export_Func(void* block);
void* Mrvk_006F_Export_Func(size_t size, void* place);  // returns place
void* Mrvk_00AF_Export_Func(size_t size);
void Mrvk_00B0_Export_Func(void* block);
void* Mrvk_00B1_Export_Func(size_t size);
void Mrvk_00B2_Export_Func(void* block);
void* Mrvk_00B3_Export_Func(size_t size, void* place);  // returns place
// Aligned to 2^alignmentBits (0..16); null on failure. Free with 00DD.
void* Mrvk_00DC_Export_Func(size_t size, int32_t alignmentBits);
void Mrvk_00DD_Export_Func(void* block);

// Octets ------------------------------------------------------------------------------------
// In your storage (RefCount 1; end with 0073):
void Mrvk_0070_Export_Func(NUV::tNUVVariantOctet* target, const uint8_t* bytes, int32_t length);
void Mrvk_0071_Export_Func(NUV::tNUVVariantOctet* target, const uint8_t* first, int32_t firstLength,
                           const uint8_t* second, int32_t secondLength);
void Mrvk_0072_Export_Func(NUV::tNUVVariantOctet* target, const NUV::tNUVVariantOctet* first,
                           const NUV::tNUVVariantOctet* second);
void Mrvk_0073_Export_Func(NUV::tNUVVariantOctet* target);
// Bodies on the library's heap (null is the empty octet; released by 0075 or 00F0):
int32_t Mrvk_0074_Export_Func(NUV::tNUVVariantOctet* octet);  // add a reference; the new count
void Mrvk_0075_Export_Func(NUV::tNUVVariantOctet* octet);
int32_t Mrvk_0076_Export_Func(const NUV::tNUVVariantOctet* octet);  // owners
NUV::tNUVVariantOctet* Mrvk_00EC_Export_Func(const uint8_t* bytes, int32_t length);
NUV::tNUVVariantOctet* Mrvk_00ED_Export_Func(const uint8_t* first, int32_t firstLength, const uint8_t* second,
                                             int32_t secondLength);
NUV::tNUVVariantOctet* Mrvk_00EE_Export_Func(const NUV::tNUVVariantOctet* first,
                                             const NUV::tNUVVariantOctet* second);
NUV::tNUVVariantOctet* Mrvk_00EF_Export_Func(const uint8_t** cursor);  // stored record
void Mrvk_00F0_Export_Func(NUV::tNUVVariantOctet* octet);

// Strings (tNUVString): construction (uninitialised storage) ---------------------------------
void Mrvk_0078_Export_Func(NUV::tNUVString* target);
void Mrvk_0079_Export_Func(NUV::tNUVString* target, const NUV::tNUVString* source);  // shares the body
void Mrvk_007A_Export_Func(NUV::tNUVString* target, NUV::tNUVVariantString* body);   // adds a reference
void Mrvk_007B_Export_Func(NUV::tNUVString* target, const char16_t* text);
void Mrvk_007C_Export_Func(NUV::tNUVString* target, const char* narrow);
void Mrvk_007D_Export_Func(NUV::tNUVString* target, int32_t length);  // length units of 0
void Mrvk_007E_Export_Func(NUV::tNUVString* target, char16_t unit);
void Mrvk_007F_Export_Func(NUV::tNUVString* target, const NUV::tNUVVariant_S* value);  // AsString
void Mrvk_0080_Export_Func(NUV::tNUVString* target, const NUV::tNUVString* source, int32_t count);  // prefix
void Mrvk_0081_Export_Func(NUV::tNUVString* target, const char16_t* text, int32_t length);
void Mrvk_0082_Export_Func(NUV::tNUVString* target, int32_t value);  // decimal text
void Mrvk_00DF_Export_Func(NUV::tNUVString* target, const char16_t* text, const NUV::tNUVString* tail);
void Mrvk_0083_Export_Func(NUV::tNUVString* target);  // destroy

// Strings: change (null string arguments count as empty) ---------------------------------------
NUV::tNUVString* Mrvk_0084_Export_Func(NUV::tNUVString* target, const NUV::tNUVString* source);
NUV::tNUVString* Mrvk_0085_Export_Func(NUV::tNUVString* target, const char16_t* text);
NUV::tNUVString* Mrvk_0086_Export_Func(NUV::tNUVString* target, const char* narrow);
NUV::tNUVString* Mrvk_0087_Export_Func(NUV::tNUVString* target, const NUV::tNUVString* tail);
NUV::tNUVString* Mrvk_0088_Export_Func(NUV::tNUVString* target, NUV::tNUVVariantString* tail);
NUV::tNUVString* Mrvk_0089_Export_Func(NUV::tNUVString* target, const char16_t* text);
NUV::tNUVString* Mrvk_008A_Export_Func(NUV::tNUVString* target, char16_t unit);
void Mrvk_008B_Export_Func(NUV::tNUVString* target);  // clear
// Direct writing: 008C replaces the text by length units of 0, 008D keeps it and
// adds count units of 0; both return the private buffer (null when empty). Write
// into it, then 008E cuts the length at the first 0 unit.
char16_t* Mrvk_008C_Export_Func(NUV::tNUVString* target, int32_t length);
char16_t* Mrvk_008D_Export_Func(NUV::tNUVString* target, int32_t count);
void Mrvk_008E_Export_Func(NUV::tNUVString* target);
void Mrvk_008F_Export_Func(NUV::tNUVString* target, const NUV::tNUVString* search,
                           const NUV::tNUVString* replacement, bool all);
const char16_t* Mrvk_0090_Export_Func(NUV::tNUVString* target);  // to lower case (ASCII), the text
const char16_t* Mrvk_0091_Export_Func(NUV::tNUVString* target);  // to upper case (ASCII), the text
uint32_t* Mrvk_0092_Export_Func(const NUV::tNUVString* string);  // hint; null when empty
char16_t* Mrvk_0093_Export_Func(NUV::tNUVString* string);        // private text; null when empty

// Strings: reading and comparing ------------------------------------------------------------
const char16_t* Mrvk_0094_Export_Func(const NUV::tNUVString* string);  // never null
NUV::tNUVVariantString* Mrvk_0095_Export_Func(const NUV::tNUVString* string);  // body, borrowed
int64_t Mrvk_0096_Export_Func(const NUV::tNUVString* string);  // number parse
bool Mrvk_0097_Export_Func(const NUV::tNUVString* left, const NUV::tNUVString* right);  // ==
bool Mrvk_0098_Export_Func(const NUV::tNUVString* left, const NUV::tNUVString* right);  // !=
int32_t Mrvk_0099_Export_Func(const NUV::tNUVString* left, const NUV::tNUVString* right);  // ASCII case-blind
bool Mrvk_009A_Export_Func(const NUV::tNUVString* left, const char16_t* text);
bool Mrvk_009B_Export_Func(const NUV::tNUVString* left, const char16_t* text);
int32_t Mrvk_009C_Export_Func(const NUV::tNUVString* left, const char16_t* text);
bool Mrvk_009D_Export_Func(const NUV::tNUVString* left, const NUV::tNUVString* right);  // <
bool Mrvk_009E_Export_Func(const NUV::tNUVString* left, const NUV::tNUVString* right);  // >
NUV::tNUVVariantString* Mrvk_009F_Export_Func(const NUV::tNUVString* left, const NUV::tNUVString* right);  // new
NUV::tNUVVariantString* Mrvk_00A0_Export_Func(const NUV::tNUVString* left, const char16_t* text);  // new
NUV::tNUVVariantString* Mrvk_00A1_Export_Func(const NUV::tNUVString* left, char16_t unit);  // new
char16_t Mrvk_00A2_Export_Func(const NUV::tNUVString* string, int32_t index);  // 0 outside
void Mrvk_00A3_Export_Func(const NUV::tNUVString* string, NUV::tNUVString* out);  // lower-case copy
void Mrvk_00A4_Export_Func(const NUV::tNUVString* string, NUV::tNUVString* out);  // upper-case copy
void Mrvk_00A5_Export_Func(const NUV::tNUVString* string, NUV::tNUVString* out);  // escaped copy
void Mrvk_00A6_Export_Func(NUV::tNUVString* out);  // out becomes empty
bool Mrvk_00A7_Export_Func(const NUV::tNUVString* string, const char16_t* prefix);
bool Mrvk_00A8_Export_Func(const NUV::tNUVString* string, const NUV::tNUVString* prefix);
int32_t Mrvk_00A9_Export_Func(const NUV::tNUVString* string);  // narrow bytes needed
// At most size bytes of whole characters and a 0 (buffer of size + 1); bytes written or -1.
int32_t Mrvk_00AA_Export_Func(const NUV::tNUVString* string, char* buffer, int32_t size);
bool Mrvk_00AB_Export_Func(const NUV::tNUVString* string);
int32_t Mrvk_00AC_Export_Func(const NUV::tNUVString* string);
int32_t Mrvk_00AD_Export_Func(const NUV::tNUVString* string);
char16_t Mrvk_00AE_Export_Func(const NUV::tNUVString* string);  // last unit, 0 when empty
NUV::tNUVVariantString* Mrvk_00FD_Export_Func(const NUV::tNUVString* string);  // interned: new body

// String bodies. A body changed by 00B6..00BC, 00D6, 00D7 is handed over (its
// reference with it); the result is the body that now holds the text, possibly a
// new one, so other owners of a shared body never see a change. ------------------------------
void Mrvk_00B4_Export_Func(NUV::tNUVVariantString* body);  // add a reference
void Mrvk_00B5_Export_Func(NUV::tNUVVariantString* body);  // release
NUV::tNUVVariantString* Mrvk_00B6_Export_Func(NUV::tNUVVariantString* body, const char16_t* text, int32_t length);
NUV::tNUVVariantString* Mrvk_00B7_Export_Func(NUV::tNUVVariantString* body, const char* narrow);
NUV::tNUVVariantString* Mrvk_00B8_Export_Func(NUV::tNUVVariantString* body, int32_t length);  // units of 0
NUV::tNUVVariantString* Mrvk_00B9_Export_Func(NUV::tNUVVariantString* body, const char16_t* text);
NUV::tNUVVariantString* Mrvk_00BA_Export_Func(NUV::tNUVVariantString* body, int32_t count);  // grow with 0s
NUV::tNUVVariantString* Mrvk_00BB_Export_Func(NUV::tNUVVariantString* body, const char16_t* text);
NUV::tNUVVariantString* Mrvk_00BC_Export_Func(NUV::tNUVVariantString* body, const char16_t* text, int32_t count);
NUV::tNUVVariantString* Mrvk_00D6_Export_Func(NUV::tNUVVariantString* body, const char16_t* text);
NUV::tNUVVariantString* Mrvk_00D7_Export_Func(NUV::tNUVVariantString* body, const NUV::tNUVVariantString* tail);
// Length up to the first 0 unit (the body must not be shared; raises otherwise).
NUV::tNUVVariantString* Mrvk_00BD_Export_Func(NUV::tNUVVariantString* body);
uint32_t* Mrvk_00BE_Export_Func(NUV::tNUVVariantString* body);
const char16_t* Mrvk_00BF_Export_Func(const NUV::tNUVVariantString* body);  // never null
int32_t Mrvk_00C0_Export_Func(const NUV::tNUVVariantString* body);
int64_t Mrvk_00C1_Export_Func(const NUV::tNUVVariantString* body);
double Mrvk_00C2_Export_Func(const NUV::tNUVVariantString* body);
void Mrvk_00C3_Export_Func(const NUV::tNUVVariantString* body, NUV::tNUVVariant_S* number);
// Owners minus one (a body with one owner answers 0); -1 for null.
int32_t Mrvk_00C4_Export_Func(const NUV::tNUVVariantString* body);
// New bodies:
NUV::tNUVVariantString* Mrvk_00D0_Export_Func(const char16_t* first, const char16_t* second);
NUV::tNUVVariantString* Mrvk_00D1_Export_Func(const char16_t* text, int32_t length);
NUV::tNUVVariantString* Mrvk_00D2_Export_Func(const char16_t* text);
NUV::tNUVVariantString* Mrvk_00D3_Export_Func(const char* narrow);
NUV::tNUVVariantString* Mrvk_00D4_Export_Func(const uint8_t** cursor);  // stored record
NUV::tNUVVariantString* Mrvk_00D5_Export_Func(int32_t length);          // units of 0
NUV::tNUVVariantString* Mrvk_00D8_Export_Func(const char16_t* text, int32_t length, const char16_t* second);

// Wide text (zero-terminated char16_t) ---------------------------------------------------------
int32_t Mrvk_00C5_Export_Func(const char16_t* text);  // decimal after blanks
char16_t* Mrvk_00C6_Export_Func(int32_t value, char16_t* out);  // out: 21 units
char16_t* Mrvk_00C7_Export_Func(int64_t value, char16_t* out);  // out: 21 units
int32_t Mrvk_00C8_Export_Func(const char16_t* first, const char16_t* second, int32_t count);
int32_t Mrvk_00C9_Export_Func(const char16_t* first, const char16_t* second);  // ASCII case-blind
char16_t* Mrvk_00CA_Export_Func(char16_t* destination, const char16_t* source, int32_t count);  // 0-filled
char16_t* Mrvk_00CB_Export_Func(char16_t* destination, const char16_t* source);
int32_t Mrvk_00CC_Export_Func(const char16_t* text);
// Text buffers of the string heap, for at least `units` units.
char16_t* Mrvk_00CD_Export_Func(int32_t units);
char16_t* Mrvk_00CE_Export_Func(char16_t* buffer, int32_t units);
void Mrvk_00CF_Export_Func(char16_t* buffer);

// Value texts and numbers (new bodies) ---------------------------------------------------------
const char16_t* Mrvk_00D9_Export_Func(int32_t tag);  // "void" .. "real", "unknown"
NUV::tNUVVariantString* Mrvk_00DA_Export_Func(const NUV::tNUVVariant_S* value, int32_t limit);  // readable
NUV::tNUVVariantString* Mrvk_00DB_Export_Func(const NUV::tNUVVariant_S* value);  // typed literal
// Real classification from its words: 0 finite, 1 NaN, 2 infinity, + 8 if negative.
int32_t Mrvk_00DE_Export_Func(int32_t lowWordNonZero, uint32_t highWord);
NUV::tNUVVariantString* Mrvk_00E0_Export_Func(uint32_t value, int32_t maximumDigits);  // upper-case hex
NUV::tNUVVariantString* Mrvk_00F1_Export_Func(NUV::tNUVVariantOctet* octet);  // "<% 01 AB %>"
NUV::tNUVVariantString* Mrvk_00F2_Export_Func(const NUV::tNUVVariant_S* value);  // "(object 0x..:0x..)"
NUV::tNUVVariantString* Mrvk_00F3_Export_Func(uint32_t low, uint32_t high);  // decimal int64
NUV::tNUVVariantString* Mrvk_00F4_Export_Func(uint64_t realBits);  // real text
NUV::tNUVVariantString* Mrvk_00F5_Export_Func(uint64_t realBits);  // hexadecimal real text
int64_t Mrvk_00F6_Export_Func(const char16_t* text);  // number parse; 0 if none
double Mrvk_00F7_Export_Func(const char16_t* text);
int32_t Mrvk_0041_Export_Func();  // reserved: 0

// Native classes ----------------------------------------------------------------------------
int32_t Mrvk_00E1_Export_Func(const char16_t* className);  // register: the class id (same name, same id)
int32_t Mrvk_00E2_Export_Func(const char16_t* className);  // the id, or -1
NUV::tNUVVariantString* Mrvk_00E3_Export_Func(int32_t classId);  // the name (new body), or null
// New member objects from callbacks (method, constructor, property; a null
// getter or setter makes the property write- or read-only).
NUV::iNUVDispatch2* Mrvk_00E4_Export_Func(NUV::tNUVNativeCallback method);
NUV::iNUVDispatch2* Mrvk_00E5_Export_Func(NUV::tNUVNativeCallback constructor);
NUV::iNUVDispatch2* Mrvk_00E6_Export_Func(NUV::tNUVNativeGetter getter, NUV::tNUVNativeSetter setter);
// Stores member on the class object (kind 1 method or constructor, 2 property;
// flags e.g. NUVStaticMember) and takes over the caller's reference to member.
// The constructor is the member named like the class.
void Mrvk_00E7_Export_Func(NUV::iNUVDispatch2* classObject, const char16_t* name, NUV::iNUVDispatch2* member,
                           const char16_t* className, int32_t kind, uint32_t flags);
void Mrvk_00E8_Export_Func(NUV::iNUVDispatch2* classObject, int32_t classId);
// New class object; classId -1 keeps the id registered for the name; factory
// (may be null) makes the native instance of each new object of the class.
NUV::iNUVDispatch2* Mrvk_00E9_Export_Func(const char16_t* className, int32_t classId,
                                          NUV::tNUVNativeInstanceFactory factory);
NUV::iNUVDispatch2* Mrvk_0100_Export_Func();  // new plain script object

// Errors, arrays, dictionaries, messages -------------------------------------------------------
[[noreturn]] void Mrvk_00EA_Export_Func();  // raises NUVNullAccess
[[noreturn]] void Mrvk_00EB_Export_Func();  // raises NUVDivideByZero
NUV::iNUVDispatch2* Mrvk_00F8_Export_Func();  // new Array
int32_t Mrvk_00F9_Export_Func(NUV::iNUVDispatch2* array);  // element count
// Assigns elements start .. start + count - 1 (those that exist) to destination[0..]
// (initialised variants); returns how many.
int32_t Mrvk_00FA_Export_Func(NUV::iNUVDispatch2* array, NUV::tNUVVariant_S* destination, int32_t start,
                              int32_t count);
NUV::iNUVDispatch2* Mrvk_00FB_Export_Func();  // new Dictionary
NUV::tNUVVariantString* Mrvk_00FC_Export_Func(const char16_t* messageId);  // message text (new body)
void Mrvk_00FF_Export_Func();  // every object resizes its member table at its next lookup

}  // extern "C"
