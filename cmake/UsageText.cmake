# Converts the UTF-8 help text to code page 932 and embeds its lines as
# byte-escaped string literals, one per line, for usage_text.cpp to include.
find_program(ICONV_EXECUTABLE iconv REQUIRED)
set(QORLA_USAGE_TXT ${CMAKE_CURRENT_SOURCE_DIR}/src/cli/usage_text.txt)
set(QORLA_USAGE_SJIS ${CMAKE_CURRENT_BINARY_DIR}/generated/usage_text.sjis)
set(QORLA_USAGE_INC ${CMAKE_CURRENT_BINARY_DIR}/generated/usage_text.inc)
add_custom_command(
  OUTPUT ${QORLA_USAGE_INC}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/generated
  COMMAND ${ICONV_EXECUTABLE} -f UTF-8 -t CP932 -o ${QORLA_USAGE_SJIS} ${QORLA_USAGE_TXT}
  COMMAND ${CMAKE_COMMAND} -DIN=${QORLA_USAGE_SJIS} -DOUT=${QORLA_USAGE_INC}
          -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/EmbedLines.cmake
  DEPENDS ${QORLA_USAGE_TXT} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/EmbedLines.cmake
  COMMENT "Converting the help text to code page 932"
  VERBATIM)
