#pragma once
// Seeds for the engine's pseudo-random generators.

#include <cstdint>

namespace NUV::Platform {

// The current calendar time in whole seconds since the epoch. Generators seeded
// without an explicit value use it, so two seedings within one second agree.
int64_t CalendarSeconds();

}  // namespace NUV::Platform
