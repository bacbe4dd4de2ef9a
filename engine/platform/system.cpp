#include "engine/platform/system.h"

#include <cstdint>
#include <cstdlib>

#if !defined(_WIN32)
#include <cfenv>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <locale.h>
#endif

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

const char* EnvironmentVariable(const char* name) { return std::getenv(name); }

// Windows versions of the three below: system_windows.cpp.
#if !defined(_WIN32)
double ParseDecimalReal(const char* text) {
  // The global locale's decimal point may be a comma.
  static const locale_t classic = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return strtod_l(text, nullptr, classic);
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
#endif

}  // namespace NUV::Platform
