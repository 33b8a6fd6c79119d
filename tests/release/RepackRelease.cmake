# cmake "-DPREFIX=<VARIABLE=value;...>" -DSETUPPACK=<exe> -DRELEASE=<signed Setup.exe> -DX86=<exe> -DX64=<exe>
#       -DOUTPUT=<Setup.exe> "-DSIGN=<SignRelease's settings>" -DSIGNER=<SignRelease.cmake> -P RepackRelease.cmake
# The way an installer engineer ships a tool of their own in the released
# Setup.exe: SetupPack refuses the signed file as it is, takes it with
# --drop-signature, and the release step signs the result again (whose
# sum and signature release.RepackedSum and release.RepackedVerifies check).
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/Wine.cmake)
get_filename_component(folder ${OUTPUT} DIRECTORY)
set(unsigned ${folder}/unsigned/Setup.exe)
file(REMOVE_RECURSE ${folder})
file(MAKE_DIRECTORY ${folder}/unsigned)
file(SHA256 ${RELEASE} released)

function(pack expected)
  wine_path(files ${RELEASE} ${X86} ${X64} ${unsigned})
  list(POP_FRONT files release x86 x64 out)
  execute_process(COMMAND env ${PREFIX} ${WINE32_LOADER} ${SETUPPACK} ${release} --x86 ${x86} --x64 ${x64} -o ${out} ${ARGN}
                  RESULT_VARIABLE code OUTPUT_VARIABLE said ERROR_VARIABLE said)
  if(NOT code EQUAL expected)
    message(FATAL_ERROR "SetupPack ${ARGN} ended with ${code}, not ${expected}:\n${said}")
  endif()
endfunction()

pack(9)
if(EXISTS ${unsigned})
  message(FATAL_ERROR "A refused re-pack left ${unsigned}")
endif()
pack(0 --drop-signature)
file(SHA256 ${RELEASE} after)
if(NOT after STREQUAL released)
  message(FATAL_ERROR "SetupPack changed its input ${RELEASE}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -DINPUT=${unsigned} -DOUTPUT=${OUTPUT} ${SIGN} -P ${SIGNER}
                RESULT_VARIABLE failed OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(failed)
  message(FATAL_ERROR "The release step did not sign the re-packed Setup.exe:\n${said}")
endif()
