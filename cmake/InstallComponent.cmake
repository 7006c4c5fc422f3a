# Installs the serial component for other programs: its headers under include/tillmark (included
# as in this tree, "serial/CPort.h", and apart from any other package's headers), its libraries,
# a CMake package (find_package(Tillmark), the target Tillmark::serial) and a pkg-config file
# (tillmark-serial). Everything here belongs to the install component serial-development, the
# shared libraries themselves to serial-libraries (see tillmark_library).
include(CMakePackageConfigHelpers)

# The libraries and their headers are installed where they are made (tillmark_library).
set(cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Tillmark)
install(EXPORT TillmarkTargets NAMESPACE Tillmark:: DESTINATION ${cmake_dir}
        COMPONENT serial-development)

# A program linking the static libraries links SimpleIni as well; the Windows build compiles it
# into the runtime library, and a shared runtime library brings it along by itself.
if(NOT WIN32 AND NOT BUILD_SHARED_LIBS)
  set(TILLMARK_NEEDS_SIMPLEINI ON)
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/modules/FindSimpleIni.cmake DESTINATION ${cmake_dir}
          COMPONENT serial-development)
else()
  set(TILLMARK_NEEDS_SIMPLEINI OFF)
endif()
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/TillmarkConfig.cmake.in
  ${PROJECT_BINARY_DIR}/TillmarkConfig.cmake INSTALL_DESTINATION ${cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/TillmarkConfigVersion.cmake
  COMPATIBILITY ${TILLMARK_COMPATIBILITY})
install(FILES ${PROJECT_BINARY_DIR}/TillmarkConfig.cmake
              ${PROJECT_BINARY_DIR}/TillmarkConfigVersion.cmake
        DESTINATION ${cmake_dir} COMPONENT serial-development)

# pkg-config: the prefix is found from the file's own place, so an install with --prefix or
# DESTDIR needs no other file rewritten.
file(RELATIVE_PATH TILLMARK_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig
     ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" TILLMARK_PC_TO_PREFIX "${TILLMARK_PC_TO_PREFIX}")
set(TILLMARK_PC_REQUIRES "")
set(TILLMARK_PC_LIBS -pthread)
set(TILLMARK_PC_LIBS_PRIVATE "")
if(WIN32)
  string(APPEND TILLMARK_PC_LIBS " -lkernel32 -ladvapi32 -luser32")
  if(BUILD_SHARED_LIBS)
    set(TILLMARK_PC_LIBS_PRIVATE -lsetupapi)
  else()
    string(APPEND TILLMARK_PC_LIBS " -lsetupapi")
  endif()
elseif(TILLMARK_NEEDS_SIMPLEINI)
  set(TILLMARK_PC_REQUIRES simpleini)
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/tillmark-serial.pc.in
               ${PROJECT_BINARY_DIR}/tillmark-serial.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tillmark-serial.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT serial-development)
