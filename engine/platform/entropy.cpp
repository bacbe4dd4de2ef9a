#include "engine/platform/entropy.h"

#include <ctime>

namespace NUV::Platform {

int64_t CalendarSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

}  // namespace NUV::Platform
