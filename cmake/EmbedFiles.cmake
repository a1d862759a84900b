# Writes OUT, a C++ file holding the bytes of each file in INPUTS as
# ostrivel::embedded::kFile<N> / kFile<N>Size, in the order given.
file(WRITE ${OUT} "// Generated from the program's data files; do not edit.\n#include <cstddef>\nnamespace ostrivel::embedded {\n")
string(REPLACE "|" ";" INPUTS "${INPUTS}")
set(index 0)
foreach(input IN LISTS INPUTS)
  file(READ ${input} hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  file(APPEND ${OUT} "extern const unsigned char kFile${index}[] = {${bytes}};\nextern const std::size_t kFile${index}Size = ${size};\n")
  math(EXPR index "${index} + 1")
endforeach()
file(APPEND ${OUT} "}  // namespace ostrivel::embedded\n")
