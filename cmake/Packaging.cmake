# Debian packages from the install rules (cpack in the build folder; they land in packages/):
#   libcablor1     the link library
#   libcablor-dev  its header, pkg-config file and CMake package
#   qelveva        the desktop program, qel, cncsim, the samples, the udev rule, desktop
#                  integration, manual pages and bash completion
# Dependencies on other packages are worked out by dpkg-shlibdeps from the binaries.
set(QELVEVA_MAINTAINER "QelVeva developers <developers@qelveva.org>")

# Every package has its copyright file and a compressed changelog under /usr/share/doc.
execute_process(COMMAND date -u -R -d "${QELVEVA_RELEASE_DATE} 12:00"
                OUTPUT_VARIABLE QELVEVA_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE)
set(qelveva_packages library:libcablor1 development:libcablor-dev program:qelveva)
foreach(entry ${qelveva_packages})
  string(REPLACE ":" ";" entry ${entry})
  list(GET entry 0 component)
  list(GET entry 1 PACKAGE)
  set(doc ${CMAKE_BINARY_DIR}/packaging/${PACKAGE})
  configure_file(${PROJECT_SOURCE_DIR}/resources/debian/changelog.in ${doc}/changelog @ONLY)
  add_custom_command(OUTPUT ${doc}/changelog.gz
                     COMMAND gzip -9nkf ${doc}/changelog
                     DEPENDS ${doc}/changelog)
  list(APPEND qelveva_changelogs ${doc}/changelog.gz)
  install(FILES ${doc}/changelog.gz ${PROJECT_SOURCE_DIR}/resources/debian/copyright
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${PACKAGE} COMPONENT ${component})
endforeach()
add_custom_target(package_changelogs ALL DEPENDS ${qelveva_changelogs})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qelveva)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "QelVeva")
set(CPACK_PACKAGE_CONTACT "${QELVEVA_MAINTAINER}")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL library development program)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# qel and QelVeva need libcablor.so.1 of this build, which is in no installed package yet.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/link)

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libcablor1)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
# Its shlibs file tells dpkg-shlibdeps of other packages which package has libcablor.so.1, and
# libc's ldconfig trigger brings the loader's cache up to date. Both are written here rather
# than by CPack, whose own ldconfig calls in postinst and postrm the trigger makes needless.
configure_file(${PROJECT_SOURCE_DIR}/resources/debian/shlibs.in
               ${CMAKE_BINARY_DIR}/packaging/libcablor1/shlibs @ONLY)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/libcablor1/shlibs
                                               ${PROJECT_SOURCE_DIR}/resources/debian/triggers)
set(CPACK_COMPONENT_LIBRARY_DESCRIPTION
    "link library for CNC machine controls\n\
Cablor speaks to CNC controls over serial lines (RXA/2 telegrams, DataIO\n\
raw data with RTS/CTS or XOn/XOff flow control) and over TCP/IP, detects\n\
the line speed and shares COM ports between programs. It is used by\n\
QelVeva and its command-line tool qel.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libcablor-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libcablor1 (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "link library for CNC machine controls - development files\n\
The header cablor.h of the link library's C interface, with pkg-config's\n\
cablor.pc and the CMake package Cablor (find_package(Cablor) gives the\n\
target Cablor::cablor).")

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME qelveva)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS "libcablor1 (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_PROGRAM_DESCRIPTION
    "move NC part programs between a PC and CNC machine controls\n\
QelVeva shows the files of a folder beside the memories of a CNC control\n\
and sends, receives and deletes part programs over a serial line or\n\
TCP/IP, sends behind the tape reader, splits streams of programs headed\n\
by % lines, and serves the CNC as a file server in remote mode. The\n\
package also holds qel, the command-line tool, cncsim, a simulated CNC\n\
control with sample memories, and a udev rule for USB serial adapters.")

include(CPack)
