# Finds SimpleIni, the INI parser the component's settings files are read with, as the imported
# target SimpleIni::SimpleIni. The build uses it, and the installed CMake package brings it along
# to find the library again for a program linking the static component. pkg-config, when there is
# one, only gives hints: the library is found without it too.
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(PC_SimpleIni QUIET simpleini)
endif()
find_path(SimpleIni_INCLUDE_DIR SimpleIni.h HINTS ${PC_SimpleIni_INCLUDE_DIRS})
find_library(SimpleIni_LIBRARY NAMES simpleini HINTS ${PC_SimpleIni_LIBRARY_DIRS})
mark_as_advanced(SimpleIni_INCLUDE_DIR SimpleIni_LIBRARY)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(SimpleIni
  REQUIRED_VARS SimpleIni_LIBRARY SimpleIni_INCLUDE_DIR VERSION_VAR PC_SimpleIni_VERSION)

if(SimpleIni_FOUND AND NOT TARGET SimpleIni::SimpleIni)
  add_library(SimpleIni::SimpleIni UNKNOWN IMPORTED)
  set_target_properties(SimpleIni::SimpleIni PROPERTIES
    IMPORTED_LOCATION ${SimpleIni_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${SimpleIni_INCLUDE_DIR})
endif()
