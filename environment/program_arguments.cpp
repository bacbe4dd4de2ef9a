#include "environment/program_arguments.h"

#include <cstring>

#include "engine/values/nuv_string.h"
#include "environment/environment.h"

namespace NUV {
namespace {

struct tProgramArguments {
  tProgramArgumentMap Map;
  std::vector<std::u16string> List;
  bool MapFilled = false;
  bool ListFilled = false;
};

tProgramArguments Arguments;

// Raises NUVNarrowToWideConversionError for bytes invalid in the code page.
std::u16string WideOf(const char* narrow) {
  tNUVString text(narrow ? narrow : "");
  return std::u16string(text.c_str(), static_cast<size_t>(text.GetLen()));
}

std::u16string WideOf(const tNUVString* text) {
  if (!text) return std::u16string();
  return std::u16string(text->c_str(), static_cast<size_t>(text->GetLen()));
}

}  // namespace

const tProgramArgumentMap& ProgramArgumentMap() { return Arguments.Map; }
const std::vector<std::u16string>& ProgramArgumentList() { return Arguments.List; }

void FreeProgramArguments() {
  Arguments.Map.clear();
  Arguments.List.clear();
  Arguments.MapFilled = Arguments.ListFilled = false;
}

extern "C" {

void MrvkInitProgramArguments(int32_t argc, char** argv) {
  if (!Arguments.MapFilled) {
    Arguments.MapFilled = true;
    for (int32_t i = 1; i < argc; ++i) {
      std::u16string text = WideOf(argv[i]);
      if (argv[i] && argv[i][0] == '-') {
        size_t equals = text.find(u'=');
        if (equals != std::u16string::npos)
          Arguments.Map[text.substr(0, equals)] = text.substr(equals + 1);
        else
          Arguments.Map[text] = u"yes";
      } else {
        Arguments.Map[text] = std::u16string();
      }
    }
  }
  if (!Arguments.ListFilled) {
    Arguments.ListFilled = true;
    Arguments.List.clear();
    for (int32_t i = 0; i < argc; ++i) Arguments.List.push_back(WideOf(argv[i]));
  }
}

void MrvkAddProgramArgument(const tNUVString* key, const tNUVString* value) {
  Arguments.Map[WideOf(key)] = WideOf(value);
}

}  // extern "C"

}  // namespace NUV
