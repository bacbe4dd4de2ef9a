#pragma once
// A host's way to stop a running script: a callback the interpreter polls at
// backward jumps and when a function starts, so every loop and every recursion
// reaches it. When it answers true, the script ends with eNUVSilent, which try
// regions do not catch. Without a callback each check point is one pointer test.

#include <cstdint>

namespace NUV {

using tNUVInterruptCallback = bool (*)(void* userData);

// Installs the callback (null removes it); it is asked once every
// NUVInterruptPollInterval check points.
void NUVSetInterruptCallback(tNUVInterruptCallback callback, void* userData);

inline constexpr int32_t NUVInterruptPollInterval = 1024;

namespace InterruptDetail {
extern tNUVInterruptCallback Callback;
[[gnu::cold]] void CountCheckPoint();
}  // namespace InterruptDetail

// A check point: raises eNUVSilent when the host asks to stop.
inline void NUVInterruptCheckPoint() {
  if (InterruptDetail::Callback) [[unlikely]] InterruptDetail::CountCheckPoint();
}

}  // namespace NUV
