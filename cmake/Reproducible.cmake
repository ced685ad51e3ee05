# The same sources give the same bytes, whatever folder they are built in:
#   - the compilers write the source tree as "." and the build tree as "build" wherever they
#     record a path (debug information, __FILE__); GCC takes the last matching map, so the build
#     tree, which may lie inside the source tree, comes last;
#   - static libraries are archived in deterministic mode (no dates, owners or modes);
#   - the Windows linker writes no date into the PE header. Stripping writes SOURCE_DATE_EPOCH
#     there instead, and the archive dates come from it too (cmake/Packaging.cmake).
add_compile_options(
  "-ffile-prefix-map=${PROJECT_SOURCE_DIR}=."
  "-ffile-prefix-map=${PROJECT_BINARY_DIR}=build")

foreach(language C CXX)
  set(CMAKE_${language}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${language}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${language}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
endforeach()

if(WIN32)
  add_link_options(LINKER:--no-insert-timestamp)
endif()
