#pragma once
// The process-wide debug switch. An engine reads it when it is made: in debug mode
// it holds call tracing and object tracking for its lifetime.

namespace NUV {

void NUVSetDebugMode(bool enabled);
bool NUVIsDebugMode();

}  // namespace NUV
