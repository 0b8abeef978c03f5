# Installation of the manual pages, the examples, the bash completion and
# the Debian documentation files, and the Debian package built from the
# install tree with `cpack -G DEB`.

set(QORLA_MAINTAINER "qorla developers <qorla-dev@lists.example.org>")

# Manual pages and the changelog are installed compressed with gzip -9n:
# best compression, and no file name or time stamp, so that every build
# gives the same bytes.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(QORLA_PACKAGING_DIR ${CMAKE_CURRENT_BINARY_DIR}/packaging)
function(qorla_gzip source output)
  get_filename_component(output_dir ${output} DIRECTORY)
  string(REGEX REPLACE "\\.gz$" "" plain ${output})
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${output_dir}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${plain}
    COMMAND ${GZIP_EXECUTABLE} -9nf ${plain}
    DEPENDS ${source}
    VERBATIM)
endfunction()
qorla_gzip(${CMAKE_CURRENT_SOURCE_DIR}/docs/qorla.1 ${QORLA_PACKAGING_DIR}/man/qorla.1.gz)
qorla_gzip(${CMAKE_CURRENT_SOURCE_DIR}/docs/qorla.ja.1 ${QORLA_PACKAGING_DIR}/man/ja/qorla.1.gz)
qorla_gzip(${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog ${QORLA_PACKAGING_DIR}/changelog.gz)
add_custom_target(qorla_compressed_docs ALL DEPENDS
  ${QORLA_PACKAGING_DIR}/man/qorla.1.gz
  ${QORLA_PACKAGING_DIR}/man/ja/qorla.1.gz
  ${QORLA_PACKAGING_DIR}/changelog.gz)

# The machine-readable copyright file carries the text of LICENSE, each
# line indented by one blank and empty lines written as " .".
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
file(READ ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE license)
string(REGEX REPLACE "^.*\nCopyright[^\n]*\n\n" "" license "${license}")
string(REGEX REPLACE "\n+$" "" license "${license}")
string(REPLACE "\n" "\n " license " ${license}")
string(REPLACE "\n \n" "\n .\n" QORLA_LICENSE_TEXT "${license}")
configure_file(packaging/copyright.in ${QORLA_PACKAGING_DIR}/copyright @ONLY)

install(FILES ${QORLA_PACKAGING_DIR}/man/qorla.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${QORLA_PACKAGING_DIR}/man/ja/qorla.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man1)
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/examples/
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES ${QORLA_PACKAGING_DIR}/changelog.gz ${QORLA_PACKAGING_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/completion/qorla.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME qorla)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME qorla)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qorla)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${QORLA_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "sort the lines of text files by typed key fields (Shift-JIS aware)")
# Lines of the extended description stay within 80 columns.
set(CPACK_PACKAGE_DESCRIPTION [=[
qorla sorts the lines of text files by whole lines or by typed key
fields: text, numeric, hexadecimal, date and time, each ascending or
descending, with case folding, joining of continued lines, field cutting
and removal of repeated lines. Text is taken as Shift-JIS (code page
932), and files with CR LF line ends sort like their LF twins.]=])
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QORLA_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends is worked out from the libraries the binary links (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# qorla_<version>_<architecture>.deb
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)

include(CPack)

# The documentation tests need the build directory (for CPackConfig.cmake)
# and the cpack program of this CMake.
if(TARGET e2e_docs_test)
  target_compile_definitions(e2e_docs_test PRIVATE
    QORLA_BUILD_DIR="${CMAKE_CURRENT_BINARY_DIR}"
    QORLA_CPACK="${CMAKE_CPACK_COMMAND}")
endif()
