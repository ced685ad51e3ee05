# cmake -DINPUT=file -DOUTPUT=file.gz -P gzip.cmake: compresses one file with gzip -9n, which
# keeps the file's name and date out of the header, so the same file gives the same bytes.
if(NOT INPUT OR NOT OUTPUT)
  message(FATAL_ERROR "usage: cmake -DINPUT=<file> -DOUTPUT=<file.gz> -P gzip.cmake")
endif()
find_program(GZIP gzip REQUIRED)
get_filename_component(directory ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${directory})
execute_process(COMMAND ${GZIP} -9nc ${INPUT} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "gzip -9nc ${INPUT} failed: ${result}")
endif()
