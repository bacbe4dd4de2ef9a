#include "engine/vm/local_namespace.h"

#include <algorithm>

namespace NUV {

int32_t tNUVLocalSymbolList::Find(const tNUVString& name) const {
  for (size_t i = 0; i < Names.size(); ++i) {
    if (Names[i].GetBody() != nullptr && Names[i] == name) return LocalBase + static_cast<int32_t>(i);
  }
  return -1;
}

int32_t tNUVLocalSymbolList::Add(const tNUVString& name) {
  int32_t existing = Find(name);
  if (existing >= 0) return existing;
  for (size_t i = 0; i < Names.size(); ++i) {
    if (Names[i].GetBody() == nullptr) {
      Names[i] = name;
      return LocalBase + static_cast<int32_t>(i);
    }
  }
  Names.push_back(name);
  return LocalBase + static_cast<int32_t>(Names.size()) - 1;
}

bool tNUVLocalSymbolList::Remove(const tNUVString& name) {
  int32_t slot = Find(name);
  if (slot < 0) return false;
  Names[static_cast<size_t>(slot - LocalBase)] = tNUVString();
  return true;
}

void tNUVLocalNamespace::PushScope() {
  int32_t base = LiveCount();
  Lists.emplace_back(base);
  CurrentBase = base;
}

void tNUVLocalNamespace::PopScope() {
  if (Lists.empty()) return;
  MaxCount = std::max(MaxCount, LiveCount());
  CurrentBase = Lists.back().GetLocalBase();
  Lists.pop_back();
}

int32_t tNUVLocalNamespace::AddName(const tNUVString& name) {
  if (Lists.empty()) PushScope();
  return Lists.back().Add(name);
}

int32_t tNUVLocalNamespace::FindName(const tNUVString& name) const {
  for (auto list = Lists.rbegin(); list != Lists.rend(); ++list) {
    int32_t slot = list->Find(name);
    if (slot >= 0) return slot;
  }
  return -1;
}

void tNUVLocalNamespace::RemoveName(const tNUVString& name) {
  for (auto list = Lists.rbegin(); list != Lists.rend(); ++list) {
    if (list->Remove(name)) return;
  }
}

int32_t tNUVLocalNamespace::LiveCount() const {
  int32_t count = 0;
  for (const tNUVLocalSymbolList& list : Lists) count += list.GetCount();
  return count;
}

}  // namespace NUV
