# cmake -DSOURCE=<repo> -DBUILD=<folder> -DTOOLCHAIN=<file> -DVARIABLE=<SETUP_PAYLOAD_X..>
#       -DFILE=<payload> "-DEXPECTED=<words>" -P ConfigureWithPayload.cmake
# The configure step, given this payload, must stop and say these words.
file(REMOVE ${BUILD}/CMakeCache.txt)
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BUILD} --toolchain ${TOOLCHAIN}
                        -DCMAKE_BUILD_TYPE=MinSizeRel -D${VARIABLE}=${FILE}
                RESULT_VARIABLE failed OUTPUT_VARIABLE said ERROR_VARIABLE said)
# CMake folds long messages over lines.
string(REGEX REPLACE "[ \n]+" " " said "${said}")
if(NOT failed)
  message(FATAL_ERROR "The configure step took ${FILE} as ${VARIABLE}")
endif()
string(FIND "${said}" "${EXPECTED}" found)
if(found EQUAL -1)
  message(FATAL_ERROR "The configure step stopped without saying \"${EXPECTED}\":\n${said}")
endif()
