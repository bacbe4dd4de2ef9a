#pragma once
// iNUVRuntime: what running code needs from the engine that owns it.
//
// Compiled code reaches its engine through its script block; the interpreter and
// the code context objects see only this interface, so they can be tested with a
// small fake and the engine stays the one place that knows the global object, the
// console and the expression cache.

#include <cstdint>

#include "engine/objects/custom_object.h"
#include "engine/objects/dispatch_interface.h"
#include "engine/values/nuv_string.h"
#include "engine/values/variant.h"

namespace NUV {

class iNUVRuntime {
public:
  // The global object, without a reference added (the engine keeps it). It is a
  // script object, so the interpreter reaches its members directly.
  virtual tNUVCustomObject* GetGlobalNoAddRef() = 0;
  // One line through the engine's console output (nothing when there is none).
  virtual void OutputToConsole(const tNUVString& line) = 0;
  virtual void OutputExceptionToConsole(const tNUVString& line) = 0;
  // Evaluates an expression text with thisObject as its context (the eval
  // instruction); result may be null.
  virtual void EvalExpression(const tNUVString& text, tNUVVariant* result, iNUVDispatch2* thisObject) = 0;

protected:
  ~iNUVRuntime() = default;
};

}  // namespace NUV
