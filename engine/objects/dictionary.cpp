// The Dictionary class object, its instance object and its static class methods.

#include "engine/objects/dictionary.h"

#include <vector>

#include "engine/objects/array.h"
#include "engine/services/error_report.h"
#include "engine/services/errors.h"
#include "engine/values/variant_internal.h"

namespace NUV {
namespace {

tNUVDictionaryClass* SharedDictionaryClass = nullptr;

constexpr uint32_t NUVEntryStoreFlags = NUVMemberEnsure | NUVIgnoreProperty;

struct tEntry {
  tNUVString Name;
  uint32_t Flags;
  tNUVVariant Value;
};

void StoreEntries(iNUVDispatch2* owner, const std::vector<tEntry>& entries) {
  for (const tEntry& entry : entries) {
    if (entry.Name.IsEmpty()) continue;
    NUVThrowFromResultCode(owner->SetMemberByBody(entry.Flags, entry.Name.GetBody(), &entry.Value, owner),
                           entry.Name);
  }
}

// The names of an object's members, hidden or not.
class tNameCollector : public tNUVMemberVisitor {
public:
  explicit tNameCollector(std::vector<tNUVString>& names) : Names(names) {}

protected:
  void Visit(const tNUVVariant& name, uint32_t, const tNUVVariant&) override { Names.push_back(name.AsString()); }

private:
  std::vector<tNUVString>& Names;
};

iNUVDispatch2* SourceObject(const tNUVVariant& argument) {
  tNUVVariantClosure closure = argument.AsObjectClosure();
  iNUVDispatch2* source = closure.ObjThis ? closure.ObjThis : closure.Object;
  if (!source) NUVThrowError(NUVNullAccess);
  return source;
}

tNUVString ModeArgument(const tNUVNativeCall& call, int32_t index, const char16_t* defaultMode) {
  return call.Has(index) ? call.Argument(index).AsString() : tNUVString(defaultMode);
}

// Every class method: -1008 off a dictionary, -1006 on an invalidated one, then
// the argument count.
template <int32_t MinimumArguments, int32_t (*Body)(tNUVDictionaryNI& self, const tNUVNativeCall& call)>
int32_t DictionaryCallback(tNUVVariant* result, int32_t argumentCount, tNUVVariant** arguments,
                           iNUVDispatch2* objThis) {
  tNUVDictionaryNI* self = NUVFindDictionary(objThis);
  if (!self) return NUVResultNativeClassCrash;
  if (!self->GetOwner()) return NUVResultInvalidObject;
  if (argumentCount < MinimumArguments) return NUVResultBadParamCount;
  return Body(*self, tNUVNativeCall{result, argumentCount, arguments, objThis});
}

template <int32_t MinimumArguments, int32_t (*Body)(tNUVDictionaryNI& self, const tNUVNativeCall& call)>
iNUVDispatch2* DictionaryMethod() {
  return new tNUVNativeClassMethod(DictionaryCallback<MinimumArguments, Body>);
}

int32_t ConstructDictionary(tNUVVariant*, int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) {
  return NUVConstructNativeInstance(tNUVDictionaryNI::ClassID, argumentCount, arguments, objThis);
}

int32_t MethodNothing(tNUVDictionaryNI&, const tNUVNativeCall&) { return NUVResultOk; }

int32_t MethodSaveStruct(tNUVDictionaryNI& self, const tNUVNativeCall& call) {
  NUVSaveStructureToFile(call.ObjThis, self, call.Argument(0).AsString(), ModeArgument(call, 1, u"w"));
  if (call.Result) call.Result->SetObject(call.ObjThis, call.ObjThis);
  return NUVResultOk;
}

int32_t MethodAssign(tNUVDictionaryNI& self, const tNUVNativeCall& call) {
  iNUVDispatch2* source = SourceObject(call.Argument(0));
  bool clear = call.ArgumentCount < 2 || call.Argument(1).IsVoid() || call.Argument(1).AsInteger() != 0;
  self.AssignFrom(source, clear);
  return NUVResultOk;
}

int32_t MethodAssignStruct(tNUVDictionaryNI& self, const tNUVNativeCall& call) {
  iNUVDispatch2* source = SourceObject(call.Argument(0));
  if (!NUVFindDictionary(source)) NUVThrowError(NUVSpecifyDicOrArray);
  tNUVObjectHolder holdSource(source);
  tNUVStructureStack stack;
  tNUVStructureStackEntry entry(stack, source);
  self.CopyStructureFrom(source, stack);
  return NUVResultOk;
}

int32_t MethodClear(tNUVDictionaryNI& self, const tNUVNativeCall&) {
  self.ClearEntries();
  return NUVResultOk;
}

}  // namespace

// The instance object ---------------------------------------------------------------

int32_t tNUVDictionaryObject::GetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                        tNUVVariant* result, iNUVDispatch2* objThis) {
  int32_t code = tNUVCustomObject::GetMember(flags, memberName, hint, result, objThis);
  if (code == NUVResultMemberNotFound && !(flags & NUVMemberMustExist) && !FindMember(memberName, hint)) {
    if (result) result->Clear();
    return NUVResultOk;
  }
  return code;
}

