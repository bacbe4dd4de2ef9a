#include "engine/services/debug_mode.h"

namespace NUV {
namespace {
bool DebugMode = false;
}  // namespace

void NUVSetDebugMode(bool enabled) { DebugMode = enabled; }
bool NUVIsDebugMode() { return DebugMode; }

}  // namespace NUV
