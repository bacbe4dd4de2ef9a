#include "engine/objects/custom_object.h"

#include <exception>

#include "engine/services/error_report.h"
#include "engine/services/errors.h"

namespace NUV {
namespace {

uint32_t GlobalRehashCounter = 0;

uint32_t MemberHash(const char16_t* name);

// "finalize" and "missing", interned once and shared by every object; they live
// while any custom object does.
struct tSharedNames {
  tNUVString Finalize;
  tNUVString Missing;
  uint32_t FinalizeHash;   // of the shared text, which no one changes
};
tSharedNames* SharedNames = nullptr;
int64_t LiveObjectCount = 0;

void AcquireSharedNames() {
  if (LiveObjectCount++ == 0) {
    SharedNames = new tSharedNames{MapGlobalString(tNUVString(u"finalize")),
                                   MapGlobalString(tNUVString(u"missing")), 0};
    SharedNames->FinalizeHash = MemberHash(SharedNames->Finalize.c_str());
  }
}

void ReleaseSharedNames() {
  if (--LiveObjectCount == 0) {
    delete SharedNames;
    SharedNames = nullptr;
  }
}

// The member hash: 0 for no name, never 0 otherwise (the empty text hashes to
// 0xFFFFFFFF).
uint32_t MemberHash(const char16_t* name) {
  if (!name) return 0;
  if (!*name) return 0xFFFFFFFFu;
  return HashString(name, WideLength(name));
}

bool SameName(const tNUVVariantString* stored, const char16_t* name) {
  if (!stored) return false;
  const char16_t* text = stored->Text();
  return text == name || WideCompare(text, name) == 0;
}

int32_t HashBitsForCount(int32_t count) {
  int32_t bits = 0;
  for (uint32_t value = count > 1 ? static_cast<uint32_t>(count) : 1; value > 1; value >>= 1) ++bits;
  return bits + 2;
}

// Hash sizes are powers of two held in an int32, so more than 30 bits cannot be
// allocated anyway.
int32_t ClampHashBits(int32_t bits) {
  if (bits < 0) return 0;
  if (bits > 30) return 30;
  return bits;
}

// Collects object references with a fixed buffer for small tables.
class tReferenceCollector {
public:
  void Add(iNUVDispatch2* object) {
    if (!object) return;
    object->AddRef();
    if (Count < FixedCapacity) Fixed[Count++] = object;
    else Overflow.push_back(object);
  }
  // Releases everything; the first exception raised by a release is rethrown
  // after all references were released.
  void ReleaseAll() {
    std::exception_ptr first;
    auto release = [&](iNUVDispatch2* object) {
      try {
        object->Release();
      } catch (...) {
        if (!first) first = std::current_exception();
      }
    };
    int32_t fixedCount = Count;
    Count = 0;
    for (int32_t i = 0; i < fixedCount; ++i) release(Fixed[i]);
    std::vector<iNUVDispatch2*> overflow;
    overflow.swap(Overflow);
    for (iNUVDispatch2* object : overflow) release(object);
    if (first) std::rethrow_exception(first);
  }
  ~tReferenceCollector() {
    for (int32_t i = 0; i < Count; ++i) NUVReleaseNoThrow(Fixed[i]);
    for (iNUVDispatch2* object : Overflow) NUVReleaseNoThrow(object);
  }

private:
  static constexpr int32_t FixedCapacity = 20;
  iNUVDispatch2* Fixed[FixedCapacity];
  int32_t Count = 0;
  std::vector<iNUVDispatch2*> Overflow;
};

}  // namespace

// Construction and destruction ----------------------------------------------------

tNUVCustomObject::tNUVCustomObject(int32_t hashBits) {
  AcquireSharedNames();
  HashSize = 1 << ClampHashBits(hashBits);
  HashMask = static_cast<uint32_t>(HashSize - 1);
  Symbols = new tSymbolData[HashSize];
  RebuildHashMagic = GlobalRehashCounter;
  FinalizeName = SharedNames->Finalize;
  MissingName = SharedNames->Missing;
}

tNUVCustomObject::~tNUVCustomObject() {
  for (int32_t i = NUVMaxNativeInstances - 1; i >= 0; --i) {
    if (ClassIDs[i] != -1 && NativeInstances[i]) NativeInstances[i]->Destruct();
  }
  // Normally the table is already empty (finalization cleared it); otherwise drop
  // what is left without touching this object's count again.
  for (int32_t i = 0; i < HashSize; ++i) {
    tSymbolData* chained = Symbols[i].Next;
    while (chained) {
      tSymbolData* next = chained->Next;
      if (chained->Value.vt == tvtObject && chained->Value.Object.ObjThis == this)
        chained->Value.Object.ObjThis = nullptr;
      ReleaseStringBody(chained->Name);
      delete chained;
      chained = next;
    }
    if (Symbols[i].Value.vt == tvtObject && Symbols[i].Value.Object.ObjThis == this)
      Symbols[i].Value.Object.ObjThis = nullptr;
    ReleaseStringBody(Symbols[i].Name);
  }
  delete[] Symbols;
  ClassNames.clear();
  FinalizeName.Clear();
  MissingName.Clear();
  ReleaseSharedNames();
}

void tNUVCustomObject::RequestRehash() { ++GlobalRehashCounter; }

// The member table ----------------------------------------------------------------

tNUVCustomObject::tSymbolData* tNUVCustomObject::SearchBucket(const char16_t* name, uint32_t hash, bool promote) {
  tSymbolData& bucket = Symbols[hash & HashMask];
  tSymbolData* previous = nullptr;
  int32_t position = 0;
  for (tSymbolData* symbol = bucket.Next; symbol; previous = symbol, symbol = symbol->Next, ++position) {
    if ((symbol->SymFlags & NUVSymbolUsing) && symbol->Hash == hash && SameName(symbol->Name, name)) {
      if (promote && position >= 3) {
        previous->Next = symbol->Next;
        symbol->Next = bucket.Next;
        bucket.Next = symbol;
      }
      return symbol;
    }
  }
  if ((bucket.SymFlags & NUVSymbolUsing) && bucket.Hash == hash && SameName(bucket.Name, name)) return &bucket;
  return nullptr;
}

int32_t tNUVCustomObject::RecordDepth(const tSymbolData* record) const {
  int32_t depth = 0;
  for (const tSymbolData* at = &Symbols[record->Hash & HashMask]; at; at = at->Next, ++depth) {
    if (at == record) return depth;
  }
  return -1;
}

tNUVCustomObject::tSymbolData* tNUVCustomObject::FindMember(const char16_t* name, uint32_t* hint,
                                                         uint32_t* computedHash) {
  if (!name) return nullptr;
  if (hint && *hint) {
    if (tSymbolData* found = SearchBucket(name, *hint)) return found;
  }
  uint32_t hash = MemberHash(name);
  if (computedHash) *computedHash = hash;
  if (hint) {
    if (*hint == hash) return nullptr;
    *hint = hash;
  }
  return SearchBucket(name, hash);
}

// The hash is always computed here rather than taken from the hint, so a hint that
// went stale (a name text changed in place) cannot file a member under a wrong hash.
tNUVCustomObject::tSymbolData* tNUVCustomObject::AddMember(const char16_t* name, uint32_t* hint,
                                                           tNUVVariantString* body) {
  if (!name || !*name) NUVThrowError(NUVIDExpected);
  uint32_t hash = MemberHash(name);
  if (hint) *hint = hash;
  return AddHashedMember(name, hash, body);
}

tNUVCustomObject::tSymbolData* tNUVCustomObject::AddHashedMember(const char16_t* name, uint32_t hash,
                                                                 tNUVVariantString* body, bool mayExist) {
  if (mayExist) {
    if (tSymbolData* existing = SearchBucket(name, hash)) return existing;
  }
  if (GrowsWithMembers && Count >= 2 * HashSize && HashSize < (1 << 30))
    Rehash(1 << ClampHashBits(HashBitsForCount(Count + 1)));
  tSymbolData& bucket = Symbols[hash & HashMask];
  tSymbolData* symbol;
  if (!(bucket.SymFlags & NUVSymbolUsing)) {
    symbol = &bucket;
    if (!(bucket.SymFlags & NUVSymbolInitialized)) {
      bucket.Name = nullptr;
      bucket.Value.Clear();
      bucket.SymFlags = NUVSymbolInitialized;
    }
  } else {
    symbol = new tSymbolData;
    symbol->SymFlags = NUVSymbolInitialized;
    symbol->Next = bucket.Next;
    bucket.Next = symbol;
  }
  if (body) {
    AddRefStringBody(body);
    symbol->Name = body;
  } else {
    symbol->Name = CreateStringBody(name);
  }
  symbol->Hash = hash;
  symbol->SymFlags = (symbol->SymFlags & ~(NUVSymbolHidden | NUVSymbolStatic)) | NUVSymbolUsing;
  ++Count;
  NewLayoutStamp();
  return symbol;
}

// Empties one record; the old value is released last, after the record is
// consistent, since the release may run a finalizer.
void tNUVCustomObject::ClearSymbol(tSymbolData& symbol) {
  BeforeRemove(symbol.Value);
  tNUVVariant old(std::move(symbol.Value));
  ReleaseStringBody(symbol.Name);
  symbol.Name = nullptr;
  symbol.SymFlags &= ~(NUVSymbolUsing | NUVSymbolHidden | NUVSymbolStatic);
  old.Clear();
}

bool tNUVCustomObject::RemoveMember(const char16_t* name) {
  uint32_t hash = MemberHash(name);
  tSymbolData& bucket = Symbols[hash & HashMask];
  if ((bucket.SymFlags & NUVSymbolUsing) && bucket.Hash == hash && SameName(bucket.Name, name)) {
    --Count;
    NewLayoutStamp();
    ClearSymbol(bucket);
    return true;
  }
  tSymbolData* previous = nullptr;
  for (tSymbolData* symbol = bucket.Next; symbol; previous = symbol, symbol = symbol->Next) {
    if ((symbol->SymFlags & NUVSymbolUsing) && symbol->Hash == hash && SameName(symbol->Name, name)) {
      (previous ? previous->Next : bucket.Next) = symbol->Next;
      --Count;
      NewLayoutStamp();
      BeforeRemove(symbol->Value);
      tNUVVariant old(std::move(symbol->Value));
      ReleaseStringBody(symbol->Name);
      delete symbol;
      old.Clear();
      return true;
    }
  }
  return false;
}

void tNUVCustomObject::StoreValue(tSymbolData& symbol, const tNUVVariant& value) {
  tNUVVariant fresh(value);   // value may live inside this very record
  BeforeRemove(symbol.Value);
  tNUVVariant old(std::move(symbol.Value));
  symbol.Value = std::move(fresh);
  AfterStore(symbol.Value);
  old.Clear();
}

void tNUVCustomObject::RebuildHashIfNeeded() {
  if (RebuildHashMagic == GlobalRehashCounter) return;
  RebuildHashMagic = GlobalRehashCounter;
  int32_t newSize = 1 << ClampHashBits(HashBitsForCount(Count));
  if (newSize != HashSize) Rehash(newSize);
}

// Records move to the new table with their names, values and flags; nothing is
// released, so no reference count changes.
void tNUVCustomObject::Rehash(int32_t newHashSize) {
  NewLayoutStamp();
  auto* fresh = new tSymbolData[newHashSize];
  uint32_t freshMask = static_cast<uint32_t>(newHashSize - 1);
  auto insert = [&](tSymbolData& source) {
    tSymbolData& bucket = fresh[source.Hash & freshMask];
    tSymbolData* target;
    if (!(bucket.SymFlags & NUVSymbolUsing)) {
      target = &bucket;
    } else {
      target = new tSymbolData;
      target->Next = bucket.Next;
      bucket.Next = target;
    }
    target->Name = source.Name;
    source.Name = nullptr;
    target->Hash = source.Hash;
    target->SymFlags = NUVSymbolInitialized | NUVSymbolUsing |
                       (source.SymFlags & (NUVSymbolHidden | NUVSymbolStatic));
    target->Value = std::move(source.Value);
  };
  for (int32_t i = 0; i < HashSize; ++i) {
    tSymbolData* chained = Symbols[i].Next;
    while (chained) {
      tSymbolData* next = chained->Next;
      if (chained->SymFlags & NUVSymbolUsing) insert(*chained);
      delete chained;
      chained = next;
    }
    if (Symbols[i].SymFlags & NUVSymbolUsing) insert(Symbols[i]);
  }
  delete[] Symbols;
  Symbols = fresh;
  HashSize = newHashSize;
  HashMask = freshMask;
}

// A method copied from a class: a function bound to this object whose function
// is also held elsewhere (by its class), so dropping this reference is not the last.
bool tNUVCustomObject::IsSharedMethodOfThis(const tNUVVariant& value) const {
  iNUVDispatch2* function = value.Object.Object;
  return value.Object.ObjThis == this && function && function->Reserved2() == NUVEngineKindCodeContext &&
         static_cast<tNUVDispatch*>(static_cast<tNUVCustomObject*>(function))->GetRefCount() > 1;
}

void tNUVCustomObject::ClearMembers() {
  NewLayoutStamp();
  tReferenceCollector collected;
  for (int32_t i = 0; i < HashSize; ++i) {
    for (tSymbolData* symbol = &Symbols[i]; symbol; symbol = symbol->Next) {
      if (!(symbol->SymFlags & NUVSymbolUsing) || symbol->Value.vt != tvtObject) continue;
      if (IsSharedMethodOfThis(symbol->Value)) {
        // Its release is a decrement that runs nothing, and the value holds no
        // reference to this object.
        symbol->Value.Object.Object->Release();
        symbol->Value.vt = tvtVoid;
        symbol->Value.Object.Object = symbol->Value.Object.ObjThis = nullptr;
        continue;
      }
      BeforeRemove(symbol->Value);
      collected.Add(symbol->Value.Object.Object);
      collected.Add(symbol->Value.Object.ObjThis);
      symbol->Value.Clear();   // only counts drop here: the collector holds every object
    }
  }
  for (int32_t i = 0; i < HashSize; ++i) {
    tSymbolData* chained = Symbols[i].Next;
    while (chained) {
      tSymbolData* next = chained->Next;
      ReleaseStringBody(chained->Name);
      delete chained;
      chained = next;
    }
    Symbols[i].Next = nullptr;
    ReleaseStringBody(Symbols[i].Name);
    Symbols[i].Name = nullptr;
    Symbols[i].Value.Clear();
    Symbols[i].SymFlags &= NUVSymbolInitialized;
  }
  Count = 0;
  collected.ReleaseAll();
}

// The missing-member protocol ------------------------------------------------------

bool tNUVCustomObject::CallMissingHandler(bool isSet, const char16_t* name, tNUVVariant& value) {
  if (!CallMissing || ProcessingMissing) return false;
  struct tProcessingGuard {
    bool& Flag;
    ~tProcessingGuard() { Flag = false; }
  } guard{ProcessingMissing};
  ProcessingMissing = true;

  auto* property = new tNUVSimpleGetSetProperty(isSet ? value : tNUVVariant());
  struct tPropertyGuard {
    iNUVDispatch2* Object;
    ~tPropertyGuard() { NUVReleaseNoThrow(Object); }
  } propertyGuard{property};

  tNUVVariant kind(int64_t{isSet ? 1 : 0});
  tNUVVariant nameValue(name);
  tNUVVariant propertyValue(static_cast<iNUVDispatch2*>(property), nullptr);
  tNUVVariant* arguments[3] = {&kind, &nameValue, &propertyValue};
  tNUVVariant answer;
  tNUVString handlerName(MissingName);
  int32_t code = CallMember(0, handlerName.c_str(), handlerName.GetHint(), &answer, 3, arguments, this);
  bool handled = NUVSucceeded(code) && answer.AsInteger() != 0;
  if (handled && !isSet) value = property->GetValue();
  return handled;
}

int32_t tNUVSimpleGetSetProperty::GetMember(uint32_t, const char16_t* memberName, uint32_t*, tNUVVariant* result,
                                            iNUVDispatch2*) {
  if (memberName) return NUVResultMemberNotFound;
  if (!result) return NUVResultInvalidParam;
  *result = Value;
  return NUVResultOk;
}

int32_t tNUVSimpleGetSetProperty::SetMember(uint32_t, const char16_t* memberName, uint32_t*,
                                            const tNUVVariant* value, iNUVDispatch2*) {
  if (memberName) return NUVResultMemberNotFound;
  if (!value) return NUVResultInvalidParam;
  Value = *value;
  return NUVResultOk;
}

int32_t tNUVSimpleGetSetProperty::SetMemberByBody(uint32_t flags, tNUVVariantString* memberName,
                                                  const tNUVVariant* value, iNUVDispatch2* objThis) {
  if (memberName) return NUVResultMemberNotFound;
  return SetMember(flags, nullptr, nullptr, value, objThis);
}

// Interface operations -------------------------------------------------------------

int32_t tNUVCustomObject::GetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                    tNUVVariant* result, iNUVDispatch2* objThis) {
  RebuildHashIfNeeded();
  if (IsInvalidated) return NUVResultInvalidObject;
  if (!memberName) return NUVResultInvalidType;
  tSymbolData* symbol = FindMember(memberName, hint);
  if (!symbol && CallMissing) {
    tNUVVariant value;
    if (CallMissingHandler(false, memberName, value)) return NUVGetThroughValue(value, flags, result, objThis);
    symbol = FindMember(memberName, hint);
  }
  if (!symbol && (flags & NUVMemberEnsure)) symbol = AddMember(memberName, hint);
  if (!symbol) return NUVResultMemberNotFound;
  return NUVGetThroughValue(symbol->Value, flags, result, objThis);
}

