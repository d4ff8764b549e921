# SPDX-License-Identifier: MIT
# Installs the CMake package TarnFb (imported targets tarn::fb and
# tarn::fb_network) and the pkg-config files tarn-fb.pc and tarn-fb-network.pc
# for the libraries built in fb/ and fb-network/. Both find the
# installation prefix from their own place, so an installed tree can be moved
# (cmake --install --prefix, or the Debian package under /usr).
include(CMakePackageConfigHelpers)

set(TARNFB_BOOST_MIN_VERSION 1.74)
set(tarnfb_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/TarnFb)
# A board's own libtarn.so.1 may come without the link name libtarn.so.
if(PATCHBAY_SYSTEM_LIBTARN)
  set(TARNFB_SYSTEM_LIBTARN TRUE)
  set(TARNFB_PC_LIBTARN -l:libtarn.so.1)
else()
  set(TARNFB_SYSTEM_LIBTARN FALSE)
  set(TARNFB_PC_LIBTARN -ltarn)
endif()

install(EXPORT TarnFbTargets NAMESPACE tarn:: DESTINATION ${tarnfb_cmake_dir} COMPONENT dev)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/TarnFbConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/TarnFbConfig.cmake
  INSTALL_DESTINATION ${tarnfb_cmake_dir}
  PATH_VARS CMAKE_INSTALL_INCLUDEDIR)
# Compatible within a major version, and only for the same pointer size.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/TarnFbConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/TarnFbConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/TarnFbConfigVersion.cmake
  DESTINATION ${tarnfb_cmake_dir} COMPONENT dev)

# pkg-config: the prefix relative to the .pc file's directory; Boost's
# include directory only where the compiler does not search it anyway.
file(RELATIVE_PATH TARNFB_PC_PREFIX
  ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" TARNFB_PC_PREFIX "${TARNFB_PC_PREFIX}")
set(TARNFB_PC_BOOST_CFLAGS "")
foreach(dir IN LISTS Boost_INCLUDE_DIRS)
  if(NOT dir IN_LIST CMAKE_CXX_IMPLICIT_INCLUDE_DIRECTORIES)
    string(APPEND TARNFB_PC_BOOST_CFLAGS " -I${dir}")
  endif()
endforeach()
foreach(pc IN ITEMS tarn-fb tarn-fb-network)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${pc}.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
endforeach()
