// Numbered exports on objects: native classes defined by hosts, arrays,
// dictionaries, two engine errors, message texts and the member-table rehash.
//
// A host defines a class as the engine's own classes are built: a class object
// (00E9) whose native instances come from the host's factory, members made from
// host callbacks (00E4..00E6) and registered on it (00E7). New objects carry one
// reference for the caller. Engine exceptions pass to the caller.

#include "engine/objects/array.h"
#include "engine/objects/custom_object.h"
#include "engine/objects/dictionary.h"
#include "engine/objects/native_class.h"
#include "engine/services/error_report.h"
#include "engine/services/errors.h"
#include "engine/services/messages.h"
#include "environment/environment.h"

namespace NUV {

namespace {

tNUVArrayNI& RequireArray(iNUVDispatch2* object) {
  tNUVArrayNI* array = object ? NUVFindArray(object) : nullptr;
  if (!object) NUVThrowError(NUVNullAccess);
  if (!array) NUVThrowFromResultCode(NUVResultInvalidType);
  return *array;
}

}  // namespace

extern "C" {

// Native classes ------------------------------------------------------------------------

MRVK_EXPORT int32_t Mrvk_00E1_Export_Func(const char16_t* name) { return RegisterNativeClassName(name); }
MRVK_EXPORT int32_t Mrvk_00E2_Export_Func(const char16_t* name) { return FindNativeClassID(name); }
// The interned name with a reference for the caller; null for an unknown id.
MRVK_EXPORT tNUVVariantString* Mrvk_00E3_Export_Func(int32_t id) { return FindNativeClassName(id).Detach(); }
MRVK_EXPORT iNUVDispatch2* Mrvk_00E4_Export_Func(tNUVNativeCallback callback) {
  return new tNUVNativeClassMethod(callback);
}
MRVK_EXPORT iNUVDispatch2* Mrvk_00E5_Export_Func(tNUVNativeCallback callback) {
  return new tNUVNativeClassConstructor(callback);
}
MRVK_EXPORT iNUVDispatch2* Mrvk_00E6_Export_Func(tNUVNativeGetter getter, tNUVNativeSetter setter) {
  return new tNUVNativeClassProperty(getter, setter);
}

// Stores member (kind 1 method or constructor, 2 property) on the class object and
// releases the caller's reference to it, also when storing fails. Any object can
// take members this way; a native class object stores them as its own classes do.
MRVK_EXPORT void Mrvk_00E7_Export_Func(iNUVDispatch2* classObject, const char16_t* name, iNUVDispatch2* member,
                                       const char16_t* /*className*/, int32_t kind, uint32_t flags) {
  if (auto* nativeClass = dynamic_cast<tNUVNativeClass*>(classObject)) {
    nativeClass->RegisterMember(name, member, kind, flags);
    return;
  }
  struct tRegistrationReference {
    iNUVDispatch2* Object;
    ~tRegistrationReference() { NUVReleaseNoThrow(Object); }
  } registration{member};
  if (!classObject) NUVThrowError(NUVNullAccess);
  tNUVString interned = MapGlobalString(tNUVString(name));
  tNUVVariant value(member, nullptr);
  uint32_t storeFlags = flags | NUVMemberEnsure | NUVIgnoreProperty;
  int32_t code = classObject->SetMemberByBody(storeFlags, interned.GetBody(), &value, classObject);
  if (code == NUVResultNotImplemented)
    code = classObject->SetMember(storeFlags, interned.c_str(), nullptr, &value, classObject);
  NUVThrowFromResultCode(code, interned);
}

MRVK_EXPORT void Mrvk_00E8_Export_Func(iNUVDispatch2* classObject, int32_t classId) {
  auto* nativeClass = dynamic_cast<tNUVNativeClass*>(classObject);
  if (!nativeClass) NUVThrowFromResultCode(classObject ? NUVResultInvalidType : NUVResultInvalidObject);
  nativeClass->SetClassID(classId);
}

// A class object named name. classId -1 keeps the id registered for the name.
// factory (may be null) makes the native instance of every new object of the class.
MRVK_EXPORT iNUVDispatch2* Mrvk_00E9_Export_Func(const char16_t* name, int32_t classId,
                                                 tNUVNativeClassForPlugin::tFactory factory) {
  auto* nativeClass = new tNUVNativeClassForPlugin(name, factory);
  if (classId != -1) nativeClass->SetClassID(classId);
  return nativeClass;
}
MRVK_EXPORT iNUVDispatch2* Mrvk_0100_Export_Func() { return NUVCreateCustomObject(); }

// Errors, messages, arrays, dictionaries, tables ---------------------------------------------

[[noreturn]] MRVK_EXPORT void Mrvk_00EA_Export_Func() { NUVThrowError(NUVNullAccess); }
[[noreturn]] MRVK_EXPORT void Mrvk_00EB_Export_Func() { NUVThrowError(NUVDivideByZero); }

MRVK_EXPORT iNUVDispatch2* Mrvk_00F8_Export_Func() { return CreateArrayObject(); }
MRVK_EXPORT int32_t Mrvk_00F9_Export_Func(iNUVDispatch2* array) { return RequireArray(array).GetCount(); }
// Assigns elements start .. start + count - 1 (as far as they exist) to
// destination[0], destination[1], ...; returns the number copied.
MRVK_EXPORT int32_t Mrvk_00FA_Export_Func(iNUVDispatch2* array, tNUVVariant* destination, int32_t start,
                                          int32_t count) {
  tNUVArrayNI& elements = RequireArray(array);
  if (start < 0 || count <= 0 || start >= elements.GetCount()) return 0;
  int32_t available = elements.GetCount() - start;
  if (count > available) count = available;
  for (int32_t i = 0; i < count; ++i) destination[i] = elements.At(start + i);
  return count;
}
MRVK_EXPORT iNUVDispatch2* Mrvk_00FB_Export_Func() { return CreateDictionaryObject(); }
// The message's text with a reference for the caller; null (empty) for unknown ids.
MRVK_EXPORT tNUVVariantString* Mrvk_00FC_Export_Func(const char16_t* id) {
  return tNUVMessageMapper::Get(id ? id : u"").Detach();
}
MRVK_EXPORT void Mrvk_00FF_Export_Func() { tNUVCustomObject::RequestRehash(); }

}  // extern "C"

}  // namespace NUV