int32_t tNUVDictionaryObject::CreateInstance(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                             iNUVDispatch2** result, int32_t argumentCount, tNUVVariant** arguments,
                                             iNUVDispatch2* objThis) {
  int32_t code =
      tNUVCustomObject::CreateInstance(flags, memberName, hint, result, argumentCount, arguments, objThis);
  if (code == NUVResultMemberNotFound && !(flags & NUVMemberMustExist) && !FindMember(memberName, hint))
    return NUVResultInvalidType;
  return code;
}

int32_t tNUVDictionaryObject::ApplyOperation(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                             tNUVVariant* result, const tNUVVariant* operand,
                                             iNUVDispatch2* objThis) {
  uint32_t operation = flags & NUVOperationMask;
  bool validOperation = operation >= NUVOpBitAnd && operation <= NUVOpDecrement &&
                        (operand || operation == NUVOpIncrement || operation == NUVOpDecrement);
  if (!IsInvalidated && memberName && validOperation && !(flags & NUVMemberMustExist) &&
      !FindMember(memberName, hint)) {
    tNUVVariant none;
    int32_t code = SetMember(NUVMemberEnsure, memberName, hint, &none, objThis);
    if (NUVFailed(code)) return code;
  }
  return tNUVCustomObject::ApplyOperation(flags, memberName, hint, result, operand, objThis);
}

// The native instance ---------------------------------------------------------------

int32_t tNUVDictionaryNI::Construct(int32_t argumentCount, tNUVVariant**, iNUVDispatch2* owner) {
  if (argumentCount > 0) return NUVResultBadParamCount;
  Owner = owner;
  return NUVResultOk;
}

void tNUVDictionaryNI::ClearEntries() {
  if (!Owner) return;
  if (auto* dictionary = dynamic_cast<tNUVDictionaryObject*>(Owner)) {
    dictionary->ClearEntries();
    return;
  }
  // An object of another kind that was made a dictionary: delete member by member.
  std::vector<tNUVString> names;
  NUVEnumerateInto(Owner, new tNameCollector(names));
  for (const tNUVString& name : names) Owner->DeleteMember(0, name.c_str(), nullptr, Owner);
}

// Array keys must be strings; a void key gives an empty name, which is skipped.
class tNUVDictionaryNI::tAssignCallback : public tNUVMemberVisitor {
public:
  explicit tAssignCallback(std::vector<tEntry>& entries) : Entries(entries) {}

protected:
  void Visit(const tNUVVariant& name, uint32_t memberFlags, const tNUVVariant& value) override {
    if (memberFlags & NUVHiddenMember) return;
    Entries.push_back(tEntry{name.AsString(), memberFlags | NUVEntryStoreFlags, value});
  }

private:
  std::vector<tEntry>& Entries;
};

// Entries are gathered before anything changes, so a failing source (a key that
// is no string) leaves the dictionary as it was, and assigning a dictionary from
// itself keeps its entries.
void tNUVDictionaryNI::AssignFrom(iNUVDispatch2* source, bool clear) {
  tNUVObjectHolder holdSource(source);
  tNUVObjectHolder holdOwner(Owner);
  std::vector<tEntry> entries;
  if (tNUVArrayNI* array = NUVFindArray(source)) {
    int32_t pairs = array->GetCount() / 2;
    entries.reserve(pairs);
    for (int32_t i = 0; i < pairs; ++i) {
      const tNUVVariant& key = array->At(2 * i);
      if (key.vt != tvtString && key.vt != tvtVoid)
        VariantDetail::ThrowConvertError(key, VariantDetail::NUVTargetString);
      entries.push_back(tEntry{key.AsString(), NUVEntryStoreFlags, array->At(2 * i + 1)});
    }
  } else {
    NUVEnumerateInto(source, new tAssignCallback(entries));
  }
  if (clear) ClearEntries();
  if (Owner) StoreEntries(Owner, entries);
}

