#pragma once
// tNUVHashCache: a chained hash table whose entries also form a most-recently-used
// list, so it can serve as a bounded cache.
//
// The first entry of each bucket lives in the bucket array itself; further entries
// of the bucket are allocated one by one and chained behind it. An in-array entry
// that is not in use still anchors its chain, so removing it never moves other
// entries. Every entry in use is also linked into one list across all buckets,
// ordered from the least to the most recently used: Find and Add put the entry at
// the most recently used end, eviction takes from the other end.
//
// An entry owns its key and payload; they are constructed when the entry is taken
// into use and destroyed when it is removed, so neither needs a default
// constructor. Entries compare by hash first and by the key's operator== only when
// the hashes agree (for strings that compares the length before the units).
//
// Not thread-safe: each table belongs to one thread or is guarded by its owner.

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

#include "engine/values/nuv_string.h"

namespace NUV {

// The hash of a key type; specialised per key type.
template <typename tKey>
struct tNUVHashFunc;

template <>
struct tNUVHashFunc<tNUVString> {
  static uint32_t Make(const tNUVString& key) { return HashString(key); }
};

// The payload of a table that only holds keys.
struct tNUVEmptyClass {};

template <typename tKey, typename tPayload, typename tHashFunc = tNUVHashFunc<tKey>, int32_t BucketCount = 64>
class tNUVHashCache {
  static_assert(BucketCount > 0 && (BucketCount & (BucketCount - 1)) == 0,
                "the bucket is taken by masking the hash");

public:
  static constexpr uint32_t InUseFlag = 1;
  static constexpr uint32_t InArrayFlag = 2;   // lives in the bucket array, never freed

  class tElement {
  public:
    uint32_t GetHash() const { return Hash; }
    const tKey& GetKey() const { return *std::launder(reinterpret_cast<const tKey*>(KeyStorage)); }
    tPayload& GetPayload() { return *std::launder(reinterpret_cast<tPayload*>(PayloadStorage)); }
    const tPayload& GetPayload() const {
      return *std::launder(reinterpret_cast<const tPayload*>(PayloadStorage));
    }
    // Walking the use list: towards the most recently used end, and away from it.
    tElement* GetNewer() const { return Newer; }
    tElement* GetOlder() const { return Older; }

  private:
    friend class tNUVHashCache;
    uint32_t Hash = 0;
    uint32_t Flags = 0;
    alignas(tKey) unsigned char KeyStorage[sizeof(tKey)];
    alignas(tPayload) unsigned char PayloadStorage[sizeof(tPayload)];
    tElement* NextInBucket = nullptr;
    tElement* PreviousInBucket = nullptr;   // null for the in-array entry
    tElement* Newer = nullptr;
    tElement* Older = nullptr;

    tKey& Key() { return *std::launder(reinterpret_cast<tKey*>(KeyStorage)); }
  };

  tNUVHashCache() {
    for (tElement& bucket : Buckets) bucket.Flags = InArrayFlag;
  }
  ~tNUVHashCache() { Clear(); }
  tNUVHashCache(const tNUVHashCache&) = delete;
  tNUVHashCache& operator=(const tNUVHashCache&) = delete;

  int32_t GetCount() const { return Count; }
  int32_t GetLimit() const { return Limit; }
  // At least 1 (an entry just added must survive its own Add); entries beyond the
  // limit are evicted from the least recently used end at once.
  void SetLimit(int32_t limit) {
    Limit = limit < 1 ? 1 : limit;
    TrimToLimit();
  }

  static uint32_t HashOf(const tKey& key) { return tHashFunc::Make(key); }

  // The entry of the key, moved to the most recently used end; null when absent.
  tElement* Find(const tKey& key) { return Find(key, HashOf(key)); }
  tElement* Find(const tKey& key, uint32_t hash) {
    tElement* element = Lookup(key, hash);
    if (element) Touch(element);
    return element;
  }
  // The entry of the key without changing the use order.
  tElement* Peek(const tKey& key) const { return Lookup(key, HashOf(key)); }
  tElement* Peek(const tKey& key, uint32_t hash) const { return Lookup(key, hash); }

