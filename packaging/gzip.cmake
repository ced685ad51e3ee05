# cmake -DINPUT=file -DOUTPUT=file.gz -P gzip.cmake: compresses one file with gzip, level 9.
if(NOT INPUT OR NOT OUTPUT)
  message(FATAL_ERROR "usage: cmake -DINPUT=<file> -DOUTPUT=<file.gz> -P gzip.cmake")
endif()
get_filename_component(directory ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${directory})
file(ARCHIVE_CREATE OUTPUT ${OUTPUT} PATHS ${INPUT} FORMAT raw COMPRESSION GZip
     COMPRESSION_LEVEL 9)
