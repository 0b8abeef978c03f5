# Installation of the manual pages and the example files, and the Debian
# package built from the install tree with `cpack -G DEB`.

install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/docs/qorla.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/docs/qorla.ja.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man1 RENAME qorla.1)
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/examples/
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

set(QORLA_MAINTAINER "qorla developers <qorla@example.org>"
    CACHE STRING "Maintainer named in the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qorla)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${QORLA_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "sort the lines of text files by typed key fields (Shift-JIS aware)")
set(CPACK_PACKAGE_DESCRIPTION "\
qorla sorts the lines of text files by whole lines or by typed key fields: \
text, numeric, hexadecimal, date and time, each ascending or descending, \
with case folding, joining of continued lines, field cutting and removal \
of repeated lines. Text is taken as Shift-JIS (code page 932), and files \
with CR LF line ends sort like their LF twins.")
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
