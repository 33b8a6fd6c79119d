# The release: Setup.exe, signed after its payloads are in, and its SHA-256
# sum, in <build>/release. Without a key and certificate of your own, a
# self-signed test certificate, made once in the build folder, signs it, and
# the build says so.
set(SETUP_SIGN_KEY "" CACHE FILEPATH "PEM private key (no passphrase) that signs the release")
set(SETUP_SIGN_CERT "" CACHE FILEPATH "PEM certificate, or chain, of SETUP_SIGN_KEY")

set(SETUP_RELEASE ${CMAKE_BINARY_DIR}/release/Setup.exe)
set(test_signed OFF)
if(SETUP_SIGN_KEY AND SETUP_SIGN_CERT)
  set(SETUP_RELEASE_KEY ${SETUP_SIGN_KEY})
  set(SETUP_RELEASE_CERT ${SETUP_SIGN_CERT})
elseif(SETUP_SIGN_KEY OR SETUP_SIGN_CERT)
  message(FATAL_ERROR "SETUP_SIGN_KEY and SETUP_SIGN_CERT go together: set both, or neither for a test signature")
else()
  find_program(OPENSSL openssl REQUIRED)
  set(test_signed ON)
  set(SETUP_RELEASE_KEY ${CMAKE_BINARY_DIR}/test-signing/key.pem)
  set(SETUP_RELEASE_CERT ${CMAKE_BINARY_DIR}/test-signing/cert.pem)
  add_custom_command(OUTPUT ${SETUP_RELEASE_KEY} ${SETUP_RELEASE_CERT}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/test-signing
                     COMMAND ${OPENSSL} req -x509 -newkey rsa:3072 -nodes -days 3650
                             -subj "/CN=Setup TEST signing - not trusted"
                             -addext extendedKeyUsage=codeSigning -addext keyUsage=digitalSignature
                             -keyout ${SETUP_RELEASE_KEY} -out ${SETUP_RELEASE_CERT}
                     COMMENT "Making a self-signed TEST certificate in ${CMAKE_BINARY_DIR}/test-signing"
                     VERBATIM)
  message(WARNING "No SETUP_SIGN_KEY and SETUP_SIGN_CERT: the release target makes a TEST-SIGNED "
                  "Setup.exe, which no machine trusts.")
endif()

add_custom_command(OUTPUT ${SETUP_RELEASE} ${SETUP_RELEASE}.sha256
                   COMMAND ${CMAKE_COMMAND} -DINPUT=$<TARGET_FILE:Setup> -DOUTPUT=${SETUP_RELEASE}
                           -DKEY=${SETUP_RELEASE_KEY} -DCERT=${SETUP_RELEASE_CERT}
                           -DTEST_SIGNED=${test_signed} -P ${CMAKE_CURRENT_LIST_DIR}/SignRelease.cmake
                   DEPENDS Setup ${SETUP_RELEASE_KEY} ${SETUP_RELEASE_CERT}
                           ${CMAKE_CURRENT_LIST_DIR}/SignRelease.cmake
                   VERBATIM)
add_custom_target(release ALL DEPENDS ${SETUP_RELEASE})
