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
#include "engine/vm/object_proxy.h"

namespace NUV::InterpreterDetail {

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

inline tDirectLookUp LookUpScriptMember(iNUVDispatch2* object, const char16_t* name, uint32_t* hint, bool forGet,
                                        iNUVDispatch2* objThis, tDirectMember& found) {
  if (object->Reserved2() != NUVEngineKindScriptObject) return tDirectLookUp::Undecided;
  return LookUpOwnMember(static_cast<tNUVCustomObject*>(object), name, hint, forGet, objThis, found);
}

// The same for whatever a register holds: a proxy is looked through as it relays
// (this first, then the global object when this lacks the member).
[[gnu::always_inline]] inline tDirectLookUp LookUpDirectMember(iNUVDispatch2* object, const char16_t* name,
                                                               uint32_t* hint, bool forGet, iNUVDispatch2* objThis,
                                                               tDirectMember& found) {
  const int32_t kind = object->Reserved2();
  if (kind == NUVEngineKindScriptObject)
    return LookUpOwnMember(static_cast<tNUVCustomObject*>(object), name, hint, forGet, objThis, found);
  if (kind != NUVEngineKindProxy) return tDirectLookUp::Undecided;
  auto* proxy = static_cast<tNUVObjectProxy*>(object);
  iNUVDispatch2* first = proxy->GetFirst();
  iNUVDispatch2* second = proxy->GetSecond();
  if (!first) return tDirectLookUp::Undecided;
  tDirectLookUp answer = LookUpScriptMember(first, name, hint, forGet, objThis ? objThis : first, found);
  if (answer != tDirectLookUp::NoMember || !second || second == first) return answer;
  return LookUpScriptMember(second, name, hint, forGet, objThis ? objThis : second, found);
}

// Whether a value read from a member is the value itself: objects may be
// properties, whose getter the general path calls.
inline bool IsPlainMemberValue(const tNUVVariant& value) { return value.vt != tvtObject; }

}  // namespace NUV::InterpreterDetail
