// The Array native instance's element store and the array instance object.

#include "engine/objects/array.h"

#include <algorithm>
#include <exception>
#include <new>
#include <stdexcept>

#include "engine/services/error_report.h"
#include "engine/services/errors.h"

namespace NUV {
namespace {

// Releases values that have already left an array; the first exception a release
// raises passes on after every value was released.
void ReleaseRemoved(std::vector<tNUVVariant>& removed) {
  std::exception_ptr first;
  for (tNUVVariant& value : removed) {
    try {
      value.Clear();
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  removed.clear();
  if (first) std::rethrow_exception(first);
}

bool IsElementSpace(char16_t unit) {
  return unit == u' ' || (unit >= u'\t' && unit <= u'\r');
}

bool IsValidOperation(uint32_t operation, const tNUVVariant* operand) {
  if (operation < NUVOpBitAnd || operation > NUVOpDecrement) return false;
  return operand || operation == NUVOpIncrement || operation == NUVOpDecrement;
}

// Falls back from an object's own value to the plain value for these answers.
bool IsPlainValueAnswer(int32_t code) {
  return code == NUVResultNotImplemented || code == NUVResultInvalidType || code == NUVResultInvalidObject;
}

}  // namespace

bool NUVParseElementIndex(const char16_t* name, int32_t& index) {
  if (!name) return false;
  const char16_t* cursor = name;
  while (IsElementSpace(*cursor)) ++cursor;
  bool negative = false;
  if (*cursor == u'-') {
    negative = true;
    ++cursor;
    while (IsElementSpace(*cursor)) ++cursor;
  }
  if (*cursor < u'0' || *cursor > u'9') return false;
  uint32_t value = 0;
  while (*cursor >= u'0' && *cursor <= u'9') value = value * 10u + static_cast<uint32_t>(*cursor++ - u'0');
  while (IsElementSpace(*cursor)) ++cursor;
  if (*cursor) return false;
  index = static_cast<int32_t>(negative ? 0u - value : value);
  return true;
}

// The native instance --------------------------------------------------------------

tNUVArrayNI::~tNUVArrayNI() {
  // Normally finalization emptied the array; references to the owner that are not
  // counted must not be released on its way out.
  for (tNUVVariant& value : Items)
    if (IsSelfReference(value)) value.Object.ObjThis = nullptr;
}

int32_t tNUVArrayNI::Construct(int32_t argumentCount, tNUVVariant**, iNUVDispatch2* owner) {
  if (argumentCount > 0) return NUVResultBadParamCount;
  if (owner) Owner = owner;
  return NUVResultOk;
}

void tNUVArrayNI::Invalidate() {
  Invalidated = true;
  Clear();
}

void tNUVArrayNI::Store(int32_t index, const tNUVVariant& value) {
  tNUVVariant fresh(value);   // value may be an element of this array
  tNUVVariant& slot = Items[index];
  BeforeRemove(slot);
  tNUVVariant old(std::move(slot));
  slot = std::move(fresh);
  AfterStore(slot);
  old.Clear();
}

void tNUVArrayNI::Add(const tNUVVariant& value) {
  Items.push_back(value);
  AfterStore(Items.back());
}

void tNUVArrayNI::Insert(int32_t index, const tNUVVariant& value) {
  auto position = Items.insert(Items.begin() + index, value);
  AfterStore(*position);
}

void tNUVArrayNI::Erase(int32_t index) {
  BeforeRemove(Items[index]);
  tNUVVariant old(std::move(Items[index]));
  Items.erase(Items.begin() + index);
  old.Clear();
}

void tNUVArrayNI::Resize(int64_t count) {
  if (count < 0 || count > INT32_MAX) NUVThrowError(NUVRangeError);
  size_t size = static_cast<size_t>(count);
  if (size >= Items.size()) {
    try {
      Items.resize(size);
    } catch (const std::bad_alloc&) {
      NUVThrowError(NUVInsufficientMem);
    } catch (const std::length_error&) {
      NUVThrowError(NUVInsufficientMem);
    }
    return;
  }
  std::vector<tNUVVariant> removed;
  removed.reserve(Items.size() - size);
  for (size_t i = size; i < Items.size(); ++i) {
    BeforeRemove(Items[i]);
    removed.push_back(std::move(Items[i]));
  }
  Items.resize(size);
  ReleaseRemoved(removed);
}

void tNUVArrayNI::Clear() {
  if (Items.empty()) return;
  std::vector<tNUVVariant> removed;
  removed.swap(Items);
  for (const tNUVVariant& value : removed) BeforeRemove(value);
  ReleaseRemoved(removed);
}

int32_t tNUVArrayNI::Remove(const tNUVVariant& value, bool all) {
  tNUVVariant wanted(value);
  std::vector<tNUVVariant> removed;
  size_t kept = 0;
  for (size_t i = 0; i < Items.size(); ++i) {
    if ((all || removed.empty()) && Items[i].DiscernCompare(wanted)) {
      BeforeRemove(Items[i]);
      removed.push_back(std::move(Items[i]));
    } else if (kept != i) {
      Items[kept++] = std::move(Items[i]);   // the target was moved from: nothing is released
    } else {
      ++kept;
    }
  }
  Items.resize(kept);
  int32_t count = static_cast<int32_t>(removed.size());
  ReleaseRemoved(removed);
  return count;
}

int32_t tNUVArrayNI::Find(const tNUVVariant& value, int32_t start) const {
  int32_t count = GetCount();
  if (start < 0) start = std::max(start + count, 0);
  for (int32_t i = start; i < count; ++i)
    if (Items[i].DiscernCompare(value)) return i;
  return -1;
}

void tNUVArrayNI::Reverse() { std::reverse(Items.begin(), Items.end()); }

void tNUVArrayNI::ApplyOperationAt(int32_t index, uint32_t operation, const tNUVVariant* operand,
                                   tNUVVariant* result) {
  tNUVVariant work(Items[index]);
  work.ApplyOperationCode(operation, operand);   // a conversion error leaves the element unchanged
  Store(index, work);
  if (result) *result = work;
}

// The new values hold counted references (they are copies); the old elements hold
// uncounted ones for self-references. Both are made right around the exchange.
void tNUVArrayNI::ReplaceAll(std::vector<tNUVVariant>&& values) {
  tNUVObjectHolder holdOwner(Owner);
  for (const tNUVVariant& value : Items) BeforeRemove(value);
  std::vector<tNUVVariant> removed(std::move(values));
  removed.swap(Items);
  for (const tNUVVariant& value : Items) AfterStore(value);
  ReleaseRemoved(removed);
}

tNUVArrayNI* NUVFindArray(iNUVDispatch2* object) {
  if (!object || tNUVArrayNI::ClassID < 0) return nullptr;
  return static_cast<tNUVArrayNI*>(NUVFindNativeInstance(object, tNUVArrayNI::ClassID));
}

// The instance object -------------------------------------------------------------

tNUVArrayObject::tNUVArrayObject() : tNUVCustomObject(3) { CallFinalize = false; }

int32_t tNUVArrayObject::CheckUsable() const {
  if (IsInvalidated) return NUVResultInvalidObject;
  if (!Elements) return NUVResultNativeClassCrash;
  return NUVResultOk;
}

int32_t tNUVArrayObject::ReadIndex(int32_t number) const {
  int32_t count = Elements->GetCount();
  int32_t index = number < 0 ? number + count : number;
  return index >= 0 && index < count ? index : -1;
}

int32_t tNUVArrayObject::WriteIndex(uint32_t flags, int32_t number, int32_t& index) {
  int32_t count = Elements->GetCount();
  index = number < 0 ? number + count : number;
  if (index < 0) return NUVResultMemberNotFound;
  if (index >= count) {
    if (flags & NUVMemberMustExist) return NUVResultMemberNotFound;
    Elements->Resize(int64_t{index} + 1);
  }
  return NUVResultOk;
}

int32_t tNUVArrayObject::NativeInstanceSlot(int32_t kind, int32_t classId, iNUVNativeInstance** instance) {
  int32_t code = tNUVCustomObject::NativeInstanceSlot(kind, classId, instance);
  if (kind == 1 && NUVSucceeded(code) && classId >= 0 && classId == tNUVArrayNI::ClassID && *instance &&
      !Elements) {
    Elements = static_cast<tNUVArrayNI*>(*instance);
    Elements->SetOwner(this);
  }
  return code;
}

void tNUVArrayObject::Finalize() {
  if (!Elements) NUVThrowError(NUVNativeClassCrash);
  Elements->Clear();
  tNUVCustomObject::Finalize();
}

// By-number operations --------------------------------------------------------------

int32_t tNUVArrayObject::GetMemberByNum(uint32_t flags, int32_t number, tNUVVariant* result,
                                        iNUVDispatch2* objThis) {
  if (int32_t code = CheckUsable(); NUVFailed(code)) return code;
  int32_t index = ReadIndex(number);
  if (index >= 0) return NUVGetThroughValue(Elements->At(index), flags, result, objThis);
  if (flags & NUVMemberMustExist) return NUVResultMemberNotFound;
  return NUVGetThroughValue(tNUVVariant(), flags, result, objThis);
}

int32_t tNUVArrayObject::SetMemberByNum(uint32_t flags, int32_t number, const tNUVVariant* value,
                                        iNUVDispatch2* objThis) {
  if (int32_t code = CheckUsable(); NUVFailed(code)) return code;
  if (!value) return NUVResultInvalidParam;
  int32_t index;
  if (int32_t code = WriteIndex(flags, number, index); NUVFailed(code)) return code;
  if (!(flags & NUVIgnoreProperty) && Elements->At(index).vt == tvtObject) {
    int32_t code = NUVSetThroughValue(Elements->At(index), flags, value, objThis);
    if (code != NUVSetPlainly) return code;
    // The property call may have changed the array.
    if (int32_t check = CheckUsable(); NUVFailed(check)) return check;
    if (code = WriteIndex(flags, number, index); NUVFailed(code)) return code;
  }
  Elements->Store(index, *value);
  return NUVResultOk;
}

int32_t tNUVArrayObject::ApplyOperationByNum(uint32_t flags, int32_t number, tNUVVariant* result,
                                             const tNUVVariant* operand, iNUVDispatch2* objThis) {
  if (int32_t code = CheckUsable(); NUVFailed(code)) return code;
  uint32_t operation = flags & NUVOperationMask;
  if (!IsValidOperation(operation, operand)) return NUVResultInvalidParam;
  int32_t index;
  if (int32_t code = WriteIndex(flags, number, index); NUVFailed(code)) return code;
  const tNUVVariant& element = Elements->At(index);
  if (element.vt == tvtObject && element.Object.Object) {
    tNUVVariant property(element);
    iNUVDispatch2* target = property.Object.ObjThis ? property.Object.ObjThis : objThis;
    tNUVVariant value;
    int32_t code = property.Object.Object->GetMember(0, nullptr, nullptr, &value, target);
    if (NUVSucceeded(code)) {
      value.ApplyOperationCode(operation, operand);
      code = property.Object.Object->SetMember(0, nullptr, nullptr, &value, target);
      if (NUVFailed(code)) return code;
      if (result) *result = value;
      return NUVResultOk;
    }
    if (!IsPlainValueAnswer(code)) return code;
    if (int32_t check = CheckUsable(); NUVFailed(check)) return check;
    if (code = WriteIndex(flags, number, index); NUVFailed(code)) return code;
  }
  Elements->ApplyOperationAt(index, operation, operand, result);
  return NUVResultOk;
}

int32_t tNUVArrayObject::DeleteMemberByNum(uint32_t, int32_t number, iNUVDispatch2*) {
  if (int32_t code = CheckUsable(); NUVFailed(code)) return code;
  int32_t index = ReadIndex(number);
  if (index < 0) return NUVResultMemberNotFound;
  Elements->Erase(index);
  return NUVResultOk;
}

int32_t tNUVArrayObject::CallMemberByNum(uint32_t flags, int32_t number, tNUVVariant* result,
                                         int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) {
  if (int32_t code = CheckUsable(); NUVFailed(code)) return code;
  int32_t index = ReadIndex(number);
  if (index < 0 && (flags & NUVMemberMustExist)) return NUVResultMemberNotFound;
  tNUVVariant callee = index >= 0 ? Elements->At(index) : tNUVVariant();
  return NUVCallThroughValue(callee, flags, result, argumentCount, arguments, objThis);
}

int32_t tNUVArrayObject::CreateInstanceByNum(uint32_t flags, int32_t number, iNUVDispatch2** result,
                                             int32_t argumentCount, tNUVVariant** arguments,
                                             iNUVDispatch2* objThis) {
  if (int32_t code = CheckUsable(); NUVFailed(code)) return code;
  int32_t index = ReadIndex(number);
  if (index < 0 && (flags & NUVMemberMustExist)) return NUVResultMemberNotFound;
  tNUVVariant classValue = index >= 0 ? Elements->At(index) : tNUVVariant();
  if (classValue.vt != tvtObject || !classValue.Object.Object) return NUVResultInvalidType;
  iNUVDispatch2* target = classValue.Object.ObjThis ? classValue.Object.ObjThis : objThis;
  return classValue.Object.Object->CreateInstance(flags, nullptr, nullptr, result, argumentCount, arguments,
                                                  target);
}

int32_t tNUVArrayObject::IsInstanceOfByNum(uint32_t flags, int32_t number, const char16_t* className,
                                           iNUVDispatch2* objThis) {
  if (int32_t code = CheckUsable(); NUVFailed(code)) return code;
  int32_t index = ReadIndex(number);
  if (index < 0 && (flags & NUVMemberMustExist)) return NUVResultMemberNotFound;
  tNUVVariant value = index >= 0 ? Elements->At(index) : tNUVVariant();
  if (!className) className = u"";
  bool isObjectClass = WideCompare(className, u"Object") == 0;
  switch (value.vt) {
    case tvtVoid: return NUVResultFalse;
    case tvtObject:
      if (isObjectClass) return NUVResultTrue;
      if (!value.Object.Object) return NUVResultFalse;
      return value.Object.Object->IsInstanceOf(flags, nullptr, nullptr, className,
                                               value.Object.ObjThis ? value.Object.ObjThis : objThis);
    case tvtInteger:
    case tvtReal: return isObjectClass || WideCompare(className, u"Number") == 0 ? NUVResultTrue : NUVResultFalse;
    case tvtString: return isObjectClass || WideCompare(className, u"String") == 0 ? NUVResultTrue : NUVResultFalse;
    case tvtOctet: return isObjectClass || WideCompare(className, u"Octet") == 0 ? NUVResultTrue : NUVResultFalse;
    default: return NUVResultFalse;
  }
}

int32_t tNUVArrayObject::InvalidateByNum(uint32_t flags, int32_t number, iNUVDispatch2* objThis) {
  if (int32_t code = CheckUsable(); NUVFailed(code)) return code;
  int32_t index = ReadIndex(number);
  if (index < 0 && (flags & NUVMemberMustExist)) return NUVResultMemberNotFound;
  tNUVVariant value = index >= 0 ? Elements->At(index) : tNUVVariant();
  if (value.vt != tvtObject || !value.Object.Object) return NUVResultInvalidType;
  iNUVDispatch2* target = value.Object.ObjThis ? value.Object.ObjThis : objThis;
  return value.Object.Object->Invalidate(flags, nullptr, nullptr, target);
}

int32_t tNUVArrayObject::IsValidByNum(uint32_t flags, int32_t number, iNUVDispatch2* objThis) {
  if (int32_t code = CheckUsable(); NUVFailed(code)) return code;
  int32_t index = ReadIndex(number);
  if (index < 0 && (flags & NUVMemberMustExist)) return NUVResultMemberNotFound;
  tNUVVariant value = index >= 0 ? Elements->At(index) : tNUVVariant();
  if (value.vt != tvtObject || !value.Object.Object) return NUVResultTrue;
  iNUVDispatch2* target = value.Object.ObjThis ? value.Object.ObjThis : objThis;
  return value.Object.Object->IsValid(flags, nullptr, nullptr, target);
}

int32_t tNUVArrayObject::EnumerateMembers(uint32_t, tNUVVariantClosure_S*, iNUVDispatch2*) {
  return NUVResultNotImplemented;
}

// Named operations: numeric names address elements ------------------------------------

int32_t tNUVArrayObject::CallMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                    tNUVVariant* result, int32_t argumentCount, tNUVVariant** arguments,
                                    iNUVDispatch2* objThis) {
  if (int32_t index; NUVParseElementIndex(memberName, index))
    return CallMemberByNum(flags, index, result, argumentCount, arguments, objThis);
  return tNUVCustomObject::CallMember(flags, memberName, hint, result, argumentCount, arguments, objThis);
}

int32_t tNUVArrayObject::GetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                   tNUVVariant* result, iNUVDispatch2* objThis) {
  if (int32_t index; NUVParseElementIndex(memberName, index)) return GetMemberByNum(flags, index, result, objThis);
  return tNUVCustomObject::GetMember(flags, memberName, hint, result, objThis);
}

int32_t tNUVArrayObject::SetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                   const tNUVVariant* value, iNUVDispatch2* objThis) {
  if (int32_t index; NUVParseElementIndex(memberName, index)) return SetMemberByNum(flags, index, value, objThis);
  return tNUVCustomObject::SetMember(flags, memberName, hint, value, objThis);
}

