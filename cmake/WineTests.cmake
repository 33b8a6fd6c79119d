# Running the 64-bit Windows test programs under Wine, in a prefix of the build folder.
include_guard(GLOBAL)

set(SETUP_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(SETUP_WINE_ENV WINEPREFIX=${SETUP_WINEPREFIX} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=)
set(CMAKE_CROSSCOMPILING_EMULATOR env ${SETUP_WINE_ENV} ${WINE64_LOADER})

# One wineserver for the whole run; otherwise each program waits ~3 s for it to quit.
add_test(NAME wineserver_start
         COMMAND env ${SETUP_WINE_ENV} ${PROJECT_SOURCE_DIR}/tools/wineserver.sh start
                 ${WINE64_LOADER} ${WINESERVER})
add_test(NAME wineserver_stop
         COMMAND env ${SETUP_WINE_ENV} ${PROJECT_SOURCE_DIR}/tools/wineserver.sh stop
                 ${WINE64_LOADER} ${WINESERVER})
set_tests_properties(wineserver_start PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wineserver_stop PROPERTIES FIXTURES_CLEANUP wine)

# Test programs link the product's code and are run under Wine.
function(wine_test_properties)
  set_tests_properties(${ARGN} PROPERTIES FIXTURES_REQUIRED wine)
endfunction()
