#pragma once
// The native class Array: an ordered, growable sequence of variants.
//
// tNUVArrayClass is the class object, tNUVArrayObject the instance (a custom
// object whose numbered members are the elements, reached by number or by a
// numeric member name) and tNUVArrayNI the native instance that holds the
// elements in one contiguous vector.
//
// Self-reference rule (as for custom object members): an element holding a
// closure whose objthis is the owning array object holds no counted reference to
// it, so methods bound to their own array make no cycle. Storing such a value is
// followed by one Release of the owner; overwriting or removing it is preceded by
// one AddRef.
//
// Removal order: elements leave the vector before their references are released,
// so finalizers that run on release always see a consistent array.
//
// Methods of an invalidated array answer -1006, like its object interface.

#include <cstdint>
#include <vector>

#include "engine/objects/native_class.h"
#include "engine/objects/structure_writer.h"

namespace NUV {

class tNUVArrayNI : public tNUVStructuredInstance {
public:
  // The Array class id; -1 until the first Array class object is built.
  static inline int32_t ClassID = -1;

  tNUVArrayNI() = default;
  ~tNUVArrayNI() override;

  int32_t Construct(int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* owner) override;
  // Empties the array; methods answer -1006 from now on.
  void Invalidate() override;
  void SaveStructuredText(tNUVStructureStack& stack, tNUVStringAppender& buffer, const tNUVString& indent) override;

  void SetOwner(iNUVDispatch2* owner) { Owner = owner; }
  iNUVDispatch2* GetOwner() const { return Owner; }
  bool IsInvalidated() const { return Invalidated; }

  // Elements ----------------------------------------------------------------------
  int32_t GetCount() const { return static_cast<int32_t>(Items.size()); }
  const tNUVVariant& At(int32_t index) const { return Items[index]; }
  // Replaces element index (< count).
  void Store(int32_t index, const tNUVVariant& value);
  void Add(const tNUVVariant& value);
  // index 0..count; count appends.
  void Insert(int32_t index, const tNUVVariant& value);
  void Erase(int32_t index);
  // Truncates (releasing the removed elements) or extends with void.
  void Resize(int64_t count);
  void Clear();
  // Removes the elements identical (===) to value, or only the first; returns the
  // number removed.
  int32_t Remove(const tNUVVariant& value, bool all);
  // The first index >= start holding an element identical to value, or -1.
  int32_t Find(const tNUVVariant& value, int32_t start) const;
  void Reverse();
  // Applies an operation code to element index (< count), as a member would.
  void ApplyOperationAt(int32_t index, uint32_t operation, const tNUVVariant* operand, tNUVVariant* result);
  // Makes values the new content; the old elements are released afterwards.
  void ReplaceAll(std::vector<tNUVVariant>&& values);

  // Script operations -----------------------------------------------------------------
  // Copies the elements of an array, or the names and values of any other object.
  void AssignFrom(iNUVDispatch2* source);
  // Deep copy of an array (source) whose container identity is already on stack.
  void CopyStructureFrom(const tNUVArrayNI& source, tNUVStructureStack& stack);
  void Split(const tNUVVariant& delimiter, const tNUVString& text, bool purge);
  tNUVString Join(const tNUVString& separator, bool omitVoid) const;
  // ordering: null or void for "+", a string choosing the order by its first unit,
  // or a comparison function. A comparison that raises leaves the array unchanged.
  void Sort(const tNUVVariant* ordering, bool stable);
  void Load(const tNUVString& fileName, const tNUVString& mode);
  void Save(const tNUVString& fileName, const tNUVString& mode) const;

  class tDictionaryEnumCallback;

private:
  bool IsSelfReference(const tNUVVariant& value) const {
    return value.vt == tvtObject && Owner && value.Object.ObjThis == Owner;
  }
  void AfterStore(const tNUVVariant& value) { if (IsSelfReference(value)) Owner->Release(); }
  void BeforeRemove(const tNUVVariant& value) { if (IsSelfReference(value)) Owner->AddRef(); }

  std::vector<tNUVVariant> Items;
  iNUVDispatch2* Owner = nullptr;   // not a counted reference
  bool Invalidated = false;
};

// The instance object: element access through every by-number operation and
// through numeric member names; other names are ordinary members.
class tNUVArrayObject : public tNUVCustomObject {
public:
  tNUVArrayObject();

