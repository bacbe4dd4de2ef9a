// What the library does when it is loaded into a process and when it is unloaded.
//
// The object below is linked last into the library, so it is constructed after
// every other static object of the library (the message tables among them) and
// destroyed before them: the engine it releases can still use them. On Linux it
// also sets up and releases the script environment; on Windows the attach and
// detach notifications of DllMain do that, which the C runtime sends after the
// static objects are constructed and before they are destroyed.

#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "engine/platform/system.h"
#include "engine/values/nuv_string.h"
#include "environment/environment.h"
#include "environment/program_arguments.h"

namespace NUV {
namespace {

void AttachToProcess() {
  try {
    MrvkInitScriptEnvironment();
  } catch (...) {
    // Nothing may leave a load-time notification; a host finds no engine and can
    // call MrvkInitScriptEnvironment itself.
    std::fputs("mervanik: the script environment could not be set up\n", stderr);
  }
}

void DetachFromProcess() {
  try {
    MrvkReleaseScriptEnvironment();
  } catch (...) {
    // Unloading goes on; the process is ending or the library leaves it.
  }
  FreeProgramArguments();
}

class tLibraryLifetime {
public:
  tLibraryLifetime() : PermanentString(u"This is a dummy.") {
    Platform::MaskFloatingPointTraps();
    // NUV_DEBUG=1 starts the first engine in debug mode (call tracing, object
    // tracking and the report of objects not freed), for hosts that cannot ask.
    const char* debug = Platform::EnvironmentVariable("NUV_DEBUG");
    if (debug && std::strcmp(debug, "1") == 0) MrvkEnableNUVDebugMode(true);
#if !defined(_WIN32)
    AttachToProcess();
#endif
  }
  ~tLibraryLifetime() {
#if !defined(_WIN32)
    DetachFromProcess();
#endif
  }
  tLibraryLifetime(const tLibraryLifetime&) = delete;
  tLibraryLifetime& operator=(const tLibraryLifetime&) = delete;

private:
  // One string lives from load to unload, so the string heap is not created and
  // torn down again for every short-lived string a host makes.
  tNUVString PermanentString;
};

tLibraryLifetime LibraryLifetime;

}  // namespace
}  // namespace NUV

#if defined(_WIN32)
// Attaching and detaching threads does nothing.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) NUV::AttachToProcess();
  if (reason == DLL_PROCESS_DETACH) NUV::DetachFromProcess();
  return TRUE;
}
#endif
