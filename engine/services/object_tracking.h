#pragma once
// Object tracking (debug mode only): a record for every live engine object with
// the call history that made it, a type description and flags. When the last
// engine in debug mode lets go of it, the objects still alive are reported as
// not freed, one by one and grouped by type (and history).
//
// Outside debug mode NUVObjectTracking is null and every hook is one pointer test.

#include <cstdint>

#include "engine/values/nuv_string.h"

namespace NUV {

class tNUVObjectHashMap;
extern tNUVObjectHashMap* NUVObjectTracking;

// Flags of a record: set at creation, and once destruction has begun.
constexpr uint32_t NUVTrackedObjectAlive = 1;
constexpr uint32_t NUVTrackedObjectDestroying = 4;

// Receives the lines of the report of objects not freed.
using tNUVTrackingReportOutput = void (*)(const tNUVString& line, void* userData);

// Engines in debug mode hold one reference each; the first creates the table. The
// last release reports the objects still alive through output and frees it.
void NUVAddRefObjectTracking();
void NUVReleaseObjectTracking(tNUVTrackingReportOutput output, void* userData);

namespace ObjectTrackingDetail {
void Add(const void* object);
void Remove(const void* object);
void SetType(const void* object, const tNUVString& description);
void SetFlags(const void* object, uint32_t mask, uint32_t value);
}  // namespace ObjectTrackingDetail

inline void NUVTrackObjectCreated(const void* object) {
  if (NUVObjectTracking) [[unlikely]] ObjectTrackingDetail::Add(object);
}
inline void NUVTrackObjectDestroyed(const void* object) {
  if (NUVObjectTracking) [[unlikely]] ObjectTrackingDetail::Remove(object);
}
inline void NUVSetTrackedObjectFlags(const void* object, uint32_t mask, uint32_t value) {
  if (NUVObjectTracking) [[unlikely]] ObjectTrackingDetail::SetFlags(object, mask, value);
}
// The description is built only when objects are tracked.
template <typename tMakeDescription>
inline void NUVSetTrackedObjectType(const void* object, tMakeDescription&& makeDescription) {
  if (NUVObjectTracking) [[unlikely]] ObjectTrackingDetail::SetType(object, makeDescription());
}

// The type description of a tracked object; false when it is not tracked.
bool NUVFindTrackedObjectType(const void* object, tNUVString* description);

// Objects made while a pause lives are not tracked: the engine's process-wide
// objects, which outlive every engine by design and are no leak.
class tNUVObjectTrackingPause {
public:
  tNUVObjectTrackingPause();
  ~tNUVObjectTrackingPause();
  tNUVObjectTrackingPause(const tNUVObjectTrackingPause&) = delete;
  tNUVObjectTrackingPause& operator=(const tNUVObjectTrackingPause&) = delete;

private:
  tNUVObjectHashMap* Tracking;
};

}  // namespace NUV
