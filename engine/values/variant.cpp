#include "engine/values/variant.h"

#include <cmath>
#include <cstring>

#include "engine/compiler/number_scanner.h"
#include "engine/services/error_report.h"
#include "engine/services/errors.h"
#include "engine/values/variant_internal.h"

namespace NUV {

using namespace VariantDetail;

namespace VariantDetail {

void ThrowConvertError(const tNUVVariant& value, const char16_t* target) {
  tNUVString readable = value.ReadableText(512);
  tNUVString targetName(target);
  NUVThrowVariantError(NUVFillMessage(NUVVariantConvertError, &readable, &targetName));
}

void ThrowConvertErrorToObject(const tNUVVariant& value) {
  tNUVString readable = value.ReadableText(512);
  NUVThrowVariantError(NUVFillMessage(NUVVariantConvertErrorToObject, &readable));
}

tNUVVariant NumberOf(const tNUVVariant& value) {
  switch (value.vt) {
    case tvtVoid: return tNUVVariant(int64_t{0});
    case tvtString: return ParseNumberText(value.String ? value.String->Text() : u"");
    case tvtInteger:
    case tvtReal: return value;
    default: ThrowConvertError(value, NUVTargetNumber);
  }
}

}  // namespace VariantDetail

namespace {

// Real to integer as the processor's truncating conversion does it: NaN and values
// outside the 64-bit range give the most negative integer.
int64_t TruncateReal(double value) {
  if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0)) return INT64_MIN;
  return static_cast<int64_t>(value);
}

}  // namespace

// Construction and assignment ------------------------------------------------------

tNUVVariant::tNUVVariant(iNUVDispatch2* object, iNUVDispatch2* objThis) {
  vt = tvtObject;
  Object.Object = object;
  Object.ObjThis = objThis;
  if (object) object->AddRef();
  if (objThis) objThis->AddRef();
}

void tNUVVariant::AddRefContent() {
  switch (vt) {
    case tvtObject:
      if (Object.Object) Object.Object->AddRef();
      if (Object.ObjThis) Object.ObjThis->AddRef();
      break;
    case tvtString: AddRefStringBody(String); break;
    case tvtOctet: AddRefOctet(Octet); break;
    default: break;
  }
}

namespace {
// Drops the references a value record holds; may run finalizers (and raise).
void ReleaseRecord(const tNUVVariant_S& old) {
  switch (old.vt) {
    case tvtObject: tNUVVariantClosure(old.Object).Release(); break;
    case tvtString: ReleaseStringBody(old.String); break;
    case tvtOctet: ReleaseOctet(old.Octet); break;
    default: break;
  }
}
}  // namespace

// The variant is void before anything is released, so code that runs during a
// release (an object's finalizer) never sees a half-released value here.
void tNUVVariant::ReleaseContent() {
  tNUVVariant_S old = *this;
  ZeroValue();
  vt = tvtVoid;
  ReleaseRecord(old);
}

void tNUVVariant::ReleaseContentNoThrow() noexcept {
  try {
    ReleaseContent();
  } catch (...) {
    NUVReportCurrentException();
  }
}

// The new value is referenced before the old one is released, so assigning a
// variant to itself is safe; a finalizer's exception from the release passes on.
tNUVVariant& tNUVVariant::AssignContent(const tNUVVariant& other) {
  tNUVVariant_S old = *this;
  static_cast<tNUVVariant_S&>(*this) = other;
  AddRefContent();
  ReleaseRecord(old);
  return *this;
}

// The source is left void and the old value is released right here, not handed to
// the source: a moved-from temporary that lives on must not keep an object alive.
tNUVVariant& tNUVVariant::MoveContent(tNUVVariant&& other) {
  if (this == &other) return *this;
  tNUVVariant_S old = *this;
  static_cast<tNUVVariant_S&>(*this) = other;
  other.ZeroValue();
  other.vt = tvtVoid;
  ReleaseRecord(old);
  return *this;
}

tNUVVariant& tNUVVariant::operator=(const tNUVVariantClosure_S& closure) {
  SetObject(closure.Object, closure.ObjThis);
  return *this;
}

tNUVVariant& tNUVVariant::operator=(iNUVDispatch2* object) {
  SetObject(object, nullptr);
  return *this;
}

void tNUVVariant::SetObject(iNUVDispatch2* object, iNUVDispatch2* objThis) {
  *this = tNUVVariant(object, objThis);
}

