#pragma once
// Helpers shared by the fuzz targets: input bytes as engine text, and a console
// output that drops everything.

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/platform/text_conversion.h"
#include "engine/services/console_output.h"
#include "engine/values/nuv_string.h"

namespace NUV::Fuzz {

// The input as UTF-8 text; false for bytes that are not UTF-8 (a host's loader
// rejects those before the engine sees them).
inline bool InputText(const uint8_t* data, size_t size, tNUVString& text) {
  std::u16string wide;
  if (!Platform::NarrowToWide(reinterpret_cast<const char*>(data), size, wide)) return false;
  text = tNUVString(wide);
  return true;
}

class tSilentConsole final : public iNUVConsoleOutput {
public:
  void PrintOther(const char16_t*) override {}
  void Print(const char16_t*) override {}
};

}  // namespace NUV::Fuzz
