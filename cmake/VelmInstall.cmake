include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS velm_basetool EXPORT velm_basetoolTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES
  include/velm_basetool.h include/velm_datum.h
  include/velm_paramline.h include/velm_string.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(WIN32)
  # For hosts built with Microsoft's compiler, beside the MinGW import library.
  install(FILES ${VELM_MSVC_LIB} ${VELM_MSVC_DEF} DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()

install(EXPORT velm_basetoolTargets NAMESPACE velm::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/velm_basetool)
configure_package_config_file(cmake/velm_basetoolConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/velm_basetoolConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/velm_basetool)
write_basic_package_version_file(
  ${CMAKE_CURRENT_BINARY_DIR}/velm_basetoolConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/velm_basetoolConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/velm_basetoolConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/velm_basetool)

configure_file(cmake/velm_basetool.pc.in ${CMAKE_CURRENT_BINARY_DIR}/velm_basetool.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/velm_basetool.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