tNUVVariant& tNUVVariant::operator=(const tNUVString& string) {
  *this = tNUVVariant(string);
  return *this;
}

tNUVVariant& tNUVVariant::operator=(const char16_t* text) {
  *this = tNUVVariant(text);
  return *this;
}

tNUVVariant& tNUVVariant::operator=(tNUVVariantOctet* octet) {
  *this = tNUVVariant(octet);
  return *this;
}

const char16_t* tNUVVariant::TypeName(int32_t tag) {
  switch (tag) {
    case tvtVoid: return u"void";
    case tvtObject: return u"object";
    case tvtString: return u"string";
    case tvtOctet: return u"octet";
    case tvtInteger: return u"int";
    case tvtReal: return u"real";
    default: return u"unknown";
  }
}

// Conversions ------------------------------------------------------------------------

int64_t tNUVVariant::AsInteger() const {
  switch (vt) {
    case tvtVoid: return 0;
    case tvtString: {
      tNUVVariant number = ParseNumberText(String ? String->Text() : u"");
      return number.vt == tvtReal ? TruncateReal(number.Real) : number.Integer;
    }
    case tvtInteger: return Integer;
    case tvtReal: return TruncateReal(Real);
    default: ThrowConvertError(*this, NUVTargetInteger);
  }
}

double tNUVVariant::AsReal() const {
  switch (vt) {
    case tvtVoid: return 0.0;
    case tvtString: {
      tNUVVariant number = ParseNumberText(String ? String->Text() : u"");
      return number.vt == tvtReal ? number.Real : static_cast<double>(number.Integer);
    }
    case tvtInteger: return static_cast<double>(Integer);
    case tvtReal: return Real;
    default: ThrowConvertError(*this, NUVTargetReal);
  }
}

tNUVString tNUVVariant::AsString() const {
  switch (vt) {
    case tvtVoid: return tNUVString();
    case tvtObject: return ObjectToText(Object.Object, Object.ObjThis);
    case tvtString: return tNUVString::FromBody(String);
    case tvtInteger: return tNUVString::FromInteger(Integer);
    case tvtReal: return RealToText(Real);
    default: ThrowConvertError(*this, NUVTargetString);
  }
}

tNUVVariantOctet* tNUVVariant::AsOctet() const {
  switch (vt) {
    case tvtVoid: return nullptr;
    case tvtOctet: return Octet;
    default: ThrowConvertError(*this, NUVTargetOctet);
  }
}

bool tNUVVariant::AsBoolean() const {
  switch (vt) {
    case tvtVoid: return false;
    case tvtObject: return Object.Object != nullptr;
    case tvtString: return AsInteger() != 0;
    case tvtOctet: return Octet != nullptr;
    case tvtInteger: return Integer != 0;
    case tvtReal: return Real != 0.0 && !std::isnan(Real);
    default: return false;
  }
}

iNUVDispatch2* tNUVVariant::AsObject() const {
  if (vt != tvtObject) ThrowConvertErrorToObject(*this);
  return Object.Object;
}

iNUVDispatch2* tNUVVariant::AsObjectThis() const {
  if (vt != tvtObject) ThrowConvertErrorToObject(*this);
  return Object.ObjThis;
}

tNUVVariantClosure tNUVVariant::AsObjectClosure() const {
  if (vt != tvtObject) ThrowConvertErrorToObject(*this);
  return tNUVVariantClosure(Object);
}

void tNUVVariant::ToInteger() {
  int64_t value = AsInteger();
  SetInteger(value);
}

void tNUVVariant::ToReal() {
  double value = AsReal();
  SetReal(value);
}

void tNUVVariant::ToString() {
  switch (vt) {
    case tvtString: return;
    case tvtOctet: ThrowConvertError(*this, NUVTargetString);
    default: {
      tNUVString text = AsString();
      *this = text;
      return;
    }
  }
}

void tNUVVariant::ToOctet() {
  switch (vt) {
    case tvtOctet: return;
    case tvtVoid:
      vt = tvtOctet;
      Octet = nullptr;
      return;
    default: ThrowConvertError(*this, NUVTargetOctet);
  }
}

void tNUVVariant::ToNumber() {
  if (vt == tvtInteger || vt == tvtReal) return;
  tNUVVariant number = NumberOf(*this);
  *this = std::move(number);
}

