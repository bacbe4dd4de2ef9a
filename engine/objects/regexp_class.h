#pragma once
// The script-visible RegExp class (being built: the class object only).

#include "engine/objects/native_class.h"

namespace NUV {

class tNUVNC_RegExp : public tNUVNativeClass {
public:
  tNUVNC_RegExp();
};

}  // namespace NUV
