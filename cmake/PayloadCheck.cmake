# Payloads given to the build are checked before anything is built: a tool for
# the wrong machine in a slot makes a Setup that fails on every machine of
# that kind. The check is SetupPack's own (tools/pe), run by a 64-bit program
# under Wine, which is built here once.
include_guard(GLOBAL)

function(setup_payload_checker out)
  set(dir ${CMAKE_BINARY_DIR}/payload-check)
  if(NOT EXISTS ${dir}/CMakeCache.txt)
    execute_process(COMMAND ${CMAKE_COMMAND} -S ${PROJECT_SOURCE_DIR}/tools/PayloadCheck -B ${dir}
                            --toolchain ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/mingw-x86_64.cmake
                            -DCMAKE_BUILD_TYPE=MinSizeRel
                    RESULT_VARIABLE failed OUTPUT_QUIET ERROR_VARIABLE errors)
  endif()
  if(NOT failed)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${dir}
                    RESULT_VARIABLE failed OUTPUT_QUIET ERROR_VARIABLE errors)
  endif()
  if(failed)
    message(FATAL_ERROR "The payload check could not be built in ${dir}:\n${errors}")
  endif()
  set(${out} ${dir}/PayloadCheck.exe PARENT_SCOPE)
endfunction()

# setup_check_payload(variable machine slot): stops the configure step unless
# the file named by the variable is a PE executable for machine (i386, AMD64).
function(setup_check_payload variable machine slot)
  setup_payload_checker(checker)
  set(file ${${variable}})
  wine_path(checked ${file})
  execute_process(COMMAND env ${SETUP_WINE_SETTINGS} WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix-configure
                          ${WINE64_LOADER} ${checker} ${machine} ${checked}
                  RESULT_VARIABLE verdict OUTPUT_VARIABLE what ERROR_VARIABLE errors
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(verdict GREATER_EQUAL 2 AND verdict LESS_EQUAL 7)
    message(FATAL_ERROR "${variable} (${slot}): ${file} is ${what}; "
                        "this slot takes a PE executable for ${machine}.")
  elseif(NOT verdict EQUAL 0)
    message(FATAL_ERROR "The payload check did not run (${verdict}): ${errors}")
  endif()
  # A new file in the same place is checked again.
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
endfunction()
