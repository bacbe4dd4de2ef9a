#pragma once
// iNUVDispatch2: the one interface through which the engine reaches every script
// object (plain objects, functions, properties, classes, arrays, dictionaries, the
// global object, and objects created by hosts).
//
// The order of the virtual operations is a binary contract with hosts: never
// reorder them, never add a virtual destructor here. Every operation except AddRef
// and Release answers a result code (NUVResult*). A null member name addresses the
// object itself. hint caches the member name's hash between calls (callers pass the
// address of the name body's Hint field) and may be null.

#include <cstdint>

#include "engine/values/string_body.h"

namespace NUV {

class tNUVVariant;
struct tNUVVariantClosure_S;
class iNUVNativeInstance;

// Result codes.
constexpr int32_t NUVResultOk = 0;
constexpr int32_t NUVResultTrue = 1;
constexpr int32_t NUVResultFalse = 2;
constexpr int32_t NUVResultFailed = -1;
constexpr int32_t NUVResultMemberNotFound = -1001;
constexpr int32_t NUVResultNotImplemented = -1002;
constexpr int32_t NUVResultInvalidParam = -1003;
constexpr int32_t NUVResultBadParamCount = -1004;
constexpr int32_t NUVResultInvalidType = -1005;
constexpr int32_t NUVResultInvalidObject = -1006;
constexpr int32_t NUVResultAccessDenied = -1007;
constexpr int32_t NUVResultNativeClassCrash = -1008;

inline bool NUVSucceeded(int32_t result) { return result >= 0; }
inline bool NUVFailed(int32_t result) { return result < 0; }

// Flag bits of the one flags word all operations take.
constexpr uint32_t NUVOperationMask = 0x1F;
constexpr uint32_t NUVMemberEnsure = 0x200;
constexpr uint32_t NUVMemberMustExist = 0x400;
constexpr uint32_t NUVIgnoreProperty = 0x800;
constexpr uint32_t NUVHiddenMember = 0x1000;
constexpr uint32_t NUVStaticMember = 0x10000;
constexpr uint32_t NUVEnumerateNoValue = 0x100000;

// Operation codes of ApplyOperation (low 5 bits of the flags).
enum : uint32_t {
  NUVOpBitAnd = 1, NUVOpBitOr = 2, NUVOpBitXor = 3, NUVOpSubtract = 4, NUVOpAdd = 5,
  NUVOpModulo = 6, NUVOpDivide = 7, NUVOpIntegerDivide = 8, NUVOpMultiply = 9,
  NUVOpLogicalOr = 10, NUVOpLogicalAnd = 11, NUVOpShiftRight = 12, NUVOpShiftLeft = 13,
  NUVOpLogicalShiftRight = 14, NUVOpIncrement = 15, NUVOpDecrement = 16,
};

class iNUVDispatch2 {
public:
  virtual int32_t AddRef() = 0;
  virtual int32_t Release() = 0;
  virtual int32_t CallMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                             tNUVVariant* result, int32_t argumentCount, tNUVVariant** arguments,
                             iNUVDispatch2* objThis) = 0;
  virtual int32_t CallMemberByNum(uint32_t flags, int32_t number, tNUVVariant* result,
                                  int32_t argumentCount, tNUVVariant** arguments,
                                  iNUVDispatch2* objThis) = 0;
  virtual int32_t GetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                            tNUVVariant* result, iNUVDispatch2* objThis) = 0;
  virtual int32_t GetMemberByNum(uint32_t flags, int32_t number, tNUVVariant* result,
                                 iNUVDispatch2* objThis) = 0;
  virtual int32_t SetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                            const tNUVVariant* value, iNUVDispatch2* objThis) = 0;
  virtual int32_t SetMemberByNum(uint32_t flags, int32_t number, const tNUVVariant* value,
                                 iNUVDispatch2* objThis) = 0;
  virtual int32_t GetMemberCount(int32_t* result, const char16_t* memberName, uint32_t* hint,
                                 iNUVDispatch2* objThis) = 0;
  virtual int32_t GetMemberCountByNum(int32_t* result, int32_t number, iNUVDispatch2* objThis) = 0;
  virtual int32_t SetMemberByBody(uint32_t flags, tNUVVariantString* memberName,
                                  const tNUVVariant* value, iNUVDispatch2* objThis) = 0;
  virtual int32_t EnumerateMembers(uint32_t flags, tNUVVariantClosure_S* callback,
                                   iNUVDispatch2* objThis) = 0;
  virtual int32_t DeleteMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                               iNUVDispatch2* objThis) = 0;
  virtual int32_t DeleteMemberByNum(uint32_t flags, int32_t number, iNUVDispatch2* objThis) = 0;
  virtual int32_t Invalidate(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                             iNUVDispatch2* objThis) = 0;
  virtual int32_t InvalidateByNum(uint32_t flags, int32_t number, iNUVDispatch2* objThis) = 0;
  virtual int32_t IsValid(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                          iNUVDispatch2* objThis) = 0;
  virtual int32_t IsValidByNum(uint32_t flags, int32_t number, iNUVDispatch2* objThis) = 0;
  virtual int32_t CreateInstance(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                 iNUVDispatch2** result, int32_t argumentCount,
                                 tNUVVariant** arguments, iNUVDispatch2* objThis) = 0;
  virtual int32_t CreateInstanceByNum(uint32_t flags, int32_t number, iNUVDispatch2** result,
                                      int32_t argumentCount, tNUVVariant** arguments,
                                      iNUVDispatch2* objThis) = 0;
  virtual int32_t Reserved1() = 0;
  virtual int32_t IsInstanceOf(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                               const char16_t* className, iNUVDispatch2* objThis) = 0;
  virtual int32_t IsInstanceOfByNum(uint32_t flags, int32_t number, const char16_t* className,
                                    iNUVDispatch2* objThis) = 0;
  virtual int32_t ApplyOperation(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                 tNUVVariant* result, const tNUVVariant* operand,
                                 iNUVDispatch2* objThis) = 0;
  virtual int32_t ApplyOperationByNum(uint32_t flags, int32_t number, tNUVVariant* result,
                                      const tNUVVariant* operand, iNUVDispatch2* objThis) = 0;
  virtual int32_t NativeInstanceSlot(int32_t kind, int32_t classId, iNUVNativeInstance** instance) = 0;
  virtual int32_t ClassInfo(int32_t kind, int32_t index, tNUVVariant* value) = 0;
  virtual int32_t Reserved2() = 0;
  virtual int32_t Reserved3() = 0;

protected:
  ~iNUVDispatch2() = default;
};

}  // namespace NUV
