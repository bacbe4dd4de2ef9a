#pragma once
// Direct member access for the interpreter's hot paths.
//
// Most named operations address a script object (a tNUVCustomObject whose
// operations are its own) or the proxy of a frame (this, then the global object).
// For those the interpreter finds the member record itself instead of going
// through the virtual operations, their relays and their copies, and takes the
// general path whenever the outcome could differ: a missing-member handler, an
// invalidated object, a host object, a value that may be a property.

#include <cstdint>

#include "engine/objects/custom_object.h"
#include "engine/objects/dispatch.h"
#include "engine/vm/code_context.h"
#include "engine/vm/interpreter.h"
#include "engine/vm/object_proxy.h"

namespace NUV::InterpreterDetail {

// The member cache of the name constant at a data-area offset.
inline tNUVMemberCacheEntry& MemberCacheAt(const tActivation& activation, int32_t operand) {
  return *reinterpret_cast<tNUVMemberCacheEntry*>(reinterpret_cast<char*>(activation.MemberCaches) +
                                                  static_cast<size_t>(operand) * NUVMemberCacheScale);
}

// The engine kind of the object a register holds; the frame's global object is
// a script object and answers without the virtual call.
[[gnu::always_inline]] inline int32_t EngineKindOf(iNUVDispatch2* object, const tActivation& activation) {
  if (object == activation.Global) return NUVEngineKindScriptObject;
  return object->Reserved2();
}

// Found: the record is in Owner; NoMember: the object surely has no such member
// (the general operation would answer member not found); Undecided: only the
// general operation can tell.
enum class tDirectLookUp { Found, NoMember, Undecided };

struct tDirectMember {
  tNUVCustomObject* Owner = nullptr;
  tNUVCustomObject::tSymbolData* Symbol = nullptr;
  // The this the general operation would pass on (the proxy substitutes its own).
  iNUVDispatch2* ObjThis = nullptr;
};

// The lookup in a script object's own table, as its operations start. forGet
// adds the table rebuild that GetMember does first.
inline tDirectLookUp LookUpOwnMember(tNUVCustomObject* owner, const char16_t* name, uint32_t* hint, bool forGet,
                                     iNUVDispatch2* objThis, tDirectMember& found) {
  if (owner->GetIsInvalidated()) return tDirectLookUp::Undecided;
  tNUVCustomObject::tSymbolData* symbol = forGet ? owner->LookUpMemberForGet(name, hint) : owner->LookUpMember(name, hint);
  if (!symbol) return owner->HasMissingHandler() ? tDirectLookUp::Undecided : tDirectLookUp::NoMember;
  found = {owner, symbol, objThis};
  return tDirectLookUp::Found;
}

// What a member cache answers for an object of kind (a script object or a frame
// proxy): the owner and record, or Owner null when only a lookup can tell.
// Two pointers, so it is answered in registers.
struct tCachedMember {
  tNUVCustomObject* Owner = nullptr;
  tNUVCustomObject::tSymbolData* Symbol = nullptr;
};
[[gnu::always_inline]] inline tCachedMember ProbeMemberCache(iNUVDispatch2* object, int32_t kind,
                                                             const tNUVVariantString* name,
                                                             const tNUVMemberCacheEntry& cache,
                                                             const tNUVCustomObject* global) {
  iNUVDispatch2* first = object;
  iNUVDispatch2* second = nullptr;
  if (kind == NUVEngineKindProxy) {
    auto* proxy = static_cast<tNUVObjectProxy*>(object);
    first = proxy->GetFirst();
    second = proxy->GetSecond();
    if (!first || first->Reserved2() != NUVEngineKindScriptObject) return {};
  }
  auto* firstOwner = static_cast<tNUVCustomObject*>(first);
  if (firstOwner->GetLayoutStamp() == cache.FirstStamp) {
    if (cache.SecondStamp == 0) return {firstOwner, cache.Symbol};
    if (second && second != first &&
        (second == global || second->Reserved2() == NUVEngineKindScriptObject) &&
        static_cast<tNUVCustomObject*>(second)->GetLayoutStamp() == cache.SecondStamp)
      return {static_cast<tNUVCustomObject*>(second), cache.Symbol};
    return {};
  }
  // Another object (of the same class, most likely): the member where the
  // cached one sat. Found there, it is what the lookup in first would find.
  if (cache.Depth >= 0 && name && name->Hint) {
    if (tNUVCustomObject::tSymbolData* record = firstOwner->RecordAt(name->Hint, cache.Depth, name))
      return {firstOwner, record};
  }
  return {};
}

// The lookup itself (out of line), remembered in cache when it finds the member.
tDirectLookUp LookUpAndRemember(iNUVDispatch2* object, int32_t kind, const char16_t* name, uint32_t* hint,
                                bool forGet, iNUVDispatch2* objThis, tNUVMemberCacheEntry& cache,
                                tDirectMember& found);

// The same lookup for whatever a register holds: a proxy is looked through as it
// relays (this first, then the global object when this lacks the member). Where
// the member was found is remembered in cache.
[[gnu::always_inline]] inline tDirectLookUp LookUpCachedMember(iNUVDispatch2* object, const char16_t* name,
                                                               tNUVVariantString* body, uint32_t* hint, bool forGet,
                                                               iNUVDispatch2* objThis, tNUVMemberCacheEntry& cache,
                                                               const tActivation& activation, tDirectMember& found) {
  const int32_t kind = EngineKindOf(object, activation);
  if (kind != NUVEngineKindScriptObject && kind != NUVEngineKindProxy) return tDirectLookUp::Undecided;
  tCachedMember hit = ProbeMemberCache(object, kind, body, cache, activation.Global);
  if (hit.Owner) {
    found = {hit.Owner, hit.Symbol, objThis ? objThis : static_cast<iNUVDispatch2*>(hit.Owner)};
    return tDirectLookUp::Found;
  }
  return LookUpAndRemember(object, kind, name, hint, forGet, objThis, cache, found);
}

// Whether a member's value reads and writes as itself, without the property
// protocol. Only an object can be a property; script objects (instances,
// dictionaries, the global object, native classes), arrays and code contexts
// other than properties answer a get or set of themselves with invalid type or
// invalid object, which the general path takes to mean the value itself.
inline bool IsPlainObjectMember(iNUVDispatch2* object) {
  const int32_t kind = object->Reserved2();
  if (kind == NUVEngineKindScriptObject || kind == NUVEngineKindArray) return true;
  return kind == NUVEngineKindCodeContext && static_cast<tNUVInterCodeContext*>(object)->GetKind() != ctProperty;
}
[[gnu::always_inline]] inline bool IsPlainMemberValue(const tNUVVariant& value) {
  return value.vt != tvtObject || !value.Object.Object || IsPlainObjectMember(value.Object.Object);
}

// For the loop's inline paths: a member of plain value the cache answers for,
// for the object a register holds. Owner null when the out-of-line operation
// must run, which also fills the cache.
// (Answered by value: a local whose address is taken costs a sanitized build's
// loop frame stack space at every inline use.)
[[gnu::always_inline]] inline tCachedMember FindCachedPlainMember(const tNUVVariant& receiver, const tNUVVariant& name,
                                                                  const tNUVMemberCacheEntry& cache,
                                                                  const tActivation& activation) {
  if (receiver.vt != tvtObject || !receiver.Object.Object) return {};
  iNUVDispatch2* object = receiver.Object.Object;
  // The most common case first: the frame's global object (top-level code, and
  // functions called without an object), found where the cache says.
  if (object == activation.Global && cache.SecondStamp == 0 &&
      activation.Global->GetLayoutStamp() == cache.FirstStamp) [[likely]] {
    if (!IsPlainMemberValue(cache.Symbol->Value)) return {};
    return {activation.Global, cache.Symbol};
  }
  if (name.vt != tvtString) return {};
  const int32_t kind = EngineKindOf(object, activation);
  if (kind != NUVEngineKindScriptObject && kind != NUVEngineKindProxy) return {};
  tCachedMember hit = ProbeMemberCache(object, kind, name.String, cache, activation.Global);
  if (!hit.Owner || !IsPlainMemberValue(hit.Symbol->Value)) return {};
  return hit;
}

}  // namespace NUV::InterpreterDetail
