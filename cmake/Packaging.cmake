# Debian packages, made by `cpack` in a build folder: tillmark (the two programs, the desktop entry
# and the icon) and libtillmark-serial-dev (the serial component's headers, libraries and the
# files CMake and pkg-config find it by). dpkg-shlibdeps finds what the programs link.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tillmark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Tillmark)
# Who answers for the packages; a packager sets their own.
set(TILLMARK_PACKAGE_CONTACT "Tillmark developers <developers@tillmark.invalid>"
    CACHE STRING "The Maintainer of the Debian packages")
set(CPACK_PACKAGE_CONTACT "${TILLMARK_PACKAGE_CONTACT}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
# The component's two install parts go into one package; with the static libraries this build
# makes by default, serial-libraries is empty.
set(CPACK_COMPONENTS_ALL programs serial-libraries serial-development)
set(CPACK_COMPONENT_PROGRAMS_GROUP programs)
set(CPACK_COMPONENT_SERIAL-LIBRARIES_GROUP dev)
set(CPACK_COMPONENT_SERIAL-DEVELOPMENT_GROUP dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME tillmark)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SHLIBDEPS ON)
# The virtual printer draws its receipts in these faces; Debian has X fonts recommended, not
# required.
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_RECOMMENDS "xfonts-terminus, xfonts-baekmuk")
string(CONCAT CPACK_DEBIAN_PROGRAMS_DESCRIPTION
  "test console for ESC/POS receipt printers and their cash drawers\n"
  "Tillmark prints a test receipt in English or Korean on a receipt printer of\n"
  "the TM-T88 class, on a serial port, the parallel port or the network, and\n"
  "kicks the cash drawer wired to it. Its virtual printer shows what a printer\n"
  "would have printed.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libtillmark-serial-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libsimpleini-dev")
string(CONCAT CPACK_DEBIAN_DEV_DESCRIPTION
  "serial port component of Tillmark (development files)\n"
  "A serial port object with its settings, blocking transfers with time-outs,\n"
  "events for received bytes, modem lines and line errors in three delivery\n"
  "modes, link observers, and settings stored in INI files or the registry.\n"
  "Headers, static libraries, and the CMake package and pkg-config file that\n"
  "find them.")

# What Debian asks of every package: its copyright and its history, under its own doc folder.
foreach(group programs dev)
  string(TOUPPER ${group} upper)
  set(doc ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  set(component ${group})
  if(group STREQUAL dev)
    set(component serial-development)
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${doc}
          COMPONENT ${component})
  install(FILES ${PROJECT_BINARY_DIR}/packaging/changelog.gz DESTINATION ${doc}
          COMPONENT ${component})
endforeach()
set(TILLMARK_PACKAGE_MAINTAINER "${TILLMARK_PACKAGE_CONTACT}")
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog
               @ONLY)
# Compressed when configuring, so that installing one component alone (the library of a
# shared build, say) finds it without building anything else.
execute_process(
  COMMAND gzip -n -9 -c ${PROJECT_BINARY_DIR}/packaging/changelog
  OUTPUT_FILE ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  RESULT_VARIABLE gzip_result)
if(NOT gzip_result EQUAL 0)
  message(FATAL_ERROR "gzip could not compress the packages' changelog")
endif()

# The programs' manual pages, compressed as Debian keeps them, made when configuring as the
# changelog is; a program this build leaves out has none.
foreach(page tillmark tillmark-cli)
  if(NOT TARGET ${page})
    continue()
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/packaging/man/${page}.1.in
                 ${PROJECT_BINARY_DIR}/packaging/man/${page}.1 @ONLY)
  execute_process(
    COMMAND gzip -n -9 -c ${PROJECT_BINARY_DIR}/packaging/man/${page}.1
    OUTPUT_FILE ${PROJECT_BINARY_DIR}/packaging/man/${page}.1.gz
    RESULT_VARIABLE gzip_result)
  if(NOT gzip_result EQUAL 0)
    message(FATAL_ERROR "gzip could not compress the manual page ${page}(1)")
  endif()
  install(FILES ${PROJECT_BINARY_DIR}/packaging/man/${page}.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT programs)
endforeach()

include(CPack)
