// What the library does when it is loaded into a process and when it is unloaded.
//
// The object below is linked last into the library, so it is constructed after
// every other static object of the library (the message tables among them) and
// destroyed before them: the engine it releases can still use them.

#include <cstdio>
#include <cstring>

#include "engine/platform/system.h"
#include "engine/values/nuv_string.h"
#include "environment/environment.h"
#include "environment/program_arguments.h"

namespace NUV {
namespace {

class tLibraryLifetime {
public:
  tLibraryLifetime() : PermanentString(u"This is a dummy.") {
    Platform::MaskFloatingPointTraps();
    // NUV_DEBUG=1 starts the first engine in debug mode (call tracing, object
    // tracking and the report of objects not freed), for hosts that cannot ask.
    const char* debug = Platform::EnvironmentVariable("NUV_DEBUG");
    if (debug && std::strcmp(debug, "1") == 0) MrvkEnableNUVDebugMode(true);
    try {
      MrvkInitScriptEnvironment();
    } catch (...) {
      // Nothing may leave a load-time constructor; a host finds no engine and can
      // call MrvkInitScriptEnvironment itself.
      std::fputs("mervanik: the script environment could not be set up\n", stderr);
    }
  }
  ~tLibraryLifetime() {
    try {
      MrvkReleaseScriptEnvironment();
    } catch (...) {
      // Unloading goes on; the process is ending or the library leaves it.
    }
    FreeProgramArguments();
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
