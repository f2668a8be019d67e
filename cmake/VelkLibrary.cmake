# velk_add_library(<target> NAMESPACE <Lumora|Velk> ALIAS <name> EXPORT_MACRO <PREFIX>
#                  HEADER_DIR <dir> INCLUDE_ROOT <dir> SOURCES ... [DEPENDS ...])
#
# One shared library of the project: hidden visibility with a generated export
# header <HEADER_DIR>/<lower(prefix)>_export.hpp, VERSION/SOVERSION, a namespaced
# alias used in-tree and by installed consumers, and install rules.
function(velk_add_library target)
  cmake_parse_arguments(ARG "" "NAMESPACE;ALIAS;EXPORT_MACRO;HEADER_DIR;INCLUDE_ROOT;INSTALL_INCLUDE_ROOT"
    "SOURCES;HEADERS;DEPENDS" ${ARGN})
  add_library(${target} SHARED ${ARG_SOURCES} ${ARG_HEADERS})
  add_library(${ARG_NAMESPACE}::${ARG_ALIAS} ALIAS ${target})
  set_target_properties(${target} PROPERTIES
    EXPORT_NAME ${ARG_ALIAS}
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
  string(TOLOWER ${ARG_EXPORT_MACRO} export_lower)
  set(export_file ${PROJECT_BINARY_DIR}/exports/${ARG_HEADER_DIR}/${export_lower}_export.hpp)
  generate_export_header(${target}
    BASE_NAME ${ARG_EXPORT_MACRO}
    EXPORT_MACRO_NAME ${ARG_EXPORT_MACRO}_API
    EXPORT_FILE_NAME ${export_file})
  target_compile_features(${target} PUBLIC cxx_std_17)
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${ARG_INCLUDE_ROOT}>
    $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/exports>
    $<INSTALL_INTERFACE:${ARG_INSTALL_INCLUDE_ROOT}>)
  target_link_libraries(${target} PUBLIC ${ARG_DEPENDS})
  velk_set_warnings(${target})
  if(ARG_NAMESPACE STREQUAL "Lumora")
    set(export_set VelkLumoraTargets)
  else()
    set(export_set VelkTargets)
  endif()
  install(TARGETS ${target} EXPORT ${export_set}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  foreach(header ${ARG_HEADERS})
    file(RELATIVE_PATH relative ${ARG_INCLUDE_ROOT} ${CMAKE_CURRENT_SOURCE_DIR}/${header})
    get_filename_component(relative_dir ${relative} DIRECTORY)
    install(FILES ${header} DESTINATION ${ARG_INSTALL_INCLUDE_ROOT}/${relative_dir})
  endforeach()
  install(FILES ${export_file} DESTINATION ${ARG_INSTALL_INCLUDE_ROOT}/${ARG_HEADER_DIR})
endfunction()

# Warnings every project target is built with. Frame pointers are kept too: the stack an
# exception records is walked through them, in release builds as well.
function(velk_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -fno-omit-frame-pointer)
  if(VELK_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
