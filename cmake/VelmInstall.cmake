include(CMakePackageConfigHelpers)

install(TARGETS velm_basetool EXPORT velm_basetoolTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES
  include/velm_basetool.h include/velm_datum.h
  include/velm_paramline.h include/velm_string.h
  ${VELM_GENERATED_INCLUDE_DIR}/velm_basetool_version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(WIN32)
  # For hosts built with Microsoft's compiler, beside the MinGW import library.
  install(FILES ${VELM_MSVC_LIB} ${VELM_MSVC_DEF} DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()

set(VELM_INSTALL_CONFIG_DIR ${PROJECT_BINARY_DIR}/install-config)
install(EXPORT velm_basetoolTargets NAMESPACE velm::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/velm_basetool)
configure_package_config_file(cmake/velm_basetoolConfig.cmake.in
  ${VELM_INSTALL_CONFIG_DIR}/velm_basetoolConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/velm_basetool)
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/velm_basetoolConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${VELM_INSTALL_CONFIG_DIR}/velm_basetoolConfig.cmake
  ${PROJECT_BINARY_DIR}/velm_basetoolConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/velm_basetool)

# The .pc file is written when installing, because only then the prefix is
# known (cmake --install --prefix changes it); install(FILES) then puts it in
# place, under DESTDIR too.
configure_file(cmake/velm_basetool_pc.cmake.in ${VELM_INSTALL_CONFIG_DIR}/velm_basetool_pc.cmake @ONLY)
install(SCRIPT ${VELM_INSTALL_CONFIG_DIR}/velm_basetool_pc.cmake)
install(FILES ${VELM_INSTALL_CONFIG_DIR}/velm_basetool.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# cpack -G DEB: one package with the library, its headers, the CMake and
# pkg-config files, and velmtool with its manual page.
set(CPACK_PACKAGE_NAME libvelm-basetool)
set(CPACK_PACKAGE_VENDOR "VELM")
set(CPACK_PACKAGE_CONTACT "VELM base library maintainers <velm-basetool@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Base library of the VELM server tools: log, configuration, strings, files, dates")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
find_program(VELM_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(VELM_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
