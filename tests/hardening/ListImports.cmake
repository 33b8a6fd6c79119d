# Script mode: writes OUT, a C++ list of the functions that ARCHIVE imports
# from DLLs (its "__imp_" references), one quoted name a line, as the DLLs
# export them: without the i686 symbols' decoration (SYMBOL_PREFIX, "@<n>").
# Variables: NM, ARCHIVE, SYMBOL_PREFIX, OUT.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/ImportedNames.cmake)
imported_names(${NM} ${ARCHIVE} U "${SYMBOL_PREFIX}" decorated)
list(TRANSFORM decorated REPLACE "@[0-9]+$" "" OUTPUT_VARIABLE names)
list(SORT names)
set(text "")
foreach(name IN LISTS names)
  string(APPEND text "\"${name}\",\n")
endforeach()
file(WRITE ${OUT}.new "${text}")
file(COPY_FILE ${OUT}.new ${OUT} ONLY_IF_DIFFERENT)