int32_t tNUVCustomObject::SetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                    const tNUVVariant* value, iNUVDispatch2* objThis) {
  if (IsInvalidated) return NUVResultInvalidObject;
  if (!memberName) return NUVResultInvalidType;
  return SetMemberCommon(flags, memberName, hint, nullptr, value, objThis);
}

int32_t tNUVCustomObject::SetMemberByBody(uint32_t flags, tNUVVariantString* memberName,
                                          const tNUVVariant* value, iNUVDispatch2* objThis) {
  if (IsInvalidated) return NUVResultInvalidObject;
  if (!memberName) return NUVResultInvalidType;
  // Hold the body: a property or missing handler may drop the caller's copy.
  tNUVString name = tNUVString::FromBody(memberName);
  return SetMemberCommon(flags, name.c_str(), &memberName->Hint, memberName, value, objThis);
}

int32_t tNUVCustomObject::SetMemberCommon(uint32_t flags, const char16_t* name, uint32_t* hint,
                                          tNUVVariantString* body, const tNUVVariant* value,
                                          iNUVDispatch2* objThis) {
  if (CallMissing && !FindMember(name, hint)) {
    tNUVVariant offered = value ? *value : tNUVVariant();
    if (CallMissingHandler(true, name, offered)) return NUVResultOk;
  }
  // A member that is not found had its hash computed from name by the search.
  uint32_t hash = 0;
  tSymbolData* symbol = FindMember(name, hint, &hash);
  if (!symbol && (flags & NUVMemberEnsure)) {
    if (!*name) NUVThrowError(NUVIDExpected);
    symbol = AddHashedMember(name, hash, body);
  }
  if (!symbol) return NUVResultMemberNotFound;
  SetSymbolFlags(*symbol, flags);
  if (!(flags & NUVIgnoreProperty) && symbol->Value.vt == tvtObject) {
    int32_t code = NUVSetThroughValue(symbol->Value, flags, value, objThis);
    if (code != NUVSetPlainly) return code;
    // The property call may have changed the table.
    symbol = FindMember(name, hint);
    if (!symbol && (flags & NUVMemberEnsure)) symbol = AddMember(name, hint, body);
    if (!symbol) return NUVResultMemberNotFound;
  }
  if (!value) return NUVResultInvalidParam;
  StoreValue(*symbol, *value);
  return NUVResultOk;
}

