# Checks what `make dist` hands out, without running it: the installer is a 32-bit
# program that Windows 7 runs without asking for administrator rights, and it and
# the zip hold exactly the staged files that ship, byte for byte (the installer is
# unpacked with 7-Zip, which reads NSIS installers).
#   cmake -DOBJDUMP=... -DSEVENZIP=... -DSETUP=... -DZIP=... -DPAYLOAD=dir -DNAMES=payload.txt
#         -DWORK=dir -P check-dist.cmake
set(problems "")

execute_process(COMMAND ${OBJDUMP} -p ${SETUP} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT dump MATCHES "Magic[ \t]+010b")
  list(APPEND problems "the installer is not a PE32 (32-bit) image")
endif()
if(dump MATCHES "MajorSubsystemVersion[ \t]+([0-9]+)\n" AND CMAKE_MATCH_1 GREATER 5)
  list(APPEND problems "the installer's subsystem version ${CMAKE_MATCH_1} is newer than Windows XP")
endif()

file(STRINGS ${NAMES} names)
list(SORT names)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/zip ${WORK}/setup)

# The manifest of the installer and of the uninstaller it writes: run as invoked.
function(check_manifest file what)
  file(STRINGS ${file} levels REGEX "requestedExecutionLevel")
  if(NOT levels MATCHES "level=\"asInvoker\"")
    list(APPEND problems "${what} does not run as invoked (its manifest asks for other rights)")
    set(problems "${problems}" PARENT_SCOPE)
  endif()
endfunction()
check_manifest(${SETUP} "the installer")

execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${ZIP} WORKING_DIRECTORY ${WORK}/zip RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  list(APPEND problems "the zip does not unpack (${rc})")
endif()
execute_process(COMMAND ${SEVENZIP} x -y -o${WORK}/setup ${SETUP} OUTPUT_QUIET RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  list(APPEND problems "7-Zip cannot unpack the installer (${rc})")
endif()
if(EXISTS ${WORK}/setup/Uninstall.exe)
  check_manifest(${WORK}/setup/Uninstall.exe "the uninstaller")
else()
  list(APPEND problems "the installer writes no Uninstall.exe")
endif()

# The installer's own files: its plug-ins and the uninstaller it writes.
file(GLOB zip_files RELATIVE ${WORK}/zip ${WORK}/zip/*)
file(GLOB setup_files RELATIVE ${WORK}/setup ${WORK}/setup/*)
list(REMOVE_ITEM setup_files "$PLUGINSDIR" "Uninstall.exe")
foreach(kind zip setup)
  list(SORT ${kind}_files)
  if(NOT "${${kind}_files}" STREQUAL "${names}")
    string(JOIN " " held ${${kind}_files})
    string(JOIN " " shipped ${names})
    list(APPEND problems "the ${kind} holds [${held}], the files that ship are [${shipped}]")
  endif()
  foreach(name ${${kind}_files})
    if(EXISTS ${PAYLOAD}/${name})
      execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/${kind}/${name} ${PAYLOAD}/${name}
                      RESULT_VARIABLE differ)
      if(differ)
        list(APPEND problems "the ${kind}'s ${name} differs from the file that ships")
      endif()
    endif()
  endforeach()
endforeach()

string(JOIN " " shipped ${names})
message(STATUS "installer and zip: ${shipped}")
if(problems)
  string(REPLACE ";" "\n  " text "${problems}")
  message(FATAL_ERROR "${SETUP}:\n  ${text}")
endif()
