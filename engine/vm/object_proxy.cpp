#include "engine/vm/object_proxy.h"

#include "engine/objects/dispatch.h"

namespace NUV {

// Runs operation on First, then on Second when First lacks the member. objThis is
// passed last; a null objThis means the object that is asked.
template <typename Operation, typename... Arguments>
int32_t tNUVObjectProxy::Relay(Operation operation, iNUVDispatch2* objThis, Arguments... arguments) {
  if (!First) return NUVResultInvalidObject;
  int32_t answer = (First->*operation)(arguments..., objThis ? objThis : First);
  if (answer != NUVResultMemberNotFound || !Second || Second == First) return answer;
  return (Second->*operation)(arguments..., objThis ? objThis : Second);
}

template <typename Operation, typename... Arguments>
int32_t tNUVObjectProxy::RelayWithoutThis(Operation operation, Arguments... arguments) {
  if (!First) return NUVResultInvalidObject;
  int32_t answer = (First->*operation)(arguments...);
  if (answer != NUVResultMemberNotFound || !Second || Second == First) return answer;
  return (Second->*operation)(arguments...);
}

int32_t tNUVObjectProxy::CallMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                    tNUVVariant* result, int32_t argumentCount, tNUVVariant** arguments,
                                    iNUVDispatch2* objThis) {
  return Relay(&iNUVDispatch2::CallMember, objThis, flags, memberName, hint, result, argumentCount, arguments);
}

int32_t tNUVObjectProxy::CallMemberByNum(uint32_t flags, int32_t number, tNUVVariant* result,
                                         int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) {
  return Relay(&iNUVDispatch2::CallMemberByNum, objThis, flags, number, result, argumentCount, arguments);
}

int32_t tNUVObjectProxy::GetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                   tNUVVariant* result, iNUVDispatch2* objThis) {
  return Relay(&iNUVDispatch2::GetMember, objThis, flags, memberName, hint, result);
}

int32_t tNUVObjectProxy::GetMemberByNum(uint32_t flags, int32_t number, tNUVVariant* result,
                                        iNUVDispatch2* objThis) {
  return Relay(&iNUVDispatch2::GetMemberByNum, objThis, flags, number, result);
}

int32_t tNUVObjectProxy::SetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                   const tNUVVariant* value, iNUVDispatch2* objThis) {
  return Relay(&iNUVDispatch2::SetMember, objThis, flags, memberName, hint, value);
}

int32_t tNUVObjectProxy::SetMemberByNum(uint32_t flags, int32_t number, const tNUVVariant* value,
                                        iNUVDispatch2* objThis) {
  return Relay(&iNUVDispatch2::SetMemberByNum, objThis, flags, number, value);
}

int32_t tNUVObjectProxy::GetMemberCount(int32_t* result, const char16_t* memberName, uint32_t* hint,
                                        iNUVDispatch2* objThis) {
  return Relay(&iNUVDispatch2::GetMemberCount, objThis, result, memberName, hint);
}

int32_t tNUVObjectProxy::GetMemberCountByNum(int32_t* result, int32_t number, iNUVDispatch2* objThis) {
  return Relay(&iNUVDispatch2::GetMemberCountByNum, objThis, result, number);
}

int32_t tNUVObjectProxy::SetMemberByBody(uint32_t flags, tNUVVariantString* memberName, const tNUVVariant* value,
                                         iNUVDispatch2* objThis) {
  return Relay(&iNUVDispatch2::SetMemberByBody, objThis, flags, memberName, value);
}

int32_t tNUVObjectProxy::EnumerateMembers(uint32_t flags, tNUVVariantClosure_S* callback, iNUVDispatch2* objThis) {
  return Relay(&iNUVDispatch2::EnumerateMembers, objThis, flags, callback);
}

int32_t tNUVObjectProxy::DeleteMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                      iNUVDispatch2* objThis) {
  return Relay(&iNUVDispatch2::DeleteMember, objThis, flags, memberName, hint);
}

