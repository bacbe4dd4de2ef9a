#if defined(_WIN32)
#include "engine/platform/system.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <system_error>

#include <float.h>
#include <windows.h>

namespace NUV::Platform {

double ParseDecimalReal(const char* text) {
  // from_chars rounds correctly and ignores the locale; only the results out of
  // range (infinity, zero, subnormals) come from the runtime's strtod, in the C
  // locale.
  double value = 0;
  const char* end = text + std::strlen(text);
  std::from_chars_result result = std::from_chars(text, end, value);
  if (result.ec != std::errc::result_out_of_range) return value;
  static const _locale_t classic = _create_locale(LC_ALL, "C");
  return _strtod_l(text, nullptr, classic);
}

void MaskFloatingPointTraps() {
  // The C runtime's control word covers both the x87 unit and SSE.
  _controlfp(_MCW_EM, _MCW_EM);
}

void BreakIntoDebugger() {
  if (IsDebuggerPresent()) DebugBreak();
}

}  // namespace NUV::Platform
#endif
