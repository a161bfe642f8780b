# Checks that DLL exports exactly the library's eleven functions by their plain
# names (no leading underscore, no @N suffix), reading `objdump -p`.
#   cmake -DOBJDUMP=... -DDLL=... -P check-exports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump -p ${DLL} failed (${rc})")
endif()
# The name table: lines such as "	[   0] +base[   1] 0000 CalibrateEvent".
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" start)
if(start EQUAL -1)
  message(FATAL_ERROR "${DLL} has no export name table")
endif()
string(SUBSTRING "${dump}" ${start} -1 table)
string(FIND "${table}" "\n\n" end)
string(SUBSTRING "${table}" 0 ${end} table)
string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]*" rows "${table}")
set(names "")
foreach(row ${rows})
  string(REGEX REPLACE ".* ([^ ]+)$" "\\1" name "${row}")
  list(APPEND names ${name})
endforeach()
set(expected CalibrateEvent CloseTouchInputHandle GetConnectedDeviceNum GetTouchInputInfo
    IsTouchWindow RESUMETHREAD RegisterTouchWindow SUSPENDTHREAD SetCalibrate
    UnregisterTouchWindow VersionNumber)
list(SORT names)
list(SORT expected)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "${DLL} exports\n  ${names}\nexpected\n  ${expected}")
endif()
message(STATUS "${DLL}: the eleven exports, undecorated")
