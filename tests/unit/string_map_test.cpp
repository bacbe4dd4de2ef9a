// tNUVHashCache (bucket chains, use order, limit, ownership of keys and payloads)
// and the global string map built on it (interning, eviction, lifecycle).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/values/global_string_map.h"
#include "engine/values/hash_cache.h"
#include "engine/values/nuv_string.h"
#include "engine/values/string_heap.h"

namespace NUV {
namespace {

std::u16string Text(const tNUVString& string) { return std::u16string(string.c_str(), string.GetLen()); }
int64_t LiveBodies() { return GetStringHeapStatus().LiveCount; }

// A key that counts its live instances and lets the test choose its hash.
struct tCountedKey {
  static inline int Live = 0;
  int Value;
  uint32_t Hash;
  tCountedKey(int value, uint32_t hash) : Value(value), Hash(hash) { ++Live; }
  tCountedKey(const tCountedKey& other) : Value(other.Value), Hash(other.Hash) { ++Live; }
  ~tCountedKey() { --Live; }
  bool operator==(const tCountedKey& other) const { return Value == other.Value; }
};

struct tCountedKeyHash {
  static uint32_t Make(const tCountedKey& key) { return key.Hash; }
};

struct tCountedPayload {
  static inline int Live = 0;
  std::string Name;
  explicit tCountedPayload(std::string name) : Name(std::move(name)) { ++Live; }
  tCountedPayload(const tCountedPayload& other) : Name(other.Name) { ++Live; }
  tCountedPayload& operator=(const tCountedPayload&) = default;
  ~tCountedPayload() { --Live; }
};

using tSmallCache = tNUVHashCache<tCountedKey, tCountedPayload, tCountedKeyHash, 8>;

// Keys from oldest to newest along the use list.
std::vector<int> UseOrder(const tSmallCache& cache) {
  std::vector<int> order;
  for (auto* element = cache.GetOldest(); element; element = element->GetNewer())
    order.push_back(element->GetKey().Value);
  return order;
}

class HashCache : public testing::Test {
protected:
  void TearDown() override {
    EXPECT_EQ(tCountedKey::Live, 0);
    EXPECT_EQ(tCountedPayload::Live, 0);
  }
};

TEST_F(HashCache, ChainsEntriesOfOneBucket) {
  tSmallCache cache;
  // Hashes 3, 11 and 19 share bucket 3; key 4 has the same hash as key 1.
  cache.Add(tCountedKey(1, 3), tCountedPayload("one"));
  cache.Add(tCountedKey(2, 11), tCountedPayload("two"));
  cache.Add(tCountedKey(3, 19), tCountedPayload("three"));
  cache.Add(tCountedKey(4, 3), tCountedPayload("four"));
  EXPECT_EQ(cache.GetCount(), 4);
  for (int value : {1, 2, 3, 4}) {
    uint32_t hash = value == 4 ? 3 : 3 + 8 * (value - 1);
    auto* element = cache.Peek(tCountedKey(value, hash));
    ASSERT_NE(element, nullptr) << value;
    EXPECT_EQ(element->GetKey().Value, value);
    EXPECT_EQ(element->GetHash(), hash);
  }
  EXPECT_EQ(cache.Peek(tCountedKey(1, 3))->GetPayload().Name, "one");
  EXPECT_EQ(cache.Peek(tCountedKey(4, 3))->GetPayload().Name, "four");
  // The right key under the wrong hash is not found.
  EXPECT_EQ(cache.Peek(tCountedKey(1, 11)), nullptr);
  EXPECT_EQ(cache.Peek(tCountedKey(5, 3)), nullptr);

  // Removing the in-array entry keeps the rest of its chain reachable, and the
  // free array slot is used again.
  EXPECT_TRUE(cache.Remove(tCountedKey(1, 3)));
  EXPECT_FALSE(cache.Remove(tCountedKey(1, 3)));
  EXPECT_EQ(cache.GetCount(), 3);
  EXPECT_NE(cache.Peek(tCountedKey(2, 11)), nullptr);
  EXPECT_NE(cache.Peek(tCountedKey(3, 19)), nullptr);
  EXPECT_NE(cache.Peek(tCountedKey(4, 3)), nullptr);
  cache.Add(tCountedKey(5, 27), tCountedPayload("five"));
  EXPECT_EQ(cache.Peek(tCountedKey(5, 27))->GetPayload().Name, "five");
  // A chained entry in the middle.
  EXPECT_TRUE(cache.Remove(tCountedKey(3, 19)));
  EXPECT_NE(cache.Peek(tCountedKey(2, 11)), nullptr);
  EXPECT_NE(cache.Peek(tCountedKey(4, 3)), nullptr);
  EXPECT_EQ(cache.GetCount(), 3);
  EXPECT_EQ(tCountedKey::Live, 3);
  EXPECT_EQ(tCountedPayload::Live, 3);
}

TEST_F(HashCache, KeepsUseOrder) {
  tSmallCache cache;
  for (int value = 1; value <= 5; ++value)
    cache.Add(tCountedKey(value, uint32_t(value)), tCountedPayload("v"));
  EXPECT_EQ(UseOrder(cache), (std::vector<int>{1, 2, 3, 4, 5}));
  ASSERT_NE(cache.Find(tCountedKey(2, 2)), nullptr);
  EXPECT_EQ(UseOrder(cache), (std::vector<int>{1, 3, 4, 5, 2}));
  ASSERT_NE(cache.Find(tCountedKey(1, 1)), nullptr);
  EXPECT_EQ(UseOrder(cache), (std::vector<int>{3, 4, 5, 2, 1}));
  // Peek leaves the order alone; a failed Find too.
  cache.Peek(tCountedKey(3, 3));
  EXPECT_EQ(cache.Find(tCountedKey(9, 9)), nullptr);
  EXPECT_EQ(UseOrder(cache), (std::vector<int>{3, 4, 5, 2, 1}));
  // Adding an existing key replaces its payload and refreshes it.
  cache.Add(tCountedKey(4, 4), tCountedPayload("new"));
  EXPECT_EQ(cache.GetCount(), 5);
  EXPECT_EQ(cache.GetNewest()->GetPayload().Name, "new");
  EXPECT_EQ(UseOrder(cache), (std::vector<int>{3, 5, 2, 1, 4}));

  EXPECT_TRUE(cache.RemoveLeastRecentlyUsed());
  EXPECT_EQ(UseOrder(cache), (std::vector<int>{5, 2, 1, 4}));
  cache.RemoveElement(cache.GetNewest());
  EXPECT_EQ(UseOrder(cache), (std::vector<int>{5, 2, 1}));
  EXPECT_EQ(cache.GetNewest()->GetOlder()->GetKey().Value, 2);
  cache.Clear();
  EXPECT_EQ(cache.GetCount(), 0);
  EXPECT_EQ(cache.GetOldest(), nullptr);
  EXPECT_EQ(cache.GetNewest(), nullptr);
  EXPECT_FALSE(cache.RemoveLeastRecentlyUsed());
  // Usable again after clearing.
  cache.Add(tCountedKey(7, 7), tCountedPayload("seven"));
  EXPECT_EQ(UseOrder(cache), (std::vector<int>{7}));
}

TEST_F(HashCache, LimitEvictsLeastRecentlyUsed) {
  tSmallCache cache;
  cache.SetLimit(3);
  // All in one bucket, so eviction exercises the chain as well.
  for (int value = 1; value <= 3; ++value)
    cache.Add(tCountedKey(value, uint32_t(8 * value)), tCountedPayload("v"));
  cache.Find(tCountedKey(1, 8));
  cache.Add(tCountedKey(4, 32), tCountedPayload("v"));
  EXPECT_EQ(cache.GetCount(), 3);
  EXPECT_EQ(UseOrder(cache), (std::vector<int>{3, 1, 4}));
  EXPECT_EQ(cache.Peek(tCountedKey(2, 16)), nullptr);

  cache.SetLimit(1);
  EXPECT_EQ(UseOrder(cache), (std::vector<int>{4}));
  // The limit never drops below one: the entry just added survives.
  cache.SetLimit(0);
  EXPECT_EQ(cache.GetLimit(), 1);
  auto* added = cache.Add(tCountedKey(5, 40), tCountedPayload("five"));
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->GetPayload().Name, "five");
  EXPECT_EQ(UseOrder(cache), (std::vector<int>{5}));
  EXPECT_EQ(tCountedKey::Live, 1);
  EXPECT_EQ(tCountedPayload::Live, 1);
}

TEST_F(HashCache, DestructionReleasesEverything) {
  {
    tSmallCache cache;
    for (int value = 0; value < 100; ++value)
      cache.Add(tCountedKey(value, uint32_t(value * 7)), tCountedPayload(std::to_string(value)));
    EXPECT_EQ(cache.GetCount(), 100);
    for (int value = 0; value < 100; value += 3) cache.Remove(tCountedKey(value, uint32_t(value * 7)));
    for (int value = 0; value < 100; ++value) {
      auto* element = cache.Peek(tCountedKey(value, uint32_t(value * 7)));
      if (value % 3 == 0) {
        EXPECT_EQ(element, nullptr);
      } else {
        ASSERT_NE(element, nullptr);
        EXPECT_EQ(element->GetPayload().Name, std::to_string(value));
      }
    }
  }
  // The fixture checks that no key or payload outlived the table.
}

TEST(HashCacheStrings, StringKeysAndEmptyPayload) {
  int64_t live = LiveBodies();
  {
    tNUVHashCache<tNUVString, tNUVEmptyClass> cache;
    tNUVString name(u"member");
    cache.Add(name);
    EXPECT_EQ(name.GetBody()->RefCount, 1);   // the table holds a reference
    auto* found = cache.Find(tNUVString(u"member"));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->GetKey().GetBody(), name.GetBody());
    EXPECT_EQ(found->GetHash(), HashString(name));
    EXPECT_EQ(cache.Find(tNUVString(u"Member")), nullptr);
    EXPECT_EQ(cache.Find(tNUVString(u"membe")), nullptr);
    cache.Add(tNUVString());   // the empty string is a key like any other
    EXPECT_NE(cache.Find(tNUVString()), nullptr);
    EXPECT_TRUE(cache.Remove(name));
    EXPECT_EQ(name.GetBody()->RefCount, 0);
    cache.Add(tNUVString(u"left in the table"));
  }
  EXPECT_EQ(LiveBodies(), live);
}

