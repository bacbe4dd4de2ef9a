#include "engine/objects/native_class.h"

#include "engine/services/error_report.h"
#include "engine/services/errors.h"

namespace NUV {
namespace {

bool SameText(const char16_t* left, const char16_t* right) {
  return left && right && WideCompare(left, right) == 0;
}

}  // namespace

// Member objects ------------------------------------------------------------------

int32_t tNUVNativeClassMethod::CallMember(uint32_t, const char16_t* memberName, uint32_t*, tNUVVariant* result,
                                          int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) {
  if (memberName) return NUVResultMemberNotFound;
  if (!objThis) return NUVResultNativeClassCrash;
  if (result) result->Clear();
  return Callback(result, argumentCount, arguments, objThis);
}

int32_t tNUVNativeClassMethod::IsInstanceOf(uint32_t, const char16_t* memberName, uint32_t*,
                                            const char16_t* className, iNUVDispatch2*) {
  if (memberName) return NUVResultMemberNotFound;
  return SameText(className, u"Function") ? NUVResultTrue : NUVResultNotImplemented;
}

int32_t tNUVNativeClassConstructor::CallMember(uint32_t, const char16_t* memberName, uint32_t*,
                                               tNUVVariant* result, int32_t argumentCount, tNUVVariant** arguments,
                                               iNUVDispatch2* objThis) {
  if (memberName) return NUVResultMemberNotFound;
  if (result) result->Clear();
  return Callback(result, argumentCount, arguments, objThis);
}

int32_t tNUVNativeClassProperty::GetMember(uint32_t, const char16_t* memberName, uint32_t*, tNUVVariant* result,
                                           iNUVDispatch2* objThis) {
  if (memberName) return NUVResultMemberNotFound;
  if (!objThis) return NUVResultNativeClassCrash;
  if (!result) return NUVResultFailed;
  if (!Getter) return NUVResultAccessDenied;
  return Getter(result, objThis);
}

int32_t tNUVNativeClassProperty::SetMember(uint32_t, const char16_t* memberName, uint32_t*,
                                           const tNUVVariant* value, iNUVDispatch2* objThis) {
  if (memberName) return NUVResultMemberNotFound;
  if (!objThis) return NUVResultNativeClassCrash;
  if (!value) return NUVResultFailed;
  if (!Setter) return NUVResultAccessDenied;
  return Setter(value, objThis);
}

int32_t tNUVNativeClassProperty::IsInstanceOf(uint32_t, const char16_t* memberName, uint32_t*,
                                              const char16_t* className, iNUVDispatch2*) {
  if (memberName) return NUVResultMemberNotFound;
  return SameText(className, u"Property") ? NUVResultTrue : NUVResultNotImplemented;
}

int32_t tNUVNativeFunction::CallMember(uint32_t, const char16_t* memberName, uint32_t*, tNUVVariant* result,
                                       int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) {
  if (memberName) return NUVResultMemberNotFound;
  return Process(result, argumentCount, arguments, objThis);
}

int32_t tNUVNativeFunction::IsInstanceOf(uint32_t, const char16_t* memberName, uint32_t*,
                                         const char16_t* className, iNUVDispatch2*) {
  if (memberName) return NUVResultMemberNotFound;
  return SameText(className, u"Function") ? NUVResultTrue : NUVResultNotImplemented;
}

// The class object --------------------------------------------------------------------

tNUVNativeClass::tNUVNativeClass(const char16_t* name) : tNUVCustomObject(3) {
  ClassName = MapGlobalString(tNUVString(name));
  ClassID = RegisterNativeClassName(ClassName.c_str());
  CallFinalize = false;
  NUVSetTrackedObjectType(static_cast<iNUVDispatch2*>(this),
                          [&] { return tNUVString(u"(native class) ") + ClassName; });
}

void tNUVNativeClass::RegisterMember(const char16_t* name, iNUVDispatch2* member, int32_t kind, uint32_t flags) {
  if (kind == NUVNativeMemberMethod || kind == NUVNativeMemberProperty) {
    NUVSetTrackedObjectType(member, [&] {
      return tNUVString(kind == NUVNativeMemberMethod ? u"(native function) " : u"(native property) ") + ClassName +
             u"." + name;
    });
  }
  struct tRegistrationReference {
    iNUVDispatch2* Object;
    ~tRegistrationReference() { NUVReleaseNoThrow(Object); }
  } registration{member};
  tNUVString interned = MapGlobalString(tNUVString(name));
  tNUVVariant value(member, nullptr);
  uint32_t storeFlags = flags | NUVMemberEnsure | NUVIgnoreProperty;
  int32_t code = SetMemberByBody(storeFlags, interned.GetBody(), &value, this);
  if (code == NUVResultNotImplemented) code = SetMember(storeFlags, interned.c_str(), nullptr, &value, this);
  NUVThrowFromResultCode(code, interned);
}

int32_t tNUVNativeClass::CallMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                    tNUVVariant* result, int32_t argumentCount, tNUVVariant** arguments,
                                    iNUVDispatch2* objThis) {
  if (memberName)
    return tNUVCustomObject::CallMember(flags, memberName, hint, result, argumentCount, arguments, objThis);
  if (IsInvalidated) return NUVResultInvalidObject;
  return ConstructInto(objThis);
}

