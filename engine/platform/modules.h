#pragma once
// Modules the engine loads on demand (Linux): shared objects installed beside
// the engine's own library.

#include <string>

namespace NUV::Platform {

// The address of symbol in the module fileName, loaded from the folder of the
// library (or program) that holds this code, else wherever the system's search
// finds it. Null, with the system's reason in error, when either fails. A loaded
// module stays loaded until the process ends.
void* LoadSiblingModuleSymbol(const char* fileName, const char* symbol, std::string& error);

}  // namespace NUV::Platform
