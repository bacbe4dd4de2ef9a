#include "engine/values/string_heap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <vector>

#include "engine/platform/spin_lock.h"

namespace NUV {
namespace {

constexpr size_t NUVStringBlockBytes = NUVStringBodiesPerBlock * sizeof(tNUVVariantString);
constexpr size_t NUVCompactionSortLimit = 1000;
constexpr size_t NUVCompactionBlocksPerRun = 50;

struct tStringHeap {
  std::vector<tNUVVariantString*> Blocks;     // each the first of 4096 bodies
  tNUVVariantString** FreeStack = nullptr;    // sized blocks x 4096
  size_t FreeCount = 0;
  int64_t LiveCount = 0;
  size_t RotatingBlockIndex = 0;
};

// Initialised before any code runs and with nothing to destroy, so a body
// released during static destruction still finds it.
constinit Platform::tNUVSpinLock HeapLock;

tStringHeap* Heap = nullptr;

void ResizeFreeStack(tStringHeap& heap) {
  size_t entries = heap.Blocks.size() * NUVStringBodiesPerBlock;
  auto* resized = static_cast<tNUVVariantString**>(
      std::realloc(heap.FreeStack, entries * sizeof(tNUVVariantString*)));
  if (!resized) throw std::bad_alloc();
  heap.FreeStack = resized;
}

void AddBlock(tStringHeap& heap) {
  void* memory = std::calloc(1, NUVStringBlockBytes);
  if (!memory) throw std::bad_alloc();
  auto* bodies = static_cast<tNUVVariantString*>(memory);
  heap.Blocks.push_back(bodies);
  try {
    ResizeFreeStack(heap);
  } catch (...) {
    heap.Blocks.pop_back();
    std::free(memory);
    throw;
  }
  // Body 0 at the bottom, body 4095 on top: the highest address is popped first.
  for (int32_t i = 0; i < NUVStringBodiesPerBlock; ++i) heap.FreeStack[i] = &bodies[i];
  heap.FreeCount = NUVStringBodiesPerBlock;
}

void TearDown() {
  tStringHeap* heap = Heap;
  Heap = nullptr;
  for (tNUVVariantString* block : heap->Blocks) {
    // Bodies still in use keep long buffers (none when the last body went back).
    for (int32_t i = 0; heap->LiveCount != 0 && i < NUVStringBodiesPerBlock; ++i) {
      if ((block[i].HeapFlag & 1) && block[i].LongString) FreeLongBuffer(block[i].LongString);
    }
    std::free(block);
  }
  std::free(heap->FreeStack);
  delete heap;
}

}  // namespace

tNUVVariantString* AllocateStringBody() {
  Platform::tNUVSpinLockHolder hold(HeapLock);
  if (!Heap) Heap = new tStringHeap;
  if (Heap->FreeCount == 0) {
    try {
      AddBlock(*Heap);
    } catch (...) {
      if (Heap->LiveCount == 0) TearDown();
      throw;
    }
  }
  tNUVVariantString* body = Heap->FreeStack[--Heap->FreeCount];
  body->RefCount = 0;
  body->LongString = nullptr;
  body->ShortString[0] = 0;
  body->Length = 0;
  body->HeapFlag = 1;
  body->Hint = 0;
  ++Heap->LiveCount;
  return body;
}

void ReturnStringBodyToHeap(tNUVVariantString* body) {
  Platform::tNUVSpinLockHolder hold(HeapLock);
  if (body->LongString) {
    FreeLongBuffer(body->LongString);
    body->LongString = nullptr;
  }
  body->HeapFlag = 0;
  Heap->FreeStack[Heap->FreeCount++] = body;
  if (--Heap->LiveCount == 0) TearDown();
}

void CompactStringHeap() {
  Platform::tNUVSpinLockHolder hold(HeapLock);
  if (!Heap) return;
  tStringHeap& heap = *Heap;

  // Lowest addresses on top, so new bodies come from low blocks and high blocks drain.
  size_t sortCount = std::min(heap.FreeCount, NUVCompactionSortLimit);
  std::sort(heap.FreeStack + heap.FreeCount - sortCount, heap.FreeStack + heap.FreeCount,
            std::greater<tNUVVariantString*>());

  size_t blockCount = heap.Blocks.size();
  if (heap.RotatingBlockIndex >= blockCount) heap.RotatingBlockIndex = 0;
  size_t start = heap.RotatingBlockIndex;
  size_t index = start;
  size_t examined = 0;
  bool anyMarked = false;
  do {
    tNUVVariantString* block = heap.Blocks[index];
    // From the top: bodies are handed out from a block's high end, so a block in
    // use shows it at once, without reading (and faulting in) its untouched pages.
    bool allFree = true;
    for (int32_t i = NUVStringBodiesPerBlock - 1; i >= 0 && allFree; --i) allFree = !(block[i].HeapFlag & 1);
    if (allFree) {
      for (int32_t i = 0; i < NUVStringBodiesPerBlock; ++i) block[i].HeapFlag = 2;
      anyMarked = true;
    }
    index = (index + 1) % blockCount;
    ++examined;
  } while (index != start && examined < NUVCompactionBlocksPerRun);
  heap.RotatingBlockIndex = index;
  if (!anyMarked) return;

  std::vector<tNUVVariantString*> kept;
  kept.reserve(heap.Blocks.size());
  std::vector<tNUVVariantString*> released;
  for (tNUVVariantString* block : heap.Blocks) (block[0].HeapFlag == 2 ? released : kept).push_back(block);

  size_t entries = std::max<size_t>(kept.size() * NUVStringBodiesPerBlock, 1);
  auto* fresh = static_cast<tNUVVariantString**>(std::malloc(entries * sizeof(tNUVVariantString*)));
  if (!fresh) {
    // Could not build the new stack: undo the marks and keep every block.
    for (tNUVVariantString* block : released)
      for (int32_t i = 0; i < NUVStringBodiesPerBlock; ++i) block[i].HeapFlag = 0;
    return;
  }
  size_t count = 0;
  for (size_t i = 0; i < heap.FreeCount; ++i)
    if (heap.FreeStack[i]->HeapFlag != 2) fresh[count++] = heap.FreeStack[i];
  std::free(heap.FreeStack);
  heap.FreeStack = fresh;
  heap.FreeCount = count;
  heap.Blocks = std::move(kept);
  for (tNUVVariantString* block : released) std::free(block);
}

tNUVStringHeapStatus GetStringHeapStatus() {
  Platform::tNUVSpinLockHolder hold(HeapLock);
  if (!Heap) return {false, 0, 0, 0};
  return {true, Heap->LiveCount, Heap->Blocks.size(), Heap->FreeCount};
}

}  // namespace NUV