int32_t tNUVNativeClass::ConstructInto(iNUVDispatch2* target) {
  if (!target) return NUVResultNativeClassCrash;
  tNUVVariant name(ClassName);
  int32_t code = target->ClassInfo(1, 0, &name);
  if (NUVFailed(code)) return code;

  iNUVNativeInstance* instance = CreateNativeInstance();
  code = target->NativeInstanceSlot(1, ClassID, &instance);
  if (NUVFailed(code)) {
    if (instance) instance->Destruct();
    return code;
  }

  // Copy every non-static member; closures without objthis are bound to target.
  class tMemberCopier : public tNUVDispatch {
  public:
    explicit tMemberCopier(iNUVDispatch2* target) : Target(target) {}
    int32_t CallMember(uint32_t, const char16_t* memberName, uint32_t*, tNUVVariant* result, int32_t argumentCount,
                       tNUVVariant** arguments, iNUVDispatch2*) override {
      if (memberName) return NUVResultMemberNotFound;
      if (result) *result = int64_t{1};   // always go on
      if (argumentCount < 3) return NUVResultOk;
      uint32_t memberFlags = static_cast<uint32_t>(arguments[1]->AsInteger());
      if (memberFlags & NUVStaticMember) return NUVResultOk;
      tNUVVariant value(*arguments[2]);
      if (value.vt == tvtObject && !value.Object.ObjThis) value.SetObject(value.Object.Object, Target);
      tNUVString name = arguments[0]->AsString();
      uint32_t storeFlags = memberFlags | NUVMemberEnsure | NUVIgnoreProperty;
      int32_t code = Target->SetMemberByBody(storeFlags, name.GetBody(), &value, Target);
      if (code == NUVResultNotImplemented) Target->SetMember(storeFlags, name.c_str(), nullptr, &value, Target);
      return NUVResultOk;
    }

  private:
    iNUVDispatch2* Target;
  };
  auto* copier = new tMemberCopier(target);
  tNUVVariantClosure callback(copier, nullptr);
  try {
    EnumerateMembers(NUVIgnoreProperty, &callback, this);
  } catch (...) {
    copier->Release();
    throw;
  }
  copier->Release();
  return NUVResultOk;
}

int32_t tNUVNativeClass::CreateInstance(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                        iNUVDispatch2** result, int32_t argumentCount, tNUVVariant** arguments,
                                        iNUVDispatch2* objThis) {
  if (memberName)
    return tNUVCustomObject::CreateInstance(flags, memberName, hint, result, argumentCount, arguments, objThis);
  if (IsInvalidated) return NUVResultInvalidObject;
  iNUVDispatch2* instance = CreateBaseObject();
  NUVSetTrackedObjectType(instance, [&] { return tNUVString(u"instance of class ") + ClassName; });
  try {
    int32_t code = CallMember(0, nullptr, nullptr, nullptr, 0, nullptr, instance);
    if (NUVSucceeded(code)) {
      code = CallMember(flags, ClassName.c_str(), ClassName.GetHint(), nullptr, argumentCount, arguments, instance);
      if (code == NUVResultMemberNotFound) code = NUVResultOk;
    }
    if (NUVFailed(code)) {
      instance->Release();
      return code;
    }
  } catch (...) {
    NUVReleaseNoThrow(instance);
    throw;
  }
  if (result) *result = instance;
  else instance->Release();
  return NUVResultOk;
}

int32_t tNUVNativeClass::IsInstanceOf(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                      const char16_t* className, iNUVDispatch2* objThis) {
  if (!memberName && !IsInvalidated) {
    if (SameText(className, u"Class") || (className && ClassName == className)) return NUVResultTrue;
  }
  return tNUVCustomObject::IsInstanceOf(flags, memberName, hint, className, objThis);
}

// Helpers for native methods ------------------------------------------------------

iNUVNativeInstance* NUVFindNativeInstance(iNUVDispatch2* objThis, int32_t classId) {
  if (!objThis) return nullptr;
  iNUVNativeInstance* instance = nullptr;
  if (NUVFailed(objThis->NativeInstanceSlot(2, classId, &instance))) return nullptr;
  return instance;
}

int32_t NUVConstructNativeInstance(int32_t classId, int32_t argumentCount, tNUVVariant** arguments,
                                   iNUVDispatch2* objThis) {
  iNUVNativeInstance* instance = NUVFindNativeInstance(objThis, classId);
  if (!instance) return NUVResultNativeClassCrash;
  int32_t code = instance->Construct(argumentCount, arguments, objThis);
  return NUVFailed(code) ? code : NUVResultOk;
}

}  // namespace NUV
