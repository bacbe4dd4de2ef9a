#pragma once
// Local variable scopes of one code context.
//
// tNUVLocalNamespace is a stack of tNUVLocalSymbolList, one per open scope. A
// list holds name slots (an owned name, or empty after RemoveName) and LocalBase,
// the number of variables in all outer scopes when it was opened. A variable's
// slot index is its position in its list plus the list's LocalBase, so the slots
// of a closed scope are reused by the next scope opened at the same depth.
// MaxCount is the high-water mark of live variables, which sizes the frame.

#include <cstdint>
#include <vector>

#include "engine/values/nuv_string.h"

namespace NUV {

class tNUVLocalSymbolList {
public:
  explicit tNUVLocalSymbolList(int32_t localBase) : LocalBase(localBase) {}

  int32_t GetLocalBase() const { return LocalBase; }
  int32_t GetCount() const { return static_cast<int32_t>(Names.size()); }
  // The slot index (LocalBase included) of a name, or -1.
  int32_t Find(const tNUVString& name) const;
  // An existing slot of the name, else the first empty slot, else a new one.
  int32_t Add(const tNUVString& name);
  // Empties the slot holding the name; false when the list has none.
  bool Remove(const tNUVString& name);

private:
  // A null body marks an empty slot.
  std::vector<tNUVString> Names;
  int32_t LocalBase;
};

class tNUVLocalNamespace {
public:
  void PushScope();
  // Does nothing when no scope is open.
  void PopScope();
  // Adds to the innermost scope (opening one first when none is open) and
  // returns the slot index.
  int32_t AddName(const tNUVString& name);
  // Innermost scope outward; the slot index or -1.
  int32_t FindName(const tNUVString& name) const;
  // Empties the slot in the innermost scope that has the name.
  void RemoveName(const tNUVString& name);
  int32_t ScopeDepth() const { return static_cast<int32_t>(Lists.size()); }
  int32_t LiveCount() const;
  int32_t GetCurrentBase() const { return CurrentBase; }
  // The high-water mark recorded when scopes were popped.
  int32_t GetMaxCount() const { return MaxCount; }

private:
  std::vector<tNUVLocalSymbolList> Lists;
  int32_t CurrentBase = 0;
  int32_t MaxCount = 0;
};

}  // namespace NUV