int32_t tNUVObjectProxy::DeleteMemberByNum(uint32_t flags, int32_t number, iNUVDispatch2* objThis) {
  return Relay(&iNUVDispatch2::DeleteMemberByNum, objThis, flags, number);
}

int32_t tNUVObjectProxy::Invalidate(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                    iNUVDispatch2* objThis) {
  return Relay(&iNUVDispatch2::Invalidate, objThis, flags, memberName, hint);
}

int32_t tNUVObjectProxy::InvalidateByNum(uint32_t flags, int32_t number, iNUVDispatch2* objThis) {
  return Relay(&iNUVDispatch2::InvalidateByNum, objThis, flags, number);
}

int32_t tNUVObjectProxy::IsValid(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                 iNUVDispatch2* objThis) {
  return Relay(&iNUVDispatch2::IsValid, objThis, flags, memberName, hint);
}

int32_t tNUVObjectProxy::IsValidByNum(uint32_t flags, int32_t number, iNUVDispatch2* objThis) {
  return Relay(&iNUVDispatch2::IsValidByNum, objThis, flags, number);
}

int32_t tNUVObjectProxy::CreateInstance(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                        iNUVDispatch2** result, int32_t argumentCount, tNUVVariant** arguments,
                                        iNUVDispatch2* objThis) {
  return Relay(&iNUVDispatch2::CreateInstance, objThis, flags, memberName, hint, result, argumentCount, arguments);
}

int32_t tNUVObjectProxy::CreateInstanceByNum(uint32_t flags, int32_t number, iNUVDispatch2** result,
                                             int32_t argumentCount, tNUVVariant** arguments,
                                             iNUVDispatch2* objThis) {
  return Relay(&iNUVDispatch2::CreateInstanceByNum, objThis, flags, number, result, argumentCount, arguments);
}

int32_t tNUVObjectProxy::Reserved1() { return RelayWithoutThis(&iNUVDispatch2::Reserved1); }

int32_t tNUVObjectProxy::IsInstanceOf(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                      const char16_t* className, iNUVDispatch2* objThis) {
  return Relay(&iNUVDispatch2::IsInstanceOf, objThis, flags, memberName, hint, className);
}

int32_t tNUVObjectProxy::IsInstanceOfByNum(uint32_t flags, int32_t number, const char16_t* className,
                                           iNUVDispatch2* objThis) {
  return Relay(&iNUVDispatch2::IsInstanceOfByNum, objThis, flags, number, className);
}

int32_t tNUVObjectProxy::ApplyOperation(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                        tNUVVariant* result, const tNUVVariant* operand, iNUVDispatch2* objThis) {
  return Relay(&iNUVDispatch2::ApplyOperation, objThis, flags, memberName, hint, result, operand);
}

int32_t tNUVObjectProxy::ApplyOperationByNum(uint32_t flags, int32_t number, tNUVVariant* result,
                                             const tNUVVariant* operand, iNUVDispatch2* objThis) {
  return Relay(&iNUVDispatch2::ApplyOperationByNum, objThis, flags, number, result, operand);
}

int32_t tNUVObjectProxy::NativeInstanceSlot(int32_t kind, int32_t classId, iNUVNativeInstance** instance) {
  return RelayWithoutThis(&iNUVDispatch2::NativeInstanceSlot, kind, classId, instance);
}

int32_t tNUVObjectProxy::ClassInfo(int32_t kind, int32_t index, tNUVVariant* value) {
  return RelayWithoutThis(&iNUVDispatch2::ClassInfo, kind, index, value);
}

int32_t tNUVObjectProxy::Reserved2() { return NUVEngineKindProxy; }
int32_t tNUVObjectProxy::Reserved3() { return RelayWithoutThis(&iNUVDispatch2::Reserved3); }

}  // namespace NUV
