// The engine's error raising and the translation of object interface result codes.

#include "engine/services/errors.h"

namespace NUV {

tNUVString eNUV::GetMessage() const { return tNUVString(u"No-named exception"); }

void NUVThrowError(const tNUVString& message) { throw eNUVError(message); }

void NUVThrowError(const tNUVMessageHolder& message, const tNUVString* p1, const tNUVString* p2,
                   const tNUVString* p3, const tNUVString* p4) {
  throw eNUVError(NUVFillMessage(message.Text(), p1, p2, p3, p4));
}

void NUVThrowVariantError(const tNUVString& message) { throw eNUVVariantError(message); }

tNUVString NUVResultCodeMessage(int32_t code, const char16_t* memberName) {
  switch (code) {
    case -1001:
      if (memberName) {
        tNUVString name(memberName);
        return NUVFillMessage(NUVMemberNotFound.Text(), &name);
      }
      return tNUVString(NUVMemberNotFoundNoNameGiven.Text());
    case -1002: return tNUVString(NUVNotImplemented.Text());
    case -1003: return tNUVString(NUVInvalidParam.Text());
    case -1004: return tNUVString(NUVBadParamCount.Text());
    case -1005: return tNUVString(NUVInvalidType.Text());
    case -1006: return tNUVString(NUVInvalidObject.Text());
    case -1007: return tNUVString(NUVAccessDenyed.Text());
    case -1008: return tNUVString(NUVNativeClassCrash.Text());
    default: break;
  }
  // Success codes stand for no message.
  if (code >= 0) return tNUVString();
  return tNUVString(u"Unknown failure : ") + tNUVString::ToHexText(static_cast<uint32_t>(code), 8);
}

void NUVThrowFromResultCode(int32_t code, const char16_t* memberName) {
  if (code >= 0) return;
  throw eNUVError(NUVResultCodeMessage(code, memberName));
}

// c_str() is never null, so an empty name still counts as a name.
void NUVThrowFromResultCode(int32_t code, const tNUVString& memberName) {
  NUVThrowFromResultCode(code, memberName.c_str());
}

void NUVThrowFromResultCodeWithNumber(int32_t code, int32_t memberNumber) {
  if (code >= 0) return;
  tNUVString name = IntegerToText(memberNumber);
  NUVThrowFromResultCode(code, name.c_str());
}

}  // namespace NUV
