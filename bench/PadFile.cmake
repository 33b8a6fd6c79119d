# cmake -DINPUT=<file> -DOUTPUT=<file> (-DSIZE=<bytes> | -DSIZE_OF=<file>) -P PadFile.cmake
# OUTPUT: INPUT followed by random bytes up to SIZE bytes or the size of SIZE_OF.
# A program stays a program: bytes after its last section are never loaded.
if(DEFINED SIZE_OF)
  file(SIZE ${SIZE_OF} SIZE)
endif()
file(SIZE ${INPUT} input_size)
if(input_size GREATER SIZE)
  message(FATAL_ERROR "${INPUT} (${input_size} bytes) is larger than ${SIZE} bytes")
endif()
math(EXPR padding "${SIZE} - ${input_size}")
execute_process(
  COMMAND sh -c "cat \"$1\" && head -c \"$2\" /dev/urandom" pad ${INPUT} ${padding}
  OUTPUT_FILE ${OUTPUT}.part
  RESULT_VARIABLE result)
file(SIZE ${OUTPUT}.part output_size)
if(NOT result EQUAL 0 OR NOT output_size EQUAL SIZE)
  message(FATAL_ERROR "cannot write ${OUTPUT}")
endif()
file(RENAME ${OUTPUT}.part ${OUTPUT})
