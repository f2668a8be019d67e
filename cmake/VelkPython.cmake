# Finds what the Python module needs and sets VELK_PYTHON_DEFAULT (ON when it can be built)
# and VELK_PYTHON_REASON (why not).
#
# The interpreter is Python_EXECUTABLE when given (-DPython_EXECUTABLE=... or `make
# PYTHON=...`); otherwise the first of $PYTHON, /usr/bin/python3 and the `python3` on PATH that
# imports numpy. On machines where a separately installed Python comes first on PATH, this
# picks Debian's own interpreter, the one that sees Debian's python3-* packages.
set(VELK_PYTHON_DEFAULT OFF)
set(VELK_PYTHON_REASON "")

if(CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  # An instrumented extension cannot be loaded into an uninstrumented interpreter without
  # preloading the sanitizer runtimes; sanitizer builds test the C++ side only.
  set(VELK_PYTHON_REASON "a sanitizer build")
  return()
endif()

if(NOT Python_EXECUTABLE)
  set(velk_python_candidates "")
  if(DEFINED ENV{PYTHON} AND NOT "$ENV{PYTHON}" STREQUAL "")
    list(APPEND velk_python_candidates "$ENV{PYTHON}")
  endif()
  find_program(VELK_PATH_PYTHON3 python3)
  list(APPEND velk_python_candidates /usr/bin/python3 ${VELK_PATH_PYTHON3})
  foreach(candidate IN LISTS velk_python_candidates)
    execute_process(COMMAND "${candidate}" -c "import numpy"
      RESULT_VARIABLE velk_python_result OUTPUT_QUIET ERROR_QUIET)
    if(velk_python_result EQUAL 0)
      set(Python_EXECUTABLE "${candidate}" CACHE FILEPATH "The Python interpreter of the module")
      break()
    endif()
  endforeach()
  if(NOT Python_EXECUTABLE)
    set(VELK_PYTHON_REASON "no python3 that imports numpy (tried: ${velk_python_candidates})")
    return()
  endif()
endif()

find_package(Python 3.7 COMPONENTS Interpreter Development.Module QUIET)
if(NOT Python_FOUND)
  set(VELK_PYTHON_REASON "no Python development files for ${Python_EXECUTABLE} (python3-dev)")
  return()
endif()
find_package(pybind11 2.6 CONFIG QUIET)
if(NOT pybind11_FOUND)
  set(VELK_PYTHON_REASON "no pybind11 (pybind11-dev)")
  return()
endif()
set(VELK_PYTHON_DEFAULT ON)
