#include "engine/services/call_tracer.h"

#include "engine/services/script_errors.h"
#include "engine/vm/code_context.h"

namespace NUV {

tNUVStackTracer* NUVStackTracer = nullptr;

void tNUVStackTracer::Release() {
  if (--RefCount > 0) return;
  if (NUVStackTracer == this) NUVStackTracer = nullptr;
  // Records left behind belong to activations that can no longer pop them.
  for (tNUVStackRecord& record : Records) record.Context->Release();
  delete this;
}

void tNUVStackTracer::Push(tNUVInterCodeContext* context, bool inTry) {
  Records.push_back(tNUVStackRecord{context, nullptr, nullptr, nullptr, inTry});
  context->AddRef();
}

void tNUVStackTracer::Pop() {
  if (Records.empty()) return;
  tNUVInterCodeContext* context = Records.back().Context;
  Records.pop_back();
  context->Release();
}

int32_t tNUVStackTracer::Enter(const int32_t* codeBase, const int32_t* const* ipLocation) {
  if (Records.empty()) return -1;
  tNUVStackRecord& record = Records.back();
  record.CodeBase = codeBase;
  record.IpLocation = ipLocation;
  return static_cast<int32_t>(Records.size()) - 1;
}

void tNUVStackTracer::Leave(int32_t index, const int32_t* lastIp) {
  if (index < 0 || index >= static_cast<int32_t>(Records.size())) return;
  tNUVStackRecord& record = Records[static_cast<size_t>(index)];
  record.IpLocation = nullptr;
  record.LastIp = lastIp;
}

tNUVString tNUVStackTracer::History(int32_t limit, const tNUVString& delimiter) const {
  tNUVString text;
  int32_t entries = 0;
  for (int32_t i = static_cast<int32_t>(Records.size()) - 1; i >= 0;) {
    if (limit > 0 && entries >= limit) break;
    const tNUVStackRecord& record = Records[static_cast<size_t>(i)];
    const int32_t* ip = record.IpLocation ? *record.IpLocation : record.LastIp;
    int32_t position = record.CodeBase && ip ? static_cast<int32_t>(ip - record.CodeBase) : 0;
    if (!text.IsEmpty()) text += delimiter;
    text += NUVCodePositionDescription(record.Context, position);
    ++entries;
    if (record.InTry) {
      // Past this region, the regions around it and the function they belong to.
      --i;
      while (i >= 0 && Records[static_cast<size_t>(i)].InTry) --i;
    }
    --i;
  }
  return text;
}

void NUVAddRefStackTracer() {
  if (!NUVStackTracer) NUVStackTracer = new tNUVStackTracer;
  NUVStackTracer->AddRef();
}

void NUVReleaseStackTracer() {
  if (NUVStackTracer) NUVStackTracer->Release();
}

tNUVString NUVGetCallHistory(int32_t limit, const tNUVString* delimiter) {
  if (!NUVStackTracer) return tNUVString();
  return NUVStackTracer->History(limit, delimiter ? *delimiter : tNUVString(u" <-- "));
}

// The activation and the loop each hold a reference, so a tracer released by its
// engine while script code still runs (a host freeing the engine from a native
// method) stays valid until that code has left.
void tNUVTracedActivation::Start(tNUVInterCodeContext* context, bool inTry) {
  Tracer->AddRef();
  Tracer->Push(context, inTry);
}

void tNUVTracedActivation::Finish() {
  Tracer->Pop();
  Tracer->Release();
}

tNUVTracedLoop::tNUVTracedLoop(const int32_t* codeBase, const int32_t* const* ipLocation)
    : Tracer(NUVStackTracer), IpLocation(ipLocation), Index(-1) {
  if (!Tracer) return;
  Tracer->AddRef();
  Index = Tracer->Enter(codeBase, ipLocation);
}

tNUVTracedLoop::~tNUVTracedLoop() {
  if (!Tracer) return;
  Tracer->Leave(Index, *IpLocation);
  Tracer->Release();
}

}  // namespace NUV