// Global string map ----------------------------------------------------------------------

// Holds one reference to the global map for a test.
class GlobalStringMap : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(NUVGetGlobalStringMap(), nullptr) << "an earlier user did not release the map";
    LiveAtStart = LiveBodies();
    NUVAddRefGlobalStringMap();
  }
  void TearDown() override {
    NUVReleaseGlobalStringMap();
    EXPECT_EQ(NUVGetGlobalStringMap(), nullptr);
    EXPECT_EQ(LiveBodies(), LiveAtStart);
  }
  int64_t LiveAtStart = 0;
};

TEST_F(GlobalStringMap, EqualTextsShareOneBody) {
  tNUVString first(u"name");
  tNUVString mapped = MapGlobalString(first);
  EXPECT_EQ(mapped.GetBody(), first.GetBody());   // first seen: the argument's body
  tNUVString second(u"name");
  ASSERT_NE(second.GetBody(), first.GetBody());
  tNUVString remapped = MapGlobalString(second);
  EXPECT_EQ(remapped.GetBody(), first.GetBody());
  EXPECT_EQ(Text(remapped), u"name");
  EXPECT_NE(MapGlobalString(tNUVString(u"other")).GetBody(), first.GetBody());
  EXPECT_EQ(NUVGetGlobalStringMap()->GetCount(), 2);
  // The interned body lives on in the map after every other owner let go.
  tNUVVariantString* body = first.GetBody();
  first.Clear();
  mapped.Clear();
  remapped.Clear();
  EXPECT_EQ(MapGlobalString(tNUVString(u"name")).GetBody(), body);
  // The empty string maps to itself and is not stored.
  EXPECT_EQ(MapGlobalString(tNUVString()).GetBody(), nullptr);
  EXPECT_EQ(NUVGetGlobalStringMap()->GetCount(), 2);
}

