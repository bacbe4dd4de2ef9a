#include "engine/objects/date_class.h"

#include "engine/objects/date_parser.h"
#include "engine/services/errors.h"

namespace NUV {
namespace {

using tFields = Platform::tLocalTimeFields;

// A field argument; values beyond 32 bits cannot be a local time field.
int32_t FieldArgument(const tNUVVariant& value) {
  int64_t number = value.AsInteger();
  if (number < INT32_MIN || number > INT32_MAX) NUVThrowError(NUVInvalidValueForTimestamp);
  return static_cast<int32_t>(number);
}

int32_t FinalizeDate(tNUVVariant*, int32_t, tNUVVariant**, iNUVDispatch2*) { return NUVResultOk; }

int32_t ConstructDate(tNUVVariant*, int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) {
  return NUVConstructNativeInstance(tNUVNI_Date::ClassID, argumentCount, arguments, objThis);
}

int32_t SetYear(tNUVNI_Date& self, const tNUVNativeCall& call) {
  tFields fields = self.LocalFields();
  fields.Year = call.Argument(0).AsInteger();
  self.SetLocalFields(fields);
  return NUVResultOk;
}

template <int32_t tFields::*Field>
int32_t SetField(tNUVNI_Date& self, const tNUVNativeCall& call) {
  tFields fields = self.LocalFields();
  fields.*Field = FieldArgument(call.Argument(0));
  self.SetLocalFields(fields);
  return NUVResultOk;
}

// Milliseconds, truncated toward zero to whole seconds.
int32_t SetTime(tNUVNI_Date& self, const tNUVNativeCall& call) {
  self.SetTime(call.Argument(0).AsInteger() / 1000);
  return NUVResultOk;
}

int32_t GetYear(tNUVNI_Date& self, const tNUVNativeCall& call) {
  call.SetResult(self.LocalFields().Year);
  return NUVResultOk;
}

template <int32_t tFields::*Field>
int32_t GetField(tNUVNI_Date& self, const tNUVNativeCall& call) {
  call.SetResult(self.LocalFields().*Field);
  return NUVResultOk;
}

int32_t GetTime(tNUVNI_Date& self, const tNUVNativeCall& call) {
  call.SetResult(self.GetTime() * 1000);
  return NUVResultOk;
}

// Minutes west of UTC in standard time; needs no Date.
int32_t GetTimezoneOffset(const tNUVNativeCall& call) {
  call.SetResult(Platform::StandardOffsetWest() / 60);
  return NUVResultOk;
}

int32_t Parse(tNUVNI_Date& self, const tNUVNativeCall& call) {
  self.Parse(call.Argument(0).AsString());
  return NUVResultOk;
}

template <int32_t MinimumArguments, int32_t (*Body)(tNUVNI_Date& self, const tNUVNativeCall& call)>
iNUVDispatch2* DateMethod() {
  return new tNUVNativeClassMethod(NUVInstanceMethod<tNUVNI_Date, MinimumArguments, Body>);
}

}  // namespace

// The native instance ------------------------------------------------------------

int32_t tNUVNI_Date::Construct(int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2*) {
  if (argumentCount == 0) {
    SetTime(Platform::CurrentTime());
    return NUVResultOk;
  }
  if (arguments[0]->vt == tvtString) {
    Parse(arguments[0]->AsString());
    return NUVResultOk;
  }
  tNUVNativeCall call{nullptr, argumentCount, arguments, nullptr};
  tFields fields;
  fields.Year = arguments[0]->AsInteger();
  fields.Month = call.Has(1) ? FieldArgument(call.Argument(1)) : 0;
  fields.Day = call.Has(2) ? FieldArgument(call.Argument(2)) : 1;
  fields.Hours = call.Has(3) ? FieldArgument(call.Argument(3)) : 0;
  fields.Minutes = call.Has(4) ? FieldArgument(call.Argument(4)) : 0;
  fields.Seconds = call.Has(5) ? FieldArgument(call.Argument(5)) : 0;
  fields.IsDaylight = 0;
  SetLocalFields(fields);
  return NUVResultOk;
}

void tNUVNI_Date::SetTime(int64_t seconds) {
  if (seconds > NUVDateMaxSeconds || seconds < -NUVDateMaxSeconds) NUVThrowError(NUVInvalidValueForTimestamp);
  Time = seconds;
}

Platform::tLocalTimeFields tNUVNI_Date::LocalFields() const {
  tFields fields;
  if (!Platform::BreakDownLocalTime(Time, fields)) NUVThrowError(NUVInvalidValueForTimestamp);
  return fields;
}

void tNUVNI_Date::SetLocalFields(const Platform::tLocalTimeFields& fields) {
  int64_t time = 0;
  if (!Platform::MakeLocalTime(fields, time)) NUVThrowError(NUVInvalidValueForTimestamp);
  SetTime(time);
}

void tNUVNI_Date::Parse(const tNUVString& text) {
  tNUVDateParser parser;
  SetTime(parser.Parse(text) / 1000);
}

// The class object -----------------------------------------------------------------

tNUVNC_Date::tNUVNC_Date() : tNUVNativeClass(u"Date") {
  tNUVNI_Date::ClassID = ClassID;
  RegisterMember(u"finalize", new tNUVNativeClassMethod(FinalizeDate), NUVNativeMemberMethod);
  RegisterMember(u"Date", new tNUVNativeClassConstructor(ConstructDate), NUVNativeMemberMethod);
  RegisterMember(u"setYear", DateMethod<1, SetYear>(), NUVNativeMemberMethod);
  RegisterMember(u"setMonth", DateMethod<1, SetField<&tFields::Month>>(), NUVNativeMemberMethod);
  RegisterMember(u"setDate", DateMethod<1, SetField<&tFields::Day>>(), NUVNativeMemberMethod);
  RegisterMember(u"setHours", DateMethod<1, SetField<&tFields::Hours>>(), NUVNativeMemberMethod);
  RegisterMember(u"setMinutes", DateMethod<1, SetField<&tFields::Minutes>>(), NUVNativeMemberMethod);
  RegisterMember(u"setSeconds", DateMethod<1, SetField<&tFields::Seconds>>(), NUVNativeMemberMethod);
  RegisterMember(u"setTime", DateMethod<1, SetTime>(), NUVNativeMemberMethod);
  RegisterMember(u"getDate", DateMethod<0, GetField<&tFields::Day>>(), NUVNativeMemberMethod);
  RegisterMember(u"getDay", DateMethod<0, GetField<&tFields::WeekDay>>(), NUVNativeMemberMethod);
  RegisterMember(u"getHours", DateMethod<0, GetField<&tFields::Hours>>(), NUVNativeMemberMethod);
  RegisterMember(u"getMinutes", DateMethod<0, GetField<&tFields::Minutes>>(), NUVNativeMemberMethod);
  RegisterMember(u"getMonth", DateMethod<0, GetField<&tFields::Month>>(), NUVNativeMemberMethod);
  RegisterMember(u"getSeconds", DateMethod<0, GetField<&tFields::Seconds>>(), NUVNativeMemberMethod);
  RegisterMember(u"getTime", DateMethod<0, GetTime>(), NUVNativeMemberMethod);
  RegisterMember(u"getTimezoneOffset", new tNUVNativeClassMethod(NUVStaticMethod<0, GetTimezoneOffset>),
                 NUVNativeMemberMethod);
  RegisterMember(u"getYear", DateMethod<0, GetYear>(), NUVNativeMemberMethod);
  RegisterMember(u"parse", DateMethod<1, Parse>(), NUVNativeMemberMethod);
}

}  // namespace NUV
