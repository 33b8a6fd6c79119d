# Script mode: writes a delay-import library for each of DLLS, holding exactly
# the functions of that DLL that ARCHIVE imports, so that Setup binds them at
# first use, after it has restricted where libraries may come from. Beside
# them, KEEP_FILE: linker options that keep each function's load thunk.
# Variables: NM, DLLTOOL, ARCHIVE, IMPORT_LIB_DIR, DLLS (comma-separated),
# SYMBOL_PREFIX, OUT_DIR, KEEP_FILE.

cmake_minimum_required(VERSION 3.25)

include(${CMAKE_CURRENT_LIST_DIR}/ImportedNames.cmake)

imported_names(${NM} ${ARCHIVE} U "${SYMBOL_PREFIX}" used DIRECT)
file(MAKE_DIRECTORY ${OUT_DIR})
string(REPLACE "," ";" dlls "${DLLS}")
set(keep)
foreach(dll IN LISTS dlls)
  imported_names(${NM} ${IMPORT_LIB_DIR}/lib${dll}.a I "${SYMBOL_PREFIX}" offered)
  set(exports)
  foreach(name IN LISTS used)
    if(name IN_LIST offered)
      string(APPEND exports "${name}\n")
      # The code reaches a function only through its slot, which holds the
      # thunk's address until the first call. The i686 linker drops a thunk
      # that no symbol refers to, and the slot then holds 0.
      string(APPEND keep "-Wl,-u,${SYMBOL_PREFIX}${name}\n")
    endif()
  endforeach()
  set(def ${OUT_DIR}/${dll}.def)
  file(WRITE ${def} "LIBRARY ${dll}.dll\nEXPORTS\n${exports}")
  execute_process(COMMAND ${DLLTOOL} --kill-at --input-def ${def} --dllname ${dll}.dll
                          --output-delaylib ${OUT_DIR}/lib${dll}-delay.a
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${DLLTOOL} cannot write the delay-import library of ${dll}")
  endif()
endforeach()
file(WRITE ${KEEP_FILE} "${keep}")
