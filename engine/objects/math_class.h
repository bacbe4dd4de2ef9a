#pragma once
// The script-visible Math class (being built: the class object only).

#include "engine/objects/native_class.h"

namespace NUV {

class tNUVNC_Math : public tNUVNativeClass {
public:
  tNUVNC_Math();
};

}  // namespace NUV
