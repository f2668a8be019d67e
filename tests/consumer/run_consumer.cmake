# cmake -P script run by the Consumer test (see CMakeLists.txt beside it for its inputs).
#  1. cmake --install the project's build tree into WORK_DIR/staging;
#  2. rename the staging prefix to WORK_DIR/prefix: an installed package that still pointed at
#     the staging path, the build tree or the source tree would fail the checks or the host;
#  3. check the exported targets and the run paths of the installed libraries and programs;
#  4. configure the host with CMAKE_PREFIX_PATH=<prefix> (package registries off), build it, run it;
#  5. compile every installed header through the package's include paths;
#  6. build and run the program of docs/cpp.md's "The full API" against the package, and
#     compare what it prints with the output the page shows.
cmake_minimum_required(VERSION 3.25)

foreach(input VELK_BUILD_DIR VELK_SOURCE_DIR WORK_DIR HOST_SOURCE_DIR GENERATOR CXX_COMPILER
              EXPECTED_TARGETS CPP_GUIDE)
  if(NOT DEFINED ${input} OR "${${input}}" STREQUAL "")
    message(FATAL_ERROR "run_consumer.cmake: ${input} is not set")
  endif()
endforeach()
string(REPLACE "," ";" EXPECTED_TARGETS "${EXPECTED_TARGETS}")

function(run step)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${step} failed (${result}):\n${output}")
  endif()
  set(output "${output}" PARENT_SCOPE)
endfunction()

set(staging ${WORK_DIR}/staging)
set(prefix ${WORK_DIR}/prefix)
set(host_build ${WORK_DIR}/host-build)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

# 1-2. Install, then move the prefix.
set(config_arguments "")
if(CONFIG)
  set(config_arguments --config ${CONFIG})
endif()
run("cmake --install" ${CMAKE_COMMAND} --install ${VELK_BUILD_DIR} --prefix ${staging}
  ${config_arguments})
file(RENAME ${staging} ${prefix})

# 3. The package files name no path outside the prefix and declare every library.
file(GLOB package_dirs ${prefix}/lib*/cmake/VelkBackgroundLine)
list(LENGTH package_dirs package_dir_count)
if(NOT package_dir_count EQUAL 1)
  message(FATAL_ERROR "expected one installed package directory, found: '${package_dirs}'")
endif()
file(GLOB package_files ${package_dirs}/*.cmake)
set(declared_targets "")
foreach(package_file ${package_files})
  file(READ ${package_file} text)
  foreach(foreign_path ${staging} ${VELK_BUILD_DIR} ${VELK_SOURCE_DIR})
    string(FIND "${text}" "${foreign_path}" position)
    if(NOT position EQUAL -1)
      message(FATAL_ERROR "${package_file} names '${foreign_path}': the package is not relocatable")
    endif()
  endforeach()
  string(REGEX MATCHALL "add_library\\(([A-Za-z_]+::[A-Za-z_]+) SHARED IMPORTED\\)" imports
    "${text}")
  foreach(import ${imports})
    string(REGEX REPLACE "add_library\\(([^ ]+) .*" "\\1" name "${import}")
    list(APPEND declared_targets ${name})
  endforeach()
endforeach()
foreach(target ${EXPECTED_TARGETS})
  if(NOT target IN_LIST declared_targets)
    message(FATAL_ERROR "the installed package does not export ${target} "
      "(exported: ${declared_targets})")
  endif()
endforeach()

file(GLOB installed_libraries ${prefix}/lib*/*.so)
if(NOT installed_libraries)
  message(FATAL_ERROR "no shared library installed under ${prefix}")
