# Compile and link settings shared by every Windows program of the project.
include_guard(GLOBAL)

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                        _WIN32_WINNT=0x0600 WINVER=0x0600
                        # msvcrt's own printf: "%s" in a wide format is wide text.
                        __USE_MINGW_ANSI_STDIO=0)
# No -fdata-sections: with it this GCC puts zero-filled objects into .data
# instead of .bss, so the file would carry them (4 KB for the log's line buffer).
# Sources are named relative to the repository, wherever it is checked out.
get_filename_component(repo ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
add_compile_options(-Wall -Wextra -ffunction-sections -ffile-prefix-map=${repo}/=)

# The linker stamps each image with the time of its sources, not of its build,
# so that two builds of one commit are the same bytes: SOURCE_DATE_EPOCH when
# set, else the time of the commit checked out. Sub-builds are given their
# parent's.
if(NOT DEFINED SETUP_SOURCE_DATE_EPOCH)
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(SETUP_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
  else()
    execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${repo}
                    OUTPUT_VARIABLE SETUP_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    # Each commit has its time: HEAD's log grows with every move of HEAD.
    execute_process(COMMAND git rev-parse --path-format=absolute --git-path logs/HEAD WORKING_DIRECTORY ${repo}
                    OUTPUT_VARIABLE head_log OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(EXISTS "${head_log}")
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${head_log})
    endif()
  endif()
endif()
if(NOT SETUP_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "No time stamp for the images: set SOURCE_DATE_EPOCH to the seconds since 1970 "
                      "of the sources' last change, or build from a git checkout")
endif()
# Written only when it changes; the images are linked again when it does.
set(SETUP_SOURCE_DATE_FILE ${CMAKE_BINARY_DIR}/source-date-epoch)
file(CONFIGURE OUTPUT ${SETUP_SOURCE_DATE_FILE} CONTENT "${SETUP_SOURCE_DATE_EPOCH}\n")

# A Windows program that needs no DLL beyond the ones Windows ships. UNICODE_ENTRY:
# it starts at wWinMain or wmain.
function(win_program target)
  cmake_parse_arguments(arg "UNICODE_ENTRY" "" "" ${ARGN})
  if(arg_UNICODE_ENTRY)
    target_link_options(${target} PRIVATE -municode)
  endif()
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++
                      -Wl,--gc-sections $<$<CONFIG:MinSizeRel,Release>:-s>)
  set_property(TARGET ${target} PROPERTY CXX_LINKER_LAUNCHER env SOURCE_DATE_EPOCH=${SETUP_SOURCE_DATE_EPOCH})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${SETUP_SOURCE_DATE_FILE})
endfunction()

# Cross build of a sub-project with the toolchain cmake/mingw-<toolchain>.cmake.
# Further arguments: the files it makes, then ARGS and its cache settings.
function(win_cross_build name source_dir toolchain out_dir)
  cmake_parse_arguments(arg "" "" "ARGS" ${ARGN})
  include(ExternalProject)
  ExternalProject_Add(${name}
    SOURCE_DIR ${source_dir}
    BINARY_DIR ${out_dir}
    CMAKE_ARGS --toolchain ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/mingw-${toolchain}.cmake
               -DCMAKE_BUILD_TYPE=MinSizeRel -DSETUP_SOURCE_DATE_EPOCH=${SETUP_SOURCE_DATE_EPOCH} ${arg_ARGS}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${arg_UNPARSED_ARGUMENTS})
endfunction()
