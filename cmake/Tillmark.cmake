# Shared build settings: warnings for our own code, as errors with TILLMARK_WERROR (which CI
# sets), and optional sanitizers.
add_library(tillmark_options INTERFACE)
target_include_directories(tillmark_options INTERFACE ${PROJECT_SOURCE_DIR})
# Errors only on request: another compiler or optimisation level finds new warnings, some of them
# false, and those must not stop someone building a release. CMake spells the error flag for
# each compiler; every target made after this takes it.
set(CMAKE_COMPILE_WARNING_AS_ERROR ${TILLMARK_WERROR})
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(tillmark_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
    -Wimplicit-fallthrough)
endif()

if(TILLMARK_SANITIZE)
  target_compile_options(tillmark_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(tillmark_options INTERFACE -fsanitize=address,undefined)
endif()
if(TILLMARK_SANITIZE_THREAD)
  target_compile_options(tillmark_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(tillmark_options INTERFACE -fsanitize=thread)
endif()

# Headers made from the build's settings (the version, what a shared build exports), in a tree of
# their own that is installed beside the headers of the sources.
set(TILLMARK_GENERATED_INCLUDE ${PROJECT_BINARY_DIR}/include)
# Before 1.0 a minor release may change the component's ABI, so the shared libraries' SONAME and
# the CMake package's compatibility follow the minor version as well until then.
if(PROJECT_VERSION_MAJOR EQUAL 0)
  set(TILLMARK_SOVERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
  set(TILLMARK_COMPATIBILITY SameMinorVersion)
else()
  set(TILLMARK_SOVERSION ${PROJECT_VERSION_MAJOR})
  set(TILLMARK_COMPATIBILITY SameMajorVersion)
endif()

# tillmark_library(<name> [COMPONENT] SOURCES ... [HEADERS ...] DEPENDS ... PRIVATE_DEPENDS ...):
# one static library per layer folder. COMPONENT makes a layer of the installed serial component
# (platform, runtime, serial): static or shared as BUILD_SHARED_LIBS says, installed as
# libtillmark-<name> with its HEADERS (paths from the top of the source or generated tree), and
# exported as Tillmark::<name>.
function(tillmark_library name)
  cmake_parse_arguments(ARG "COMPONENT" "" "SOURCES;HEADERS;DEPENDS;PRIVATE_DEPENDS" ${ARGN})
  if(NOT ARG_COMPONENT)
    add_library(${name} STATIC ${ARG_SOURCES})
    target_link_libraries(${name} PUBLIC tillmark_options ${ARG_DEPENDS}
                          PRIVATE ${ARG_PRIVATE_DEPENDS})
    return()
  endif()
  add_library(${name} ${ARG_SOURCES})
  add_library(Tillmark::${name} ALIAS ${name})
  # Our warnings, sanitizers and source-tree include path stay in this build: the installed
  # target carries only what its users need.
  target_link_libraries(${name} PUBLIC $<BUILD_INTERFACE:tillmark_options> ${ARG_DEPENDS}
                        PRIVATE ${ARG_PRIVATE_DEPENDS})
  target_compile_features(${name} PUBLIC cxx_std_20)
  # Installed under include/tillmark with their paths from the top of their tree. The generated
  # headers are a set of their own: the build tree may lie inside the source tree.
  set(file_sets)
  set(generated ${ARG_HEADERS})
  list(FILTER generated INCLUDE REGEX "^${TILLMARK_GENERATED_INCLUDE}/")
  list(REMOVE_ITEM ARG_HEADERS ${generated})
  if(ARG_HEADERS)
    target_sources(${name} PUBLIC FILE_SET HEADERS BASE_DIRS ${PROJECT_SOURCE_DIR}
                   FILES ${ARG_HEADERS})
    list(APPEND file_sets FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tillmark
         COMPONENT serial-development)
  endif()
  if(generated)
    target_sources(${name} PUBLIC FILE_SET generated TYPE HEADERS
                   BASE_DIRS ${TILLMARK_GENERATED_INCLUDE} FILES ${generated})
    list(APPEND file_sets FILE_SET generated DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tillmark
         COMPONENT serial-development)
  endif()
  # Two install components: what programs need at run time (a shared library), and what building
  # them needs (headers, static libraries, the link name, the package files).
  install(TARGETS ${name} EXPORT TillmarkTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT serial-development
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT serial-libraries
            NAMELINK_COMPONENT serial-development
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT serial-libraries
    ${file_sets})
  string(TOUPPER ${name} upper)
  set_target_properties(${name} PROPERTIES OUTPUT_NAME tillmark-${name}
    VERSION ${PROJECT_VERSION} SOVERSION ${TILLMARK_SOVERSION}
    # platform/Export.h: what the shared library being built exports, and what it imports.
    DEFINE_SYMBOL TILLMARK_BUILDING_${upper})
  if(BUILD_SHARED_LIBS)
    # Only what the headers mark as the component's API leaves a shared library.
    set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET hidden
                          VISIBILITY_INLINES_HIDDEN ON)
  endif()
endfunction()

# tillmark_test(<name> SOURCES ... DEPENDS ... [TIMEOUT s]): one GoogleTest binary, one CTest
# entry, always bounded in time so a hang fails instead of stalling the suite.
function(tillmark_test name)
  cmake_parse_arguments(ARG "OWN_PCH" "TIMEOUT" "SOURCES;DEPENDS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE tillmark_options ${ARG_DEPENDS} GTest::gtest GTest::gtest_main GTest::gmock)
  # The test framework's headers are most of a test file's compile time: precompile them once.
  # OWN_PCH for targets compiled with other code-generation flags (Qt's -fPIC), which cannot
  # share it: they precompile their own.
  if(ARG_OWN_PCH)
    target_precompile_headers(${name} PRIVATE <gtest/gtest.h> <gmock/gmock.h>)
  elseif(NOT TARGET tillmark_test_pch)
    file(WRITE ${PROJECT_BINARY_DIR}/tillmark_test_pch.cpp "")
    add_library(tillmark_test_pch OBJECT ${PROJECT_BINARY_DIR}/tillmark_test_pch.cpp)
    target_link_libraries(tillmark_test_pch PRIVATE tillmark_options GTest::gtest GTest::gmock)
    target_precompile_headers(tillmark_test_pch PRIVATE <gtest/gtest.h> <gmock/gmock.h>)
  endif()
  if(NOT ARG_OWN_PCH)
    target_precompile_headers(${name} REUSE_FROM tillmark_test_pch)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1 WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  # Labelled with its layer (the folder under tests/), so a run can pick layers.
  get_filename_component(layer ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} SKIP_RETURN_CODE 77 LABELS ${layer})
  set_property(GLOBAL APPEND PROPERTY TILLMARK_TESTS_${layer} ${name})
endfunction()

# tillmark_host_headers(<target> <path>...): an interface target over header-only libraries that
# the build host has installed (a file, or a folder kept under its own name). A cross build must
# not search the host's whole include folder, whose C library headers are the wrong ones, so only
# the named paths are linked into a folder of the build's own.
function(tillmark_host_headers target)
  set(dir ${PROJECT_BINARY_DIR}/host-headers/${target})
  file(MAKE_DIRECTORY ${dir})
  foreach(path ${ARGN})
    if(NOT EXISTS ${path})
      message(FATAL_ERROR "${target}: ${path} is missing on the build host")
    endif()
    get_filename_component(leaf ${path} NAME)
    file(CREATE_LINK ${path} ${dir}/${leaf} SYMBOLIC)
  endforeach()
  add_library(${target} INTERFACE)
  target_include_directories(${target} SYSTEM INTERFACE ${dir})
endfunction()

# GoogleTest: the installed package natively; built from Debian's sources (package googletest)
# with the cross compiler otherwise, as no Windows build of it is packaged.
macro(tillmark_find_gtest)
  if(TILLMARK_CROSS_WINDOWS)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    foreach(lib gtest gtest_main gmock)
      if(NOT TARGET GTest::${lib})
        add_library(GTest::${lib} ALIAS ${lib})
      endif()
    endforeach()
  else()
    find_package(GTest REQUIRED)
  endif()
endmacro()
