// Linux; the Windows version is local_files_windows.cpp.
#if !defined(_WIN32)
#include "engine/platform/local_files.h"

#include <sys/stat.h>

namespace NUV::Platform {

int64_t FilePosition(std::FILE* file) { return static_cast<int64_t>(ftello(file)); }

bool SetFilePosition(std::FILE* file, int64_t offset, int origin) {
  return fseeko(file, static_cast<off_t>(offset), origin) == 0;
}

bool IsOpenFolder(std::FILE* file) {
  struct stat status;
  return fstat(fileno(file), &status) == 0 && S_ISDIR(status.st_mode);
}

tPathKind KindOfPath(const char* name) {
  struct stat status;
  if (stat(name, &status) != 0) return tPathKind::Missing;
  return S_ISDIR(status.st_mode) ? tPathKind::Folder : tPathKind::File;
}

}  // namespace NUV::Platform
#endif
