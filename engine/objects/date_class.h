#pragma once
// The script-visible Date class (being built: the class object only).

#include "engine/objects/native_class.h"

namespace NUV {

class tNUVNC_Date : public tNUVNativeClass {
public:
  tNUVNC_Date();
};

}  // namespace NUV
