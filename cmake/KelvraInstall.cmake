include(CMakePackageConfigHelpers)

set(KELVRA_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Kelvra)

# kelvra_install_component(<component> <target> <public header or header folder>...): a shipped
# library with the headers of include/kelvra/ that its users include, and nothing else. Each
# component has its own file of imported targets, so that a package installed without the
# simulator still loads.
function(kelvra_install_component component target)
  install(TARGETS ${target} EXPORT Kelvra-${component}-targets COMPONENT ${component})
  install(EXPORT Kelvra-${component}-targets NAMESPACE Kelvra:: DESTINATION ${KELVRA_PACKAGE_DIR}
    COMPONENT ${component})
  foreach(header ${ARGN})
    if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/include/kelvra/${header})
      install(DIRECTORY include/kelvra/${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kelvra COMPONENT ${component})
    else()
      install(FILES include/kelvra/${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kelvra COMPONENT ${component})
    endif()
  endforeach()
endfunction()

kelvra_install_component(sdk KelvraSdk_880HQLN KelvraSdk.h)
if(NOT WIN32)
  # On Linux the SDK's header takes its Win32 types from here, and its library links this one.
  # Device providers plug into the platform library, so their interface ships with it.
  kelvra_install_component(platform kelvra_platform win32.h win32 DeviceProvider.h)
  if(TARGET KelvraSim)
    kelvra_install_component(simulator KelvraSim KelvraSim.h KelvraSimModel.h)
  endif()
endif()

configure_package_config_file(cmake/KelvraConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/KelvraConfig.cmake
  INSTALL_DESTINATION ${KELVRA_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/KelvraConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KelvraConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/KelvraConfigVersion.cmake
  DESTINATION ${KELVRA_PACKAGE_DIR} COMPONENT sdk)

configure_file(cmake/kelvra.pc.in ${CMAKE_CURRENT_BINARY_DIR}/kelvra.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kelvra.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT sdk)
