#include "engine/objects/dispatch.h"

#include <exception>
#include <string>
#include <vector>

#include "engine/services/error_report.h"

namespace NUV {
namespace {

// A member number stands for its decimal text.
struct tNumberName {
  explicit tNumberName(int32_t number) { IntegerToText(number, Text); }
  char16_t Text[24];
};

int32_t NotFoundOrNotImplemented(const char16_t* memberName) {
  return memberName ? NUVResultMemberNotFound : NUVResultNotImplemented;
}

// Destroying an object releases what it holds, so the last release of a deeply
// nested structure (an array in an array in ...) would recurse as deep as the
// structure goes and overflow the native stack. Past this many destructions in
// progress, a last release is queued instead, and the outermost destruction
// carries out the queued ones one at a time. Process-wide and unguarded, like
// the engine's other shared state.
constexpr int32_t DestructionDepthLimit = 128;
int32_t DestructionDepth = 0;
bool ReleasingDeferred = false;
// Each entry owns the last reference of its object.
std::vector<tNUVDispatch*> DeferredReleases;

// Releases the queued objects (and what they queue in turn); the first error any
// of them raised is returned once all are gone.
std::exception_ptr ReleaseDeferred() noexcept {
  std::exception_ptr first;
  ReleasingDeferred = true;
  while (!DeferredReleases.empty()) {
    tNUVDispatch* object = DeferredReleases.back();
    DeferredReleases.pop_back();
    try {
      object->Release();
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  ReleasingDeferred = false;
  return first;
}

}  // namespace

// Out of line, so the common release stays a decrement.
int32_t tNUVDispatch::ReleaseLast() {
  if (DestructionDepth >= DestructionDepthLimit) {
    DeferredReleases.push_back(this);
    return 0;
  }
  // The release of the last reference: BeforeDestruction, then destruction unless
  // a new reference was taken meanwhile.
  auto releaseLast = [this]() -> int32_t {
    if (!BeforeDestructionCalled) {
      BeforeDestructionCalled = true;
      NUVSetTrackedObjectFlags(this, NUVTrackedObjectDestroying, NUVTrackedObjectDestroying);
      try {
        BeforeDestruction();
      } catch (...) {
        // The caller's reference is gone all the same: an object nobody else holds
        // could never be released again, so it is destroyed before the error passes.
        if (RefCount == 1) delete this;
        else --RefCount;
        throw;
      }
    }
    if (RefCount == 1) {
      delete this;
      return 0;
    }
    return --RefCount;
  };
  ++DestructionDepth;
  int32_t remaining = 0;
  try {
    remaining = releaseLast();
  } catch (...) {
    --DestructionDepth;
    if (DestructionDepth == 0 && !ReleasingDeferred) ReleaseDeferred();   // the first error wins
    throw;
  }
  --DestructionDepth;
  if (DestructionDepth == 0 && !ReleasingDeferred) {
    if (std::exception_ptr error = ReleaseDeferred()) std::rethrow_exception(error);
  }
  return remaining;
}

int32_t tNUVDispatch::CallMember(uint32_t, const char16_t* memberName, uint32_t*, tNUVVariant*, int32_t,
                                 tNUVVariant**, iNUVDispatch2*) {
  return NotFoundOrNotImplemented(memberName);
}

int32_t tNUVDispatch::CallMemberByNum(uint32_t flags, int32_t number, tNUVVariant* result,
                                      int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) {
  tNumberName name(number);
  return CallMember(flags, name.Text, nullptr, result, argumentCount, arguments, objThis);
}

int32_t tNUVDispatch::GetMember(uint32_t, const char16_t* memberName, uint32_t*, tNUVVariant*, iNUVDispatch2*) {
  return NotFoundOrNotImplemented(memberName);
}

int32_t tNUVDispatch::GetMemberByNum(uint32_t flags, int32_t number, tNUVVariant* result,
                                     iNUVDispatch2* objThis) {
  tNumberName name(number);
  return GetMember(flags, name.Text, nullptr, result, objThis);
}

int32_t tNUVDispatch::SetMember(uint32_t, const char16_t* memberName, uint32_t*, const tNUVVariant*,
                                iNUVDispatch2*) {
  return NotFoundOrNotImplemented(memberName);
}

int32_t tNUVDispatch::SetMemberByNum(uint32_t flags, int32_t number, const tNUVVariant* value,
                                     iNUVDispatch2* objThis) {
  tNumberName name(number);
  return SetMember(flags, name.Text, nullptr, value, objThis);
}

int32_t tNUVDispatch::GetMemberCount(int32_t*, const char16_t*, uint32_t*, iNUVDispatch2*) {
  return NUVResultNotImplemented;
}

int32_t tNUVDispatch::GetMemberCountByNum(int32_t* result, int32_t number, iNUVDispatch2* objThis) {
  tNumberName name(number);
  return GetMemberCount(result, name.Text, nullptr, objThis);
}

int32_t tNUVDispatch::SetMemberByBody(uint32_t, tNUVVariantString*, const tNUVVariant*, iNUVDispatch2*) {
  return NUVResultNotImplemented;
}

int32_t tNUVDispatch::EnumerateMembers(uint32_t, tNUVVariantClosure_S*, iNUVDispatch2*) {
  return NUVResultNotImplemented;
}

int32_t tNUVDispatch::DeleteMember(uint32_t, const char16_t* memberName, uint32_t*, iNUVDispatch2*) {
  return NotFoundOrNotImplemented(memberName);
}

int32_t tNUVDispatch::DeleteMemberByNum(uint32_t flags, int32_t number, iNUVDispatch2* objThis) {
  tNumberName name(number);
  return DeleteMember(flags, name.Text, nullptr, objThis);
}

int32_t tNUVDispatch::Invalidate(uint32_t, const char16_t* memberName, uint32_t*, iNUVDispatch2*) {
  return NotFoundOrNotImplemented(memberName);
}

int32_t tNUVDispatch::InvalidateByNum(uint32_t flags, int32_t number, iNUVDispatch2* objThis) {
  tNumberName name(number);
  return Invalidate(flags, name.Text, nullptr, objThis);
}

int32_t tNUVDispatch::IsValid(uint32_t, const char16_t* memberName, uint32_t*, iNUVDispatch2*) {
  return NotFoundOrNotImplemented(memberName);
}

int32_t tNUVDispatch::IsValidByNum(uint32_t flags, int32_t number, iNUVDispatch2* objThis) {
  tNumberName name(number);
  return IsValid(flags, name.Text, nullptr, objThis);
}

int32_t tNUVDispatch::CreateInstance(uint32_t, const char16_t* memberName, uint32_t*, iNUVDispatch2**, int32_t,
                                     tNUVVariant**, iNUVDispatch2*) {
  return NotFoundOrNotImplemented(memberName);
}

int32_t tNUVDispatch::CreateInstanceByNum(uint32_t flags, int32_t number, iNUVDispatch2** result,
                                          int32_t argumentCount, tNUVVariant** arguments,
                                          iNUVDispatch2* objThis) {
  tNumberName name(number);
  return CreateInstance(flags, name.Text, nullptr, result, argumentCount, arguments, objThis);
}

int32_t tNUVDispatch::Reserved1() { return NUVResultNotImplemented; }

int32_t tNUVDispatch::IsInstanceOf(uint32_t, const char16_t* memberName, uint32_t*, const char16_t*,
                                   iNUVDispatch2*) {
  return NotFoundOrNotImplemented(memberName);
}

int32_t tNUVDispatch::IsInstanceOfByNum(uint32_t flags, int32_t number, const char16_t* className,
                                        iNUVDispatch2* objThis) {
  tNumberName name(number);
  return IsInstanceOf(flags, name.Text, nullptr, className, objThis);
}

int32_t tNUVDispatch::ApplyOperation(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                     tNUVVariant* result, const tNUVVariant* operand, iNUVDispatch2* objThis) {
  uint32_t operation = flags & NUVOperationMask;
  if (operation < NUVOpBitAnd || operation > NUVOpDecrement) return NUVResultInvalidParam;
  if (!operand && operation != NUVOpIncrement && operation != NUVOpDecrement) return NUVResultInvalidParam;
  tNUVVariant value;
  int32_t code = GetMember(0, memberName, hint, &value, objThis);
  if (NUVFailed(code)) return code;
  value.ApplyOperationCode(operation, operand);
  code = SetMember(0, memberName, hint, &value, objThis);
  if (NUVFailed(code)) return code;
  if (result) *result = value;
  return NUVResultOk;
}

int32_t tNUVDispatch::ApplyOperationByNum(uint32_t flags, int32_t number, tNUVVariant* result,
                                          const tNUVVariant* operand, iNUVDispatch2* objThis) {
  tNumberName name(number);
  return ApplyOperation(flags, name.Text, nullptr, result, operand, objThis);
}

int32_t tNUVDispatch::NativeInstanceSlot(int32_t, int32_t, iNUVNativeInstance**) {
  return NUVResultNotImplemented;
}
int32_t tNUVDispatch::ClassInfo(int32_t, int32_t, tNUVVariant*) { return NUVResultNotImplemented; }
int32_t tNUVDispatch::Reserved2() { return NUVResultNotImplemented; }
int32_t tNUVDispatch::Reserved3() { return NUVResultNotImplemented; }

// Class ids ------------------------------------------------------------------------

namespace {
// Never destroyed: ids stay valid while the library is loaded. The names are kept
// as plain text rather than string bodies, so the registry pins no string heap
// block: the heap can still be torn down when every engine string is gone.
std::vector<std::u16string>& ClassNameRegistry() {
  static auto* registry = new std::vector<std::u16string>;
  return *registry;
}
}  // namespace

int32_t RegisterNativeClassName(const char16_t* name) {
  int32_t existing = FindNativeClassID(name);
  if (existing >= 0) return existing;
  auto& registry = ClassNameRegistry();
  registry.emplace_back(name ? name : u"");
  return static_cast<int32_t>(registry.size() - 1);
}

int32_t FindNativeClassID(const char16_t* name) {
  const auto& registry = ClassNameRegistry();
  const char16_t* text = name ? name : u"";
  for (size_t i = 0; i < registry.size(); ++i)
    if (WideCompare(registry[i].c_str(), text) == 0) return static_cast<int32_t>(i);
  return -1;
}

tNUVString FindNativeClassName(int32_t id) {
  const auto& registry = ClassNameRegistry();
  if (id < 0 || static_cast<size_t>(id) >= registry.size()) return tNUVString();
  return MapGlobalString(tNUVString(registry[id].c_str()));
}

// Through-value operations ------------------------------------------------------------

int32_t NUVCallThroughValue(const tNUVVariant& value, uint32_t flags, tNUVVariant* result,
                            int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) {
  if (value.vt != tvtObject || !value.Object.Object) return NUVResultInvalidType;
  // The value may live in a table the call changes: keep both pointers alive.
  tNUVObjectHolder holdObject(value.Object.Object);
  tNUVObjectHolder holdThis(value.Object.ObjThis);
  tNUVVariantClosure closure(value.Object);
  return NUVCallHeldValue(closure, flags, result, argumentCount, arguments, objThis);
}

int32_t NUVCallHeldValue(const tNUVVariantClosure& closure, uint32_t flags, tNUVVariant* result,
                         int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) {
  iNUVDispatch2* target = closure.ObjThis ? closure.ObjThis : objThis;
  int32_t code = closure.Object->CallMember(flags, nullptr, nullptr, result, argumentCount, arguments, target);
  if (code != NUVResultInvalidType) return code;
  tNUVVariant inner;
  code = closure.Object->GetMember(0, nullptr, nullptr, &inner, target);
  if (NUVFailed(code)) return code;
  if (inner.vt != tvtObject) return NUVResultInvalidType;
  return NUVCallThroughValue(inner, flags, result, argumentCount, arguments, target);
}

int32_t NUVGetThroughValue(const tNUVVariant& value, uint32_t flags, tNUVVariant* result,
                           iNUVDispatch2* objThis) {
  if (!(flags & NUVIgnoreProperty) && value.vt == tvtObject && value.Object.Object) {
    // A copy: the getter may change the table that holds value.
    tNUVVariant property(value);
    iNUVDispatch2* target = property.Object.ObjThis ? property.Object.ObjThis : objThis;
    int32_t code = property.Object.Object->GetMember(flags, nullptr, nullptr, result, target);
    if (code >= 0) return code;
    if (code != NUVResultNotImplemented && code != NUVResultInvalidType && code != NUVResultInvalidObject)
      return code;
    if (!result) return NUVResultInvalidParam;
    *result = property;
    return NUVResultOk;
  }
  if (!result) return NUVResultInvalidParam;
  *result = value;
  return NUVResultOk;
}

int32_t NUVSetThroughValue(const tNUVVariant& member, uint32_t flags, const tNUVVariant* value,
                           iNUVDispatch2* objThis) {
  if ((flags & NUVIgnoreProperty) || member.vt != tvtObject || !member.Object.Object) return NUVSetPlainly;
  tNUVVariantClosure closure(member.Object);
  tNUVObjectHolder holdObject(closure.Object);
  tNUVObjectHolder holdThis(closure.ObjThis);
  iNUVDispatch2* target = closure.ObjThis ? closure.ObjThis : objThis;
  int32_t code = closure.Object->SetMember(flags, nullptr, nullptr, value, target);
  if (code >= 0) return code;
  if (code != NUVResultNotImplemented && code != NUVResultInvalidType && code != NUVResultInvalidObject)
    return code;
  return NUVSetPlainly;
}

void NUVAdoptObjectValue(tNUVVariant& value, iNUVDispatch2* object) {
  try {
    value.SetObject(object, object);
  } catch (...) {
    NUVReleaseNoThrow(object);
    throw;
  }
  object->Release();
}

}  // namespace NUV