int32_t tNUVCustomObject::CallMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                     tNUVVariant* result, int32_t argumentCount, tNUVVariant** arguments,
                                     iNUVDispatch2* objThis) {
  if (IsInvalidated) return NUVResultInvalidObject;
  if (!memberName) return NUVResultInvalidType;
  tNUVVariant callee;
  if (tSymbolData* symbol = FindMember(memberName, hint)) {
    callee = symbol->Value;   // a copy: the call may change the table
  } else if (!CallMissingHandler(false, memberName, callee)) {
    return NUVResultMemberNotFound;
  }
  // callee is a copy and keeps the function and its this alive for the call.
  if (callee.vt != tvtObject || !callee.Object.Object) return NUVResultInvalidType;
  return NUVCallHeldValue(tNUVVariantClosure(callee.Object), flags, result, argumentCount, arguments, objThis);
}

int32_t tNUVCustomObject::CreateInstance(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                         iNUVDispatch2** result, int32_t argumentCount, tNUVVariant** arguments,
                                         iNUVDispatch2* objThis) {
  if (IsInvalidated) return NUVResultInvalidObject;
  if (!memberName) return NUVResultInvalidType;
  tNUVVariant classValue;
  if (tSymbolData* symbol = FindMember(memberName, hint)) {
    classValue = symbol->Value;
  } else if (!CallMissingHandler(false, memberName, classValue)) {
    return NUVResultMemberNotFound;
  }
  if (classValue.vt != tvtObject || !classValue.Object.Object) return NUVResultInvalidType;
  iNUVDispatch2* target = classValue.Object.ObjThis ? classValue.Object.ObjThis : objThis;
  return classValue.Object.Object->CreateInstance(flags, nullptr, nullptr, result, argumentCount, arguments,
                                                  target);
}

