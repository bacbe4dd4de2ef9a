#pragma once
// What C stdio leaves to the platform for local files: 64-bit positions and
// whether a name or an open file is a folder. Files themselves are opened with
// std::fopen; the mode is the platform's own (on Windows, without "b" the C
// runtime's text mode turns CR LF into LF when reading and LF into CR LF when
// writing; Linux reads and writes bytes unchanged either way).

#include <cstdint>
#include <cstdio>

namespace NUV::Platform {

// The position of the file, -1 when it cannot be told (a pipe, a terminal).
int64_t FilePosition(std::FILE* file);

// Moves the file position as fseek does (origin SEEK_SET, SEEK_CUR or SEEK_END);
// false on failure.
bool SetFilePosition(std::FILE* file, int64_t offset, int origin);

// Whether the open file is a folder.
bool IsOpenFolder(std::FILE* file);

enum class tPathKind { Missing, File, Folder };

// What the narrow name names.
tPathKind KindOfPath(const char* name);

}  // namespace NUV::Platform