tNUVVariant ParseNumberText(const char16_t* text) {
  tNUVScannedNumber number;
  const char16_t* cursor = text ? text : u"";
  if (!ScanNumber(cursor, number)) return tNUVVariant(int64_t{0});
  return number.IsReal ? tNUVVariant(number.Real) : tNUVVariant(number.Integer);
}

tNUVString::tNUVString(const tNUVVariant& value) {
  Ptr = value.AsString().Detach();
}

// Comparisons ------------------------------------------------------------------------

namespace {

bool SameText(const tNUVVariantString* left, const tNUVVariantString* right) {
  if (left == right) return true;
  if (!left || !right || left->Length != right->Length) return false;
  return std::memcmp(left->Text(), right->Text(), sizeof(char16_t) * left->Length) == 0;
}

bool SameBytes(const tNUVVariantOctet* left, const tNUVVariantOctet* right) {
  if (left == right) return true;
  if (!left || !right || left->Length != right->Length) return false;
  return std::memcmp(left->Data, right->Data, left->Length) == 0;
}

// The zero test the void comparison uses; it lets NaN through as well.
bool IsZeroOrNaN(double value) { return value == 0.0 || std::isnan(value); }

bool RealsEqual(double left, double right) {
  if (std::isnan(left) || std::isnan(right)) return false;
  return left == right;   // infinities are equal only to the same infinity
}

}  // namespace

bool tNUVVariant::NormalCompare(const tNUVVariant& other) const {
  if (vt == other.vt) {
    switch (vt) {
      case tvtVoid: return true;
      case tvtObject: return Object.Object == other.Object.Object;
      case tvtString: return SameText(String, other.String);
      case tvtOctet: return SameBytes(Octet, other.Octet);
      case tvtInteger: return Integer == other.Integer;
      default: break;
    }
  }
  if (vt == tvtString || other.vt == tvtString) {
    tNUVString left = AsString();
    tNUVString right = other.AsString();
    if (left.IsEmpty() && right.IsEmpty()) return true;
    if (left.IsEmpty() || right.IsEmpty()) return false;
    return left == right;
  }
  if (vt == tvtVoid || other.vt == tvtVoid) {
    const tNUVVariant& value = vt == tvtVoid ? other : *this;
    if (value.vt == tvtInteger) return value.Integer == 0;
    if (value.vt == tvtReal) return IsZeroOrNaN(value.Real);
    return false;
  }
  return RealsEqual(AsReal(), other.AsReal());
}

bool tNUVVariant::DiscernCompare(const tNUVVariant& other) const {
  if (vt != other.vt) return false;
  switch (vt) {
    case tvtVoid: return true;
    case tvtObject:
      return Object.Object == other.Object.Object && Object.ObjThis == other.Object.ObjThis;
    case tvtString: return SameText(String, other.String);
    case tvtOctet: return SameBytes(Octet, other.Octet);
    case tvtInteger: return Integer == other.Integer;
    case tvtReal: return RealsEqual(Real, other.Real);
    default: return false;
  }
}

bool tNUVVariant::DiscernCompareStrictReal(const tNUVVariant& other) const {
  if (vt == tvtReal && other.vt == tvtReal) {
    uint64_t left, right;
    std::memcpy(&left, &Real, sizeof left);
    std::memcpy(&right, &other.Real, sizeof right);
    return left == right;
  }
  return DiscernCompare(other);
}

bool tNUVVariant::LessThan(const tNUVVariant& other) const {
  if (vt == tvtString && other.vt == tvtString) {
    return tNUVString::FromBody(String) < tNUVString::FromBody(other.String);
  }
  if (vt == tvtInteger && other.vt == tvtInteger) return Integer < other.Integer;
  double left = AsReal();
  double right = other.AsReal();
  if (std::isnan(left) || std::isnan(right)) return true;
  return left < right;
}

bool tNUVVariant::GreaterThan(const tNUVVariant& other) const {
  if (vt == tvtString && other.vt == tvtString) {
    return tNUVString::FromBody(String) > tNUVString::FromBody(other.String);
  }
  if (vt == tvtInteger && other.vt == tvtInteger) return Integer > other.Integer;
  double left = AsReal();
  double right = other.AsReal();
  if (std::isnan(left) || std::isnan(right)) return false;
  return left > right;
}

}  // namespace NUV
