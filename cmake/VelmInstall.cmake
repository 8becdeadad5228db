include(CMakePackageConfigHelpers)

# Three components, one Debian package each (see VelmPackaging.cmake):
# runtime (the shared library), dev (what a host is built with), tool.
# The target's include folder comes from its INSTALL_INTERFACE alone, so the
# exported target lists it once.
install(TARGETS velm_basetool EXPORT velm_basetoolTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
install(FILES
  include/velm_basetool.h include/velm_datum.h
  include/velm_paramline.h include/velm_string.h
  ${VELM_GENERATED_INCLUDE_DIR}/velm_basetool_version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
if(WIN32)
  # For hosts built with Microsoft's compiler, beside the MinGW import library.
  install(FILES ${VELM_MSVC_LIB} ${VELM_MSVC_DEF} DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
endif()
install(FILES README.md LICENSE CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT dev)
if(TARGET docs)
  # The API reference, when the docs target was built before the install.
  install(DIRECTORY ${VELM_DOCS_HTML_DIR}/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/api COMPONENT dev OPTIONAL)
endif()

if(TARGET velmtool)
  install(TARGETS velmtool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
  set(VELM_MAN_PAGE ${PROJECT_SOURCE_DIR}/tools/velmtool/velmtool.1)
  find_program(VELM_GZIP gzip)
  if(VELM_GZIP)
    # Manual pages are installed compressed; -n keeps name and time out of it.
    set(VELM_MAN_PAGE_GZ ${PROJECT_BINARY_DIR}/man/velmtool.1.gz)
    add_custom_command(OUTPUT ${VELM_MAN_PAGE_GZ}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND ${VELM_GZIP} -9n -c ${VELM_MAN_PAGE} > ${VELM_MAN_PAGE_GZ}
      DEPENDS ${VELM_MAN_PAGE} VERBATIM)
    add_custom_target(velmtool_man_page ALL DEPENDS ${VELM_MAN_PAGE_GZ})
    set(VELM_MAN_PAGE ${VELM_MAN_PAGE_GZ})
  endif()
  install(FILES ${VELM_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)
endif()

set(VELM_INSTALL_CONFIG_DIR ${PROJECT_BINARY_DIR}/install-config)
install(EXPORT velm_basetoolTargets NAMESPACE velm::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/velm_basetool COMPONENT dev)
configure_package_config_file(cmake/velm_basetoolConfig.cmake.in
  ${VELM_INSTALL_CONFIG_DIR}/velm_basetoolConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/velm_basetool)
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/velm_basetoolConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${VELM_INSTALL_CONFIG_DIR}/velm_basetoolConfig.cmake
  ${PROJECT_BINARY_DIR}/velm_basetoolConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/velm_basetool COMPONENT dev)

# The .pc file is written when installing, because only then the prefix is
# known (cmake --install --prefix changes it); install(FILES) then puts it in
# place, under DESTDIR too.
configure_file(cmake/velm_basetool_pc.cmake.in ${VELM_INSTALL_CONFIG_DIR}/velm_basetool_pc.cmake @ONLY)
install(SCRIPT ${VELM_INSTALL_CONFIG_DIR}/velm_basetool_pc.cmake COMPONENT dev)
install(FILES ${VELM_INSTALL_CONFIG_DIR}/velm_basetool.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

include(${CMAKE_CURRENT_LIST_DIR}/VelmPackaging.cmake)
