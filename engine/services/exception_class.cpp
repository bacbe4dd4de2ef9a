#include "engine/services/exception_class.h"

namespace NUV {
namespace {

int32_t StoreTextMember(iNUVDispatch2* target, const char16_t* name, const tNUVNativeCall& call, int32_t index) {
  tNUVVariant value = call.Has(index) ? call.Argument(index) : tNUVVariant(tNUVString());
  return target->SetMember(NUVMemberEnsure, name, nullptr, &value, target);
}

int32_t ConstructException(tNUVVariant* result, int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) {
  if (!objThis) return NUVResultNativeClassCrash;
  tNUVNativeCall call{result, argumentCount, arguments, objThis};
  int32_t code = StoreTextMember(objThis, u"message", call, 0);
  if (NUVFailed(code)) return code;
  return StoreTextMember(objThis, u"trace", call, 1);
}

int32_t FinalizeException(tNUVVariant*, int32_t, tNUVVariant**, iNUVDispatch2*) { return NUVResultOk; }

}  // namespace

tNUVNC_Exception::tNUVNC_Exception() : tNUVNativeClass(u"Exception") {
  RegisterMember(u"Exception", new tNUVNativeClassConstructor(ConstructException), NUVNativeMemberMethod);
  RegisterMember(u"finalize", new tNUVNativeClassMethod(FinalizeException), NUVNativeMemberMethod);
}

}  // namespace NUV
