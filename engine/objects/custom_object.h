#pragma once
// tNUVCustomObject: the general script object.
//
// Members live in a chained hash table whose first record per bucket sits in the
// bucket array itself. Lookups by a name body reuse the hash cached in the body's
// Hint; a hint that equals the name's hash and finds nothing means the member is
// absent. Records found deep in a chain move to its head. Tables resize lazily at
// the next GetMember after RequestRehash.
//
// Self-reference rule: a member value that is a closure bound to this very object
// (objthis == this) holds no counted reference to this object, so methods bound to
// their own object make no cycle. Storing such a value is followed by one Release,
// and overwriting, clearing or deleting it is preceded by one AddRef.
//
// Life cycle: live -> invalidating (the finalizer runs) -> invalidated (members
// gone; member operations answer -1006 except IsValid) -> destroyed at the last
// Release. The object also carries class names for instanceof, up to four native
// instances keyed by class id, and the names of its finalizer and missing-member
// handler.

#include <cstdint>
#include <vector>

#include "engine/objects/dispatch.h"

namespace NUV {

constexpr int32_t NUVMaxNativeInstances = 4;
constexpr int32_t NUVMaxHashBits = 32;

class tNUVCustomObject : public tNUVDispatch {
public:
  explicit tNUVCustomObject(int32_t hashBits = 3);
  ~tNUVCustomObject() override;

  int32_t CallMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                     int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) override;
  int32_t GetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                    iNUVDispatch2* objThis) override;
  int32_t SetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, const tNUVVariant* value,
                    iNUVDispatch2* objThis) override;
  int32_t GetMemberCount(int32_t* result, const char16_t* memberName, uint32_t* hint,
                         iNUVDispatch2* objThis) override;
  int32_t SetMemberByBody(uint32_t flags, tNUVVariantString* memberName, const tNUVVariant* value,
                          iNUVDispatch2* objThis) override;
  int32_t EnumerateMembers(uint32_t flags, tNUVVariantClosure_S* callback, iNUVDispatch2* objThis) override;
  int32_t DeleteMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                       iNUVDispatch2* objThis) override;
  int32_t Invalidate(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                     iNUVDispatch2* objThis) override;
  int32_t IsValid(uint32_t flags, const char16_t* memberName, uint32_t* hint, iNUVDispatch2* objThis) override;
  int32_t CreateInstance(uint32_t flags, const char16_t* memberName, uint32_t* hint, iNUVDispatch2** result,
                         int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) override;
  int32_t IsInstanceOf(uint32_t flags, const char16_t* memberName, uint32_t* hint, const char16_t* className,
                       iNUVDispatch2* objThis) override;
  int32_t ApplyOperation(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                         const tNUVVariant* operand, iNUVDispatch2* objThis) override;
  int32_t NativeInstanceSlot(int32_t kind, int32_t classId, iNUVNativeInstance** instance) override;
  int32_t ClassInfo(int32_t kind, int32_t index, tNUVVariant* value) override;
  // Classes that replace CallMember answer something else.
  int32_t Reserved2() override { return NUVEngineKindScriptObject; }

  void BeforeDestruction() override;
  // Runs the finalizer, invalidates the native instances and clears the members.
  virtual void Finalize();

  // Asks every custom object to resize its table at its next GetMember.
  static void RequestRehash();

  int32_t GetCount() const { return Count; }
  int32_t GetHashSize() const { return HashSize; }
  // Changes whenever a record may have appeared, gone or moved, and when the
  // object is invalidated or gets a missing-member handler; never the same for two
  // objects or two layouts. A lookup remembered under a stamp holds while the
  // object's stamp is unchanged.
  uint64_t GetLayoutStamp() const { return LayoutStamp; }
  bool GetIsInvalidated() const { return IsInvalidated; }

  static constexpr uint32_t NUVSymbolUsing = 0x1;
  static constexpr uint32_t NUVSymbolInitialized = 0x2;
  static constexpr uint32_t NUVSymbolHidden = 0x8;
  static constexpr uint32_t NUVSymbolStatic = 0x10;

  struct tSymbolData {
    tNUVVariantString* Name = nullptr;
    uint32_t Hash = 0;
    uint32_t SymFlags = 0;
    tNUVVariant Value;
    tSymbolData* Next = nullptr;
  };

  // For the interpreter's direct calls: the member lookup CallMember starts with.
  tSymbolData* LookUpMember(const char16_t* name, uint32_t* hint) { return FindMember(name, hint); }
  // And the one GetMember starts with.
  tSymbolData* LookUpMemberForGet(const char16_t* name, uint32_t* hint) {
    RebuildHashIfNeeded();
    return FindMember(name, hint);
  }
  bool HasMissingHandler() const { return CallMissing; }
  // The record a set with the member-ensure flag stores into: found, or added
  // under body's text. Null (nothing done) when the general operation must run:
  // invalidated, a missing-member handler, the empty name.
  tSymbolData* FindOrAddMember(const char16_t* name, uint32_t* hint, tNUVVariantString* body) {
    if (IsInvalidated || CallMissing || !*name) return nullptr;
    uint32_t hash = 0;
    tSymbolData* symbol = FindMember(name, hint, &hash);
    // Not found: the search just looked through the bucket of hash.
    return symbol ? symbol : AddHashedMember(name, hash, body, false);
  }
  // Where a record of this table sits in its bucket: 0 for the bucket's own
  // record, n for the n-th one chained after it (-1: not in this table).
  int32_t RecordDepth(const tSymbolData* record) const;
  // The record in use under exactly this name body at that depth of the bucket
  // for hash, or null. A table has one record per name, so a record found so is
  // the member whatever else changed.
  tSymbolData* RecordAt(uint32_t hash, int32_t depth, const tNUVVariantString* name) const {
    tSymbolData* record = &Symbols[hash & HashMask];
    for (; depth > 0 && record; --depth) record = record->Next;
    return record && record->Name == name && (record->SymFlags & NUVSymbolUsing) ? record : nullptr;
  }
  // The last steps of SetMember and ApplyOperation on a member found to hold a
  // plain (non-object) value, for the interpreter's direct access.
  void StoreFoundMember(tSymbolData& symbol, uint32_t flags, const tNUVVariant& value) {
    SetSymbolFlags(symbol, flags);
    if (symbol.Value.IsPlain() && value.IsPlain()) {
      symbol.Value = value;   // no reference changes hands, no finalizer can run
      return;
    }
    StoreValue(symbol, value);
  }
  static void ApplyToPlainValue(tNUVVariant& member, uint32_t operation, const tNUVVariant* operand,
                                tNUVVariant* result);
  // regmember between two script objects: the members of this that are not static
  // become members of target bound to it, exactly as enumerating them into
  // target's SetMemberByBody would store them, without the round trips. False
  // (nothing done) when either object is invalidated: the general way reports it.
  bool CopyMembersTo(tNUVCustomObject& target);

