#include "engine/platform/system.h"

#include <cfenv>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace NUV::Platform {

void FormatPointer(const void* pointer, char16_t* out) {
  static const char16_t digits[] = u"0123456789ABCDEF";
  auto value = reinterpret_cast<std::uintptr_t>(pointer);
  for (size_t i = 0; i < PointerHexDigits; ++i) {
    out[PointerHexDigits - 1 - i] = digits[value & 0xF];
    value >>= 4;
  }
  out[PointerHexDigits] = 0;
}

void MaskFloatingPointTraps() {
#if defined(__GLIBC__)
  fedisableexcept(FE_ALL_EXCEPT);
#endif
}

namespace {
bool TracerAttached() {
  FILE* status = std::fopen("/proc/self/status", "r");
  if (!status) return false;
  char line[256];
  bool attached = false;
  while (std::fgets(line, sizeof line, status)) {
    if (std::strncmp(line, "TracerPid:", 10) == 0) {
      const char* p = line + 10;
      while (*p == ' ' || *p == '\t') ++p;
      attached = *p != '0' && *p != '\n' && *p != 0;
      break;
    }
  }
  std::fclose(status);
  return attached;
}
}  // namespace

void BreakIntoDebugger() {
  if (TracerAttached()) std::raise(SIGTRAP);
}

const char* EnvironmentVariable(const char* name) { return std::getenv(name); }

}  // namespace NUV::Platform
