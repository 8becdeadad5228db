# cpack -G DEB: three packages as Debian users expect them.
#   libvelm-basetool11    the shared library (named for its soname)
#   libvelm-basetool-dev  headers, CMake and pkg-config files, the API reference
#   velmtool              the tool and its manual page
# Each carries a machine-readable copyright file and a changelog.Debian.gz in
# /usr/share/doc/<package>; binaries are stripped (no debug package).

set(VELM_PACKAGE_MAINTAINER "libvelm_basetool maintainers <maintainers@users.noreply.c-seed-6c5b07d2.example>"
    CACHE STRING "The Maintainer field of the Debian packages")
# The release date in the changelog; fixed, so that two builds of one
# version make the same packages.
set(VELM_DEB_RELEASE_DATE "Mon, 07 Dec 2026 00:00:00 +0000")

set(VELM_DEB_PACKAGE_runtime libvelm-basetool${PROJECT_VERSION_MAJOR})
set(VELM_DEB_PACKAGE_dev libvelm-basetool-dev)
set(VELM_DEB_PACKAGE_tool velmtool)

# The MIT text of LICENSE as a copyright file's license paragraph: every line
# indented by one blank, an empty line written as " .".
include(${CMAKE_CURRENT_LIST_DIR}/VelmLicense.cmake)
string(REGEX REPLACE "\n+$" "" VELM_LICENSE_TEXT "${VELM_LICENSE_TEXT}")
string(REPLACE "\n\n" "\n.\n" VELM_LICENSE_TEXT "${VELM_LICENSE_TEXT}")
string(REPLACE "\n" "\n " VELM_LICENSE_TEXT "${VELM_LICENSE_TEXT}")

find_program(VELM_GZIP gzip)
set(VELM_DEB_DIR ${PROJECT_BINARY_DIR}/debian)
foreach(component runtime dev tool)
  set(VELM_DEB_PACKAGE ${VELM_DEB_PACKAGE_${component}})
  set(doc ${VELM_DEB_DIR}/${VELM_DEB_PACKAGE})
  file(WRITE ${doc}/copyright
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    "Upstream-Name: libvelm_basetool\n\n"
    "Files: *\nCopyright: ${VELM_COPYRIGHT_HOLDER}\nLicense: Expat\n\n"
    "License: Expat\n ${VELM_LICENSE_TEXT}\n")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in ${doc}/changelog.Debian @ONLY)
  if(VELM_GZIP)
    # -n: no name or time stamp in the archive, so the file is reproducible.
    execute_process(COMMAND ${VELM_GZIP} -9nf ${doc}/changelog.Debian)
    # Only in the packages: a plain install has the project's own LICENSE.
    install(FILES ${doc}/copyright ${doc}/changelog.Debian.gz
      DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${VELM_DEB_PACKAGE}
      COMPONENT ${component} EXCLUDE_FROM_ALL)
  endif()
  string(TOUPPER ${component} COMPONENT)
  set(CPACK_DEBIAN_${COMPONENT}_PACKAGE_NAME ${VELM_DEB_PACKAGE})
  set(CPACK_DEBIAN_${COMPONENT}_FILE_NAME DEB-DEFAULT)
endforeach()

set(CPACK_PACKAGE_NAME libvelm-basetool)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The libvelm_basetool authors")
set(CPACK_PACKAGE_CONTACT "${VELM_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELM_PACKAGE_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev tool)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
# The shlibs file (only the runtime package holds a shared library) and the
# ldconfig trigger of a shared library package.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
find_program(VELM_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(VELM_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

# A description is a summary line, then the long text (string(CONCAT): a
# quoted argument list would become a list with ";" between its parts).
string(CONCAT VELM_DEB_ABOUT
  "libvelm_basetool is the base library of the VELM server tools. Server programs\n"
  "and server extensions call it through a plain C interface for a process-wide\n"
  "log with one session log file per process, configuration lookup in INI files\n"
  "and a preference cache, utilities on 8-bit strings and on files, and two\n"
  "value classes: a calendar date and a delimited parameter line.\n.\n")
string(CONCAT CPACK_DEBIAN_RUNTIME_DESCRIPTION
  "base library of the VELM server tools\n${VELM_DEB_ABOUT}"
  "This package holds the shared library.")
string(CONCAT CPACK_DEBIAN_DEV_DESCRIPTION
  "base library of the VELM server tools - development files\n${VELM_DEB_ABOUT}"
  "This package holds the headers, the CMake and pkg-config files and the API\nreference.")
string(CONCAT CPACK_DEBIAN_TOOL_DESCRIPTION
  "shows what libvelm_basetool answers to its hosts\n"
  "velmtool calls the VELM base library as a host would and prints its answers:\n"
  "the value a server reads for an INI section and key, why an INI line is\n"
  "ignored, whether a file passes the read check, the next valid date, how a\n"
  "parameter line splits and where the session log file of a run went.")
include(CPack)
