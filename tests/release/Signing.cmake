# cmake -DCASE=<case> -DINPUT=<unsigned Setup.exe> -DWORK=<folder> -DSIGNER=<SignRelease.cmake> -P Signing.cmake
# The release step signing with what certificate authorities hand out, made
# here by openssl; the password is given as the release target gives it.
#   Pkcs12:          a PKCS#12 file, its password in a file: the result verifies.
#   PemPassphrase:   a PEM key with a passphrase in SETUP_SIGN_PASSWORD: the result verifies.
#   WrongPassword:   either with a wrong password: refused in one line that names
#                    the key's file, and the release signed before is gone.
#   TimeStampServer: osslsigncode is sent to the time-stamp server, which does
#                    not answer here, and signs nothing.
find_program(OPENSSL openssl REQUIRED)
find_program(OSSLSIGNCODE osslsigncode REQUIRED)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(release ${WORK}/release/Setup.exe)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE said ERROR_VARIABLE said)
  if(failed)
    message(FATAL_ERROR "${ARGN} failed:\n${said}")
  endif()
endfunction()

file(WRITE ${WORK}/password "right password\n")
file(WRITE ${WORK}/wrong-password "wrong password\n")
run(${OPENSSL} req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Setup signing test"
    -addext extendedKeyUsage=codeSigning -keyout ${WORK}/key.pem -out ${WORK}/cert.pem)
run(${OPENSSL} pkcs12 -export -inkey ${WORK}/key.pem -in ${WORK}/cert.pem -passout file:${WORK}/password
    -out ${WORK}/key.p12)
run(${OPENSSL} pkey -in ${WORK}/key.pem -aes256 -passout file:${WORK}/password -out ${WORK}/protected.pem)
set(pkcs12 -DPKCS12=${WORK}/key.p12)
set(protected_pem -DKEY=${WORK}/protected.pem -DCERT=${WORK}/cert.pem)

# sign(password-in-environment <SignRelease arguments>...): sets failed and said.
function(sign password)
  set(ENV{SETUP_SIGN_PASSWORD} "${password}")
  execute_process(COMMAND ${CMAKE_COMMAND} -DINPUT=${INPUT} -DOUTPUT=${release} ${ARGN} -P ${SIGNER}
                  RESULT_VARIABLE failed OUTPUT_VARIABLE said ERROR_VARIABLE said)
  set(failed ${failed} PARENT_SCOPE)
  set(said "${said}" PARENT_SCOPE)
endfunction()

function(expect_verified)
  if(failed)
    message(FATAL_ERROR "The release step did not sign:\n${said}")
  endif()
  run(${OSSLSIGNCODE} verify -in ${release} -CAfile ${WORK}/cert.pem)
endfunction()

function(expect_refused_and_nothing_left)
  file(GLOB left ${WORK}/release/*)
  if(NOT failed OR left)
    message(FATAL_ERROR "The release step did not fail cleanly (left: ${left}):\n${said}")
  endif()
endfunction()

if(CASE STREQUAL Pkcs12)
  sign("" ${pkcs12} -DPASSWORD_FILE=${WORK}/password)
  expect_verified()
elseif(CASE STREQUAL PemPassphrase)
  sign("right password" ${protected_pem})
  expect_verified()
elseif(CASE STREQUAL WrongPassword)
  foreach(way IN ITEMS "pkcs12|key.p12|-DPASSWORD_FILE=${WORK}/wrong-password"
                       "protected_pem|protected.pem|-DPASSWORD_FILE=")
    string(REPLACE "|" ";" way "${way}")
    list(GET way 0 key)
    list(GET way 1 key_file)
    list(GET way 2 password_file)
    sign("right password" ${${key}} -DPASSWORD_FILE=${WORK}/password)
    expect_verified()
    sign("wrong password" ${${key}} ${password_file})
    expect_refused_and_nothing_left()
    if(NOT said MATCHES "\n *SignRelease: [^\n]*${key_file} does not open with the password in [^\n]*\n"
       OR said MATCHES "Failed|error:")
      message(FATAL_ERROR "A wrong password is not refused in one line naming ${key_file}:\n${said}")
    endif()
  endforeach()
elseif(CASE STREQUAL TimeStampServer)
  # Port 9 (discard) of this machine: nobody answers there.
  set(server http://127.0.0.1:9/setup-signing-test)
  sign("" -DKEY=${WORK}/key.pem -DCERT=${WORK}/cert.pem -DTIMESTAMP_URL=${server})
  expect_refused_and_nothing_left()
  if(NOT said MATCHES "timestamping failed" OR NOT said MATCHES "${server}")
    message(FATAL_ERROR "osslsigncode did not try the time-stamp server ${server}:\n${said}")
  endif()
else()
  message(FATAL_ERROR "Signing: unknown case ${CASE}")
endif()
