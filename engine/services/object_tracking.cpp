#include "engine/services/object_tracking.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/platform/system.h"
#include "engine/services/call_tracer.h"
#include "engine/services/messages.h"
#include "engine/values/hash_cache.h"

namespace NUV {

// The hash of an identity: the string hash's steps over the identity's bytes,
// each byte taken as a signed value.
template <>
struct tNUVHashFunc<const void*> {
  static uint32_t Make(const void* identity) {
    unsigned char bytes[sizeof identity];
    std::memcpy(bytes, &identity, sizeof identity);
    uint32_t hash = 0;
    for (unsigned char byte : bytes) {
      hash = HashStep(hash, static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(byte))));
    }
    return HashFinish(hash);
  }
};

struct tNUVObjectHashMapRecord {
  tNUVString History;
  tNUVString Place;
  tNUVString Type;
  uint32_t Flags = NUVTrackedObjectAlive;
};

class tNUVObjectHashMap {
public:
  void AddRef() { ++RefCount; }
  int32_t ReleaseReference() { return --RefCount; }

  void Add(const void* object) {
    tNUVObjectHashMapRecord record;
    record.History = NUVGetCallHistory(4, &Delimiter);
    if (record.History.IsEmpty()) record.History = OutsideScript;
    record.Place = NUVGetCallHistory(1);
    if (record.Place.IsEmpty()) record.Place = OutsideScript;
    record.Type = UnknownType;
    Records.Add(object, std::move(record));
  }
  void Remove(const void* object) { Records.Remove(object); }
  tNUVObjectHashMapRecord* Find(const void* object) {
    auto* element = Records.Find(object);
    return element ? &element->GetPayload() : nullptr;
  }

  void Report(tNUVTrackingReportOutput output, void* userData);

  int32_t Paused = 0;

private:
  tNUVHashCache<const void*, tNUVObjectHashMapRecord, tNUVHashFunc<const void*>, 1024> Records;
  int32_t RefCount = 0;
  const tNUVString Delimiter{NUVObjectCreationHistoryDelimiter.Text()};
  const tNUVString OutsideScript{NUVCallHistoryIsFromOutOfNUV2Script.Text()};
  const tNUVString UnknownType{u"unknown type"};
};

tNUVObjectHashMap* NUVObjectTracking = nullptr;

namespace {

tNUVString IdentityText(const void* object) {
  char16_t digits[Platform::PointerHexDigits + 1];
  Platform::FormatPointer(object, digits);
  return tNUVString(u"0x") + digits;
}

struct tGroup {
  const tNUVString* Type;
  const tNUVString* History;   // null when grouped by type alone
  int32_t Count;
};

// Counts the records per group, in the order groups first appear, the largest
// groups first.
std::vector<tGroup> GroupRecords(const std::vector<const tNUVObjectHashMapRecord*>& records, bool byHistory) {
  std::vector<tGroup> groups;
  for (const tNUVObjectHashMapRecord* record : records) {
    auto same = [&](const tGroup& group) {
      return *group.Type == record->Type && (!byHistory || *group.History == record->History);
    };
    auto found = std::find_if(groups.begin(), groups.end(), same);
    if (found != groups.end()) {
      ++found->Count;
    } else {
      groups.push_back(tGroup{&record->Type, byHistory ? &record->History : nullptr, 1});
    }
  }
  std::stable_sort(groups.begin(), groups.end(),
                   [](const tGroup& a, const tGroup& b) { return a.Count > b.Count; });
  return groups;
}

}  // namespace

void tNUVObjectHashMap::Report(tNUVTrackingReportOutput output, void* userData) {
  if (Records.GetCount() == 0 || !output) return;
  std::vector<const tNUVObjectHashMapRecord*> alive;
  for (auto* element = Records.GetOldest(); element; element = element->GetNewer()) {
    const tNUVObjectHashMapRecord& record = element->GetPayload();
    alive.push_back(&record);
    tNUVString identity = IdentityText(element->GetKey());
    output(NUVFillMessage(NUVObjectWasNotFreed, &identity, &record.Type, &record.History), userData);
  }
  output(tNUVString(NUVGroupByObjectTypeAndHistory.Text()), userData);
  for (const tGroup& group : GroupRecords(alive, true)) {
    tNUVString count = tNUVString::FromInteger(group.Count);
    output(NUVFillMessage(NUVObjectCountingMessageGroupByObjectTypeAndHistory, &count, group.Type, group.History),
           userData);
  }
  output(tNUVString(NUVGroupByObjectType.Text()), userData);
  for (const tGroup& group : GroupRecords(alive, false)) {
    tNUVString count = tNUVString::FromInteger(group.Count);
    output(NUVFillMessage(NUVObjectCountingMessageNUVGroupByObjectType, &count, group.Type), userData);
  }
  tNUVString total = tNUVString::FromInteger(Records.GetCount());
  output(NUVFillMessage(NUVNObjectsWasNotFreed, &total), userData);
}

void NUVAddRefObjectTracking() {
  if (!NUVObjectTracking) NUVObjectTracking = new tNUVObjectHashMap;
  NUVObjectTracking->AddRef();
}

void NUVReleaseObjectTracking(tNUVTrackingReportOutput output, void* userData) {
  tNUVObjectHashMap* tracking = NUVObjectTracking;
  if (!tracking || tracking->ReleaseReference() > 0) return;
  // Objects released while the report is printed are no longer followed.
  NUVObjectTracking = nullptr;
  try {
    tracking->Report(output, userData);
  } catch (...) {
    delete tracking;
    throw;
  }
  delete tracking;
}

namespace ObjectTrackingDetail {

void Add(const void* object) {
  if (NUVObjectTracking->Paused == 0) NUVObjectTracking->Add(object);
}

void Remove(const void* object) { NUVObjectTracking->Remove(object); }

void SetType(const void* object, const tNUVString& description) {
  if (tNUVObjectHashMapRecord* record = NUVObjectTracking->Find(object)) record->Type = description;
}

void SetFlags(const void* object, uint32_t mask, uint32_t value) {
  if (tNUVObjectHashMapRecord* record = NUVObjectTracking->Find(object))
    record->Flags = (record->Flags & ~mask) | (value & mask);
}

}  // namespace ObjectTrackingDetail

bool NUVFindTrackedObjectType(const void* object, tNUVString* description) {
  if (!NUVObjectTracking) return false;
  tNUVObjectHashMapRecord* record = NUVObjectTracking->Find(object);
  if (!record) return false;
  *description = record->Type;
  return true;
}

tNUVObjectTrackingPause::tNUVObjectTrackingPause() : Tracking(NUVObjectTracking) {
  if (Tracking) ++Tracking->Paused;
}

tNUVObjectTrackingPause::~tNUVObjectTrackingPause() {
  // Only the table it paused, and only while that table is still the one in use.
  if (Tracking && Tracking == NUVObjectTracking) --Tracking->Paused;
}

}  // namespace NUV
