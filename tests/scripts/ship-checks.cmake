# Included by the build of the shipped files (TACTRA_SHIP). Every build of a shipped
# file checks its imports against cmake/windows-imports.txt and fails the build when
# one would keep it from loading on Windows XP; ctest lists the imports again and
# checks the size budgets.
find_program(TACTRA_OBJDUMP NAMES ${TACTRA_MINGW_PREFIX}-objdump objdump REQUIRED)
set(TACTRA_IMPORT_ALLOW_LIST ${CMAKE_SOURCE_DIR}/cmake/windows-imports.txt)

# File and budget in bytes: what a download to a bare machine should stay within.
set(TACTRA_SIZE_BUDGETS
  Tactra 376832      # 368 KB: several touch devices (discovery of all, a reading and an engine
                     # each, touch priority, the device list, latency) about 29 KB, the touch
                     # settings (their window, smoothing, the click sound) about 19 KB
  tpinput 278528     # 272 KB: the replay source's trace parser takes about 19 KB, touch screens of
                     # any maker (layout discovery, frames, quirks) about 22 KB, the monitors
                     # and the virtual desktop about 8 KB, several touch devices about 23 KB
  Calibrate 212992   # 208 KB: numbering the devices as the library does (the discovery of
                     # every panel and touch screen) about 43 KB
  TouchTest 163840   # 160 KB: Test.exe
)

set(size_args "")
foreach(target Tactra tpinput Calibrate TouchTest tactra-replay)
  set(command ${CMAKE_COMMAND} -DOBJDUMP=${TACTRA_OBJDUMP} -DALLOW=${TACTRA_IMPORT_ALLOW_LIST}
              -DFILE=$<TARGET_FILE:${target}>)
  set(script -P ${CMAKE_SOURCE_DIR}/tests/scripts/check-imports.cmake)
  set(stamp ${CMAKE_BINARY_DIR}/${target}.imports-checked)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${command} -DQUIET=1 ${script}
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${target} ${TACTRA_IMPORT_ALLOW_LIST} ${CMAKE_SOURCE_DIR}/tests/scripts/check-imports.cmake
    COMMENT "Checking the imports of ${target}" VERBATIM)
  add_custom_target(${target}_import_check ALL DEPENDS ${stamp})
  add_test(NAME ship.imports.${target} COMMAND ${command} ${script})
endforeach()
list(LENGTH TACTRA_SIZE_BUDGETS n)
math(EXPR last "${n} - 1")
foreach(i RANGE 0 ${last} 2)
  math(EXPR j "${i} + 1")
  list(GET TACTRA_SIZE_BUDGETS ${i} target)
  list(GET TACTRA_SIZE_BUDGETS ${j} budget)
  list(APPEND size_args "$<TARGET_FILE:${target}>=${budget}")
endforeach()
add_test(NAME ship.sizes
  COMMAND ${CMAKE_COMMAND} "-DFILES=${size_args}" -P ${CMAKE_SOURCE_DIR}/tests/scripts/check-sizes.cmake)
# The check itself refuses what it does not know: a list without the imports fails.
add_test(NAME ship.imports.refuses-unlisted
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${TACTRA_OBJDUMP} -DALLOW=${CMAKE_SOURCE_DIR}/tests/data/imports-newer.txt
          -DFILE=$<TARGET_FILE:tpinput> -P ${CMAKE_SOURCE_DIR}/tests/scripts/check-imports.cmake)
set_tests_properties(ship.imports.refuses-unlisted PROPERTIES
  PASS_REGULAR_EXPRESSION "imports KERNEL32.DLL!GetTickCount, which needs Windows 6.0.*imports USER32.DLL!mouse_event, which the allow-list does not have")

# The 32-bit calling convention, which only the shipped DLL can show: each export
# undecorated and popping its own arguments (stdcall). The check refuses a DLL whose
# returns do not match: here, argument counts one off.
add_test(NAME ship.stdcall
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${TACTRA_OBJDUMP} -DDLL=$<TARGET_FILE:tpinput>
          -P ${CMAKE_SOURCE_DIR}/tests/scripts/check-stdcall.cmake)
add_test(NAME ship.stdcall.refuses-mismatch
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${TACTRA_OBJDUMP} -DDLL=$<TARGET_FILE:tpinput>
          "-DARGUMENTS=RegisterTouchWindow=3;SUSPENDTHREAD=1"
          -P ${CMAKE_SOURCE_DIR}/tests/scripts/check-stdcall.cmake)
set_tests_properties(ship.stdcall.refuses-mismatch PROPERTIES PASS_REGULAR_EXPRESSION
  "RegisterTouchWindow returns with `ret +\\$0x8`, popping 8 bytes, not 12 \\(3 x 4\\).*SUSPENDTHREAD returns with `ret *`, popping 0 bytes, not 4 \\(1 x 4\\)")

# The installer and the zip of `make dist`: the files that ship, byte for byte, and an
# installer that needs no administrator rights.
find_program(TACTRA_7Z NAMES 7z 7za REQUIRED)
add_test(NAME ship.dist
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${TACTRA_OBJDUMP} -DSEVENZIP=${TACTRA_7Z}
          -DSETUP=${TACTRA_INSTALLER} -DZIP=${TACTRA_INSTALLER_ZIP}
          -DPAYLOAD=${TACTRA_INSTALLER_PAYLOAD} -DNAMES=${CMAKE_BINARY_DIR}/installer/payload.txt
          -DWORK=${CMAKE_BINARY_DIR}/dist-check -P ${CMAKE_SOURCE_DIR}/tests/scripts/check-dist.cmake)
