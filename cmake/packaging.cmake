# Release packages (`make package`), one kind per configuration:
#   Windows x64  vokmon-<version>-win64.zip     everything a technician copies to a laptop
#   Windows x86  vok3900d-<version>-win32.zip   the x86 library for 32-bit applications
#   Linux        libvok3900d_<version>_amd64.deb the library for integrators, with voksim
# The zips hold what `make build` installs into dist/<configuration>; the Debian package has
# install rules of its own (component "deb", never part of a plain install) in the usual
# system places, so dist/linux keeps its flat layout.
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "vokmon developers")
set(CPACK_PACKAGE_CONTACT "vokmon developers <devel@vokmon.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "RS-485 measurement module tools and driver library")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)

set(_pkg ${PROJECT_SOURCE_DIR}/packaging)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME vokmon-${PROJECT_VERSION}-win64)
    # CR LF, so Notepad on any Windows shows the lines.
    file(READ ${_pkg}/README-windows.txt _readme)
    string(REPLACE "@VERSION@" "${PROJECT_VERSION}" _readme "${_readme}")
    string(REPLACE "\n" "\r\n" _readme "${_readme}")
    file(WRITE ${PROJECT_BINARY_DIR}/packaging/README.txt "${_readme}")
    install(FILES ${PROJECT_BINARY_DIR}/packaging/README.txt DESTINATION .)
  else()
    set(CPACK_PACKAGE_FILE_NAME vok3900d-${PROJECT_VERSION}-win32)
  endif()
  include(CPack)
  return()
endif()

if(NOT TARGET vok3900d)
  return()
endif()

set(_arch ${CMAKE_LIBRARY_ARCHITECTURE})
if(NOT _arch)
  set(_arch x86_64-linux-gnu)
endif()
set(_libdir lib/${_arch})
set(_doc share/doc/libvok3900d)

install(TARGETS vok3900d LIBRARY DESTINATION ${_libdir} COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/driver/vok3900d.h DESTINATION include
  COMPONENT deb EXCLUDE_FROM_ALL)

# pkg-config and CMake package files; both find the library relative to where they lie, so
# a package unpacked under any root works as well as an installed one.
configure_file(${_pkg}/vok3900d.pc.in ${PROJECT_BINARY_DIR}/packaging/vok3900d.pc @ONLY)
configure_file(${_pkg}/vok3900d-config.cmake.in
  ${PROJECT_BINARY_DIR}/packaging/vok3900d-config.cmake @ONLY)
include(CMakePackageConfigHelpers)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/packaging/vok3900d-config-version.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/packaging/vok3900d.pc DESTINATION ${_libdir}/pkgconfig
  COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_BINARY_DIR}/packaging/vok3900d-config.cmake
  ${PROJECT_BINARY_DIR}/packaging/vok3900d-config-version.cmake
  DESTINATION ${_libdir}/cmake/vok3900d COMPONENT deb EXCLUDE_FROM_ALL)

# The simulator, so a library user can try a program without a bus.
if(TARGET voksim)
  install(TARGETS voksim RUNTIME DESTINATION bin COMPONENT deb EXCLUDE_FROM_ALL)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/sim/buses/ DESTINATION share/vok3900d/buses
    COMPONENT deb EXCLUDE_FROM_ALL FILES_MATCHING PATTERN "*.json")
  install(FILES ${_pkg}/voksim.1 DESTINATION share/man/man1 COMPONENT deb EXCLUDE_FROM_ALL)
endif()
if(TARGET vokcli)
  install(TARGETS vokcli RUNTIME DESTINATION bin COMPONENT deb EXCLUDE_FROM_ALL)
  install(FILES ${_pkg}/vokcli.1 DESTINATION share/man/man1 COMPONENT deb EXCLUDE_FROM_ALL)
endif()

# Debian's documentation files: copyright as it stands, the changelog gzipped with no name
# or time stamp in its header so the package is the same from build to build.
install(FILES ${_pkg}/copyright DESTINATION ${_doc} COMPONENT deb EXCLUDE_FROM_ALL)
configure_file(${_pkg}/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
install(CODE "
  execute_process(COMMAND gzip -n -9 -c ${PROJECT_BINARY_DIR}/packaging/changelog
    OUTPUT_FILE ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
  file(INSTALL ${PROJECT_BINARY_DIR}/packaging/changelog.gz
    DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${_doc}\")" COMPONENT deb EXCLUDE_FROM_ALL)
install(CODE "
  file(GLOB _man \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/share/man/man1/*.1\")
  foreach(_m IN LISTS _man)
    execute_process(COMMAND gzip -n -9 -f \${_m})
  endforeach()" COMPONENT deb EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL deb)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEBIAN_PACKAGE_NAME libvok3900d)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The shlibs entry and the ldconfig trigger written here: CPack's own shlibs option adds
# maintainer scripts that call ldconfig, which the trigger replaces.
file(WRITE ${PROJECT_BINARY_DIR}/packaging/shlibs
  "libvok3900d ${PROJECT_VERSION_MAJOR} libvok3900d (>= ${PROJECT_VERSION})\n")
file(WRITE ${PROJECT_BINARY_DIR}/packaging/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${PROJECT_BINARY_DIR}/packaging/shlibs ${PROJECT_BINARY_DIR}/packaging/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION_SUMMARY "driver library for RS-485 measurement modules")
set(CPACK_PACKAGE_DESCRIPTION "libvok3900d gives application programs the module protocol as
thirteen plain C calls over a serial port: configuration, temperatures, IDs,
sort numbers, digital outputs and fault status. The package carries the header,
pkg-config and CMake package files, vokcli, the module bus from a terminal,
and voksim, a simulated bus to try programs on.")
include(CPack)
