# SPDX-License-Identifier: MIT
# Installation directories: GNUInstallDirs, with the libraries in the
# multiarch directory lib/<triplet> whenever the compiler names its triplet,
# so that a cross build installs where the board's dynamic linker and another
# cross build's pkg-config and find_package look, as a native build does.
if(CMAKE_LIBRARY_ARCHITECTURE)
  # "lib" is GNUInstallDirs' own default, left by an earlier configuration.
  if(NOT DEFINED CACHE{CMAKE_INSTALL_LIBDIR} OR "$CACHE{CMAKE_INSTALL_LIBDIR}" STREQUAL "lib")
    set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE}
      CACHE PATH "Object code libraries (lib/<multiarch triplet>)" FORCE)
  endif()
endif()
include(GNUInstallDirs)
