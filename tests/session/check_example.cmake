# Checks that the example of BackgroundLineSession stays one text in three places and runs as
# shown: the region between "// [example]" and "// [example end]" of the example program is
# the README's block after "<!-- example: cpp -->" and appears, comment marks removed, in the
# header's banner; the program prints the README's block after "<!-- output: cpp -->" and the
# header's "prints" block.
#
#   cmake -DREADME=... -DHEADER=... -DSOURCE=... -DPROGRAM=... -P check_example.cmake

function(fail message)
  message(FATAL_ERROR "check_example: ${message}")
endfunction()

# The fenced block (without its fences) that follows `marker` in `text`.
function(block_after text marker out)
  string(FIND "${text}" "${marker}" at)
  if(at EQUAL -1)
    fail("no ${marker} in README.md")
  endif()
  string(SUBSTRING "${text}" ${at} -1 rest)
  string(FIND "${rest}" "```" open)
  string(SUBSTRING "${rest}" ${open} -1 rest)
  string(FIND "${rest}" "\n" line_end)
  math(EXPR line_end "${line_end} + 1")
  string(SUBSTRING "${rest}" ${line_end} -1 rest)
  string(FIND "${rest}" "```" close)
  string(SUBSTRING "${rest}" 0 ${close} body)
  set(${out} "${body}" PARENT_SCOPE)
endfunction()

file(READ "${SOURCE}" source)
string(FIND "${source}" "  // [example]\n" begin)
string(FIND "${source}" "  // [example end]" end)
if(begin EQUAL -1 OR end EQUAL -1)
  fail("no example markers in ${SOURCE}")
endif()
string(LENGTH "  // [example]\n" marker_length)
math(EXPR begin "${begin} + ${marker_length}")
math(EXPR length "${end} - ${begin}")
string(SUBSTRING "${source}" ${begin} ${length} region)
# The program's region is indented by two spaces inside main(). (CMake's `^` matches where
# each search resumes, so every line is given a leading newline to match instead.)
string(REPLACE "\n  " "\n" region "\n${region}")
string(SUBSTRING "${region}" 1 -1 region)

file(READ "${README}" readme)
block_after("${readme}" "<!-- example: cpp -->" readme_code)
if(NOT readme_code STREQUAL region)
  fail("the README's C++ example differs from ${SOURCE}:\n--- README\n${readme_code}--- program\n${region}")
endif()

file(READ "${HEADER}" header)
string(REPLACE "\n//   " "\n" header_text "\n${header}")
string(REPLACE "\n//\n" "\n\n" header_text "${header_text}")
string(REPLACE "\n//\n" "\n\n" header_text "${header_text}")
string(FIND "${header_text}" "${region}" in_header)
if(in_header EQUAL -1)
  fail("the header's example differs from ${SOURCE}")
endif()

execute_process(COMMAND "${PROGRAM}" RESULT_VARIABLE status OUTPUT_VARIABLE output
  ERROR_QUIET)
if(NOT status EQUAL 0)
  fail("${PROGRAM} exited with ${status}")
endif()
block_after("${readme}" "<!-- output: cpp -->" readme_output)
if(NOT output STREQUAL readme_output)
  fail("the program printed\n${output}but the README shows\n${readme_output}")
endif()
string(FIND "${header_text}" "prints\n\n${output}" printed_in_header)
if(printed_in_header EQUAL -1)
  fail("the header's \"prints\" block differs from the program's output:\n${output}")
endif()
message(STATUS "check_example: README, header and program agree")