int32_t tNUVCustomObject::ApplyOperation(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                         tNUVVariant* result, const tNUVVariant* operand,
                                         iNUVDispatch2* objThis) {
  if (IsInvalidated) return NUVResultInvalidObject;
  if (!memberName) return NUVResultInvalidType;
  uint32_t operation = flags & NUVOperationMask;
  if (operation < NUVOpBitAnd || operation > NUVOpDecrement) return NUVResultInvalidParam;
  if (!operand && operation != NUVOpIncrement && operation != NUVOpDecrement) return NUVResultInvalidParam;

  tSymbolData* symbol = FindMember(memberName, hint);
  if (!symbol) {
    if (CallMissing) return tNUVDispatch::ApplyOperation(flags, memberName, hint, result, operand, objThis);
    return NUVResultMemberNotFound;
  }
  if (symbol->Value.vt == tvtObject && symbol->Value.Object.Object) {
    tNUVVariant property(symbol->Value);
    iNUVDispatch2* target = property.Object.ObjThis ? property.Object.ObjThis : objThis;
    tNUVVariant value;
    int32_t code = property.Object.Object->GetMember(0, nullptr, nullptr, &value, target);
    if (code >= 0) {
      value.ApplyOperationCode(operation, operand);
      code = property.Object.Object->SetMember(0, nullptr, nullptr, &value, target);
      if (NUVFailed(code)) return code;
      if (result) *result = value;
      return NUVResultOk;
    }
    if (code != NUVResultNotImplemented && code != NUVResultInvalidType && code != NUVResultInvalidObject)
      return code;
    symbol = FindMember(memberName, hint);
    if (!symbol) return NUVResultMemberNotFound;
  }
  if (symbol->Value.vt != tvtObject) {
    ApplyToPlainValue(symbol->Value, operation, operand, result);
    return NUVResultOk;
  }
  // Object values keep the self-reference accounting of StoreValue.
  tNUVVariant work(symbol->Value);
  work.ApplyOperationCode(operation, operand);   // a conversion error leaves the member unchanged
  StoreValue(*symbol, work);
  if (result) *result = work;
  return NUVResultOk;
}

