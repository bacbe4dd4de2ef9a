#pragma once
// The process-wide interning table of strings.
//
// While the map exists, MapGlobalString (nuv_string.h) hands out one shared body
// for every text it has seen, so equal names share one body (and its member-lookup
// hint). The map holds one reference to each key and keeps at most 5000 of them,
// dropping the least recently used. Each engine that uses the map holds one
// reference to it: the first creates the map, the last one to let go destroys it
// and releases every key. The map has no lock; engines use it from one thread.

#include <cstdint>

#include "engine/values/hash_cache.h"
#include "engine/values/nuv_string.h"

namespace NUV {

constexpr int32_t NUVGlobalStringMapBuckets = 1024;
constexpr int32_t NUVGlobalStringMapLimit = 5000;

class tNUVGlobalStringMap
    : public tNUVHashCache<tNUVString, tNUVEmptyClass, tNUVHashFunc<tNUVString>, NUVGlobalStringMapBuckets> {
public:
  tNUVGlobalStringMap() { SetLimit(NUVGlobalStringMapLimit); }
  int32_t RefCount = 1;
};

// Creates the map on first use, otherwise adds a reference.
void NUVAddRefGlobalStringMap();
// Drops a reference; the last one destroys the map. Without a map it does nothing.
void NUVReleaseGlobalStringMap();
// The map, or null while no engine uses it.
tNUVGlobalStringMap* NUVGetGlobalStringMap();

}  // namespace NUV
