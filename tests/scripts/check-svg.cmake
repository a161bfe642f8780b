# Replays TRACE with --svg and checks the picture: the usual output is unchanged,
# the file is well-formed XML (xmllint), it has one contact path per contact that
# touched and one gesture label per "gesture" line, in order. The first two lines
# of the trace may hold "# args: ..." with the tool's options.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORKDIR})
file(MAKE_DIRECTORY ${WORKDIR}/run)
if(NOT XMLLINT)
  message(FATAL_ERROR "xmllint is missing: install libxml2-utils (cmake/install-deps.sh native)")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/trace-args.cmake)
string(REGEX REPLACE "\\.trace$" ".expected" expected_file ${TRACE})
set(svg ${WORKDIR}/picture.svg)

execute_process(COMMAND ${REPLAY} ${args} --svg ${svg} ${TRACE}
  WORKING_DIRECTORY ${WORKDIR}/run
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
file(READ ${expected_file} expected)
if(NOT rc EQUAL 0 OR NOT out STREQUAL expected)
  message(FATAL_ERROR "with --svg the output differs from ${expected_file} (exit ${rc}):\n${err}\n"
                      "--- expected\n${expected}--- actual\n${out}")
endif()
if(NOT EXISTS ${svg})
  message(FATAL_ERROR "no picture written")
endif()
execute_process(COMMAND ${XMLLINT} --noout ${svg} ERROR_VARIABLE lint RESULT_VARIABLE lint_rc)
if(NOT lint_rc EQUAL 0)
  message(FATAL_ERROR "the picture is not well-formed XML:\n${lint}")
endif()
file(READ ${svg} picture)

# Gesture labels, in order, against the gesture lines.
# A trace of several devices names the device after the tick ("[NAME] ").
string(REGEX MATCHALL "[0-9]+ (\\[[^]]*\\] )?gesture [A-Za-z]+" gesture_lines "${out}")
set(wanted "")
foreach(line IN LISTS gesture_lines)
  string(REGEX REPLACE " (\\[[^]]*\\] )?gesture " " " line "${line}")
  list(APPEND wanted "${line}")
endforeach()
string(REGEX MATCHALL "<text class=\"gesture\"[^>]*>[^<]*</text>" label_elements "${picture}")
set(labels "")
foreach(element IN LISTS label_elements)
  string(REGEX REPLACE "^<text[^>]*>([^<]*)</text>$" "\\1" text "${element}")
  list(APPEND labels "${text}")
endforeach()
if(NOT labels STREQUAL wanted)
  message(FATAL_ERROR "gesture labels differ from the gesture lines:\n"
                      "lines:  ${wanted}\nlabels: ${labels}")
endif()

# The contacts that touched, from the batches: a record with DOWN (0x02).
if("--batches" IN_LIST args OR "--library" IN_LIST args)
  set(batches_out "${out}")
else()
  file(REMOVE_RECURSE ${WORKDIR}/run)
  file(MAKE_DIRECTORY ${WORKDIR}/run)
  execute_process(COMMAND ${REPLAY} ${args} --batches ${TRACE}
    WORKING_DIRECTORY ${WORKDIR}/run
    OUTPUT_VARIABLE batches_out RESULT_VARIABLE rc)
endif()
set(touched1 0)
set(touched2 0)
string(REGEX MATCHALL "[0-9]+ (\\[[^]]*\\] )?batch [^\n]*" batch_lines "${batches_out}")
foreach(line IN LISTS batch_lines)
  string(REGEX REPLACE "^([0-9]+) \\[[^]]*\\]" "\\1" line "${line}")
  string(REPLACE " " ";" fields "${line}")
  list(LENGTH fields n)
  foreach(slot 1 2)
    math(EXPR at "3 + (${slot} - 1) * 4")
    if(at LESS n)
      list(GET fields ${at} flags)
      math(EXPR down "${flags} & 2")
      if(down)
        set(touched${slot} 1)
      endif()
    endif()
  endforeach()
endforeach()
math(EXPR contacts "${touched1} + ${touched2}")
string(REGEX MATCHALL "<path class=\"contact\"" paths "${picture}")
list(LENGTH paths path_count)
if(NOT path_count EQUAL contacts)
  message(FATAL_ERROR "${path_count} contact paths for ${contacts} contacts that touched")
endif()
