#include "engine/values/global_string_map.h"

namespace NUV {
namespace {
tNUVGlobalStringMap* GlobalStringMap = nullptr;
}  // namespace

void NUVAddRefGlobalStringMap() {
  if (GlobalStringMap) {
    ++GlobalStringMap->RefCount;
    return;
  }
  GlobalStringMap = new tNUVGlobalStringMap;
}

void NUVReleaseGlobalStringMap() {
  if (!GlobalStringMap) return;
  if (--GlobalStringMap->RefCount > 0) return;
  // Detach first: releasing the keys must not see a half-destroyed map.
  tNUVGlobalStringMap* map = GlobalStringMap;
  GlobalStringMap = nullptr;
  delete map;
}

tNUVGlobalStringMap* NUVGetGlobalStringMap() { return GlobalStringMap; }

tNUVString MapGlobalString(const tNUVString& string) {
  if (!GlobalStringMap || string.IsEmpty()) return string;
  uint32_t hash = HashString(string);
  if (tNUVGlobalStringMap::tElement* element = GlobalStringMap->Find(string, hash)) return element->GetKey();
  GlobalStringMap->AddNew(string, hash);
  return string;
}

}  // namespace NUV
