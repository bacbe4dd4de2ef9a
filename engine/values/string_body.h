#pragma once
// The shared body of every engine string.
//
// A body holds one UTF-16 text with its terminating 0: inline in ShortString when
// the text has at most 21 units, otherwise in a long buffer (a capacity word
// followed by the units; LongString points just past the word). Bodies come from
// the block heap of string_heap.h. RefCount counts owners minus one, so a fresh
// body with one owner has RefCount 0 and a release that finds 0 returns the body to
// the heap. The null body pointer is the empty string: operations that would leave
// an empty text release the body instead (FixStringBodyLength).
//
// Hint caches the hash of the last member lookup made with this name (the object
// tables read and write it through its address); it is 0 for a fresh body.

#include <cstddef>
#include <cstdint>

namespace NUV {

constexpr int32_t NUVShortStringUnits = 22;          // inline units, terminator included
constexpr int32_t NUVShortStringMaxLength = NUVShortStringUnits - 1;
constexpr int32_t NUVLongBufferExtraUnits = 16;       // slack reserved by every long buffer

struct tNUVVariantString {
  int32_t RefCount;
  char16_t* LongString;
  char16_t ShortString[NUVShortStringUnits];
  int32_t Length;
  int32_t HeapFlag;   // 1 in use, 0 on the free stack, 2 block about to be released
  uint32_t Hint;

  const char16_t* Text() const { return LongString ? LongString : ShortString; }
  char16_t* Text() { return LongString ? LongString : ShortString; }
};

static_assert(offsetof(tNUVVariantString, RefCount) == 0);
static_assert(sizeof(tNUVVariantString) % alignof(void*) == 0);
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(tNUVVariantString) == 64, "a string body is 64 bytes on 32-bit Windows");
#endif

// Long buffers -------------------------------------------------------------------

// A buffer for units units (terminator included) plus the slack; raises
// NUVStringAllocError when memory cannot be had.
char16_t* AllocateLongBuffer(int32_t units);
// Grows a buffer so that it holds at least units units (content kept).
char16_t* GrowLongBuffer(char16_t* buffer, int32_t units);
void FreeLongBuffer(char16_t* buffer);
int32_t LongBufferCapacity(const char16_t* buffer);

// Bodies ---------------------------------------------------------------------------
// Every function returning a body returns it with one owner (RefCount 0), or null
// for the empty string.

inline void AddRefStringBody(tNUVVariantString* body) { if (body) ++body->RefCount; }
// Returns a body to the heap (frees its long buffer); the caller has checked that
// this was the last owner. (The heap itself is in string_heap.h.)
void ReturnStringBodyToHeap(tNUVVariantString* body);
// Drops one owner; returns the body to the heap when it was the last.
inline void ReleaseStringBody(tNUVVariantString* body) {
  if (!body) return;
  if (body->RefCount > 0) {
    --body->RefCount;
    return;
  }
  ReturnStringBodyToHeap(body);
}

// Null or empty text gives null.
tNUVVariantString* CreateStringBody(const char16_t* text);
// length -1 means up to the terminator; otherwise at most length units, stopping
// early at a 0 unit. Length 0, null or empty text gives null.
tNUVVariantString* CreateStringBody(const char16_t* text, int32_t length);
// Converts from the narrow code page; raises NUVNarrowToWideConversionError on
// invalid input. Null or empty gives null.
tNUVVariantString* CreateStringBodyFromNarrow(const char* text);
tNUVVariantString* CreateStringBodyFromNarrow(const char* text, size_t length);
// Two texts joined; null when both are null or empty.
tNUVVariantString* CreateJoinedStringBody(const char16_t* first, int32_t firstLength,
                                          const char16_t* second, int32_t secondLength);
// A body of the given length (> 0), terminated there, content to be filled in.
tNUVVariantString* CreateStringBodyOfLength(int32_t length);
// Appends in place (body must not be shared); a null body yields a new one.
tNUVVariantString* AppendToStringBody(tNUVVariantString* body, const char16_t* text, int32_t length);
tNUVVariantString* AppendToStringBody(tNUVVariantString* body, const tNUVVariantString* tail);
// After the text was written directly: Length becomes the length up to the first 0
// unit; an empty result releases the body and yields null. Raises
// NUVStringDeallocError when the body is shared.
tNUVVariantString* FixStringBodyLength(tNUVVariantString* body);

}  // namespace NUV
