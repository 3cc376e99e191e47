# What `cmake --install` puts in place: the header, the shared library (with its import
# library on Windows), a CMake package giving the target kslog::kslog, and kslog.pc.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KSLOG_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kslog)

install(TARGETS kslog EXPORT kslogTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/ksLog.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT kslogTargets NAMESPACE kslog:: DESTINATION ${KSLOG_CMAKE_DIR})
set(KSLOG_MICROSOFT_IMPORT_LIBRARY ${CMAKE_INSTALL_LIBDIR}/kslog.lib)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/kslogConfig.cmake.in
  ${PROJECT_BINARY_DIR}/kslogConfig.cmake INSTALL_DESTINATION ${KSLOG_CMAKE_DIR}
  PATH_VARS KSLOG_MICROSOFT_IMPORT_LIBRARY)
# The interface is C and only grows within a major version.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/kslogConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/kslogConfig.cmake
  ${PROJECT_BINARY_DIR}/kslogConfigVersion.cmake DESTINATION ${KSLOG_CMAKE_DIR})

# kslog.pc finds its prefix from its own place, so an installed tree can be moved
# (and `cmake --install --prefix` need not match the configured prefix).
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(KSLOG_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(KSLOG_PC_LIBDIR "${CMAKE_INSTALL_FULL_LIBDIR}")
  set(KSLOG_PC_INCLUDEDIR "${CMAKE_INSTALL_FULL_INCLUDEDIR}")
else()
  file(RELATIVE_PATH KSLOG_PC_UP "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
  string(REGEX REPLACE "/$" "" KSLOG_PC_UP "${KSLOG_PC_UP}")
  set(KSLOG_PC_PREFIX "\${pcfiledir}/${KSLOG_PC_UP}")
  set(KSLOG_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
  set(KSLOG_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/kslog.pc.in ${PROJECT_BINARY_DIR}/kslog.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kslog.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(WIN32)
  # The module definition file for toolchains that make their own import library, and
  # the import library for Microsoft's linker (kslogConfig.cmake picks it for them).
  install(FILES $<TARGET_FILE_DIR:kslog>/kslog.def DESTINATION ${CMAKE_INSTALL_LIBDIR})
  if(KSLOG_DLLTOOL)
    install(FILES $<TARGET_LINKER_FILE_DIR:kslog>/kslog.lib DESTINATION ${CMAKE_INSTALL_LIBDIR})
  endif()
endif()