TEST_F(GlobalStringMap, EvictsTheLeastRecentlyUsedBeyondFiveThousand) {
  std::vector<tNUVVariantString*> bodies;
  for (int i = 0; i < NUVGlobalStringMapLimit; ++i)
    bodies.push_back(MapGlobalString(IntegerToText(i)).GetBody());
  EXPECT_EQ(NUVGetGlobalStringMap()->GetCount(), 5000);
  // A lookup refreshes "0", so "1" is now the least recently used.
  EXPECT_EQ(MapGlobalString(IntegerToText(0)).GetBody(), bodies[0]);
  MapGlobalString(IntegerToText(5000));
  EXPECT_EQ(NUVGetGlobalStringMap()->GetCount(), 5000);

  // "0" survived; "1" was evicted, so its text is interned anew with the body of
  // the argument.
  EXPECT_EQ(MapGlobalString(IntegerToText(0)).GetBody(), bodies[0]);
  tNUVString fresh = IntegerToText(1);
  EXPECT_EQ(MapGlobalString(fresh).GetBody(), fresh.GetBody());
  // Adding "1" evicted "2", and adding "2" again evicts "3"; "4" stays.
  tNUVString two = IntegerToText(2);
  EXPECT_EQ(MapGlobalString(two).GetBody(), two.GetBody());
  tNUVString three = IntegerToText(3);
  tNUVString four = IntegerToText(4);
  EXPECT_EQ(MapGlobalString(four).GetBody(), bodies[4]);
  EXPECT_EQ(MapGlobalString(three).GetBody(), three.GetBody());
  EXPECT_EQ(NUVGetGlobalStringMap()->GetCount(), 5000);
  // The map holds 5000 bodies ("1", "2" and "3" among them, shared with this
  // test); "four" is a body of its own. Evicted keys were released.
  EXPECT_EQ(LiveBodies(), LiveAtStart + 5000 + 1);
}

