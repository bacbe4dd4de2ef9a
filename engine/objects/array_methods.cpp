// The Array class object and the script-visible methods of arrays.

#include <algorithm>

#include "engine/objects/array.h"
#include "engine/objects/dictionary.h"
#include "engine/services/error_report.h"
#include "engine/services/errors.h"
#include "engine/services/text_stream.h"

namespace NUV {
namespace {

tNUVRegExpSplitter RegExpSplitter = nullptr;
tNUVArrayClass* SharedArrayClass = nullptr;

// The source object of "assign" and "assignStruct": objthis of the closure, else
// its object.
iNUVDispatch2* SourceObject(const tNUVVariant& argument) {
  tNUVVariantClosure closure = argument.AsObjectClosure();
  iNUVDispatch2* source = closure.ObjThis ? closure.ObjThis : closure.Object;
  if (!source) NUVThrowError(NUVNullAccess);
  return source;
}

tNUVString ModeArgument(const tNUVNativeCall& call, int32_t index, const char16_t* defaultMode) {
  return call.Has(index) ? call.Argument(index).AsString() : tNUVString(defaultMode);
}

bool FlagArgument(const tNUVNativeCall& call, int32_t index) { return call.Has(index) && call.Argument(index).AsBoolean(); }

// The array itself, bound to itself, as the result of methods that answer it.
void ResultIsArray(const tNUVNativeCall& call) {
  if (call.Result) call.Result->SetObject(call.ObjThis, call.ObjThis);
}

// Lines end at CR, LF or CR LF; a last piece without line end is a line only when
// it is not empty.
std::vector<tNUVVariant> SplitLines(const tNUVString& text) {
  std::vector<tNUVVariant> lines;
  const char16_t* data = text.c_str();
  int32_t length = text.GetLen();
  int32_t start = 0;
  for (int32_t i = 0; i < length; ++i) {
    if (data[i] != u'\r' && data[i] != u'\n') continue;
    lines.emplace_back(tNUVString(data + start, i - start));
    if (data[i] == u'\r' && i + 1 < length && data[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  if (start < length) lines.emplace_back(tNUVString(data + start, length - start));
  return lines;
}

// Method bodies -------------------------------------------------------------------

// Methods of an invalidated array answer -1006.
template <int32_t (*Body)(tNUVArrayNI& self, const tNUVNativeCall& call)>
int32_t LiveArray(tNUVArrayNI& self, const tNUVNativeCall& call) {
  if (self.IsInvalidated()) return NUVResultInvalidObject;
  return Body(self, call);
}

template <int32_t MinimumArguments, int32_t (*Body)(tNUVArrayNI& self, const tNUVNativeCall& call)>
iNUVDispatch2* ArrayMethod() {
  return new tNUVNativeClassMethod(NUVInstanceMethod<tNUVArrayNI, MinimumArguments, LiveArray<Body>>);
}

int32_t ConstructArray(tNUVVariant*, int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) {
  return NUVConstructNativeInstance(tNUVArrayNI::ClassID, argumentCount, arguments, objThis);
}

int32_t MethodLoad(tNUVArrayNI& self, const tNUVNativeCall& call) {
  self.Load(call.Argument(0).AsString(), ModeArgument(call, 1, u"r"));
  ResultIsArray(call);
  return NUVResultOk;
}

int32_t MethodSave(tNUVArrayNI& self, const tNUVNativeCall& call) {
  self.Save(call.Argument(0).AsString(), ModeArgument(call, 1, u"w"));
  ResultIsArray(call);
  return NUVResultOk;
}

int32_t MethodSaveStruct(tNUVArrayNI& self, const tNUVNativeCall& call) {
  NUVSaveStructureToFile(call.ObjThis, self, call.Argument(0).AsString(), ModeArgument(call, 1, u"w"));
  ResultIsArray(call);
  return NUVResultOk;
}

int32_t MethodSplit(tNUVArrayNI& self, const tNUVNativeCall& call) {
  self.Split(call.Argument(0), call.Argument(1).AsString(), FlagArgument(call, 3));
  ResultIsArray(call);
  return NUVResultOk;
}

int32_t MethodJoin(tNUVArrayNI& self, const tNUVNativeCall& call) {
  if (!call.Result) return NUVResultOk;
  *call.Result = self.Join(call.Argument(0).AsString(), FlagArgument(call, 2));
  return NUVResultOk;
}

int32_t MethodSort(tNUVArrayNI& self, const tNUVNativeCall& call) {
  self.Sort(call.ArgumentCount > 0 ? &call.Argument(0) : nullptr, FlagArgument(call, 1));
  return NUVResultOk;
}

int32_t MethodReverse(tNUVArrayNI& self, const tNUVNativeCall&) {
  self.Reverse();
  return NUVResultOk;
}

int32_t MethodAssign(tNUVArrayNI& self, const tNUVNativeCall& call) {
  self.AssignFrom(SourceObject(call.Argument(0)));
  return NUVResultOk;
}

int32_t MethodAssignStruct(tNUVArrayNI& self, const tNUVNativeCall& call) {
  iNUVDispatch2* source = SourceObject(call.Argument(0));
  tNUVArrayNI* sourceArray = NUVFindArray(source);
  if (!sourceArray) NUVThrowError(NUVSpecifyDicOrArray);
  tNUVObjectHolder holdSource(source);
  tNUVStructureStack stack;
  tNUVStructureStackEntry entry(stack, source);
  self.CopyStructureFrom(*sourceArray, stack);
  return NUVResultOk;
}

int32_t MethodClear(tNUVArrayNI& self, const tNUVNativeCall&) {
  self.Clear();
  return NUVResultOk;
}

int32_t MethodErase(tNUVArrayNI& self, const tNUVNativeCall& call) {
  int64_t index = call.Argument(0).AsInteger();
  if (index < 0) index += self.GetCount();
  if (index < 0 || index >= self.GetCount()) NUVThrowError(NUVRangeError);
  self.Erase(static_cast<int32_t>(index));
  return NUVResultOk;
}

int32_t MethodRemove(tNUVArrayNI& self, const tNUVNativeCall& call) {
  bool all = call.ArgumentCount < 2 || call.Argument(1).IsVoid() || call.Argument(1).AsBoolean();
  int32_t removed = self.Remove(call.Argument(0), all);
  call.SetResult(tNUVVariant(removed));
  return NUVResultOk;
}

int32_t MethodInsert(tNUVArrayNI& self, const tNUVNativeCall& call) {
  int64_t index = call.Argument(0).AsInteger();
  if (index < 0) index += self.GetCount();
  if (index < 0 || index > self.GetCount()) NUVThrowError(NUVRangeError);
  self.Insert(static_cast<int32_t>(index), call.Argument(1));
  return NUVResultOk;
}

int32_t MethodAdd(tNUVArrayNI& self, const tNUVNativeCall& call) {
  self.Add(call.Argument(0));
  call.SetResult(tNUVVariant(self.GetCount() - 1));
  return NUVResultOk;
}

int32_t MethodFind(tNUVArrayNI& self, const tNUVNativeCall& call) {
  if (!call.Result) return NUVResultOk;
  int64_t start = call.Has(1) ? call.Argument(1).AsInteger() : 0;
  start = std::clamp<int64_t>(start, INT32_MIN, INT32_MAX);
  *call.Result = self.Find(call.Argument(0), static_cast<int32_t>(start));
  return NUVResultOk;
}

int32_t GetCountProperty(tNUVArrayNI& self, tNUVVariant& result) {
  if (self.IsInvalidated()) return NUVResultInvalidObject;
  result = self.GetCount();
  return NUVResultOk;
}

// A negative count raises NUVRangeError (nothing sensible to truncate to).
int32_t SetCountProperty(tNUVArrayNI& self, const tNUVVariant& value) {
  if (self.IsInvalidated()) return NUVResultInvalidObject;
  self.Resize(value.AsInteger());
  return NUVResultOk;
}

}  // namespace

// The class object -----------------------------------------------------------------

tNUVArrayClass::tNUVArrayClass() : tNUVNativeClass(u"Array") {
  tNUVArrayNI::ClassID = ClassID;
  RegisterMember(u"Array", new tNUVNativeClassConstructor(ConstructArray), NUVNativeMemberMethod);
  RegisterMember(u"load", ArrayMethod<1, MethodLoad>(), NUVNativeMemberMethod);
  RegisterMember(u"save", ArrayMethod<1, MethodSave>(), NUVNativeMemberMethod);
  RegisterMember(u"saveStruct", ArrayMethod<1, MethodSaveStruct>(), NUVNativeMemberMethod);
  RegisterMember(u"split", ArrayMethod<2, MethodSplit>(), NUVNativeMemberMethod);
  RegisterMember(u"join", ArrayMethod<1, MethodJoin>(), NUVNativeMemberMethod);
  RegisterMember(u"sort", ArrayMethod<0, MethodSort>(), NUVNativeMemberMethod);
  RegisterMember(u"reverse", ArrayMethod<0, MethodReverse>(), NUVNativeMemberMethod);
  RegisterMember(u"assign", ArrayMethod<1, MethodAssign>(), NUVNativeMemberMethod);
  RegisterMember(u"assignStruct", ArrayMethod<1, MethodAssignStruct>(), NUVNativeMemberMethod);
  RegisterMember(u"clear", ArrayMethod<0, MethodClear>(), NUVNativeMemberMethod);
  RegisterMember(u"erase", ArrayMethod<1, MethodErase>(), NUVNativeMemberMethod);
  RegisterMember(u"remove", ArrayMethod<1, MethodRemove>(), NUVNativeMemberMethod);
  RegisterMember(u"insert", ArrayMethod<2, MethodInsert>(), NUVNativeMemberMethod);
  RegisterMember(u"add", ArrayMethod<1, MethodAdd>(), NUVNativeMemberMethod);
  RegisterMember(u"find", ArrayMethod<1, MethodFind>(), NUVNativeMemberMethod);
  RegisterMember(u"count",
                 new tNUVNativeClassProperty(NUVInstanceGetter<tNUVArrayNI, GetCountProperty>,
                                             NUVInstanceSetter<tNUVArrayNI, SetCountProperty>),
                 NUVNativeMemberProperty);
}

iNUVDispatch2* CreateArrayObject() {
  if (!SharedArrayClass) {
    // Lives until the last engine goes, beyond the engine that made it: no leak.
    tNUVObjectTrackingPause untracked;
    SharedArrayClass = new tNUVArrayClass;
  }
  iNUVDispatch2* array = nullptr;
  NUVThrowFromResultCode(SharedArrayClass->CreateInstance(0, nullptr, nullptr, &array, 0, nullptr, nullptr));
  return array;
}

void NUVReleaseSharedArrayClass() {
  tNUVArrayClass* shared = SharedArrayClass;
  SharedArrayClass = nullptr;
  if (shared) shared->Release();
}

tNUVRegExpSplitter NUVSetRegExpSplitter(tNUVRegExpSplitter splitter) {
  tNUVRegExpSplitter old = RegExpSplitter;
  RegExpSplitter = splitter;
  return old;
}

// Script operations of the native instance ---------------------------------------------

// A dictionary-like source: every member that is not hidden adds its name and value.
class tNUVArrayNI::tDictionaryEnumCallback : public tNUVMemberVisitor {
public:
  explicit tDictionaryEnumCallback(std::vector<tNUVVariant>& target) : Target(target) {}

protected:
  void Visit(const tNUVVariant& name, uint32_t memberFlags, const tNUVVariant& value) override {
    if (memberFlags & NUVHiddenMember) return;
    Target.push_back(name.AsString());
    Target.push_back(value);
  }

private:
  std::vector<tNUVVariant>& Target;
};

// The new content is gathered before anything is replaced, so assigning an array
// from itself keeps its elements and a failing source leaves the array unchanged.
void tNUVArrayNI::AssignFrom(iNUVDispatch2* source) {
  tNUVObjectHolder holdSource(source);
  std::vector<tNUVVariant> values;
  if (tNUVArrayNI* array = NUVFindArray(source)) {
    values = array->Items;
  } else {
    NUVEnumerateInto(source, new tDictionaryEnumCallback(values));
  }
  ReplaceAll(std::move(values));
}

void tNUVArrayNI::CopyStructureFrom(const tNUVArrayNI& source, tNUVStructureStack& stack) {
  std::vector<tNUVVariant> values;
  values.reserve(source.Items.size());
  // Indexed: copying runs no script code, but the source is read afresh anyway.
  for (size_t i = 0; i < source.Items.size(); ++i) {
    tNUVVariant element(source.Items[i]);
    values.push_back(NUVCopyStructuredValue(element, stack));
  }
  ReplaceAll(std::move(values));
}

void tNUVArrayNI::SaveStructuredText(tNUVStructureStack& stack, tNUVStringAppender& buffer,
                                     const tNUVString& indent) {
  buffer.Append(u"[\n", 2);
  tNUVString childIndent = indent + u" ";
  for (size_t i = 0; i < Items.size(); ++i) {
    buffer.Append(childIndent);
    tNUVVariant element(Items[i]);
    NUVWriteStructuredValue(element, stack, buffer, childIndent);
    if (i + 1 < Items.size()) buffer.Append(u",\n", 2);
    else buffer.Append(u'\n');
  }
  buffer.Append(indent);
  buffer.Append(u']');
}

void tNUVArrayNI::Split(const tNUVVariant& delimiter, const tNUVString& text, bool purge) {
  Clear();
  if (delimiter.vt == tvtObject && RegExpSplitter && delimiter.Object.Object &&
      RegExpSplitter(delimiter.Object.Object, text, purge, *this))
    return;
  tNUVString separators = delimiter.AsString();
  const char16_t* separatorText = separators.c_str();
  int32_t separatorCount = separators.GetLen();
  // Long separator sets are looked up in a table of all units.
  std::vector<bool> table;
  if (separatorCount > 8) {
    table.assign(0x10000, false);
    for (int32_t i = 0; i < separatorCount; ++i) table[separatorText[i]] = true;
  }
  auto isSeparator = [&](char16_t unit) {
    if (!table.empty()) return static_cast<bool>(table[unit]);
    for (int32_t i = 0; i < separatorCount; ++i)
      if (separatorText[i] == unit) return true;
    return false;
  };
  std::vector<tNUVVariant> pieces;
  const char16_t* data = text.c_str();
  int32_t length = text.GetLen();
  int32_t start = 0;
  for (int32_t i = 0; i <= length; ++i) {
    if (i < length && !isSeparator(data[i])) continue;
    if (!purge || i > start) pieces.emplace_back(tNUVString(data + start, i - start));
    start = i + 1;
  }
  ReplaceAll(std::move(pieces));
}

tNUVString tNUVArrayNI::Join(const tNUVString& separator, bool omitVoid) const {
  tNUVStringAppender buffer;
  bool first = true;
  for (size_t i = 0; i < Items.size(); ++i) {
    const tNUVVariant& element = Items[i];
    if (omitVoid && element.IsVoid()) continue;
    if (!first) buffer.Append(separator);
    first = false;
    if (element.vt == tvtString) buffer.Append(tNUVString::FromBody(element.String));
    else if (!element.IsVoid()) buffer.Append(element.AsString());
  }
  return buffer.ToString();
}

void tNUVArrayNI::Load(const tNUVString& fileName, const tNUVString& mode) {
  tNUVString text;
  {
    tNUVTextStreamHolder<iNUVTextReadStream> stream(NUVCreateTextReadStream(fileName, mode));
    stream->Read(text, 0);
  }
  ReplaceAll(SplitLines(text));
}

void tNUVArrayNI::Save(const tNUVString& fileName, const tNUVString& mode) const {
  tNUVStringAppender buffer;
  for (size_t i = 0; i < Items.size(); ++i) {
    const tNUVVariant& element = Items[i];
    if (element.vt == tvtString || element.vt == tvtInteger || element.vt == tvtReal)
      buffer.Append(element.AsString());
    buffer.Append(u'\n');
  }
  tNUVTextStreamHolder<iNUVTextWriteStream> stream(NUVCreateTextWriteStream(fileName, mode));
  stream->Write(buffer.ToString());
}

}  // namespace NUV
