include(CMakePackageConfigHelpers)

set(KELVRA_INSTALL_TARGETS KelvraSdk_880HQLN)
if(NOT WIN32)
  list(APPEND KELVRA_INSTALL_TARGETS kelvra_platform)
  if(TARGET KelvraSim)
    list(APPEND KELVRA_INSTALL_TARGETS KelvraSim)
  endif()
endif()

install(TARGETS ${KELVRA_INSTALL_TARGETS} EXPORT KelvraTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/kelvra DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT KelvraTargets NAMESPACE Kelvra:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Kelvra)

configure_package_config_file(cmake/KelvraConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/KelvraConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Kelvra)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/KelvraConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KelvraConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/KelvraConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Kelvra)

configure_file(cmake/kelvra.pc.in ${CMAKE_CURRENT_BINARY_DIR}/kelvra.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kelvra.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
