#if !defined(_WIN32)

#include "engine/platform/modules.h"

#include <dlfcn.h>

namespace NUV::Platform {

void* LoadSiblingModuleSymbol(const char* fileName, const char* symbol, std::string& error) {
  void* module = nullptr;
  Dl_info self{};
  if (dladdr(reinterpret_cast<void*>(&LoadSiblingModuleSymbol), &self) && self.dli_fname) {
    std::string path(self.dli_fname);
    size_t slash = path.rfind('/');
    path = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + fileName;
    module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  }
  if (!module) module = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    const char* reason = dlerror();
    error = reason ? reason : fileName;
    return nullptr;
  }
  void* address = dlsym(module, symbol);
  if (!address) {
    const char* reason = dlerror();
    error = reason ? reason : symbol;
  }
  return address;
}

}  // namespace NUV::Platform

#endif
