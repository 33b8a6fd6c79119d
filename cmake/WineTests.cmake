# Running the Windows test programs under Wine, in prefixes of the build folder.
include_guard(GLOBAL)
include(GoogleTest)

# Every prefix of a preset's tests, the drivers' build included, lies in this
# one folder, which the scripts give each Wine of its own (tools/root/route.sh).
set(SETUP_WINE_PREFIXES_DIR ${CMAKE_BINARY_DIR}/wineprefixes CACHE PATH "Where the tests' Wine prefixes live")

# wine_prefix(name loader [setting...]): the prefix <name> of the prefixes'
# folder, with one wineserver for the whole run (otherwise each program waits
# ~3 s for it to quit), as the test fixture <name>. The settings
# (WINEARCH=win32) hold for every program run there. Sets WINE_<name>_ENV and
# WINE_<name>_EMULATOR.
function(wine_prefix name loader)
  set(env ${SETUP_WINE_SETTINGS} WINEPREFIX=${SETUP_WINE_PREFIXES_DIR}/${name} ${ARGN})
  foreach(action start stop)
    add_test(NAME ${name}.wineserver_${action}
             COMMAND env ${env} ${PROJECT_SOURCE_DIR}/tools/wineserver.sh ${action} ${loader} ${WINESERVER})
  endforeach()
  set_tests_properties(${name}.wineserver_start PROPERTIES FIXTURES_SETUP ${name})
  set_tests_properties(${name}.wineserver_stop PROPERTIES FIXTURES_CLEANUP ${name})
  set(WINE_${name}_ENV ${env} PARENT_SCOPE)
  set(WINE_${name}_EMULATOR env ${env} ${loader} PARENT_SCOPE)
endfunction()

# Under software emulation a Wine process start costs about a second, so a
# build made for the guest runs each test program once per prefix instead of
# once per case, and lists nothing at run time.
option(SETUP_TESTS_PER_PROGRAM "One ctest test per test program and prefix" OFF)

# wine_gtest(target [REGISTRY] [OWN_PROCESSES] [FILTER f] [TIMEOUT s] [PREFIXES p...]):
# each test of the target as a ctest test of its own, in each prefix named
# (default: SETUP_WINE_PREFIXES), called "<prefix>.<test>" where the build has
# several. REGISTRY: the tests change Wine's registry, so one at a time.
# OWN_PROCESSES: each case needs a fresh process (run-once state), so with
# SETUP_TESTS_PER_PROGRAM the target is left to the host's x64 build.
function(wine_gtest target)
  cmake_parse_arguments(arg "REGISTRY;OWN_PROCESSES" "FILTER;TIMEOUT" "PREFIXES" ${ARGN})
  if(SETUP_TESTS_PER_PROGRAM AND arg_OWN_PROCESSES)
    set_property(TARGET ${target} PROPERTY EXCLUDE_FROM_ALL ON)
    return()
  endif()
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
    set(name_prefix)
    if(count GREATER 1)
      set(name_prefix ${prefix}.)
    endif()
    if(SETUP_TESTS_PER_PROGRAM)
      set(filter)
      if(arg_FILTER)
        set(filter --gtest_filter=${arg_FILTER})
        # "-*Harness*:Desktop.*" names the test "<target>.except_Harness_Desktop".
        string(REGEX REPLACE "^-" "except_" suffix "${arg_FILTER}")
        string(REGEX REPLACE "[^A-Za-z0-9]+" "_" suffix "${suffix}")
        string(REGEX REPLACE "^_|_$" "" suffix "${suffix}")
        set(suffix .${suffix})
      endif()
      set(name ${name_prefix}${target}${suffix})
      add_test(NAME ${name} COMMAND ${WINE_${prefix}_EMULATOR} $<TARGET_FILE:${target}> ${filter})
      set_tests_properties(${name} PROPERTIES ${properties})
      continue()
    endif()
    set(filter)
    if(arg_FILTER)
      set(filter TEST_FILTER ${arg_FILTER})
    endif()
    # Read by the call below, for discovery and for every test it adds.
    set_property(TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR ${WINE_${prefix}_EMULATOR})
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         TEST_PREFIX "${name_prefix}" ${filter} PROPERTIES ${properties})
  endforeach()
endfunction()