class tNUVDictionaryNI::tAssignStructCallback : public tNUVMemberVisitor {
public:
  tAssignStructCallback(std::vector<tEntry>& entries, tNUVStructureStack& stack) : Entries(entries), Stack(stack) {}

protected:
  void Visit(const tNUVVariant& name, uint32_t memberFlags, const tNUVVariant& value) override {
    if (memberFlags & NUVHiddenMember) return;
    Entries.push_back(tEntry{name.AsString(), NUVEntryStoreFlags, NUVCopyStructuredValue(value, Stack)});
  }

private:
  std::vector<tEntry>& Entries;
  tNUVStructureStack& Stack;
};

void tNUVDictionaryNI::CopyStructureFrom(iNUVDispatch2* source, tNUVStructureStack& stack) {
  tNUVObjectHolder holdOwner(Owner);
  std::vector<tEntry> entries;
  NUVEnumerateInto(source, new tAssignStructCallback(entries, stack));
  ClearEntries();
  if (Owner) StoreEntries(Owner, entries);
}

class tNUVDictionaryNI::tSaveStructCallback : public tNUVMemberVisitor {
public:
  tSaveStructCallback(tNUVStructureStack& stack, tNUVStringAppender& buffer, const tNUVString& childIndent)
      : Stack(stack), Buffer(buffer), ChildIndent(childIndent) {}
  bool WroteAny() const { return Written; }

protected:
  void Visit(const tNUVVariant& name, uint32_t memberFlags, const tNUVVariant& value) override {
    if (memberFlags & NUVHiddenMember) return;
    if (Written) Buffer.Append(u",\n", 2);
    Written = true;
    Buffer.Append(ChildIndent);
    Buffer.Append(u'"');
    Buffer.Append(name.AsString().Escape());
    Buffer.Append(u"\" => ", 5);
    NUVWriteStructuredValue(value, Stack, Buffer, ChildIndent);
  }

private:
  tNUVStructureStack& Stack;
  tNUVStringAppender& Buffer;
  const tNUVString& ChildIndent;
  bool Written = false;
};

void tNUVDictionaryNI::SaveStructuredText(tNUVStructureStack& stack, tNUVStringAppender& buffer,
                                          const tNUVString& indent) {
  buffer.Append(u"%[\n", 3);
  tNUVString childIndent = indent + u" ";
  if (Owner) {
    auto* writer = new tSaveStructCallback(stack, buffer, childIndent);
    tNUVObjectHolder holdWriter(writer);
    NUVEnumerateInto(Owner, writer);
    if (writer->WroteAny()) buffer.Append(u'\n');
  }
  buffer.Append(indent);
  buffer.Append(u']');
}

tNUVDictionaryNI* NUVFindDictionary(iNUVDispatch2* object) {
  if (!object || tNUVDictionaryNI::ClassID < 0) return nullptr;
  return static_cast<tNUVDictionaryNI*>(NUVFindNativeInstance(object, tNUVDictionaryNI::ClassID));
}

// The class object -------------------------------------------------------------------

tNUVDictionaryClass::tNUVDictionaryClass() : tNUVNativeClass(u"Dictionary") {
  tNUVDictionaryNI::ClassID = ClassID;
  RegisterMember(u"Dictionary", new tNUVNativeClassConstructor(ConstructDictionary), NUVNativeMemberMethod,
                 NUVStaticMember);
  RegisterMember(u"load", DictionaryMethod<0, MethodNothing>(), NUVNativeMemberMethod, NUVStaticMember);
  RegisterMember(u"save", DictionaryMethod<0, MethodNothing>(), NUVNativeMemberMethod, NUVStaticMember);
  RegisterMember(u"saveStruct", DictionaryMethod<1, MethodSaveStruct>(), NUVNativeMemberMethod, NUVStaticMember);
  RegisterMember(u"assign", DictionaryMethod<1, MethodAssign>(), NUVNativeMemberMethod, NUVStaticMember);
  RegisterMember(u"assignStruct", DictionaryMethod<1, MethodAssignStruct>(), NUVNativeMemberMethod,
                 NUVStaticMember);
  RegisterMember(u"clear", DictionaryMethod<0, MethodClear>(), NUVNativeMemberMethod, NUVStaticMember);
}

iNUVDispatch2* CreateDictionaryObject() {
  if (!SharedDictionaryClass) {
    // Lives until the last engine goes, beyond the engine that made it: no leak.
    tNUVObjectTrackingPause untracked;
    SharedDictionaryClass = new tNUVDictionaryClass;
  }
  iNUVDispatch2* dictionary = nullptr;
  NUVThrowFromResultCode(
      SharedDictionaryClass->CreateInstance(0, nullptr, nullptr, &dictionary, 0, nullptr, nullptr));
  return dictionary;
}

void NUVReleaseSharedDictionaryClass() {
  tNUVDictionaryClass* shared = SharedDictionaryClass;
  SharedDictionaryClass = nullptr;
  if (shared) shared->Release();
}

}  // namespace NUV
