# Checks, on the 32-bit tpinput.dll itself, that each of its eleven exports is
# exported by its plain name (check-exports.cmake) and pops its own arguments as
# stdcall does: the first return on its path from the entry (following unconditional
# jumps, as a tail call takes) is `ret N` with N four times its argument count (a bare `ret` for none).
# A client declaring the functions WINAPI would otherwise leave the stack unbalanced
# after every call. Reads `objdump -p` for the entries and `objdump -d` for the code.
#   cmake -DOBJDUMP=... -DDLL=... [-DARGUMENTS=Name=N;...] -P check-stdcall.cmake
# ARGUMENTS replaces the argument counts of the named exports (the check of the check).

# Each export and its argument count, as tpinput.h declares them.
set(counts
  RegisterTouchWindow=2 UnregisterTouchWindow=1 IsTouchWindow=2 GetTouchInputInfo=4
  CloseTouchInputHandle=1 GetConnectedDeviceNum=1 VersionNumber=1 SUSPENDTHREAD=0
  RESUMETHREAD=0 SetCalibrate=1 CalibrateEvent=2)
foreach(entry ${ARGUMENTS})
  string(REGEX REPLACE "=.*" "" name "${entry}")
  list(FILTER counts EXCLUDE REGEX "^${name}=")
  list(APPEND counts ${entry})
endforeach()

# The names first: exactly the eleven, undecorated (sets `dump` and the name table's `rows`).
include(${CMAKE_CURRENT_LIST_DIR}/check-exports.cmake)
set(name_rows ${rows})
if(NOT dump MATCHES "file format pei-i386")
  message(FATAL_ERROR "${DLL} is not a 32-bit x86 image: stdcall is a 32-bit convention")
endif()
string(REGEX MATCH "ImageBase[\t ]+([0-9a-fA-F]+)" _ "${dump}")
set(base 0x${CMAKE_MATCH_1})

# The export address table: ordinal index -> RVA.
string(FIND "${dump}" "Export Address Table -- Ordinal Base" at)
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" names_at)
if(at EQUAL -1 OR names_at EQUAL -1)
  message(FATAL_ERROR "${DLL} has no export table")
endif()
math(EXPR length "${names_at} - ${at}")
string(SUBSTRING "${dump}" ${at} ${length} addresses)
string(REGEX MATCHALL "\\[ *[0-9]+\\] \\+base\\[ *[0-9]+\\] +[0-9a-fA-F]+ Export RVA" rows "${addresses}")
foreach(row ${rows})
  string(REGEX MATCH "^\\[ *([0-9]+)\\] \\+base\\[ *[0-9]+\\] +([0-9a-fA-F]+)" _ "${row}")
  set(rva_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
endforeach()
# The name table's rows ("[   6] RegisterTouchWindow"): name -> ordinal index.
foreach(row ${name_rows})
  string(REGEX MATCH "^\\[ *([0-9]+)\\] (.* )?([^ ]+)$" _ "${row}")
  set(index_${CMAKE_MATCH_3} ${CMAKE_MATCH_1})
endforeach()

set(failures "")
foreach(entry ${counts})
  string(REGEX REPLACE "=.*" "" name "${entry}")
  string(REGEX REPLACE ".*=" "" arguments "${entry}")
  if(NOT DEFINED index_${name})
    list(APPEND failures "${name} is not exported by that name")
    continue()
  endif()
  math(EXPR address "${base} + 0x${rva_${index_${name}}}" OUTPUT_FORMAT HEXADECIMAL)
  # Walk from the entry to its first return, through at most four jumps.
  set(found "")
  foreach(hop RANGE 3)
    math(EXPR stop "${address} + 4096" OUTPUT_FORMAT HEXADECIMAL)
    execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn --start-address=${address}
                            --stop-address=${stop} ${DLL}
                    OUTPUT_VARIABLE code RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "objdump -d ${DLL} failed (${rc})")
    endif()
    string(REGEX MATCH "\n *[0-9a-f]+:\t(ret[a-z]* *(\\$0x[0-9a-f]+)?|jmp +[0-9a-f]+ <)" first "${code}")
    if(first MATCHES "\tjmp +([0-9a-f]+)")
      set(address 0x${CMAKE_MATCH_1})
      continue()
    endif()
    set(found "${first}")
    break()
  endforeach()
  if(found STREQUAL "")
    list(APPEND failures "${name}: no return found from its entry")
    continue()
  endif()
  set(popped 0)
  if(found MATCHES "\\$(0x[0-9a-f]+)")
    math(EXPR popped "${CMAKE_MATCH_1}")
  endif()
  math(EXPR wanted "4 * ${arguments}")
  string(STRIP "${found}" shown)
  string(REGEX REPLACE "^[0-9a-f]+:\t" "" shown "${shown}")
  if(NOT popped EQUAL wanted)
    list(APPEND failures
         "${name} returns with `${shown}`, popping ${popped} bytes, not ${wanted} (${arguments} x 4)")
  else()
    message(STATUS "${name}: `${shown}` pops ${wanted} bytes (${arguments} x 4)")
  endif()
endforeach()

if(failures)
  # Indented lines keep their form in CMake's error message.
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "${DLL}:\n  ${text}")
endif()
message(STATUS "${DLL}: the eleven exports, undecorated, each popping its arguments (stdcall)")
