# Signs a Setup.exe for release: Authenticode with SHA-256 by osslsigncode,
# and <OUTPUT>.sha256 beside it, in the format that "sha256sum -c" reads.
#   cmake -DINPUT=Setup.exe -DOUTPUT=release/Setup.exe -DKEY=key.pem -DCERT=cert.pem
#         [-DTEST_SIGNED=ON] -P cmake/SignRelease.cmake
# KEY: a PEM private key without a passphrase; CERT: its PEM certificate, or
# the chain from it. The release target runs this; so can you, on a Setup.exe
# that SetupPack wrote.
foreach(name INPUT OUTPUT KEY CERT)
  if(NOT ${name})
    message(FATAL_ERROR "SignRelease: -D${name}=... is missing")
  endif()
endforeach()
find_program(OSSLSIGNCODE osslsigncode REQUIRED)

get_filename_component(folder ${OUTPUT} DIRECTORY)
get_filename_component(name ${OUTPUT} NAME)
file(MAKE_DIRECTORY ${folder})
# Nothing half-signed is left under the release's name.
file(REMOVE ${OUTPUT} ${OUTPUT}.sha256 ${OUTPUT}.unfinished)
execute_process(COMMAND ${OSSLSIGNCODE} sign -certs ${CERT} -key ${KEY} -h sha256 -n Setup
                        -in ${INPUT} -out ${OUTPUT}.unfinished
                RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(failed)
  file(REMOVE ${OUTPUT}.unfinished)
  message(FATAL_ERROR "SignRelease: osslsigncode could not sign ${INPUT}:\n${output}")
endif()
file(RENAME ${OUTPUT}.unfinished ${OUTPUT})
file(SHA256 ${OUTPUT} sum)
file(WRITE ${OUTPUT}.sha256 "${sum}  ${name}\n")
message(STATUS "Signed ${OUTPUT}; SHA-256 ${sum}")
if(TEST_SIGNED)
  message(WARNING "${OUTPUT} is TEST-SIGNED with a self-signed certificate that no machine "
                  "trusts. Do not ship it: set SETUP_SIGN_KEY and SETUP_SIGN_CERT to your own.")
endif()
