# Replays TRACE and compares standard output with TRACE minus ".trace" plus ".expected"
# (or with EXPECTED, when given). The first or second line of the trace (after a
# heading) may hold "# args: ..." with the tool's options; EXTRA_ARGS adds more.
file(REMOVE_RECURSE ${WORKDIR})
file(MAKE_DIRECTORY ${WORKDIR})
include(${CMAKE_CURRENT_LIST_DIR}/trace-args.cmake)
if(EXPECTED)
  set(expected_file ${EXPECTED})
else()
  string(REGEX REPLACE "\\.trace$" ".expected" expected_file ${TRACE})
endif()
execute_process(COMMAND ${REPLAY} ${args} ${EXTRA_ARGS} ${TRACE}
  WORKING_DIRECTORY ${WORKDIR}
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
file(READ ${expected_file} expected)
if(NOT out STREQUAL expected)
  file(WRITE ${WORKDIR}/actual.txt "${out}")
  message(FATAL_ERROR "output differs from ${expected_file} (exit ${rc}):\n${err}\n"
                      "--- expected\n${expected}--- actual\n${out}")
endif()