void tNUVCustomObject::ApplyToPlainValue(tNUVVariant& member, uint32_t operation, const tNUVVariant* operand,
                                         tNUVVariant* result) {
  // The member's own reference moves to the work value, so a text grown with +=
  // is appended in place instead of copied at every step. No script code runs
  // meanwhile, and a failing operation leaves the value as it was.
  tNUVVariant work(std::move(member));
  try {
    work.ApplyOperationCode(operation, operand);
  } catch (...) {
    member = std::move(work);
    throw;
  }
  member = work;
  if (result) *result = std::move(work);
}

int32_t tNUVCustomObject::DeleteMember(uint32_t, const char16_t* memberName, uint32_t*, iNUVDispatch2*) {
  if (IsInvalidated) return NUVResultInvalidObject;
  if (!memberName) return NUVResultMemberNotFound;
  return RemoveMember(memberName) ? NUVResultOk : NUVResultMemberNotFound;
}

int32_t tNUVCustomObject::GetMemberCount(int32_t* result, const char16_t*, uint32_t*, iNUVDispatch2*) {
  if (IsInvalidated) return NUVResultInvalidObject;
  if (!result) return NUVResultInvalidParam;
  *result = Count;
  return NUVResultOk;
}

bool tNUVCustomObject::CopyMembersTo(tNUVCustomObject& target) {
  if (IsInvalidated || target.IsInvalidated) return false;
  if (target.Count == 0 && !target.CallMissing && &target != this) {
    // A fresh target has no old values to release, so no code runs while the
    // members are stored and this table can be read as it stands; it holds none
    // of the names (a table holds each name once), so none is looked for.
    auto store = [&](const tSymbolData& symbol) {
      if (!(symbol.SymFlags & NUVSymbolUsing) || (symbol.SymFlags & NUVSymbolStatic)) return;
      tSymbolData* record = target.AddHashedMember(symbol.Name->Text(), symbol.Hash, symbol.Name, false);
      record->SymFlags = (record->SymFlags & ~(NUVSymbolHidden | NUVSymbolStatic)) | (symbol.SymFlags & NUVSymbolHidden);
      iNUVDispatch2* object = symbol.Value.Object.Object;
      if (symbol.Value.vt == tvtObject && object && record->Value.vt == tvtVoid) {
        // Bound to target: the reference on target itself is the one a member
        // bound to its own object does not keep.
        object->AddRef();
        record->Value.Object.Object = object;
        record->Value.Object.ObjThis = &target;
        record->Value.vt = tvtObject;
      } else if (symbol.Value.vt == tvtObject) {
        target.StoreValue(*record, tNUVVariant(object, &target));
      } else {
        target.StoreValue(*record, symbol.Value);
      }
    };
    for (int32_t i = 0; i < HashSize; ++i) {
      for (tSymbolData* symbol = Symbols[i].Next; symbol; symbol = symbol->Next) store(*symbol);
      store(Symbols[i]);
    }
    return true;
  }
  struct tCopied {
    tNUVString Name;
    uint32_t Hash;
    bool Hidden;
    tNUVVariant Value;
  };
  // A snapshot first, in the order EnumerateMembers visits: storing into target
  // releases its old values, whose finalizers could change this table.
  std::vector<tCopied> copies;
  copies.reserve(static_cast<size_t>(Count));
  auto take = [&](const tSymbolData& symbol) {
    if (!(symbol.SymFlags & NUVSymbolUsing) || (symbol.SymFlags & NUVSymbolStatic)) return;
    copies.push_back({tNUVString::FromBody(symbol.Name), symbol.Hash, (symbol.SymFlags & NUVSymbolHidden) != 0,
                      symbol.Value});
  };
  for (int32_t i = 0; i < HashSize; ++i) {
    for (tSymbolData* symbol = Symbols[i].Next; symbol; symbol = symbol->Next) take(*symbol);
    take(Symbols[i]);
  }
  for (tCopied& copy : copies) {
    if (copy.Value.vt == tvtObject) copy.Value.SetObject(copy.Value.Object.Object, &target);
    const uint32_t flags = (copy.Hidden ? NUVHiddenMember : 0u) | NUVMemberEnsure | NUVIgnoreProperty;
    if (target.IsInvalidated || target.CallMissing) {
      // Something ran meanwhile: the general way from here on.
      NUVThrowFromResultCode(target.SetMemberByBody(flags, copy.Name.GetBody(), &copy.Value, &target), copy.Name);
      continue;
    }
    tSymbolData* symbol = target.AddHashedMember(copy.Name.c_str(), copy.Hash, copy.Name.GetBody());
    symbol->SymFlags = (symbol->SymFlags & ~(NUVSymbolHidden | NUVSymbolStatic)) | (copy.Hidden ? NUVSymbolHidden : 0u);
    target.StoreValue(*symbol, copy.Value);
  }
  return true;
}

