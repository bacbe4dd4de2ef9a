#pragma once
// tNUVObjectProxy: the object in register %-2 of a frame whose this is an object.
//
// Every operation goes to the first object (this) and, when that answers member
// not found, to the second (the global object), so a name is looked up in this
// first and in the global object second. The proxy lives on the native stack for
// one activation and holds neither object: AddRef and Release do nothing.

#include <cstdint>

#include "engine/objects/dispatch_interface.h"

namespace NUV {

class tNUVObjectProxy final : public iNUVDispatch2 {
public:
  // first must outlive the proxy; second may be null or the same object as first.
  tNUVObjectProxy(iNUVDispatch2* first, iNUVDispatch2* second) : First(first), Second(second) {}
  tNUVObjectProxy(const tNUVObjectProxy&) = delete;
  tNUVObjectProxy& operator=(const tNUVObjectProxy&) = delete;
  ~tNUVObjectProxy() = default;

  iNUVDispatch2* GetFirst() const { return First; }
  iNUVDispatch2* GetSecond() const { return Second; }

  int32_t AddRef() override { return 1; }
  int32_t Release() override { return 1; }
  int32_t CallMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                     int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) override;
  int32_t CallMemberByNum(uint32_t flags, int32_t number, tNUVVariant* result, int32_t argumentCount,
                          tNUVVariant** arguments, iNUVDispatch2* objThis) override;
  int32_t GetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                    iNUVDispatch2* objThis) override;
  int32_t GetMemberByNum(uint32_t flags, int32_t number, tNUVVariant* result,
                         iNUVDispatch2* objThis) override;
  int32_t SetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, const tNUVVariant* value,
                    iNUVDispatch2* objThis) override;
  int32_t SetMemberByNum(uint32_t flags, int32_t number, const tNUVVariant* value,
                         iNUVDispatch2* objThis) override;
  int32_t GetMemberCount(int32_t* result, const char16_t* memberName, uint32_t* hint,
                         iNUVDispatch2* objThis) override;
  int32_t GetMemberCountByNum(int32_t* result, int32_t number, iNUVDispatch2* objThis) override;
  int32_t SetMemberByBody(uint32_t flags, tNUVVariantString* memberName, const tNUVVariant* value,
                          iNUVDispatch2* objThis) override;
  int32_t EnumerateMembers(uint32_t flags, tNUVVariantClosure_S* callback, iNUVDispatch2* objThis) override;
  int32_t DeleteMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                       iNUVDispatch2* objThis) override;
  int32_t DeleteMemberByNum(uint32_t flags, int32_t number, iNUVDispatch2* objThis) override;
  int32_t Invalidate(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                     iNUVDispatch2* objThis) override;
  int32_t InvalidateByNum(uint32_t flags, int32_t number, iNUVDispatch2* objThis) override;
  int32_t IsValid(uint32_t flags, const char16_t* memberName, uint32_t* hint, iNUVDispatch2* objThis) override;
  int32_t IsValidByNum(uint32_t flags, int32_t number, iNUVDispatch2* objThis) override;
  int32_t CreateInstance(uint32_t flags, const char16_t* memberName, uint32_t* hint, iNUVDispatch2** result,
                         int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) override;
  int32_t CreateInstanceByNum(uint32_t flags, int32_t number, iNUVDispatch2** result, int32_t argumentCount,
                              tNUVVariant** arguments, iNUVDispatch2* objThis) override;
  int32_t Reserved1() override;
  int32_t IsInstanceOf(uint32_t flags, const char16_t* memberName, uint32_t* hint, const char16_t* className,
                       iNUVDispatch2* objThis) override;
  int32_t IsInstanceOfByNum(uint32_t flags, int32_t number, const char16_t* className,
                            iNUVDispatch2* objThis) override;
  int32_t ApplyOperation(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                         const tNUVVariant* operand, iNUVDispatch2* objThis) override;
  int32_t ApplyOperationByNum(uint32_t flags, int32_t number, tNUVVariant* result, const tNUVVariant* operand,
                              iNUVDispatch2* objThis) override;
  int32_t NativeInstanceSlot(int32_t kind, int32_t classId, iNUVNativeInstance** instance) override;
  int32_t ClassInfo(int32_t kind, int32_t index, tNUVVariant* value) override;
  int32_t Reserved2() override;
  int32_t Reserved3() override;

private:
  template <typename Operation, typename... Arguments>
  int32_t Relay(Operation operation, iNUVDispatch2* objThis, Arguments... arguments);
  template <typename Operation, typename... Arguments>
  int32_t RelayWithoutThis(Operation operation, Arguments... arguments);

  iNUVDispatch2* First;
  iNUVDispatch2* Second;
};

}  // namespace NUV
