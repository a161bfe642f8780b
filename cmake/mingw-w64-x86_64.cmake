# Cross build of the Windows test programs for 64-bit Windows. The machines that run
# the suite execute no 32-bit Linux binaries, so 32-bit Wine cannot start there; the
# same sources are built for x86_64 and run under 64-bit Wine instead.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TACTRA_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
