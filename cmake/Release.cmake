# The release: Setup.exe, signed after its payloads are in, and the SHA-256
# sums of the signed file and of the image before signing, in <build>/release.
# Without a key of your own, a self-signed test certificate, made once in the
# build folder, signs it, and the build says so.
set(SETUP_SIGN_KEY "" CACHE FILEPATH "PEM private key that signs the release, with SETUP_SIGN_CERT")
set(SETUP_SIGN_CERT "" CACHE FILEPATH "PEM certificate, or chain, of SETUP_SIGN_KEY")
set(SETUP_SIGN_PKCS12 "" CACHE FILEPATH "PKCS#12 file that signs the release, instead of SETUP_SIGN_KEY and SETUP_SIGN_CERT")
# The password itself is read when signing, from the file or from the
# environment variable SETUP_SIGN_PASSWORD; it never enters the cache.
set(SETUP_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File whose first line is the password of the key or PKCS#12 file")
set(SETUP_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signature; none: no time stamp")

set(SETUP_RELEASE ${CMAKE_BINARY_DIR}/release/Setup.exe)
set(test_signed OFF)
if(SETUP_SIGN_PKCS12 AND NOT SETUP_SIGN_KEY AND NOT SETUP_SIGN_CERT)
  set(SETUP_RELEASE_SIGNED_BY ${SETUP_SIGN_PKCS12})
  set(signer -DPKCS12=${SETUP_SIGN_PKCS12})
elseif(SETUP_SIGN_KEY AND SETUP_SIGN_CERT AND NOT SETUP_SIGN_PKCS12)
  set(SETUP_RELEASE_CERT ${SETUP_SIGN_CERT})
  set(SETUP_RELEASE_SIGNED_BY ${SETUP_SIGN_KEY} ${SETUP_SIGN_CERT})
  set(signer -DKEY=${SETUP_SIGN_KEY} -DCERT=${SETUP_SIGN_CERT})
elseif(SETUP_SIGN_KEY OR SETUP_SIGN_CERT OR SETUP_SIGN_PKCS12)
  message(FATAL_ERROR "Sign with SETUP_SIGN_KEY and SETUP_SIGN_CERT together, or with SETUP_SIGN_PKCS12 "
                      "alone; or set none of them for a test signature")
else()
  find_program(OPENSSL openssl REQUIRED)
  set(test_signed ON)
  set(key ${CMAKE_BINARY_DIR}/test-signing/key.pem)
  set(SETUP_RELEASE_CERT ${CMAKE_BINARY_DIR}/test-signing/cert.pem)
  set(SETUP_RELEASE_SIGNED_BY ${key} ${SETUP_RELEASE_CERT})
  set(signer -DKEY=${key} -DCERT=${SETUP_RELEASE_CERT})
  add_custom_command(OUTPUT ${SETUP_RELEASE_SIGNED_BY}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/test-signing
                     COMMAND ${OPENSSL} req -x509 -newkey rsa:3072 -nodes -days 3650
                             -subj "/CN=Setup TEST signing - not trusted"
                             -addext extendedKeyUsage=codeSigning -addext keyUsage=digitalSignature
                             -keyout ${key} -out ${SETUP_RELEASE_CERT}
                     COMMENT "Making a self-signed TEST certificate in ${CMAKE_BINARY_DIR}/test-signing"
                     VERBATIM)
  message(WARNING "No SETUP_SIGN_KEY and SETUP_SIGN_CERT, nor SETUP_SIGN_PKCS12: the release target "
                  "makes a TEST-SIGNED Setup.exe, which no machine trusts.")
endif()
# How SignRelease.cmake signs this build's releases.
set(SETUP_RELEASE_SIGNER ${signer} -DPASSWORD_FILE=${SETUP_SIGN_PASSWORD_FILE}
    -DTIMESTAMP_URL=${SETUP_SIGN_TIMESTAMP_URL} -DTEST_SIGNED=${test_signed})

add_custom_command(OUTPUT ${SETUP_RELEASE} ${SETUP_RELEASE}.sha256 ${CMAKE_BINARY_DIR}/release/Setup-unsigned.exe.sha256
                   COMMAND ${CMAKE_COMMAND} -DINPUT=$<TARGET_FILE:Setup> -DOUTPUT=${SETUP_RELEASE}
                           ${SETUP_RELEASE_SIGNER} -P ${CMAKE_CURRENT_LIST_DIR}/SignRelease.cmake
                   DEPENDS Setup ${SETUP_RELEASE_SIGNED_BY} ${CMAKE_CURRENT_LIST_DIR}/SignRelease.cmake
                   VERBATIM)
add_custom_target(release ALL DEPENDS ${SETUP_RELEASE})
