#include "engine/vm/variant_array_stack.h"

#include "engine/services/error_report.h"
#include "engine/vm/interpreter.h"

namespace NUV {

namespace {

tNUVVariantArrayStack* SharedStack;
int32_t SharedStackReferences;

// Slots are void while free, but a frame left behind by a failing host could hold
// values; they are dropped without letting a finalizer's exception escape.
void FreeSegmentSlots(tNUVVariant* slots) {
  try {
    delete[] slots;
  } catch (...) {
    NUVReportCurrentException();
  }
}

}  // namespace

tNUVVariantArrayStack::~tNUVVariantArrayStack() {
  ++Busy;
  for (tSegment& segment : Segments) FreeSegmentSlots(segment.Slots);
}

void tNUVVariantArrayStack::PushSegment() {
  int32_t next = Current + 1;
  if (next == static_cast<int32_t>(Segments.size())) {
    // Reserve first, so that a failed allocation leaves the list consistent.
    Segments.reserve(Segments.size() + 1);
    Segments.push_back({new tNUVVariant[SegmentSize], 0, SegmentSize});
  }
  Current = next;
}

void tNUVVariantArrayStack::Compact() {
  struct tBusyGuard {
    int32_t& Counter;
    explicit tBusyGuard(int32_t& counter) : Counter(counter) { ++Counter; }
    ~tBusyGuard() { --Counter; }
  } busy(Busy);
  int32_t inUse = Current + 1;
  for (size_t i = static_cast<size_t>(inUse); i < Segments.size(); ++i) FreeSegmentSlots(Segments[i].Slots);
  Segments.resize(static_cast<size_t>(inUse));
  if (inUse == 0) {
    std::vector<tSegment>().swap(Segments);
  } else {
    // Free slots are void already; clearing them again only matters if a frame
    // was abandoned without being cleared.
    tSegment& segment = Segments[static_cast<size_t>(Current)];
    for (int32_t i = segment.Used; i < segment.Size; ++i) segment.Slots[i].Clear();
    Segments.shrink_to_fit();
  }
}

tNUVVariantArrayStack* NUVGetVariantArrayStack() { return SharedStack; }

void NUVAddRefVariantArrayStack() {
  if (!SharedStack) SharedStack = new tNUVVariantArrayStack;
  ++SharedStackReferences;
}

void NUVReleaseVariantArrayStack() {
  if (SharedStackReferences <= 0) return;
  if (--SharedStackReferences > 0) return;
  tNUVVariantArrayStack* stack = SharedStack;
  SharedStack = nullptr;
  delete stack;
}

void NUVCompactVariantArrayStack() {
  if (SharedStack) SharedStack->Compact();
}

}  // namespace NUV
