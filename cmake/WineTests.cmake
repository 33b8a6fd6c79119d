# Running the Windows test programs under Wine, in prefixes of the build folder.
include_guard(GLOBAL)
include(GoogleTest)

# wine_prefix(name loader folder [setting...]): a prefix in the build folder
# with one wineserver for the whole run (otherwise each program waits ~3 s for
# it to quit), as the test fixture <name>. The settings (WINEARCH=win32) hold
# for every program run there. Sets WINE_<name>_ENV and WINE_<name>_EMULATOR.
function(wine_prefix name loader folder)
  set(env ${SETUP_WINE_SETTINGS} WINEPREFIX=${CMAKE_BINARY_DIR}/${folder} ${ARGN})
  foreach(action start stop)
    add_test(NAME ${name}.wineserver_${action}
             COMMAND env ${env} ${PROJECT_SOURCE_DIR}/tools/wineserver.sh ${action} ${loader} ${WINESERVER})
  endforeach()
  set_tests_properties(${name}.wineserver_start PROPERTIES FIXTURES_SETUP ${name})
  set_tests_properties(${name}.wineserver_stop PROPERTIES FIXTURES_CLEANUP ${name})
  set(WINE_${name}_ENV ${env} PARENT_SCOPE)
  set(WINE_${name}_EMULATOR env ${env} ${loader} PARENT_SCOPE)
endfunction()

# wine_gtest(target [REGISTRY] [FILTER f] [TIMEOUT s] [PREFIXES p...]): each
# test of the target as a ctest test of its own, in each prefix named
# (default: SETUP_WINE_PREFIXES), called "<prefix>.<test>" where the build has
# several. REGISTRY: the tests change Wine's registry, so one at a time.
function(wine_gtest target)
  cmake_parse_arguments(arg "REGISTRY" "FILTER;TIMEOUT" "PREFIXES" ${ARGN})
  if(NOT arg_PREFIXES)
    set(arg_PREFIXES ${SETUP_WINE_PREFIXES})
  endif()
  list(LENGTH SETUP_WINE_PREFIXES count)
  foreach(prefix IN LISTS arg_PREFIXES)
    set(properties FIXTURES_REQUIRED ${prefix})
    if(arg_REGISTRY)
      list(APPEND properties RESOURCE_LOCK ${prefix}_registry)
    endif()
    if(arg_TIMEOUT)
      list(APPEND properties TIMEOUT ${arg_TIMEOUT})
    endif()
    set(filter)
    if(arg_FILTER)
      set(filter TEST_FILTER ${arg_FILTER})
    endif()
    set(name_prefix)
    if(count GREATER 1)
      set(name_prefix ${prefix}.)
    endif()
    # Read by the call below, for discovery and for every test it adds.
    set_property(TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR ${WINE_${prefix}_EMULATOR})
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         TEST_PREFIX "${name_prefix}" ${filter} PROPERTIES ${properties})
  endforeach()
endfunction()