protected:
  // Runs Finalize once; re-entry does nothing.
  void FinalizeOnce();
  // Whether the member the finalizer call would find exists.
  bool HasFinalizeMember();
  // Empties the table; object references are gathered first and released last, so
  // finalizers of member objects see an empty table.
  void ClearMembers();

  // computedHash, when given, receives the name's hash whenever the search
  // computed it (always when the member is not found).
  tSymbolData* FindMember(const char16_t* name, uint32_t* hint, uint32_t* computedHash = nullptr);
  tSymbolData* AddMember(const char16_t* name, uint32_t* hint, tNUVVariantString* body = nullptr);
  // AddMember for a name whose hash is known (taken from another table's record).
  // mayExist false: the caller knows the table lacks the name.
  tSymbolData* AddHashedMember(const char16_t* name, uint32_t hash, tNUVVariantString* body, bool mayExist = true);
  bool RemoveMember(const char16_t* name);

  // Self-reference compensation around stores into member values.
  void AfterStore(const tNUVVariant& value) {
    if (value.vt == tvtObject && value.Object.ObjThis == this) Release();
  }
  void BeforeRemove(const tNUVVariant& value) {
    if (value.vt == tvtObject && value.Object.ObjThis == this) AddRef();
  }
  void StoreValue(tSymbolData& symbol, const tNUVVariant& value);
  // The hidden and static marks a store with these flags leaves on the member.
  static void SetSymbolFlags(tSymbolData& symbol, uint32_t flags) {
    symbol.SymFlags = (symbol.SymFlags & ~(NUVSymbolHidden | NUVSymbolStatic)) |
                      ((flags & NUVHiddenMember) ? NUVSymbolHidden : 0u) |
                      ((flags & NUVStaticMember) ? NUVSymbolStatic : 0u);
  }

  void NewLayoutStamp() { LayoutStamp = ++LastLayoutStamp; }

  int32_t Count = 0;
  int32_t HashSize = 0;
  uint32_t HashMask = 0;
  tSymbolData* Symbols = nullptr;
  uint32_t RebuildHashMagic = 0;
  bool IsInvalidated = false;
  bool IsInvalidating = false;
  iNUVNativeInstance* NativeInstances[NUVMaxNativeInstances] = {};
  int32_t ClassIDs[NUVMaxNativeInstances] = {-1, -1, -1, -1};
  bool CallFinalize = true;
  // A table used as a data structure (a dictionary) that reaches twice as many
  // members as buckets is resized as a rehash request would resize it, so its
  // chains stay short however many members are added. Other tables are resized
  // only on request.
  bool GrowsWithMembers = false;
  tNUVString FinalizeName;
  bool CallMissing = false;
  bool ProcessingMissing = false;
  tNUVString MissingName;
  std::vector<tNUVString> ClassNames;

private:
  static inline uint64_t LastLayoutStamp = 0;
  uint64_t LayoutStamp = ++LastLayoutStamp;

  void RebuildHashIfNeeded();
  void Rehash(int32_t newHashSize);
  // promote: move a record found deep in its chain to the chain's head.
  tSymbolData* SearchBucket(const char16_t* name, uint32_t hash, bool promote = true);
  void ClearSymbol(tSymbolData& symbol);
  bool IsSharedMethodOfThis(const tNUVVariant& value) const;
  // SetMember and SetMemberByBody; body, when given, is shared by a new member.
  int32_t SetMemberCommon(uint32_t flags, const char16_t* name, uint32_t* hint, tNUVVariantString* body,
                          const tNUVVariant* value, iNUVDispatch2* objThis);
  // Asks the missing-member handler to get (value out) or set (value in) a member;
  // true when the handler took care of it.
  bool CallMissingHandler(bool isSet, const char16_t* name, tNUVVariant& value);
};

// The temporary property object of the missing-member protocol: one variant that a
// get copies out and a set stores into.
class tNUVSimpleGetSetProperty : public tNUVDispatch {
public:
  explicit tNUVSimpleGetSetProperty(const tNUVVariant& value) : Value(value) {}
  int32_t GetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                    iNUVDispatch2* objThis) override;
  int32_t SetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, const tNUVVariant* value,
                    iNUVDispatch2* objThis) override;
  int32_t SetMemberByBody(uint32_t flags, tNUVVariantString* memberName, const tNUVVariant* value,
                          iNUVDispatch2* objThis) override;
  const tNUVVariant& GetValue() const { return Value; }

private:
  tNUVVariant Value;
};

// A new, empty general object (3 hash bits).
iNUVDispatch2* NUVCreateCustomObject();

}  // namespace NUV