// Members are listed first (in table order: buckets by index, in each the chain
// from its head, then the bucket's own record) and then visited one by one, each
// looked up again, so callbacks may change the table freely.
int32_t tNUVCustomObject::EnumerateMembers(uint32_t flags, tNUVVariantClosure_S* callback,
                                           iNUVDispatch2* objThis) {
  if (IsInvalidated) return NUVResultInvalidObject;
  if (!callback) return NUVResultOk;
  if (!callback->Object) NUVThrowError(NUVNullAccess);
  std::vector<tNUVString> names;
  names.reserve(Count);
  for (int32_t i = 0; i < HashSize; ++i) {
    for (tSymbolData* symbol = Symbols[i].Next; symbol; symbol = symbol->Next)
      if (symbol->SymFlags & NUVSymbolUsing) names.push_back(tNUVString::FromBody(symbol->Name));
    if (Symbols[i].SymFlags & NUVSymbolUsing) names.push_back(tNUVString::FromBody(Symbols[i].Name));
  }
  tNUVVariantClosure target(*callback);
  tNUVObjectHolder holdCallback(target.Object);
  tNUVObjectHolder holdCallbackThis(target.ObjThis);
  iNUVDispatch2* callbackThis = target.ObjThis ? target.ObjThis : target.Object;
  iNUVDispatch2* valueThis = objThis ? objThis : this;
  for (const tNUVString& name : names) {
    if (IsInvalidated) break;
    // No chain promotion here: visiting must not reorder the table, or the next
    // enumeration would list the members in another order.
    tSymbolData* symbol = SearchBucket(name.c_str(), MemberHash(name.c_str()), false);
    if (!symbol) continue;
    tNUVVariant nameValue(name);
    tNUVVariant flagsValue(int64_t{((symbol->SymFlags & NUVSymbolHidden) ? NUVHiddenMember : 0u) |
                                   ((symbol->SymFlags & NUVSymbolStatic) ? NUVStaticMember : 0u)});
    tNUVVariant value;
    int32_t argumentCount = 2;
    if (!(flags & NUVEnumerateNoValue)) {
      tNUVVariant member(symbol->Value);
      if (NUVFailed(NUVGetThroughValue(member, flags, &value, valueThis))) break;
      argumentCount = 3;
    }
    tNUVVariant* arguments[3] = {&nameValue, &flagsValue, &value};
    tNUVVariant answer;
    int32_t code = target.Object->CallMember(0, nullptr, nullptr, &answer, argumentCount, arguments, callbackThis);
    if (NUVFailed(code) || answer.AsInteger() == 0) break;
  }
  return NUVResultOk;
}

