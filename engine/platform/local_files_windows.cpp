// The C runtime of Windows: its 64-bit positions and file information.
#if defined(_WIN32)
#include "engine/platform/local_files.h"

#include <sys/stat.h>
#include <sys/types.h>

namespace NUV::Platform {

int64_t FilePosition(std::FILE* file) { return static_cast<int64_t>(_ftelli64(file)); }

bool SetFilePosition(std::FILE* file, int64_t offset, int origin) {
  return _fseeki64(file, static_cast<__int64>(offset), origin) == 0;
}

bool IsOpenFolder(std::FILE* file) {
  struct _stat64 status;
  return _fstat64(_fileno(file), &status) == 0 && (status.st_mode & _S_IFMT) == _S_IFDIR;
}

tPathKind KindOfPath(const char* name) {
  struct _stat64 status;
  if (_stat64(name, &status) != 0) return tPathKind::Missing;
  return (status.st_mode & _S_IFMT) == _S_IFDIR ? tPathKind::Folder : tPathKind::File;
}

}  // namespace NUV::Platform
#endif
