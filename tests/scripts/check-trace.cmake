# Replays TRACE and compares standard output with TRACE minus ".trace" plus ".expected".
# The first or second line of the trace (after a heading) may hold "# args: ..." with
# the tool's options.
file(REMOVE_RECURSE ${WORKDIR})
file(MAKE_DIRECTORY ${WORKDIR})
include(${CMAKE_CURRENT_LIST_DIR}/trace-args.cmake)
string(REGEX REPLACE "\\.trace$" ".expected" expected_file ${TRACE})
execute_process(COMMAND ${REPLAY} ${args} ${TRACE}
  WORKING_DIRECTORY ${WORKDIR}
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
file(READ ${expected_file} expected)
if(NOT out STREQUAL expected)
  file(WRITE ${WORKDIR}/actual.txt "${out}")
  message(FATAL_ERROR "output differs from ${expected_file} (exit ${rc}):\n${err}\n"
                      "--- expected\n${expected}--- actual\n${out}")
endif()
