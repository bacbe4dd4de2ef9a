#pragma once
// The framework for classes implemented in native code.
//
// A class object (tNUVNativeClass) is a custom object whose members are the
// class's methods, constructor and properties, each a small dispatch object
// holding native callbacks. `new` on a class object makes the base object, runs
// construct-into on it (class name, native instance under the class id, copies of
// the non-static members bound to the new object) and then calls the constructor
// member named like the class.
//
// Every native callback follows one convention: fetch the native instance from
// objthis by class id (-1008 when the object is of another class), check the
// argument count (-1004), read arguments as variants, and write the result only
// when a result variant was supplied. NUVInstanceMethod and friends below do the
// first two steps so a method body only does its own work.

#include <cstdint>

#include "engine/objects/custom_object.h"

namespace NUV {

// Callback shapes.
using tNUVNativeCallback = int32_t (*)(tNUVVariant* result, int32_t argumentCount, tNUVVariant** arguments,
                                       iNUVDispatch2* objThis);
using tNUVNativeGetter = int32_t (*)(tNUVVariant* result, iNUVDispatch2* objThis);
using tNUVNativeSetter = int32_t (*)(const tNUVVariant* value, iNUVDispatch2* objThis);

// Member kinds for RegisterMember.
constexpr int32_t NUVNativeMemberMethod = 1;
constexpr int32_t NUVNativeMemberProperty = 2;

class tNUVNativeClassMethod : public tNUVDispatch {
public:
  explicit tNUVNativeClassMethod(tNUVNativeCallback callback) : Callback(callback) {}
  int32_t CallMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                     int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) override;
  int32_t IsInstanceOf(uint32_t flags, const char16_t* memberName, uint32_t* hint, const char16_t* className,
                       iNUVDispatch2* objThis) override;

protected:
  tNUVNativeCallback Callback;
};

// The constructor member of a class; unlike a method it accepts a null objthis.
class tNUVNativeClassConstructor : public tNUVNativeClassMethod {
public:
  using tNUVNativeClassMethod::tNUVNativeClassMethod;
  int32_t CallMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                     int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) override;
};

class tNUVNativeClassProperty : public tNUVDispatch {
public:
  tNUVNativeClassProperty(tNUVNativeGetter getter, tNUVNativeSetter setter) : Getter(getter), Setter(setter) {}
  int32_t GetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                    iNUVDispatch2* objThis) override;
  int32_t SetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, const tNUVVariant* value,
                    iNUVDispatch2* objThis) override;
  int32_t IsInstanceOf(uint32_t flags, const char16_t* memberName, uint32_t* hint, const char16_t* className,
                       iNUVDispatch2* objThis) override;

private:
  tNUVNativeGetter Getter;   // null: write-only (-1007 on read)
  tNUVNativeSetter Setter;   // null: read-only (-1007 on write)
};

// A free-standing native function: its call runs Process.
class tNUVNativeFunction : public tNUVDispatch {
public:
  int32_t CallMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                     int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) override;
  int32_t IsInstanceOf(uint32_t flags, const char16_t* memberName, uint32_t* hint, const char16_t* className,
                       iNUVDispatch2* objThis) override;
  virtual int32_t Process(tNUVVariant* result, int32_t argumentCount, tNUVVariant** arguments,
                          iNUVDispatch2* objThis) = 0;
};

class tNUVNativeClass : public tNUVCustomObject {
public:
  // The name is interned; the class id is registered for the name.
  explicit tNUVNativeClass(const char16_t* name);

  // Stores a member object (a method, constructor or property) on the class and
  // releases the caller's registration reference.
  void RegisterMember(const char16_t* name, iNUVDispatch2* member, int32_t kind, uint32_t flags = 0);

  // The native data of a new instance (null: none).
  virtual iNUVNativeInstance* CreateNativeInstance() { return nullptr; }
  // The new, empty instance object.
  virtual iNUVDispatch2* CreateBaseObject() { return new tNUVCustomObject(3); }

