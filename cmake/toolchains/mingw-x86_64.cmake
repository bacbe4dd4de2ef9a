# Cross build for x86_64 Windows with Debian's mingw-w64 compilers (posix thread
# flavour). Use: cmake -S . -B build/win-x86_64 -G Ninja \
#   -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NUV_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${NUV_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NUV_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${NUV_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${NUV_MINGW_PREFIX})
# Build tools (bison) come from the host; headers and libraries from the target.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's runtime (libgcc, libstdc++, winpthread) is linked in, so the
# programs need no DLL beside mervanik.dll.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
