include_guard(GLOBAL)

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
  target_link_libraries(${target} PRIVATE setupcore)
  win_program(${target} UNICODE_ENTRY)
  if(ARGN)
    add_dependencies(${target} ${ARGN})
  endif()
endfunction()
