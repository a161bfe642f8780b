# Sets `args` to the tool's options a trace asks for: "# args: ..." on its first
# or second line (after a heading), split as a shell would; empty otherwise.
# Included by the trace checks with TRACE set.
file(STRINGS ${TRACE} head LIMIT_COUNT 2)
set(args "")
foreach(line IN LISTS head)
  if(line MATCHES "^# args: (.*)$")
    separate_arguments(args UNIX_COMMAND "${CMAKE_MATCH_1}")
  endif()
endforeach()
