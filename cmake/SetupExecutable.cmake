include_guard(GLOBAL)

# Libraries Setup binds at first use: after wWinMain has restricted the search
# for libraries to the system directory, and then by full path. Only the
# kernel and the C runtime are bound when the process starts.
set(SETUP_DELAYED_DLLS user32 advapi32)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(SETUP_SYMBOL_PREFIX "_")
endif()
set(SETUP_DELAY_DIR ${CMAKE_BINARY_DIR}/delayimports)
string(REPLACE ";" "," delayed_dlls "${SETUP_DELAYED_DLLS}")
set(SETUP_DELAY_LIBS)
foreach(dll IN LISTS SETUP_DELAYED_DLLS)
  list(APPEND SETUP_DELAY_LIBS ${SETUP_DELAY_DIR}/lib${dll}-delay.a)
endforeach()
set(SETUP_DELAY_KEEP ${SETUP_DELAY_DIR}/keep-thunks.rsp)
add_custom_command(
  OUTPUT ${SETUP_DELAY_LIBS} ${SETUP_DELAY_KEEP}
  COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DDLLTOOL=${CMAKE_DLLTOOL}
          -DARCHIVE=$<TARGET_FILE:setupcore> -DIMPORT_LIB_DIR=${CMAKE_FIND_ROOT_PATH}/lib
          -DDLLS=${delayed_dlls} "-DSYMBOL_PREFIX=${SETUP_SYMBOL_PREFIX}"
          -DOUT_DIR=${SETUP_DELAY_DIR} -DKEEP_FILE=${SETUP_DELAY_KEEP} -P ${PROJECT_SOURCE_DIR}/cmake/DelayImports.cmake
  DEPENDS setupcore ${PROJECT_SOURCE_DIR}/cmake/DelayImports.cmake ${PROJECT_SOURCE_DIR}/cmake/ImportedNames.cmake
  COMMENT "Delay-import libraries of Setup")
add_custom_target(setup_delay_imports DEPENDS ${SETUP_DELAY_LIBS} ${SETUP_DELAY_KEEP})

# Setup.exe in out_dir, carrying payload_x86 as BIN/145 and payload_x64 as
# BIN/146. Further arguments are targets that produce the payloads.
function(setup_executable target out_dir payload_x86 payload_x64)
  set(PAYLOAD_X86 ${payload_x86})
  set(PAYLOAD_X64 ${payload_x64})
  set(SETUP_MANIFEST ${PROJECT_SOURCE_DIR}/resources/Setup.manifest)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/resources/Setup.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} PROPERTIES
    OBJECT_DEPENDS "${payload_x86};${payload_x64};${SETUP_MANIFEST}")

  add_executable(${target} WIN32 ${PROJECT_SOURCE_DIR}/setup/WinMain.cpp
                 ${PROJECT_SOURCE_DIR}/setup/TerminateHandler.cpp ${rc})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME Setup RUNTIME_OUTPUT_DIRECTORY ${out_dir})
  # The delay-import libraries come after setupcore and before its import
  # libraries, so that they are the ones that resolve its calls.
  target_link_libraries(${target} PRIVATE setupcore ${SETUP_DELAY_LIBS})
  target_link_options(${target} PRIVATE @${SETUP_DELAY_KEEP})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${SETUP_DELAY_KEEP})
  add_dependencies(${target} setup_delay_imports)
  win_program(${target} UNICODE_ENTRY)
  if(ARGN)
    add_dependencies(${target} ${ARGN})
  endif()
endfunction()
