#pragma once
// tNUVDispatch: the reference-counted base of every engine object.
//
// An object starts with RefCount 1 (the creator's reference). The Release that
// finds 1 runs BeforeDestruction once (where objects finalize; it may run script
// code and take new references) and destroys the object only if no new reference
// was taken meanwhile. Operations the object does not implement answer -1001 when a
// member name is given and -1002 otherwise; every ByNum form turns the number into
// its decimal text and calls the named form with a null hint.

#include <cstdint>

#include "engine/objects/dispatch_interface.h"
#include "engine/services/object_tracking.h"
#include "engine/values/variant.h"

namespace NUV {

// The engine's own objects answer the reserved slot Reserved2 with what they are,
// so the interpreter's hot paths can recognise them without a cast that host
// objects could not answer. Host objects answer NUVResultNotImplemented.
enum tNUVEngineKind : int32_t {
  // A tNUVCustomObject whose named member operations are tNUVCustomObject's own
  // (native classes too: only their construct call, without a name, differs).
  NUVEngineKindScriptObject = 0x4E555601,
  // A tNUVInterCodeContext.
  NUVEngineKindCodeContext = 0x4E555602,
  // A tNUVObjectProxy.
  NUVEngineKindProxy = 0x4E555603,
  // A tNUVArrayObject (its numeric names address elements).
  NUVEngineKindArray = 0x4E555604,
};

class tNUVDispatch : public iNUVDispatch2 {
public:
  // Every engine object is known to object tracking (in debug mode) by its identity.
  tNUVDispatch() { NUVTrackObjectCreated(static_cast<iNUVDispatch2*>(this)); }
  tNUVDispatch(const tNUVDispatch&) = delete;
  tNUVDispatch& operator=(const tNUVDispatch&) = delete;

  // Defined here, so the engine's own qualified calls are a plain increment or
  // decrement.
  int32_t AddRef() override { return ++RefCount; }
  int32_t Release() override {
    if (RefCount != 1) return --RefCount;
    return ReleaseLast();
  }
  int32_t CallMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                     int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) override;
  int32_t CallMemberByNum(uint32_t flags, int32_t number, tNUVVariant* result, int32_t argumentCount,
                          tNUVVariant** arguments, iNUVDispatch2* objThis) override;
  int32_t GetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                    iNUVDispatch2* objThis) override;
  int32_t GetMemberByNum(uint32_t flags, int32_t number, tNUVVariant* result,
                         iNUVDispatch2* objThis) override;
  int32_t SetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, const tNUVVariant* value,
                    iNUVDispatch2* objThis) override;
  int32_t SetMemberByNum(uint32_t flags, int32_t number, const tNUVVariant* value,
                         iNUVDispatch2* objThis) override;
  int32_t GetMemberCount(int32_t* result, const char16_t* memberName, uint32_t* hint,
                         iNUVDispatch2* objThis) override;
  int32_t GetMemberCountByNum(int32_t* result, int32_t number, iNUVDispatch2* objThis) override;
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
  int32_t Reserved1() override;
  int32_t IsInstanceOf(uint32_t flags, const char16_t* memberName, uint32_t* hint, const char16_t* className,
                       iNUVDispatch2* objThis) override;
  int32_t IsInstanceOfByNum(uint32_t flags, int32_t number, const char16_t* className,
                            iNUVDispatch2* objThis) override;
  int32_t ApplyOperation(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                         const tNUVVariant* operand, iNUVDispatch2* objThis) override;
  int32_t ApplyOperationByNum(uint32_t flags, int32_t number, tNUVVariant* result, const tNUVVariant* operand,
                              iNUVDispatch2* objThis) override;
  int32_t NativeInstanceSlot(int32_t kind, int32_t classId, iNUVNativeInstance** instance) override;
  int32_t ClassInfo(int32_t kind, int32_t index, tNUVVariant* value) override;
  int32_t Reserved2() override;
  int32_t Reserved3() override;

  virtual void BeforeDestruction() {}
  virtual ~tNUVDispatch() { NUVTrackObjectDestroyed(static_cast<iNUVDispatch2*>(this)); }

  int32_t GetRefCount() const { return RefCount; }

protected:
  // The release of the last reference (see Release).
  [[gnu::noinline]] int32_t ReleaseLast();

  bool BeforeDestructionCalled = false;
  int32_t RefCount = 1;
};

// The native data a native class attaches to an object.
class iNUVNativeInstance {
public:
  virtual int32_t Construct(int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* owner) = 0;
  virtual void Invalidate() = 0;
  // Frees the instance.
  virtual void Destruct() = 0;

protected:
  ~iNUVNativeInstance() = default;
};

class tNUVNativeInstance : public iNUVNativeInstance {
public:
  int32_t Construct(int32_t, tNUVVariant**, iNUVDispatch2*) override { return NUVResultOk; }
  void Invalidate() override {}
  void Destruct() override { delete this; }
  virtual ~tNUVNativeInstance() = default;
};

// Class ids: a process-wide list of class names. Registering returns the id of an
// equal name already present, or appends the (interned) name.
int32_t RegisterNativeClassName(const char16_t* name);
int32_t FindNativeClassID(const char16_t* name);   // -1 when absent
tNUVString FindNativeClassName(int32_t id);       // empty when out of range

// Calling, getting and setting through a member's value (closure rules) ----------

// Calls the value as a function: the closure's objthis wins over the caller's.
// A value that is not callable (-1005) is retried through its own value, so a
// property whose value is a function can be called.
int32_t NUVCallThroughValue(const tNUVVariant& value, uint32_t flags, tNUVVariant* result,
                            int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis);
// The same for a closure the caller keeps alive for the call (a local copy).
int32_t NUVCallHeldValue(const tNUVVariantClosure& closure, uint32_t flags, tNUVVariant* result,
                         int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis);
// Property semantics: unless flags has NUVIgnoreProperty, an object value is asked
// for its own value; -1002, -1005 and -1006 fall back to a plain copy.
int32_t NUVGetThroughValue(const tNUVVariant& value, uint32_t flags, tNUVVariant* result,
                           iNUVDispatch2* objThis);
// Answer of NUVSetThroughValue when the caller must assign the value itself.
constexpr int32_t NUVSetPlainly = INT32_MIN;
// Property semantics for a set: unless NUVIgnoreProperty, an object member is asked
// to take the value; returns its code, or NUVSetPlainly where the member itself is
// to be assigned.
int32_t NUVSetThroughValue(const tNUVVariant& member, uint32_t flags, const tNUVVariant* value,
                           iNUVDispatch2* objThis);

// Stores a newly created object into value, bound to itself; the creator's
// reference passes to the value (and is dropped when storing fails).
void NUVAdoptObjectValue(tNUVVariant& value, iNUVDispatch2* object);

// Holds one reference to an object for a scope.
class tNUVObjectHolder {
public:
  explicit tNUVObjectHolder(iNUVDispatch2* object) : Object(object) { if (Object) Object->AddRef(); }
  ~tNUVObjectHolder() { if (Object) Object->Release(); }
  tNUVObjectHolder(const tNUVObjectHolder&) = delete;
  tNUVObjectHolder& operator=(const tNUVObjectHolder&) = delete;

private:
  iNUVDispatch2* Object;
};

}  // namespace NUV
