#include "engine/compiler/tokens.h"

namespace NUV {

const char* NUVTokenName(int32_t code) {
  switch (code) {
    case T_END_OF_TEXT: return "$end";
#define NUV_TOKEN(name, value, spelling) \
  case name: return spelling;
    NUV_TOKEN_LIST
#undef NUV_TOKEN
    default: return nullptr;
  }
}

}  // namespace NUV
