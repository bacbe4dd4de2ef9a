#pragma once
// Call tracing (debug mode only): a stack with one record per running activation
// (a function run or a try region), from which a readable call history can be
// built at any moment, for example by a script asking for its own trace or by
// object tracking noting where an object was made.
//
// The tracer exists only while some engine made in debug mode holds a reference.
// Outside debug mode NUVStackTracer is null and every hook is one pointer test.

#include <cstdint>
#include <vector>

#include "engine/values/nuv_string.h"

namespace NUV {

class tNUVInterCodeContext;

struct tNUVStackRecord {
  tNUVInterCodeContext* Context;        // referenced
  const int32_t* CodeBase;              // the context's code area, or null
  const int32_t* const* IpLocation;     // where the running loop keeps its ip, or null
  const int32_t* LastIp;                // the ip when the loop left, or null
  bool InTry;
};

class tNUVStackTracer {
public:
  void AddRef() { ++RefCount; }
  // The last release frees the tracer (and clears NUVStackTracer when it is the one).
  void Release();

  void Push(tNUVInterCodeContext* context, bool inTry);
  void Pop();
  // Gives the top record its live ip; returns the record's index for Leave.
  int32_t Enter(const int32_t* codeBase, const int32_t* const* ipLocation);
  // The loop that published its ip to record index stops running: the record keeps
  // the last ip, so it never points into a finished native frame.
  void Leave(int32_t index, const int32_t* lastIp);

  // Entries from the innermost activation outwards; limit 0 means all. A function
  // with open try regions is listed once, at the ip of its innermost region.
  tNUVString History(int32_t limit, const tNUVString& delimiter) const;

private:
  std::vector<tNUVStackRecord> Records;
  int32_t RefCount = 0;
};

extern tNUVStackTracer* NUVStackTracer;

// Engines in debug mode hold one reference each; the first creates the tracer.
void NUVAddRefStackTracer();
void NUVReleaseStackTracer();

// The call history text; empty when calls are not traced. The default delimiter
// is " <-- ".
tNUVString NUVGetCallHistory(int32_t limit, const tNUVString* delimiter = nullptr);

// Pushes a record for an activation for as long as it lives (when tracing).
class tNUVTracedActivation {
public:
  tNUVTracedActivation(tNUVInterCodeContext* context, bool inTry) : Tracer(NUVStackTracer) {
    if (Tracer) [[unlikely]] Start(context, inTry);
  }
  ~tNUVTracedActivation() {
    if (Tracer) [[unlikely]] Finish();
  }
  tNUVTracedActivation(const tNUVTracedActivation&) = delete;
  tNUVTracedActivation& operator=(const tNUVTracedActivation&) = delete;

private:
  void Start(tNUVInterCodeContext* context, bool inTry);
  void Finish();
  tNUVStackTracer* Tracer;
};

// Publishes the running loop's ip to the top record while the loop runs.
class tNUVTracedLoop {
public:
  tNUVTracedLoop(const int32_t* codeBase, const int32_t* const* ipLocation);
  ~tNUVTracedLoop();
  tNUVTracedLoop(const tNUVTracedLoop&) = delete;
  tNUVTracedLoop& operator=(const tNUVTracedLoop&) = delete;

private:
  tNUVStackTracer* Tracer;
  const int32_t* const* IpLocation;
  int32_t Index;
};

}  // namespace NUV