endif()
file(GLOB installed_programs ${prefix}/bin/*)
foreach(binary ${installed_libraries} ${installed_programs})
  set(rpath "")
  set(runpath "")
  file(READ_ELF ${binary} RPATH rpath RUNPATH runpath CAPTURE_ERROR not_elf)  # scripts: no paths
  foreach(entry ${rpath} ${runpath})
    string(REPLACE ":" ";" entry "${entry}")
    foreach(path ${entry})
      if(NOT path MATCHES "^\\$ORIGIN")
        message(FATAL_ERROR "${binary} has the run path '${path}': the package is not relocatable")
      endif()
    endforeach()
  endforeach()
endforeach()

# 4. The host project: find the package in the moved prefix only, build, run.
set(host_configure ${CMAKE_COMMAND} -S ${HOST_SOURCE_DIR} -B ${host_build} -G ${GENERATOR}
  -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
  -DCMAKE_PREFIX_PATH=${prefix}
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
  -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF)
if(CONFIG)
  list(APPEND host_configure -DCMAKE_BUILD_TYPE=${CONFIG})
endif()
# Sanitizer builds: the host must be instrumented like the libraries it loads.
if(CXX_FLAGS)
  list(APPEND host_configure "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}")
endif()
if(EXE_LINKER_FLAGS)
  list(APPEND host_configure "-DCMAKE_EXE_LINKER_FLAGS=${EXE_LINKER_FLAGS}")
endif()
run("configuring the host" ${host_configure})

file(STRINGS ${host_build}/CMakeCache.txt package_dir_line REGEX "^VelkBackgroundLine_DIR:")
string(REGEX REPLACE "^[^=]*=" "" found_package_dir "${package_dir_line}")
file(REAL_PATH "${found_package_dir}" found_package_dir)
file(REAL_PATH "${package_dirs}" expected_package_dir)
if(NOT found_package_dir STREQUAL expected_package_dir)
  message(FATAL_ERROR "the host found the package in '${found_package_dir}', "
    "not in the installed prefix '${expected_package_dir}'")
endif()

run("building the host" ${CMAKE_COMMAND} --build ${host_build})
run("running the host" ${host_build}/host)
message(STATUS "host output:\n${output}")
if(NOT output MATCHES "host: curve well-A, 2 vertices, 1 edge, edge 0 from 0 to 2.5")
  message(FATAL_ERROR "unexpected host output:\n${output}")
endif()

# 5. Every installed header compiles in a consumer that knows only the package's include paths
#    (catches a public header that includes a header which is not installed).
set(headers_source ${WORK_DIR}/all-headers)
set(headers_build ${WORK_DIR}/all-headers-build)
file(GLOB_RECURSE installed_headers RELATIVE ${prefix}/include ${prefix}/include/*.hpp)
set(includes "")
foreach(header ${installed_headers})
  string(REGEX REPLACE "^velk/contracts/" "" header "${header}")
  string(APPEND includes "#include <${header}>\n")
endforeach()
file(WRITE ${headers_source}/all_headers.cpp "${includes}")
file(WRITE ${headers_source}/CMakeLists.txt [=[
cmake_minimum_required(VERSION 3.25)
project(VelkConsumerHeaders LANGUAGES CXX)
find_package(VelkBackgroundLine CONFIG REQUIRED)
add_library(all_headers OBJECT all_headers.cpp)
target_link_libraries(all_headers PRIVATE Velk::BackgroundLine)
]=])
list(TRANSFORM host_configure REPLACE "^${HOST_SOURCE_DIR}$" "${headers_source}")
list(TRANSFORM host_configure REPLACE "^${host_build}$" "${headers_build}")
run("configuring the all-headers project" ${host_configure})
run("compiling every installed header" ${CMAKE_COMMAND} --build ${headers_build})

# 6. The guide's program: the first ```cpp block of its section, and the ```text block after
#    it for what it must print.
file(READ ${CPP_GUIDE} guide)
# The title is matched as a whole line, so that a longer title starting with it does not count.
set(section_title "## The full API")
string(FIND "${guide}" "\n${section_title}\n" section_start)
if(section_start EQUAL -1)
  message(FATAL_ERROR "${CPP_GUIDE} has no section '${section_title}'")
endif()
string(SUBSTRING "${guide}" ${section_start} -1 rest)
function(take_block fence text_variable rest_variable)
  set(text "${${rest_variable}}")
  string(FIND "${text}" "\n${fence}\n" start)
  if(start EQUAL -1)
    message(FATAL_ERROR "no ${fence} block in ${CPP_GUIDE}, section '${section_title}'")
  endif()
  string(LENGTH "\n${fence}\n" fence_length)
  math(EXPR start "${start} + ${fence_length}")
  string(SUBSTRING "${text}" ${start} -1 text)
  string(FIND "${text}" "\n```" end)
  math(EXPR end "${end} + 1")
  string(SUBSTRING "${text}" 0 ${end} block)
  string(SUBSTRING "${text}" ${end} -1 text)
  set(${text_variable} "${block}" PARENT_SCOPE)
  set(${rest_variable} "${text}" PARENT_SCOPE)
endfunction()
take_block("```cpp" example_source rest)
take_block("```text" example_output rest)
set(example_dir ${WORK_DIR}/guide-example)
set(example_build ${WORK_DIR}/guide-example-build)
file(WRITE ${example_dir}/main.cpp "${example_source}")
file(WRITE ${example_dir}/CMakeLists.txt [=[
cmake_minimum_required(VERSION 3.25)
project(VelkGuideExample LANGUAGES CXX)
find_package(VelkBackgroundLine CONFIG REQUIRED)
add_executable(guide_example main.cpp)
target_link_libraries(guide_example PRIVATE Velk::BackgroundLine)
]=])
list(TRANSFORM host_configure REPLACE "^${headers_source}$" "${example_dir}")
list(TRANSFORM host_configure REPLACE "^${headers_build}$" "${example_build}")
run("configuring the guide's program" ${host_configure})
run("building the guide's program" ${CMAKE_COMMAND} --build ${example_build})
execute_process(COMMAND ${example_build}/guide_example RESULT_VARIABLE result
  OUTPUT_VARIABLE printed ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the guide's program failed (${result}):\n${printed}${errors}")
endif()
if(NOT printed STREQUAL example_output)
  message(FATAL_ERROR "the guide's program printed\n${printed}\nbut ${CPP_GUIDE} shows\n"
    "${example_output}")
endif()