TEST_F(GlobalStringMap, IsReferenceCounted) {
  tNUVGlobalStringMap* map = NUVGetGlobalStringMap();
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map->RefCount, 1);
  EXPECT_EQ(map->GetLimit(), 5000);
  NUVAddRefGlobalStringMap();
  EXPECT_EQ(NUVGetGlobalStringMap(), map);
  EXPECT_EQ(map->RefCount, 2);
  MapGlobalString(tNUVString(u"kept while one engine remains"));
  NUVReleaseGlobalStringMap();
  ASSERT_EQ(NUVGetGlobalStringMap(), map);
  EXPECT_EQ(map->GetCount(), 1);
}

TEST(GlobalStringMapAbsent, ReturnsTheArgumentAndReleasesKeys) {
  ASSERT_EQ(NUVGetGlobalStringMap(), nullptr);
  int64_t live = LiveBodies();
  tNUVString text(u"no map");
  EXPECT_EQ(MapGlobalString(text).GetBody(), text.GetBody());
  tNUVString again(u"no map");
  EXPECT_EQ(MapGlobalString(again).GetBody(), again.GetBody());
  NUVReleaseGlobalStringMap();   // nothing to release
  EXPECT_EQ(NUVGetGlobalStringMap(), nullptr);

  // A map's keys are released when the last user lets go.
  NUVAddRefGlobalStringMap();
  for (int i = 0; i < 100; ++i) MapGlobalString(IntegerToText(i) + u" key");
  EXPECT_EQ(LiveBodies(), live + 2 + 100);
  NUVReleaseGlobalStringMap();
  EXPECT_EQ(NUVGetGlobalStringMap(), nullptr);
  EXPECT_EQ(LiveBodies(), live + 2);
  // A new map starts empty.
  NUVAddRefGlobalStringMap();
  EXPECT_EQ(NUVGetGlobalStringMap()->GetCount(), 0);
  EXPECT_EQ(MapGlobalString(text).GetBody(), text.GetBody());
  EXPECT_EQ(MapGlobalString(again).GetBody(), text.GetBody());
  NUVReleaseGlobalStringMap();
}

}  // namespace
}  // namespace NUV