  // Adds the key with its payload at the most recently used end (the payload of an
  // existing entry is replaced), then evicts beyond the limit.
  template <typename tValue = tPayload>
  tElement* Add(const tKey& key, tValue&& payload = tValue()) {
    uint32_t hash = HashOf(key);
    if (tElement* existing = Lookup(key, hash)) {
      existing->GetPayload() = std::forward<tValue>(payload);
      Touch(existing);
      return existing;
    }
    return AddNew(key, hash, std::forward<tValue>(payload));
  }
  // Adds a key known to be absent (after a failed Find with the same hash).
  template <typename tValue = tPayload>
  tElement* AddNew(const tKey& key, uint32_t hash, tValue&& payload = tValue()) {
    tElement* bucket = &Buckets[hash & (BucketCount - 1)];
    tElement* element = bucket;
    bool chained = (bucket->Flags & InUseFlag) != 0;
    if (chained) element = new tElement;
    try {
      ::new (static_cast<void*>(element->KeyStorage)) tKey(key);
      try {
        ::new (static_cast<void*>(element->PayloadStorage)) tPayload(std::forward<tValue>(payload));
      } catch (...) {
        element->Key().~tKey();
        throw;
      }
    } catch (...) {
      if (chained) delete element;
      throw;
    }
    element->Hash = hash;
    element->Flags = chained ? InUseFlag : (InUseFlag | InArrayFlag);
    if (chained) {
      // Right behind the in-array entry: recent additions are found early.
      element->PreviousInBucket = bucket;
      element->NextInBucket = bucket->NextInBucket;
      if (bucket->NextInBucket) bucket->NextInBucket->PreviousInBucket = element;
      bucket->NextInBucket = element;
    }
    LinkNewest(element);
    ++Count;
    TrimToLimit();
    return element;
  }

  bool Remove(const tKey& key) {
    tElement* element = Lookup(key, HashOf(key));
    if (!element) return false;
    RemoveElement(element);
    return true;
  }
  // Removes an entry in use (from Find, Add or the use list).
  void RemoveElement(tElement* element) {
    Unlink(element);
    --Count;
    element->GetPayload().~tPayload();
    element->Key().~tKey();
    if (element->Flags & InArrayFlag) {
      element->Flags = InArrayFlag;
      element->Hash = 0;
    } else {
      delete element;
    }
  }
  // Removes the least recently used entry; false when the table is empty.
  bool RemoveLeastRecentlyUsed() {
    if (!Oldest) return false;
    RemoveElement(Oldest);
    return true;
  }

  void Clear() {
    while (Oldest) RemoveElement(Oldest);
  }

  tElement* GetOldest() const { return Oldest; }
  tElement* GetNewest() const { return Newest; }

private:
  tElement Buckets[BucketCount];
  tElement* Newest = nullptr;
  tElement* Oldest = nullptr;
  int32_t Count = 0;
  int32_t Limit = INT32_MAX;

  tElement* Lookup(const tKey& key, uint32_t hash) const {
    const tElement* element = &Buckets[hash & (BucketCount - 1)];
    for (; element; element = element->NextInBucket) {
      if ((element->Flags & InUseFlag) && element->Hash == hash && element->GetKey() == key)
        return const_cast<tElement*>(element);
    }
    return nullptr;
  }

  void LinkNewest(tElement* element) {
    element->Newer = nullptr;
    element->Older = Newest;
    if (Newest) Newest->Newer = element;
    else Oldest = element;
    Newest = element;
  }

  void UnlinkFromUseList(tElement* element) {
    if (element->Newer) element->Newer->Older = element->Older;
    else Newest = element->Older;
    if (element->Older) element->Older->Newer = element->Newer;
    else Oldest = element->Newer;
    element->Newer = element->Older = nullptr;
  }

  void Touch(tElement* element) {
    if (element == Newest) return;
    UnlinkFromUseList(element);
    LinkNewest(element);
  }

  void Unlink(tElement* element) {
    UnlinkFromUseList(element);
    // The in-array entry keeps anchoring its chain.
    if (element->Flags & InArrayFlag) return;
    element->PreviousInBucket->NextInBucket = element->NextInBucket;
    if (element->NextInBucket) element->NextInBucket->PreviousInBucket = element->PreviousInBucket;
    element->NextInBucket = element->PreviousInBucket = nullptr;
  }

  void TrimToLimit() {
    while (Count > Limit && RemoveLeastRecentlyUsed()) {
    }
  }
};

}  // namespace NUV
