#pragma once
// The library's own messages, registered beside the engine's at start-up.
//
// Only the stream factories raise one of them (MrvkCannotOpenStorage); the
// version check returns MrvkCannotAcceptDLL as text, and the other two are
// offered to hosts.

#include "engine/services/messages.h"

namespace NUV {

extern tNUVMessageHolder MrvkCannotAcceptDLL;
extern tNUVMessageHolder MrvkDLLLoadError;
extern tNUVMessageHolder MrvkCannotOpenStorage;
extern tNUVMessageHolder MrvkUnsupportedCipherMode;

}  // namespace NUV
