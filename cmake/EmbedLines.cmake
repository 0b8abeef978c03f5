# cmake -DIN=file -DOUT=file.inc -P EmbedLines.cmake
# Writes each line of IN (without its line feed) as one C string literal in
# which every byte is a \x escape, so no byte of the text is ever
# reinterpreted by the compiler.
file(READ ${IN} hex HEX)
string(LENGTH "${hex}" n)
set(out "")
set(line "")
set(i 0)
while(i LESS n)
  string(SUBSTRING "${hex}" ${i} 2 byte)
  if(byte STREQUAL "0a")
    string(APPEND out "    \"${line}\",\n")
    set(line "")
  else()
    string(APPEND line "\\x${byte}")
  endif()
  math(EXPR i "${i} + 2")
endwhile()
if(NOT line STREQUAL "")
  string(APPEND out "    \"${line}\",\n")
endif()
file(WRITE ${OUT} "${out}")
