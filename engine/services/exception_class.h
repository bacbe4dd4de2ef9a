#pragma once
// The script-visible Exception class: `new Exception(message, trace)` gives an
// object whose members "message" and "trace" hold the two arguments (empty strings
// when absent or void). The interpreter makes instances of whatever the global
// member "Exception" holds when it turns an engine error into a catchable value.

#include "engine/objects/native_class.h"

namespace NUV {

class tNUVNC_Exception : public tNUVNativeClass {
public:
  tNUVNC_Exception();
};

}  // namespace NUV
