# Warnings are errors on every build.
add_library(userlens_warnings INTERFACE)
target_compile_options(userlens_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Wnon-virtual-dtor
  -Wold-style-cast -Wcast-align -Woverloaded-virtual -Werror)
