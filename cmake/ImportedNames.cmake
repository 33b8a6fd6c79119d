# imported_names(nm file kind prefix out): the names behind the "__imp_<prefix>"
# symbols of the given nm kind (U: used, I: offered by an import library) in
# file. DIRECT: the names used without "__imp_" too, as a function declared
# without dllimport is called through its import library's thunk.
function(imported_names nm file kind prefix out)
  cmake_parse_arguments(arg "DIRECT" "" "" ${ARGN})
  execute_process(COMMAND ${nm} ${file} OUTPUT_VARIABLE listing ERROR_QUIET RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${nm} cannot read ${file}")
  endif()
  set(imp "__imp_")
  if(arg_DIRECT)
    set(imp "(__imp_)?")
  endif()
  string(REGEX MATCHALL " ${kind} ${imp}${prefix}[^\n]+" symbols "${listing}")
  set(names)
  foreach(symbol IN LISTS symbols)
    string(REGEX REPLACE "^ ${kind} ${imp}${prefix}" "" name "${symbol}")
    list(APPEND names ${name})
  endforeach()
  list(REMOVE_DUPLICATES names)
  set(${out} ${names} PARENT_SCOPE)
endfunction()