  int32_t CallMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                     int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) override;
  int32_t CreateInstance(uint32_t flags, const char16_t* memberName, uint32_t* hint, iNUVDispatch2** result,
                         int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) override;
  int32_t IsInstanceOf(uint32_t flags, const char16_t* memberName, uint32_t* hint, const char16_t* className,
                       iNUVDispatch2* objThis) override;

  int32_t GetClassID() const { return ClassID; }
  void SetClassID(int32_t id) { ClassID = id; }
  const tNUVString& GetClassName() const { return ClassName; }

protected:
  int32_t ClassID;
  tNUVString ClassName;

private:
  // Construct-into: gives target the class name, the native instance and bound
  // copies of the non-static members.
  int32_t ConstructInto(iNUVDispatch2* target);
};

// A class defined from outside the engine, whose native instances come from a
// factory function.
class tNUVNativeClassForPlugin : public tNUVNativeClass {
public:
  using tFactory = iNUVNativeInstance* (*)();
  tNUVNativeClassForPlugin(const char16_t* name, tFactory factory) : tNUVNativeClass(name), Factory(factory) {}
  iNUVNativeInstance* CreateNativeInstance() override { return Factory ? Factory() : nullptr; }

private:
  tFactory Factory;
};

// The standard constructor callback: runs Construct of the native instance that
// construct-into registered under classId.
int32_t NUVConstructNativeInstance(int32_t classId, int32_t argumentCount, tNUVVariant** arguments,
                                   iNUVDispatch2* objThis);

// Writing native methods ----------------------------------------------------------

// One native call: the arguments and the result slot.
struct tNUVNativeCall {
  tNUVVariant* Result;
  int32_t ArgumentCount;
  tNUVVariant** Arguments;
  iNUVDispatch2* ObjThis;

  const tNUVVariant& Argument(int32_t index) const { return *Arguments[index]; }
  // True when the argument was given and is not void.
  bool Has(int32_t index) const { return index < ArgumentCount && Arguments[index]->vt != tvtVoid; }
  template <typename tValue>
  void SetResult(const tValue& value) const {
    if (Result) *Result = value;
  }
};

// The native instance of classId on objThis, or null.
iNUVNativeInstance* NUVFindNativeInstance(iNUVDispatch2* objThis, int32_t classId);

// Method adaptors. tInstance names its class id in a static `ClassID`.
template <typename tInstance, int32_t MinimumArguments, int32_t (*Body)(tInstance& self, const tNUVNativeCall& call)>
int32_t NUVInstanceMethod(tNUVVariant* result, int32_t argumentCount, tNUVVariant** arguments,
                          iNUVDispatch2* objThis) {
  auto* instance = static_cast<tInstance*>(NUVFindNativeInstance(objThis, tInstance::ClassID));
  if (!instance) return NUVResultNativeClassCrash;
  if (argumentCount < MinimumArguments) return NUVResultBadParamCount;
  return Body(*instance, tNUVNativeCall{result, argumentCount, arguments, objThis});
}

template <int32_t MinimumArguments, int32_t (*Body)(const tNUVNativeCall& call)>
int32_t NUVStaticMethod(tNUVVariant* result, int32_t argumentCount, tNUVVariant** arguments,
                        iNUVDispatch2* objThis) {
  if (argumentCount < MinimumArguments) return NUVResultBadParamCount;
  return Body(tNUVNativeCall{result, argumentCount, arguments, objThis});
}

template <typename tInstance, int32_t (*Body)(tInstance& self, tNUVVariant& result)>
int32_t NUVInstanceGetter(tNUVVariant* result, iNUVDispatch2* objThis) {
  auto* instance = static_cast<tInstance*>(NUVFindNativeInstance(objThis, tInstance::ClassID));
  if (!instance) return NUVResultNativeClassCrash;
  return Body(*instance, *result);
}

template <typename tInstance, int32_t (*Body)(tInstance& self, const tNUVVariant& value)>
int32_t NUVInstanceSetter(const tNUVVariant* value, iNUVDispatch2* objThis) {
  auto* instance = static_cast<tInstance*>(NUVFindNativeInstance(objThis, tInstance::ClassID));
  if (!instance) return NUVResultNativeClassCrash;
  return Body(*instance, *value);
}

}  // namespace NUV
