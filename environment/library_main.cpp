// What the library does when it is loaded into a process and when it is unloaded.

#include "engine/platform/system.h"
#include "engine/values/nuv_string.h"

namespace NUV {
namespace {

// One string lives from load to unload, so the string heap is not created and torn
// down again for every short-lived string a host makes.
class tLibraryLifetime {
public:
  tLibraryLifetime() : PermanentString(u"This is a dummy.") { Platform::MaskFloatingPointTraps(); }

private:
  tNUVString PermanentString;
};

tLibraryLifetime LibraryLifetime;

}  // namespace
}  // namespace NUV