  int32_t Reserved2() override { return NUVEngineKindArray; }
  int32_t CallMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                     int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) override;
  int32_t CallMemberByNum(uint32_t flags, int32_t number, tNUVVariant* result, int32_t argumentCount,
                          tNUVVariant** arguments, iNUVDispatch2* objThis) override;
  int32_t GetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                    iNUVDispatch2* objThis) override;
  int32_t GetMemberByNum(uint32_t flags, int32_t number, tNUVVariant* result, iNUVDispatch2* objThis) override;
  int32_t SetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, const tNUVVariant* value,
                    iNUVDispatch2* objThis) override;
  int32_t SetMemberByNum(uint32_t flags, int32_t number, const tNUVVariant* value,
                         iNUVDispatch2* objThis) override;
  int32_t SetMemberByBody(uint32_t flags, tNUVVariantString* memberName, const tNUVVariant* value,
                          iNUVDispatch2* objThis) override;
  int32_t EnumerateMembers(uint32_t flags, tNUVVariantClosure_S* callback, iNUVDispatch2* objThis) override;
  int32_t DeleteMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                       iNUVDispatch2* objThis) override;
  int32_t DeleteMemberByNum(uint32_t flags, int32_t number, iNUVDispatch2* objThis) override;
  int32_t Invalidate(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                     iNUVDispatch2* objThis) override;
  int32_t InvalidateByNum(uint32_t flags, int32_t number, iNUVDispatch2* objThis) override;
  int32_t IsValid(uint32_t flags, const char16_t* memberName, uint32_t* hint, iNUVDispatch2* objThis) override;
  int32_t IsValidByNum(uint32_t flags, int32_t number, iNUVDispatch2* objThis) override;
  int32_t CreateInstance(uint32_t flags, const char16_t* memberName, uint32_t* hint, iNUVDispatch2** result,
                         int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) override;
  int32_t CreateInstanceByNum(uint32_t flags, int32_t number, iNUVDispatch2** result, int32_t argumentCount,
                              tNUVVariant** arguments, iNUVDispatch2* objThis) override;
  int32_t IsInstanceOf(uint32_t flags, const char16_t* memberName, uint32_t* hint, const char16_t* className,
                       iNUVDispatch2* objThis) override;
  int32_t IsInstanceOfByNum(uint32_t flags, int32_t number, const char16_t* className,
                            iNUVDispatch2* objThis) override;
  int32_t ApplyOperation(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                         const tNUVVariant* operand, iNUVDispatch2* objThis) override;
  int32_t ApplyOperationByNum(uint32_t flags, int32_t number, tNUVVariant* result, const tNUVVariant* operand,
                              iNUVDispatch2* objThis) override;
  int32_t NativeInstanceSlot(int32_t kind, int32_t classId, iNUVNativeInstance** instance) override;

  // Clears the elements, then finalizes as a custom object.
  void Finalize() override;

  tNUVArrayNI* GetElements() const { return Elements; }
  // The element a read by number finds, as GetMemberByNum reads it; null when
  // the array is not usable or number lies outside it (the operation decides).
  const tNUVVariant* FindElement(int32_t number) const {
    if (IsInvalidated || !Elements) return nullptr;
    const int32_t count = Elements->GetCount();
    const int32_t index = number < 0 ? number + count : number;
    return index >= 0 && index < count ? &Elements->At(index) : nullptr;
  }

private:
  // 0 when the elements can be used, else -1006 or -1008.
  int32_t CheckUsable() const;
  // The element index a read addresses; -1 outside the array.
  int32_t ReadIndex(int32_t number) const;
  // The element index a write addresses, extending the array as needed.
  int32_t WriteIndex(uint32_t flags, int32_t number, int32_t& index);

  tNUVArrayNI* Elements = nullptr;   // the Array native instance, once registered
};

class tNUVArrayClass : public tNUVNativeClass {
public:
  tNUVArrayClass();
  iNUVNativeInstance* CreateNativeInstance() override { return new tNUVArrayNI; }
  iNUVDispatch2* CreateBaseObject() override { return new tNUVArrayObject; }
};

// Reads a member name as an element index: optional white space, an optional "-",
// optional white space, decimal digits, optional white space, nothing else. The
// value wraps to 32 bits.
bool NUVParseElementIndex(const char16_t* name, int32_t& index);

// A new, empty array (one reference for the caller). The class object used for
// this is created on first use and kept until NUVReleaseSharedArrayClass.
iNUVDispatch2* CreateArrayObject();
// The array's native instance, or null when object is no array.
tNUVArrayNI* NUVFindArray(iNUVDispatch2* object);
// Drops the kept class object (at engine shutdown).
void NUVReleaseSharedArrayClass();

// Splitting by a regular expression, installed by the RegExp class: when
// delimiter carries a RegExp native instance, fills target with the pieces of
// text and answers true; otherwise answers false.
using tNUVRegExpSplitter = bool (*)(iNUVDispatch2* delimiter, const tNUVString& text, bool purge,
                                    tNUVArrayNI& target);
tNUVRegExpSplitter NUVSetRegExpSplitter(tNUVRegExpSplitter splitter);

}  // namespace NUV
