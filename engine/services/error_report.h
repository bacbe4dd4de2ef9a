#pragma once
// Reporting of exceptions that cannot propagate.
//
// Releasing an object may run its finalizer, which is script code and may raise.
// Where such a release happens inside a destructor the exception cannot leave (it
// would end the process), so it is caught there and reported through the process's
// error reporter instead: the engine points the reporter at its console; until then
// reports go to standard error. The quiet stop (eNUVSilent) is dropped silently.

#include "engine/values/nuv_string.h"

namespace NUV {

using tNUVErrorReporter = void (*)(const tNUVString& message);

// Installs a reporter (null restores the standard-error one); returns the old one.
tNUVErrorReporter NUVSetErrorReporter(tNUVErrorReporter reporter);

// To be called inside a catch (...) block: reports the exception being handled.
void NUVReportCurrentException() noexcept;

// Releases one reference; an exception raised by the release is reported.
void NUVReleaseNoThrow(class iNUVDispatch2* object) noexcept;

}  // namespace NUV
