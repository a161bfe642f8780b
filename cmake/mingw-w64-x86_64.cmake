# Cross build of the Windows test programs for 64-bit Windows, run under 64-bit Wine:
# on every machine, including those that cannot execute 32-bit code, where the
# 32-bit suites are skipped.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TACTRA_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
