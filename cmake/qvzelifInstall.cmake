# SPDX-License-Identifier: LGPL-2.1-or-later
# Installation of the library for clients: the shared library with its SONAME
# links, the public headers, a pkg-config file, a CMake package giving
# qvzelif::qvzelif, and the man pages of the qvzel tool and of the controller
# file (the tool installs itself from tools/qvzel).
include(CMakePackageConfigHelpers)

set(QVZ_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/qvzelif)

install(TARGETS qvzelif EXPORT qvzelifTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/qvzelif.h ${PROJECT_SOURCE_DIR}/include/qvzelif_status.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# The PCI bridge library's interface, for sites that build their own.
install(FILES ${PROJECT_SOURCE_DIR}/include/qvpcibrd.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT qvzelifTargets NAMESPACE qvzelif:: DESTINATION ${QVZ_CMAKE_PACKAGE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/qvzelifConfig.cmake.in
  ${PROJECT_BINARY_DIR}/qvzelifConfig.cmake INSTALL_DESTINATION ${QVZ_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/qvzelifConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/qvzelifConfig.cmake ${PROJECT_BINARY_DIR}/qvzelifConfigVersion.cmake
  DESTINATION ${QVZ_CMAKE_PACKAGE_DIR})

# The pkg-config file names absolute directories, so it is written at install
# time, when the prefix is final (cmake --install --prefix may change it).
install(CODE "
  set(QVZ_PC_TEMPLATE \"${PROJECT_SOURCE_DIR}/cmake/qvzelif.pc.in\")
  set(QVZ_PC_OUTPUT \"${PROJECT_BINARY_DIR}/qvzelif.pc\")
  set(QVZ_PC_LIBDIR_RAW \"${CMAKE_INSTALL_LIBDIR}\")
  set(QVZ_PC_INCLUDEDIR_RAW \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(PROJECT_VERSION \"${PROJECT_VERSION}\")
")
install(CODE [[
  set(QVZ_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  foreach(l_Dir LIBDIR INCLUDEDIR)
    if(IS_ABSOLUTE "${QVZ_PC_${l_Dir}_RAW}")
      set(QVZ_PC_${l_Dir} "${QVZ_PC_${l_Dir}_RAW}")
    else()
      set(QVZ_PC_${l_Dir} "\${prefix}/${QVZ_PC_${l_Dir}_RAW}")
    endif()
  endforeach()
  configure_file("${QVZ_PC_TEMPLATE}" "${QVZ_PC_OUTPUT}" @ONLY)
]])
install(FILES ${PROJECT_BINARY_DIR}/qvzelif.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The man pages as qvzelifVersion.cmake configured them, with the project's version.
install(FILES ${QVZ_MAN_DIR}/qvzel.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${QVZ_MAN_DIR}/pxicontrollers.ini.5 DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)
