#pragma once
// The process-wide heap of string bodies.
//
// Bodies are carved from blocks of 4096 bodies; free bodies sit on one stack of
// pointers, so taking or returning a body is one lock and a pop or push. The heap
// exists exactly while at least one body is alive: the first allocation creates it
// and the release of the last live body tears it down (freeing any long buffers
// still held by bodies that were never released). Compaction hands fully free
// blocks back to the system.

#include <cstddef>
#include <cstdint>

#include "engine/values/string_body.h"

namespace NUV {

constexpr int32_t NUVStringBodiesPerBlock = 4096;

// Pops a body: RefCount 0, no long buffer, Length 0, HeapFlag 1, Hint 0, empty text.
tNUVVariantString* AllocateStringBody();

// Releases blocks whose bodies are all free.
void CompactStringHeap();

// Observation for diagnostics and tests.
struct tNUVStringHeapStatus {
  bool Exists;
  int64_t LiveCount;
  size_t BlockCount;
  size_t FreeCount;
};
tNUVStringHeapStatus GetStringHeapStatus();

}  // namespace NUV
