// The RegExp class object: its members, properties and the Array splitter hook.

#include "engine/objects/regexp_class.h"

#include "engine/services/errors.h"

namespace NUV {
namespace {

template <int32_t MinimumArguments, int32_t (*Body)(tNUVNI_RegExp& self, const tNUVNativeCall& call)>
iNUVDispatch2* RegExpMethod() {
  return new tNUVNativeClassMethod(NUVInstanceMethod<tNUVNI_RegExp, MinimumArguments, Body>);
}

template <int32_t (*Body)(tNUVNI_RegExp& self, tNUVVariant& result)>
iNUVDispatch2* ReadOnlyProperty() {
  return new tNUVNativeClassProperty(NUVInstanceGetter<tNUVNI_RegExp, Body>, nullptr);
}

int32_t ConstructRegExp(tNUVVariant*, int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) {
  return NUVConstructNativeInstance(tNUVNI_RegExp::ClassID, argumentCount, arguments, objThis);
}

int32_t MethodFinalize(tNUVNI_RegExp&, const tNUVNativeCall&) { return NUVResultOk; }

int32_t MethodCompile(tNUVNI_RegExp& self, const tNUVNativeCall& call) {
  uint32_t flags = tNUVNI_RegExp::DefaultFlags;
  if (call.ArgumentCount >= 2) {
    tNUVString flagText = call.Argument(1).AsString();
    flags = tNUVNI_RegExp::FlagsFromText(flagText.c_str(), flagText.GetLen());
  }
  self.Compile(call.Argument(0).AsString(), flags);
  return NUVResultOk;
}

// The literal form: "//" flags "/" pattern.
int32_t MethodLiteralCompile(tNUVNI_RegExp& self, const tNUVNativeCall& call) {
  if (call.ArgumentCount != 1) return NUVResultBadParamCount;
  tNUVString text = call.Argument(0).AsString();
  const char16_t* units = text.c_str();
  const int32_t length = text.GetLen();
  if (length < 2 || units[0] != u'/' || units[1] != u'/') return NUVResultFailed;
  int32_t separator = 2;
  while (separator < length && units[separator] != u'/') ++separator;
  if (separator == length) return NUVResultFailed;
  uint32_t flags = tNUVNI_RegExp::FlagsFromText(units + 2, separator - 2);
  self.Compile(tNUVString(units + separator + 1, length - separator - 1), flags);
  return NUVResultOk;
}

int32_t MethodTest(tNUVNI_RegExp& self, const tNUVNativeCall& call) {
  bool matched = self.Test(call.Argument(0).AsString());
  call.SetResult(tNUVVariant(matched));
  return NUVResultOk;
}

int32_t MethodMatch(tNUVNI_RegExp& self, const tNUVNativeCall& call) {
  tNUVVariant matches = self.Match(call.Argument(0).AsString());
  call.SetResult(matches);
  return NUVResultOk;
}

int32_t MethodExec(tNUVNI_RegExp& self, const tNUVNativeCall& call) {
  tNUVVariant matches = self.Exec(call.Argument(0).AsString());
  call.SetResult(matches);
  return NUVResultOk;
}

int32_t MethodReplace(tNUVNI_RegExp& self, const tNUVNativeCall& call) {
  // The replacement function may drop the last other reference to this object.
  tNUVObjectHolder holdSelf(call.ObjThis);
  tNUVString target = call.Argument(0).AsString();
  tNUVVariant replacement(call.Argument(1));
  tNUVString output;
  int32_t code = self.Replace(target, replacement, call.ObjThis, output);
  if (NUVFailed(code)) return code;
  call.SetResult(tNUVVariant(output));
  return NUVResultOk;
}

int32_t MethodSplit(tNUVNI_RegExp& self, const tNUVNativeCall& call) {
  bool purge = call.ArgumentCount >= 3 && call.Argument(2).AsBoolean();
  tNUVVariant array;
  tNUVArrayNI& elements = NUVNewArrayValue(array);
  self.Split(call.Argument(0).AsString(), purge, elements);
  call.SetResult(array);
  return NUVResultOk;
}

int32_t GetMatches(tNUVNI_RegExp& self, tNUVVariant& result) {
  result = self.GetMatches();
  return NUVResultOk;
}

int32_t GetStart(tNUVNI_RegExp& self, tNUVVariant& result) {
  result = self.GetStart();
  return NUVResultOk;
}

int32_t SetStart(tNUVNI_RegExp& self, const tNUVVariant& value) {
  self.SetStart(value.AsInteger());
  return NUVResultOk;
}

int32_t GetIndex(tNUVNI_RegExp& self, tNUVVariant& result) {
  result = self.GetIndex();
  return NUVResultOk;
}

int32_t GetLastIndex(tNUVNI_RegExp& self, tNUVVariant& result) {
  result = self.GetLastIndex();
  return NUVResultOk;
}

template <const tNUVString& (tNUVNI_RegExp::*Field)() const>
int32_t GetText(tNUVNI_RegExp& self, tNUVVariant& result) {
  result = (self.*Field)();
  return NUVResultOk;
}

// Array.split with a RegExp delimiter.
bool SplitByRegExp(iNUVDispatch2* delimiter, const tNUVString& text, bool purge, tNUVArrayNI& target) {
  tNUVNI_RegExp* regExp = NUVFindRegExp(delimiter);
  if (!regExp) return false;
  tNUVObjectHolder holdDelimiter(delimiter);
  regExp->Split(text, purge, target);
  return true;
}

}  // namespace

tNUVNI_RegExp* NUVFindRegExp(iNUVDispatch2* object) {
  if (tNUVNI_RegExp::ClassID < 0) return nullptr;
  return static_cast<tNUVNI_RegExp*>(NUVFindNativeInstance(object, tNUVNI_RegExp::ClassID));
}

tNUVNC_RegExp::tNUVNC_RegExp() : tNUVNativeClass(u"RegExp") {
  tNUVNI_RegExp::ClassID = ClassID;
  // The hook is a plain function that finds RegExp data by the process-wide class
  // id, so it stays valid after this class object is gone (RegExp objects may
  // outlive their engine) and is never uninstalled.
  NUVSetRegExpSplitter(SplitByRegExp);

  RegisterMember(u"finalize", RegExpMethod<0, MethodFinalize>(), NUVNativeMemberMethod);
  RegisterMember(u"RegExp", new tNUVNativeClassConstructor(ConstructRegExp), NUVNativeMemberMethod);
  RegisterMember(u"compile", RegExpMethod<1, MethodCompile>(), NUVNativeMemberMethod);
  RegisterMember(u"_compile", RegExpMethod<1, MethodLiteralCompile>(), NUVNativeMemberMethod);
  RegisterMember(u"test", RegExpMethod<1, MethodTest>(), NUVNativeMemberMethod);
  RegisterMember(u"match", RegExpMethod<1, MethodMatch>(), NUVNativeMemberMethod);
  RegisterMember(u"exec", RegExpMethod<1, MethodExec>(), NUVNativeMemberMethod);
  RegisterMember(u"replace", RegExpMethod<2, MethodReplace>(), NUVNativeMemberMethod);
  RegisterMember(u"split", RegExpMethod<1, MethodSplit>(), NUVNativeMemberMethod);
  RegisterMember(u"matches", ReadOnlyProperty<GetMatches>(), NUVNativeMemberProperty);
  RegisterMember(u"start",
                 new tNUVNativeClassProperty(NUVInstanceGetter<tNUVNI_RegExp, GetStart>,
                                             NUVInstanceSetter<tNUVNI_RegExp, SetStart>),
                 NUVNativeMemberProperty);
  RegisterMember(u"index", ReadOnlyProperty<GetIndex>(), NUVNativeMemberProperty);
  RegisterMember(u"lastIndex", ReadOnlyProperty<GetLastIndex>(), NUVNativeMemberProperty);
  RegisterMember(u"input", ReadOnlyProperty<GetText<&tNUVNI_RegExp::GetInput>>(), NUVNativeMemberProperty);
  RegisterMember(u"lastMatch", ReadOnlyProperty<GetText<&tNUVNI_RegExp::GetLastMatch>>(), NUVNativeMemberProperty);
  RegisterMember(u"lastParen", ReadOnlyProperty<GetText<&tNUVNI_RegExp::GetLastParen>>(), NUVNativeMemberProperty);
  RegisterMember(u"leftContext", ReadOnlyProperty<GetText<&tNUVNI_RegExp::GetLeftContext>>(),
                 NUVNativeMemberProperty);
  RegisterMember(u"rightContext", ReadOnlyProperty<GetText<&tNUVNI_RegExp::GetRightContext>>(),
                 NUVNativeMemberProperty);
}

}  // namespace NUV
