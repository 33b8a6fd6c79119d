# cmake -DCASE=<case> -DRELEASE=<signed Setup.exe> -DCERT=<its certificate> -DUNSIGNED=<Setup.exe as built>
#       -DWORK=<folder> -P CheckRelease.cmake
#   Sum:         <RELEASE>.sha256 names the file and holds its SHA-256 sum.
#   Unsigned:    without its signature the release is the image as built, whose
#                sum Setup-unsigned.exe.sha256 beside it holds.
#   Verifies:    osslsigncode verifies the signature against the certificate.
#   ChangedByte: a copy with one byte of its code changed fails verification.
find_program(OSSLSIGNCODE osslsigncode REQUIRED)
get_filename_component(folder ${RELEASE} DIRECTORY)

# The sums file beside the release names the file and holds its sum.
function(expect_sum file name)
  file(SHA256 ${file} sum)
  file(READ ${folder}/${name}.sha256 written)
  if(NOT written STREQUAL "${sum}  ${name}\n")
    message(FATAL_ERROR "${folder}/${name}.sha256 holds \"${written}\", not \"${sum}  ${name}\"")
  endif()
endfunction()

function(verify file out)
  execute_process(COMMAND ${OSSLSIGNCODE} verify -in ${file} -CAfile ${CERT}
                  RESULT_VARIABLE failed OUTPUT_VARIABLE said ERROR_VARIABLE said)
  set(${out} ${failed} PARENT_SCOPE)
  set(said ${said} PARENT_SCOPE)
endfunction()

if(CASE STREQUAL Sum)
  get_filename_component(name ${RELEASE} NAME)
  expect_sum(${RELEASE} ${name})
elseif(CASE STREQUAL Unsigned)
  set(stripped ${WORK}/Setup-unsigned.exe)
  file(MAKE_DIRECTORY ${WORK})
  file(REMOVE ${stripped})
  execute_process(COMMAND ${OSSLSIGNCODE} remove-signature -in ${RELEASE} -out ${stripped}
                  RESULT_VARIABLE failed OUTPUT_VARIABLE said ERROR_VARIABLE said)
  if(failed)
    message(FATAL_ERROR "osslsigncode could not remove the release's signature:\n${said}")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${stripped} ${UNSIGNED} RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "The release without its signature, ${stripped}, is not ${UNSIGNED}")
  endif()
  expect_sum(${stripped} Setup-unsigned.exe)
elseif(CASE STREQUAL Verifies)
  verify(${RELEASE} failed)
  if(failed OR NOT said MATCHES "Signature verification: ok")
    message(FATAL_ERROR "The release does not verify:\n${said}")
  endif()
elseif(CASE STREQUAL ChangedByte)
  # One byte of the code section, which the signature's digest covers.
  set(copy ${WORK}/Setup-changed.exe)
  file(MAKE_DIRECTORY ${WORK})
  file(READ ${RELEASE} byte OFFSET 4096 LIMIT 1 HEX)
  set(changed 00)
  if(byte STREQUAL 00)
    set(changed 01)
  endif()
  file(COPY_FILE ${RELEASE} ${copy})
  execute_process(COMMAND printf "\\x${changed}" COMMAND dd of=${copy} bs=1 seek=4096 conv=notrunc status=none)
  file(READ ${copy} check OFFSET 4096 LIMIT 1 HEX)
  if(NOT check STREQUAL changed)
    message(FATAL_ERROR "The copy's byte is ${check}, not ${changed}")
  endif()
  verify(${copy} failed)
  if(NOT failed OR NOT said MATCHES "MISMATCH")
    message(FATAL_ERROR "A changed release still verifies:\n${said}")
  endif()
else()
  message(FATAL_ERROR "CheckRelease: unknown case ${CASE}")
endif()
