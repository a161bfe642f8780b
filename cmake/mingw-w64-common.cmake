# Shared part of the mingw-w64 toolchain files. The shipped files are built with the
# compilers of the win32 thread model: the posix model links winpthreads, which
# imports GetTickCount64 (absent on Windows XP). The win32 model has no std::thread
# or std::mutex; the code uses neither, but GoogleTest does, so the test builds
# (which run the shipped files, or build their own) use the posix compilers.
if(NOT TACTRA_MINGW_THREADS)
  set(TACTRA_MINGW_THREADS win32)
endif()
set(CMAKE_C_COMPILER ${TACTRA_MINGW_PREFIX}-gcc-${TACTRA_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${TACTRA_MINGW_PREFIX}-g++-${TACTRA_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${TACTRA_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TACTRA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Nothing but system DLLs at run time: the C++ runtime and libgcc are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine. 64-bit Wine is called directly: Debian's wrapper
# prefers the 32-bit loader whenever it is installed, even where it cannot run.
if(TACTRA_MINGW_PREFIX STREQUAL "x86_64-w64-mingw32")
  find_program(TACTRA_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
  if(NOT TACTRA_WINE)
    find_program(TACTRA_WINE NAMES wine64 wine)
  endif()
else()
  find_program(TACTRA_WINE NAMES wine)
endif()
if(TACTRA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TACTRA_WINE})
endif()