int32_t tNUVCustomObject::Invalidate(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                     iNUVDispatch2* objThis) {
  if (IsInvalidated) return NUVResultInvalidObject;
  if (memberName) {
    tNUVVariant value;
    if (tSymbolData* symbol = FindMember(memberName, hint)) value = symbol->Value;
    else if (!CallMissingHandler(false, memberName, value)) return NUVResultMemberNotFound;
    if (value.vt != tvtObject || !value.Object.Object) return NUVResultInvalidType;
    iNUVDispatch2* target = value.Object.ObjThis ? value.Object.ObjThis : objThis;
    return value.Object.Object->Invalidate(flags, nullptr, nullptr, target);
  }
  FinalizeOnce();
  return NUVResultTrue;
}

int32_t tNUVCustomObject::IsValid(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                  iNUVDispatch2* objThis) {
  if (!memberName) return IsInvalidated ? NUVResultFalse : NUVResultTrue;
  tNUVVariant value;
  if (tSymbolData* symbol = FindMember(memberName, hint)) value = symbol->Value;
  else if (!CallMissingHandler(false, memberName, value)) return NUVResultMemberNotFound;
  if (value.vt != tvtObject || !value.Object.Object) return NUVResultTrue;
  iNUVDispatch2* target = value.Object.ObjThis ? value.Object.ObjThis : objThis;
  return value.Object.Object->IsValid(flags, nullptr, nullptr, target);
}