int32_t tNUVArrayObject::SetMemberByBody(uint32_t flags, tNUVVariantString* memberName, const tNUVVariant* value,
                                         iNUVDispatch2* objThis) {
  if (int32_t index; memberName && NUVParseElementIndex(memberName->Text(), index))
    return SetMemberByNum(flags, index, value, objThis);
  return tNUVCustomObject::SetMemberByBody(flags, memberName, value, objThis);
}

int32_t tNUVArrayObject::DeleteMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                      iNUVDispatch2* objThis) {
  if (int32_t index; NUVParseElementIndex(memberName, index)) return DeleteMemberByNum(flags, index, objThis);
  return tNUVCustomObject::DeleteMember(flags, memberName, hint, objThis);
}

int32_t tNUVArrayObject::Invalidate(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                    iNUVDispatch2* objThis) {
  if (int32_t index; NUVParseElementIndex(memberName, index)) return InvalidateByNum(flags, index, objThis);
  return tNUVCustomObject::Invalidate(flags, memberName, hint, objThis);
}

int32_t tNUVArrayObject::IsValid(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                 iNUVDispatch2* objThis) {
  if (int32_t index; NUVParseElementIndex(memberName, index)) return IsValidByNum(flags, index, objThis);
  return tNUVCustomObject::IsValid(flags, memberName, hint, objThis);
}

int32_t tNUVArrayObject::CreateInstance(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                        iNUVDispatch2** result, int32_t argumentCount, tNUVVariant** arguments,
                                        iNUVDispatch2* objThis) {
  if (int32_t index; NUVParseElementIndex(memberName, index))
    return CreateInstanceByNum(flags, index, result, argumentCount, arguments, objThis);
  return tNUVCustomObject::CreateInstance(flags, memberName, hint, result, argumentCount, arguments, objThis);
}

int32_t tNUVArrayObject::IsInstanceOf(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                      const char16_t* className, iNUVDispatch2* objThis) {
  if (int32_t index; NUVParseElementIndex(memberName, index))
    return IsInstanceOfByNum(flags, index, className, objThis);
  return tNUVCustomObject::IsInstanceOf(flags, memberName, hint, className, objThis);
}

int32_t tNUVArrayObject::ApplyOperation(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                        tNUVVariant* result, const tNUVVariant* operand, iNUVDispatch2* objThis) {
  if (int32_t index; NUVParseElementIndex(memberName, index))
    return ApplyOperationByNum(flags, index, result, operand, objThis);
  return tNUVCustomObject::ApplyOperation(flags, memberName, hint, result, operand, objThis);
}

}  // namespace NUV
