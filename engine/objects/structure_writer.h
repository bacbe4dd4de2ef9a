#pragma once
// Nested Array and Dictionary structures: the structured text writer and the deep
// copier, both shared by the two classes.
//
// Both walk a structure recursively and keep a stack of the containers they are
// inside, so a container met again on the way down is written as a recursion
// mark (or copied as a null object) instead of being followed forever. The stack
// also bounds the nesting depth: a structure nested deeper than
// NUVMaxStructureDepth raises NUVRangeError rather than exhausting the native
// stack. A container is identified by its closure's objthis, or by its object
// when objthis is null.

#include <cstdint>
#include <vector>

#include "engine/objects/dispatch.h"
#include "engine/values/string_appender.h"

namespace NUV {

constexpr int32_t NUVMaxStructureDepth = 1000;

class tNUVStructureStack {
public:
  bool Contains(const iNUVDispatch2* object) const;
  // Raises NUVRangeError when the stack is already NUVMaxStructureDepth deep.
  void Push(iNUVDispatch2* object);
  void Pop() { Objects.pop_back(); }
  int32_t GetDepth() const { return static_cast<int32_t>(Objects.size()); }

private:
  std::vector<iNUVDispatch2*> Objects;
};

// Pushes an object for the lifetime of a scope.
class tNUVStructureStackEntry {
public:
  tNUVStructureStackEntry(tNUVStructureStack& stack, iNUVDispatch2* object) : Stack(stack) { Stack.Push(object); }
  ~tNUVStructureStackEntry() { Stack.Pop(); }
  tNUVStructureStackEntry(const tNUVStructureStackEntry&) = delete;
  tNUVStructureStackEntry& operator=(const tNUVStructureStackEntry&) = delete;

private:
  tNUVStructureStack& Stack;
};

// The native instance of a container that can write itself as structured text.
class tNUVStructuredInstance : public tNUVNativeInstance {
public:
  // Appends the container's text; indent is the indentation of its closing
  // bracket, its entries are indented by one more space.
  virtual void SaveStructuredText(tNUVStructureStack& stack, tNUVStringAppender& buffer,
                                  const tNUVString& indent) = 0;
};

// The object a container value stands for: objthis, else the object.
inline iNUVDispatch2* NUVStructureTarget(const tNUVVariant& value) {
  return value.Object.ObjThis ? value.Object.ObjThis : value.Object.Object;
}

// Appends one value of a container: objects as nested containers, recursion marks
// or commented nulls; everything else as its typed literal text.
void NUVWriteStructuredValue(const tNUVVariant& value, tNUVStructureStack& stack, tNUVStringAppender& buffer,
                             const tNUVString& childIndent);

// The deep copy of one value: arrays and dictionaries become new containers
// filled recursively, containers already on the stack become a null object,
// everything else is copied as it is.
tNUVVariant NUVCopyStructuredValue(const tNUVVariant& value, tNUVStructureStack& stack);

// Writes the structured text of a container (root, carrying instance) to a file
// in one piece.
void NUVSaveStructureToFile(iNUVDispatch2* root, tNUVStructuredInstance& instance, const tNUVString& fileName,
                            const tNUVString& mode);

// Enumeration callbacks: visits every member an object's EnumerateMembers
// reports, with its name, flags and value. Calls with fewer than three arguments
// answer -1004; every other call answers 1 (go on).
class tNUVMemberVisitor : public tNUVDispatch {
public:
  int32_t CallMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                     int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) override;

protected:
  virtual void Visit(const tNUVVariant& name, uint32_t memberFlags, const tNUVVariant& value) = 0;
};

// Enumerates source's members with NUVIgnoreProperty into a visitor created by
// the caller (whose creation reference this releases); failing codes raise.
void NUVEnumerateInto(iNUVDispatch2* source, tNUVMemberVisitor* visitor);

}  // namespace NUV
