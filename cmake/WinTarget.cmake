# Compile and link settings shared by every Windows program of the project.
include_guard(GLOBAL)

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                        _WIN32_WINNT=0x0600 WINVER=0x0600
                        # msvcrt's own printf: "%s" in a wide format is wide text.
                        __USE_MINGW_ANSI_STDIO=0)
# No -fdata-sections: with it this GCC puts zero-filled objects into .data
# instead of .bss, so the file would carry them (4 KB for the log's line buffer).
add_compile_options(-Wall -Wextra -ffunction-sections)

# A Windows program that needs no DLL beyond the ones Windows ships. UNICODE_ENTRY:
# it starts at wWinMain or wmain.
function(win_program target)
  cmake_parse_arguments(arg "UNICODE_ENTRY" "" "" ${ARGN})
  if(arg_UNICODE_ENTRY)
    target_link_options(${target} PRIVATE -municode)
  endif()
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++
                      -Wl,--gc-sections $<$<CONFIG:MinSizeRel,Release>:-s>)
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
               -DCMAKE_BUILD_TYPE=MinSizeRel ${arg_ARGS}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${arg_UNPARSED_ARGUMENTS})
endfunction()