int32_t tNUVCustomObject::IsInstanceOf(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                                       const char16_t* className, iNUVDispatch2* objThis) {
  if (IsInvalidated) return NUVResultInvalidObject;
  if (!className) className = u"";
  if (!memberName) {
    if (WideCompare(className, u"Object") == 0) return NUVResultTrue;
    for (const tNUVString& name : ClassNames)
      if (name == className) return NUVResultTrue;
    return NUVResultFalse;
  }
  tNUVVariant value;
  if (tSymbolData* symbol = FindMember(memberName, hint)) value = symbol->Value;
  else if (!CallMissingHandler(false, memberName, value)) return NUVResultMemberNotFound;
  switch (value.vt) {
    case tvtVoid: return NUVResultFalse;
    case tvtObject:
      if (WideCompare(className, u"Object") == 0) return NUVResultTrue;
      if (!value.Object.Object) return NUVResultFalse;
      return value.Object.Object->IsInstanceOf(flags, nullptr, nullptr, className,
                                               value.Object.ObjThis ? value.Object.ObjThis : objThis);
    default: break;
  }
  if (WideCompare(className, u"Object") == 0) return NUVResultTrue;
  if ((value.vt == tvtInteger || value.vt == tvtReal) && WideCompare(className, u"Number") == 0)
    return NUVResultTrue;
  if (value.vt == tvtString && WideCompare(className, u"String") == 0) return NUVResultTrue;
  if (value.vt == tvtOctet && WideCompare(className, u"Octet") == 0) return NUVResultTrue;
  return NUVResultFalse;
}

int32_t tNUVCustomObject::NativeInstanceSlot(int32_t kind, int32_t classId, iNUVNativeInstance** instance) {
  if (kind != 1 && kind != 2) return NUVResultNotImplemented;
  if (!instance) return NUVResultInvalidParam;
  // Id -1 marks a free slot: an instance registered under it would never be
  // destructed.
  if (kind == 1 && classId == -1) return NUVResultInvalidParam;
  for (int32_t i = 0; i < NUVMaxNativeInstances; ++i) {
    if (kind == 2 && ClassIDs[i] == classId && classId != -1) {
      *instance = NativeInstances[i];
      return NUVResultOk;
    }
    if (kind == 1 && ClassIDs[i] == -1) {
      ClassIDs[i] = classId;
      NativeInstances[i] = *instance;
      return NUVResultOk;
    }
  }
  return NUVResultFailed;
}

int32_t tNUVCustomObject::ClassInfo(int32_t kind, int32_t index, tNUVVariant* value) {
  if (kind < 0 || kind > 3) return NUVResultNotImplemented;
  if (!value) return NUVResultInvalidParam;
  switch (kind) {
    case 0:
      if (index < 0 || static_cast<size_t>(index) >= ClassNames.size()) return NUVResultFailed;
      *value = ClassNames[index];
      return NUVResultOk;
    case 1:
      ClassNames.push_back(value->AsString());
      if (ClassNames.size() == 1) {
        NUVSetTrackedObjectType(static_cast<iNUVDispatch2*>(this),
                                [&] { return tNUVString(u"instance of class ") + ClassNames.front(); });
      }
      return NUVResultOk;
    case 2:
      FinalizeName = value->AsString();
      CallFinalize = !FinalizeName.IsEmpty();
      return NUVResultOk;
    default:
      MissingName = value->AsString();
      CallMissing = !MissingName.IsEmpty();
      NewLayoutStamp();
      return NUVResultOk;
  }
}

// Finalization ------------------------------------------------------------------------

void tNUVCustomObject::FinalizeOnce() {
  if (IsInvalidating) return;
  IsInvalidating = true;
  try {
    if (!IsInvalidated) {
      Finalize();
      IsInvalidated = true;
      NewLayoutStamp();
    }
  } catch (...) {
    IsInvalidating = false;
    throw;
  }
  IsInvalidating = false;
}

void tNUVCustomObject::Finalize() {
  // Without a finalizer member (and no missing handler to make one up) the call
  // would only answer member not found.
  if (CallFinalize && (CallMissing || HasFinalizeMember())) {
    tNUVString name(FinalizeName);
    CallMember(0, name.c_str(), name.GetHint(), nullptr, 0, nullptr, this);
  }
  for (int32_t i = NUVMaxNativeInstances - 1; i >= 0; --i) {
    if (ClassIDs[i] != -1 && NativeInstances[i]) NativeInstances[i]->Invalidate();
  }
  ClearMembers();
}

bool tNUVCustomObject::HasFinalizeMember() {
  // Most objects keep the shared name, whose hash is known: the bucket answers
  // without hashing the name for every object that goes.
  if (FinalizeName.GetBody() == SharedNames->Finalize.GetBody())
    return SearchBucket(FinalizeName.c_str(), SharedNames->FinalizeHash) != nullptr;
  return FindMember(FinalizeName.c_str(), FinalizeName.GetHint()) != nullptr;
}

void tNUVCustomObject::BeforeDestruction() { FinalizeOnce(); }

iNUVDispatch2* NUVCreateCustomObject() { return new tNUVCustomObject(3); }

}  // namespace NUV
