// The block heap of string bodies: creation and teardown with the live count,
// pop order, block growth, and compaction (free-stack sort, releasing free blocks
// while live bodies stay valid).
//
// These tests need a heap that no one else uses: each starts by asserting that no
// heap exists (a failure there means some earlier test or static object left a
// string alive). Bodies are held in tNUVString so a failed assertion still
// releases them.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "engine/values/nuv_string.h"
#include "engine/values/string_heap.h"

namespace NUV {
namespace {

std::u16string Text(const tNUVString& string) { return std::u16string(string.c_str(), string.GetLen()); }

// A string on a freshly popped body (empty text, one owner).
tNUVString FreshBody() { return tNUVString::Adopt(AllocateStringBody()); }

#define ASSERT_NO_STRING_HEAP()                                                   \
  ASSERT_FALSE(GetStringHeapStatus().Exists)                                      \
      << "a string body is still alive from elsewhere; heap tests need none"

TEST(StringHeap, ExistsExactlyWhileABodyIsAlive) {
  ASSERT_NO_STRING_HEAP();
  {
    tNUVString first(u"first");
    tNUVStringHeapStatus status = GetStringHeapStatus();
    EXPECT_TRUE(status.Exists);
    EXPECT_EQ(status.LiveCount, 1);
    EXPECT_EQ(status.BlockCount, 1u);
    EXPECT_EQ(status.FreeCount, size_t(NUVStringBodiesPerBlock - 1));
    {
      tNUVString second(u"second");
      tNUVString shared(first);   // a reference, not a body
      EXPECT_EQ(GetStringHeapStatus().LiveCount, 2);
    }
    EXPECT_EQ(GetStringHeapStatus().LiveCount, 1);
    EXPECT_EQ(GetStringHeapStatus().FreeCount, size_t(NUVStringBodiesPerBlock - 1));
  }
  EXPECT_FALSE(GetStringHeapStatus().Exists);

  // Re-created on demand, and usable.
  tNUVString again(u"a text long enough for a long buffer");
  tNUVStringHeapStatus status = GetStringHeapStatus();
  EXPECT_TRUE(status.Exists);
  EXPECT_EQ(status.LiveCount, 1);
  EXPECT_EQ(status.BlockCount, 1u);
  EXPECT_EQ(Text(again), u"a text long enough for a long buffer");
  again.Clear();
  EXPECT_FALSE(GetStringHeapStatus().Exists);

  // Empty strings cost no body at all.
  tNUVString empty(u"");
  tNUVString null(static_cast<const char16_t*>(nullptr));
  EXPECT_FALSE(GetStringHeapStatus().Exists);
}

TEST(StringHeap, PopsHighestAddressFirstAndInitialisesBodies) {
  ASSERT_NO_STRING_HEAP();
  tNUVString first = FreshBody();
  tNUVString second = FreshBody();
  tNUVVariantString* top = first.GetBody();
  EXPECT_EQ(second.GetBody(), top - 1);

  // A body comes back fully reset, whatever its previous user left in it.
  tNUVVariantString* body = second.GetBody();
  second = tNUVString();
  EXPECT_EQ(body->HeapFlag, 0);
  body->Hint = 0x1234;
  body->Length = 7;
  body->RefCount = 0;
  tNUVString reused = FreshBody();   // last pushed is popped next
  ASSERT_EQ(reused.GetBody(), body);
  EXPECT_EQ(body->RefCount, 0);
  EXPECT_EQ(body->LongString, nullptr);
  EXPECT_EQ(body->Length, 0);
  EXPECT_EQ(body->HeapFlag, 1);
  EXPECT_EQ(body->Hint, 0u);
  EXPECT_EQ(body->Text()[0], 0);
}

TEST(StringHeap, AddsABlockWhenTheFreeStackRunsOut) {
  ASSERT_NO_STRING_HEAP();
  std::vector<tNUVString> bodies;
  for (int i = 0; i < NUVStringBodiesPerBlock; ++i) bodies.push_back(FreshBody());
  EXPECT_EQ(GetStringHeapStatus().FreeCount, 0u);
  EXPECT_EQ(GetStringHeapStatus().BlockCount, 1u);
  // The first block's bodies were handed out top down: the last is its lowest.
  tNUVVariantString* blockStart = bodies.back().GetBody();
  EXPECT_EQ(bodies.front().GetBody(), blockStart + NUVStringBodiesPerBlock - 1);

  bodies.push_back(FreshBody());
  tNUVStringHeapStatus status = GetStringHeapStatus();
  EXPECT_EQ(status.BlockCount, 2u);
  EXPECT_EQ(status.FreeCount, size_t(NUVStringBodiesPerBlock - 1));
  EXPECT_EQ(status.LiveCount, NUVStringBodiesPerBlock + 1);
  tNUVVariantString* fromNewBlock = bodies.back().GetBody();
  EXPECT_TRUE(fromNewBlock < blockStart || fromNewBlock >= blockStart + NUVStringBodiesPerBlock);

  // Every released body goes back on the stack; the last one tears the heap down.
  bodies.resize(1);
  EXPECT_EQ(GetStringHeapStatus().FreeCount, size_t(2 * NUVStringBodiesPerBlock - 1));
  bodies.clear();
  EXPECT_FALSE(GetStringHeapStatus().Exists);
}

TEST(StringHeap, CompactionSortsTheWholeFreeStackWhenSmall) {
  ASSERT_NO_STRING_HEAP();
  // 3500 of 4096 bodies in use leaves 596 free entries: all of them are sorted.
  std::vector<tNUVString> bodies;
  for (int i = 0; i < 3500; ++i) bodies.push_back(FreshBody());
  tNUVVariantString* blockStart = bodies.back().GetBody() - (NUVStringBodiesPerBlock - 3500);
  // Release a scattered few; without sorting the last released would come next.
  for (int index : {10, 3000, 200, 1500}) bodies[index] = tNUVString();
  ASSERT_EQ(GetStringHeapStatus().FreeCount, 600u);
  CompactStringHeap();
  EXPECT_EQ(GetStringHeapStatus().BlockCount, 1u);
  tNUVString next = FreshBody();
  EXPECT_EQ(next.GetBody(), blockStart);   // the lowest address of all
  tNUVString after = FreshBody();
  EXPECT_EQ(after.GetBody(), blockStart + 1);
}

TEST(StringHeap, CompactionSortsOnlyTheTopThousandFreeEntries) {
  ASSERT_NO_STRING_HEAP();
  // Body k of the block is popped as number 4095 - k. Keep body 4095 alive and
  // release bodies 4085..4094 lowest first, so they lie on the stack highest on top
  // above the never-used bodies 0..4084.
  tNUVString holder = FreshBody();
  tNUVVariantString* blockStart = holder.GetBody() - (NUVStringBodiesPerBlock - 1);
  std::vector<tNUVString> bodies;
  for (int i = 0; i < 10; ++i) bodies.push_back(FreshBody());
  while (!bodies.empty()) bodies.pop_back();
  ASSERT_EQ(GetStringHeapStatus().FreeCount, size_t(NUVStringBodiesPerBlock - 1));

  CompactStringHeap();
  // The top 1000 entries held bodies 3095..4094; sorted, the lowest comes first,
  // and the entries below them stay where they were.
  std::vector<tNUVString> popped;
  for (int i = 0; i < 1001; ++i) popped.push_back(FreshBody());
  EXPECT_EQ(popped[0].GetBody(), blockStart + 3095);
  EXPECT_EQ(popped[1].GetBody(), blockStart + 3096);
  EXPECT_EQ(popped[999].GetBody(), blockStart + 4094);
  EXPECT_EQ(popped[1000].GetBody(), blockStart + 3094);
}

TEST(StringHeap, CompactionReleasesFreeBlocksAndKeepsLiveBodies) {
  ASSERT_NO_STRING_HEAP();
  CompactStringHeap();   // no heap: nothing to do
  EXPECT_FALSE(GetStringHeapStatus().Exists);

  const std::u16string longText = u"a long text that lives in a long buffer of its own";
  std::vector<tNUVString> bodies;
  const int total = 3 * NUVStringBodiesPerBlock + 100;   // four blocks
  for (int i = 0; i < total; ++i) bodies.push_back(FreshBody());
  ASSERT_EQ(GetStringHeapStatus().BlockCount, 4u);
  tNUVVariantString* firstBlock = bodies[NUVStringBodiesPerBlock - 1].GetBody();

  // The first 4096 bodies are the first block; a few of them stay alive, their
  // text written in place (short ones inline, others in a long buffer).
  const std::vector<int> kept = {0, 17, 2048, NUVStringBodiesPerBlock - 1};
  std::vector<tNUVString> survivors;
  for (int index : kept) {
    bodies[index].Append(index % 2 ? u"short" : longText.c_str(), -1);
    survivors.push_back(bodies[index]);
  }
  bodies.clear();
  for (const tNUVString& survivor : survivors) {
    ASSERT_GE(survivor.GetBody(), firstBlock);
    ASSERT_LT(survivor.GetBody(), firstBlock + NUVStringBodiesPerBlock);
  }
  ASSERT_EQ(GetStringHeapStatus().LiveCount, 4);

  CompactStringHeap();
  tNUVStringHeapStatus after = GetStringHeapStatus();
  EXPECT_TRUE(after.Exists);
  EXPECT_EQ(after.LiveCount, 4);
  EXPECT_EQ(after.BlockCount, 1u);
  EXPECT_EQ(after.FreeCount, size_t(NUVStringBodiesPerBlock - 4));
  for (size_t i = 0; i < survivors.size(); ++i) {
    EXPECT_EQ(Text(survivors[i]), kept[i] % 2 ? u"short" : longText);
    EXPECT_EQ(survivors[i].GetBody()->HeapFlag, 1);
  }

  // Every remaining free body is valid and in the kept block; only then does a
  // new block come.
  std::vector<tNUVString> refill;
  for (size_t i = 0; i < after.FreeCount; ++i) refill.push_back(tNUVString(u"refill"));
  for (const tNUVString& string : refill) {
    ASSERT_GE(string.GetBody(), firstBlock);
    ASSERT_LT(string.GetBody(), firstBlock + NUVStringBodiesPerBlock);
  }
  EXPECT_EQ(GetStringHeapStatus().BlockCount, 1u);
  refill.push_back(tNUVString(u"one more"));
  EXPECT_EQ(GetStringHeapStatus().BlockCount, 2u);
  refill.clear();
  survivors.clear();
  EXPECT_FALSE(GetStringHeapStatus().Exists);
}

TEST(StringHeap, CompactionKeepsBlocksWithOneLiveBody) {
  ASSERT_NO_STRING_HEAP();
  std::vector<tNUVString> bodies;
  for (int i = 0; i < 3 * NUVStringBodiesPerBlock; ++i) bodies.push_back(FreshBody());
  // One live body in the first block (index 5) and one in the third (index 9000).
  tNUVString inFirst = bodies[5];
  tNUVString inThird = bodies[9000];
  bodies.clear();
  ASSERT_EQ(GetStringHeapStatus().LiveCount, 2);
  CompactStringHeap();
  tNUVStringHeapStatus status = GetStringHeapStatus();
  EXPECT_EQ(status.BlockCount, 2u);
  EXPECT_EQ(status.FreeCount, 2u * NUVStringBodiesPerBlock - 2);
  // Nothing left on the free stack points into the released block: using every
  // free body must not touch freed memory (the sanitizer build would notice).
  std::vector<tNUVString> refill;
  for (size_t i = 0; i < status.FreeCount; ++i) refill.push_back(tNUVString(u"x"));
  EXPECT_EQ(GetStringHeapStatus().BlockCount, 2u);
}

TEST(StringHeap, CompactionExaminesAtMostFiftyBlocksPerRun) {
  ASSERT_NO_STRING_HEAP();
  const int blockCount = 55;
  std::vector<tNUVString> bodies;
  bodies.reserve(size_t(blockCount) * NUVStringBodiesPerBlock);
  for (int i = 0; i < blockCount * NUVStringBodiesPerBlock; ++i) bodies.push_back(FreshBody());
  ASSERT_EQ(GetStringHeapStatus().BlockCount, size_t(blockCount));
  tNUVString holder = bodies[0];   // keeps the first block
  bodies.clear();
  bodies.shrink_to_fit();

  // Blocks 0..49 are examined: 49 free ones go, the next run starts at 50, which
  // is beyond the remaining six blocks, so it starts over at 0 and takes the rest.
  CompactStringHeap();
  EXPECT_EQ(GetStringHeapStatus().BlockCount, 6u);
  CompactStringHeap();
  EXPECT_EQ(GetStringHeapStatus().BlockCount, 1u);
  EXPECT_EQ(GetStringHeapStatus().FreeCount, size_t(NUVStringBodiesPerBlock - 1));
  EXPECT_EQ(GetStringHeapStatus().LiveCount, 1);
}

// Engines on several threads share the heap: bodies taken and given back at once
// (with compaction running meanwhile) are never handed out twice or lost.
TEST(StringHeap, ThreadsTakeAndGiveBackBodiesConcurrently) {
  ASSERT_NO_STRING_HEAP();
  constexpr int Threads = 4;
  constexpr int Rounds = 20000;
  std::atomic<int> damaged{0};
  std::atomic<bool> working{true};
  auto churn = [&](int id) {
    std::vector<tNUVString> kept(64);
    for (int round = 0; round < Rounds; ++round) {
      std::u16string text = u"t" + std::u16string(1, static_cast<char16_t>(u'a' + id)) +
                            std::u16string(static_cast<size_t>(round % 40), u'x');
      tNUVString& slot = kept[static_cast<size_t>(round) % kept.size()];
      if (!slot.IsEmpty() && slot.c_str()[1] != static_cast<char16_t>(u'a' + id)) ++damaged;
      slot = tNUVString(text.c_str());
      if (Text(slot) != text) ++damaged;
    }
  };
  std::thread compactor([&] {
    while (working) CompactStringHeap();
  });
  std::vector<std::thread> workers;
  for (int id = 0; id < Threads; ++id) workers.emplace_back(churn, id);
  for (std::thread& worker : workers) worker.join();
  working = false;
  compactor.join();
  EXPECT_EQ(damaged, 0);
  EXPECT_FALSE(GetStringHeapStatus().Exists);
}

}  // namespace
}  // namespace NUV
