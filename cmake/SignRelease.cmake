# Signs a Setup.exe for release: Authenticode with SHA-256 by osslsigncode.
# Beside it, in the format that "sha256sum -c" reads: <OUTPUT>.sha256, the
# signed file's sum, and <name>-unsigned.exe.sha256, the sum of INPUT, which
# is what removing the signature gives back.
#   cmake -DINPUT=Setup.exe -DOUTPUT=release/Setup.exe
#         (-DKEY=key.pem -DCERT=cert.pem | -DPKCS12=key.p12) [-DPASSWORD_FILE=file]
#         [-DTIMESTAMP_URL=url] [-DTEST_SIGNED=ON] -P cmake/SignRelease.cmake
# INPUT: an unsigned Setup.exe. KEY: a PEM private key, CERT: its PEM
# certificate or the chain from it; or PKCS12: a file holding both. A key with
# a password takes it from PASSWORD_FILE (its first line), else from the
# environment variable SETUP_SIGN_PASSWORD; never from a command line.
# TIMESTAMP_URL: an RFC 3161 time-stamp server. The release target runs this;
# so can you, on a Setup.exe that SetupPack wrote.
foreach(name INPUT OUTPUT)
  if(NOT ${name})
    message(FATAL_ERROR "SignRelease: -D${name}=... is missing")
  endif()
endforeach()
if(PKCS12)
  set(signer -pkcs12 ${PKCS12})
  set(key_file ${PKCS12})
elseif(KEY AND CERT)
  set(signer -certs ${CERT} -key ${KEY})
  set(key_file ${KEY})
else()
  message(FATAL_ERROR "SignRelease: give -DKEY=... with -DCERT=..., or -DPKCS12=...")
endif()
find_program(OSSLSIGNCODE osslsigncode REQUIRED)

set(feed)
set(password)
set(password_from "without a password (neither PASSWORD_FILE nor SETUP_SIGN_PASSWORD is set)")
if(PASSWORD_FILE)
  set(password -readpass ${PASSWORD_FILE})
  set(password_from "with the password in ${PASSWORD_FILE}")
elseif(DEFINED ENV{SETUP_SIGN_PASSWORD})
  # Through a pipe from the shell's own printf: no command line carries it.
  set(feed COMMAND sh -c [[printf %s "$SETUP_SIGN_PASSWORD"]])
  set(password -readpass /dev/stdin)
  set(password_from "with the password in SETUP_SIGN_PASSWORD")
endif()
set(stamp)
if(TIMESTAMP_URL)
  set(stamp -ts ${TIMESTAMP_URL})
endif()

get_filename_component(folder ${OUTPUT} DIRECTORY)
get_filename_component(name ${OUTPUT} NAME)
get_filename_component(stem ${OUTPUT} NAME_WLE)
get_filename_component(extension ${OUTPUT} LAST_EXT)
set(unsigned_name ${stem}-unsigned${extension})
file(MAKE_DIRECTORY ${folder})
# Nothing half-signed is left under the release's name.
file(REMOVE ${OUTPUT} ${OUTPUT}.sha256 ${OUTPUT}.unfinished ${folder}/${unsigned_name}.sha256)
# Without a terminal (setsid), osslsigncode cannot ask for another password
# when the one given is wrong: it fails instead of waiting.
execute_process(${feed}
                COMMAND setsid -w ${OSSLSIGNCODE} sign ${signer} ${password} ${stamp} -h sha256 -n Setup
                        -in ${INPUT} -out ${OUTPUT}.unfinished
                INPUT_FILE /dev/null RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(failed)
  file(REMOVE ${OUTPUT}.unfinished)
  if(output MATCHES "Wrong password")
    # The leading blank keeps CMake from folding the line.
    message(FATAL_ERROR " SignRelease: ${key_file} does not open ${password_from}.")
  endif()
  message(FATAL_ERROR "SignRelease: osslsigncode could not sign ${INPUT}:\n${output}")
endif()
file(RENAME ${OUTPUT}.unfinished ${OUTPUT})
function(write_sum file sum_name)
  file(SHA256 ${file} sum)
  file(WRITE ${folder}/${sum_name}.sha256 "${sum}  ${sum_name}\n")
  message(STATUS "SHA-256 of ${sum_name}: ${sum}")
endfunction()
write_sum(${OUTPUT} ${name})
write_sum(${INPUT} ${unsigned_name})
message(STATUS "Signed ${OUTPUT}")
if(TEST_SIGNED)
  message(WARNING "${OUTPUT} is TEST-SIGNED with a self-signed certificate that no machine "
                  "trusts. Do not ship it: set SETUP_SIGN_KEY and SETUP_SIGN_CERT, or "
                  "SETUP_SIGN_PKCS12, to your own.")
endif()
