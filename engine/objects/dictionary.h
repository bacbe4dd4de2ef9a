#pragma once
// The native class Dictionary: a string-keyed map whose entries are the named
// members of its instance object.
//
// tNUVDictionaryObject is a custom object that reads absent keys as void and lets
// compound assignment start a new key from void. tNUVDictionaryNI only records the
// instance object it belongs to (Owner, not a counted reference); invalidating the
// dictionary clears Owner, and every class method applied to it then answers
// -1006. All class members are static: scripts reach them through the class
// object with the dictionary as objthis. Hidden members are skipped by every
// class method.

#include <cstdint>

#include "engine/objects/native_class.h"
#include "engine/objects/structure_writer.h"

namespace NUV {

class tNUVDictionaryNI : public tNUVStructuredInstance {
public:
  // The Dictionary class id; -1 until the first Dictionary class object is built.
  static inline int32_t ClassID = -1;

  int32_t Construct(int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* owner) override;
  void Invalidate() override { Owner = nullptr; }
  void SaveStructuredText(tNUVStructureStack& stack, tNUVStringAppender& buffer, const tNUVString& indent) override;

  iNUVDispatch2* GetOwner() const { return Owner; }

  // Removes every entry of the owner.
  void ClearEntries();
  // Copies entries from an array read as key/value pairs, or from any object's
  // non-hidden members; clear first empties the dictionary. Nothing changes when
  // reading the source fails.
  void AssignFrom(iNUVDispatch2* source, bool clear);
  // Deep copy of a dictionary (source) whose container identity is already on stack.
  void CopyStructureFrom(iNUVDispatch2* source, tNUVStructureStack& stack);

  class tAssignCallback;
  class tAssignStructCallback;
  class tSaveStructCallback;

private:
  iNUVDispatch2* Owner = nullptr;
};

class tNUVDictionaryObject : public tNUVCustomObject {
public:
  tNUVDictionaryObject() : tNUVCustomObject(3) {
    CallFinalize = false;
    GrowsWithMembers = true;
  }

  // An absent key reads void (unless NUVMemberMustExist).
  int32_t GetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                    iNUVDispatch2* objThis) override;
  // An absent key answers -1005 (unless NUVMemberMustExist).
  int32_t CreateInstance(uint32_t flags, const char16_t* memberName, uint32_t* hint, iNUVDispatch2** result,
                         int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) override;
  // An absent key is created void first (unless NUVMemberMustExist).
  int32_t ApplyOperation(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                         const tNUVVariant* operand, iNUVDispatch2* objThis) override;

  void ClearEntries() { ClearMembers(); }
};

class tNUVDictionaryClass : public tNUVNativeClass {
public:
  tNUVDictionaryClass();
  iNUVNativeInstance* CreateNativeInstance() override { return new tNUVDictionaryNI; }
  iNUVDispatch2* CreateBaseObject() override { return new tNUVDictionaryObject; }
};

// A new, empty dictionary (one reference for the caller). The class object used
// for this is created on first use and kept until NUVReleaseSharedDictionaryClass.
iNUVDispatch2* CreateDictionaryObject();
// The dictionary's native instance, or null when object is no dictionary.
tNUVDictionaryNI* NUVFindDictionary(iNUVDispatch2* object);
// Drops the kept class object (at engine shutdown).
void NUVReleaseSharedDictionaryClass();

}  // namespace NUV
