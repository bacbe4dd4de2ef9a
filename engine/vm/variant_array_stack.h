#pragma once
// tNUVVariantArrayStack: where the interpreter's register frames come from.
//
// Frames are requested and returned strictly last-in first-out (activations nest),
// so most come from a stack of fixed 1024-slot segments: taking a frame moves the
// current segment's fill mark, and a frame that does not fit in the current
// segment opens the next one. Segments stay allocated when they empty, so a
// recursion that crosses a segment boundary over and over costs no allocation;
// Compact frees them. Frames larger than a segment can hold, and every frame
// asked for while the stack is busy (compacting or being destroyed), come from the
// general heap instead; the caller remembers which kind it got.
//
// Slots are void whenever they are not part of a live frame: the interpreter
// clears a frame's slots before it gives the frame back, and new segments start
// void. So taking a frame never has to clear anything.
//
// One stack serves the whole process and is shared by every engine: each engine
// holds a reference (NUVAddRefVariantArrayStack) and the last release frees it.
// Nothing here is locked; one thread runs scripts at a time.

#include <cstdint>
#include <vector>

#include "engine/values/variant.h"

namespace NUV {

class tNUVVariantArrayStack {
public:
  static constexpr int32_t SegmentSize = 1024;
  // The largest frame that is taken from a segment.
  static constexpr int32_t LargestSegmentFrame = SegmentSize - 1;

  tNUVVariantArrayStack() = default;
  ~tNUVVariantArrayStack();
  tNUVVariantArrayStack(const tNUVVariantArrayStack&) = delete;
  tNUVVariantArrayStack& operator=(const tNUVVariantArrayStack&) = delete;

  // count void slots from the current segment, or null when the frame must come
  // from the heap (too large, or the stack is busy). Raises std::bad_alloc when a
  // new segment cannot be had.
  tNUVVariant* Take(int32_t count) {
    if (count > LargestSegmentFrame || Busy != 0) return nullptr;
    if (Current < 0 || Segments[Current].Size - Segments[Current].Used < count) PushSegment();
    tSegment& segment = Segments[Current];
    tNUVVariant* slots = segment.Slots + segment.Used;
    segment.Used += count;
    return slots;
  }
  // Gives back the frame taken last; its slots must be void again.
  void Give(int32_t count) {
    tSegment& segment = Segments[Current];
    segment.Used -= count;
    if (segment.Used == 0) --Current;
  }

  // Frees the segments above the one in use and shrinks the segment list.
  void Compact();

  int32_t GetSegmentsInUse() const { return Current + 1; }
  int32_t GetSegmentsAllocated() const { return static_cast<int32_t>(Segments.size()); }
  // Slots in use in the current segment (0 when none is in use).
  int32_t GetCurrentUsed() const { return Current < 0 ? 0 : Segments[Current].Used; }
  bool IsBusy() const { return Busy != 0; }

private:
  struct tSegment {
    tNUVVariant* Slots;
    int32_t Used;
    int32_t Size;
  };
  void PushSegment();

  std::vector<tSegment> Segments;
  // Index of the current segment; -1 when none is in use. Segments below it are
  // in use, segments above it are allocated but empty.
  int32_t Current = -1;
  int32_t Busy = 0;
};

// The process-wide stack, or null while no engine holds a reference.
tNUVVariantArrayStack* NUVGetVariantArrayStack();

}  // namespace NUV
