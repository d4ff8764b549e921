# SPDX-License-Identifier: MIT
# Debian packages (cpack -G DEB, or the "package" target), one per install
# component, declared in the table at the end of this file.
#
# Libraries go in packages named after their SONAME so that a board's own
# libtarn.so.1 can take the stand-in's place, and the board needs neither the
# headers nor the workstation's emulator. The dependencies on the C and C++
# runtimes are written out instead of asked of dpkg-shlibdeps, which does not
# work for a cross build; tests/packaging checks them against the symbol
# versions the binaries need, and runs lintian on the packages.
set(patchbay_packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
set(patchbay_deb_dir ${PROJECT_BINARY_DIR}/debian)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${patchbay_packaging_dir}/changelog ${PROJECT_SOURCE_DIR}/LICENSE)

# The newest changelog entry names the Debian revision and the maintainer.
file(STRINGS ${patchbay_packaging_dir}/changelog changelog_top LIMIT_COUNT 1)
file(STRINGS ${patchbay_packaging_dir}/changelog changelog_trailer REGEX "^ -- " LIMIT_COUNT 1)
if(NOT changelog_top MATCHES "^patchbay \\(([^)-]+)-([^)]+)\\) "
   OR NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog: the newest entry must be for version ${PROJECT_VERSION}: ${changelog_top}")
endif()
set(patchbay_deb_release ${CMAKE_MATCH_2})
string(REGEX REPLACE "^ -- (.*>)  .*$" "\\1" PATCHBAY_MAINTAINER "${changelog_trailer}")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME patchbay)
set(CPACK_PACKAGE_VENDOR "The patchbay developers")
set(CPACK_PACKAGE_CONTACT "${PATCHBAY_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${patchbay_deb_release})
set(CPACK_DEBIAN_PACKAGE_SOURCE patchbay)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
# Control files (shlibs, triggers) with the modes dpkg expects.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# CPack's DEB generator does not write the Multi-Arch field: a step after it does.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/PatchbayDebMultiArch.cmake)

# Debian's architecture name for the target, and the runtimes' versions that
# this toolchain's binaries need (glibc 2.34, libstdc++ of GCC 11). Elsewhere
# dpkg-shlibdeps finds them.
if(CMAKE_LIBRARY_ARCHITECTURE STREQUAL "arm-linux-gnueabihf")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE armhf)
  set(patchbay_runtime_depends "libc6 (>= 2.34), libstdc++6 (>= 11), libgcc-s1 (>= 3.5)")
elseif(CMAKE_LIBRARY_ARCHITECTURE STREQUAL "x86_64-linux-gnu")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
  set(patchbay_runtime_depends "libc6 (>= 2.34), libstdc++6 (>= 11), libgcc-s1 (>= 3.0)")
else()
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/fb ${PROJECT_BINARY_DIR}/fb-network
    ${PROJECT_BINARY_DIR}/tarn)
  set(patchbay_runtime_depends "")
endif()
set(patchbay_exact "(= ${PROJECT_VERSION}-${patchbay_deb_release})")

include(${CMAKE_CURRENT_LIST_DIR}/PatchbayDebPackage.cmake)

# The packages. Tools are Multi-Arch: foreign (any architecture's tool serves);
# libraries and their development files Multi-Arch: same (co-installable for
# several architectures). The emulator is neither: its shim must match the
# architecture of the programs it runs.
# Its postinst makes the group that the udev rule gives /dev/functionblocks to
# and enables fbrestore.service.
patchbay_deb_package(tool patchbay SECTION utils MULTI_ARCH foreign
  CONTROL ${patchbay_packaging_dir}/device-group.postinst ${patchbay_packaging_dir}/patchbay.conffiles
  ENABLE_UNITS fbrestore.service
  DEPENDS "libtarn-fb1 ${patchbay_exact}" "libtarn-fb-network1 ${patchbay_exact}" adduser "${patchbay_runtime_depends}"
  SUGGESTS bash-completion
  DESCRIPTION "list and edit the function-block network of /dev/functionblocks"
"patchbay lists the factories of the function-block device, the blocks of a
factory, the properties of a block with their values and its output ports
with their connections; its interactive test session creates and deletes
blocks, writes properties and connects ports. fbdump writes the whole
network as JSON or as a Graphviz graph; fbrestore brings the device back to
such a document (fbrestore.service does so at boot). Members of the
functionblocks group may use the device without root.")

# A board's own libtarn.so.1 comes from the board, not from a package of ours.
set(patchbay_libtarn_depends "")
if(NOT PATCHBAY_SYSTEM_LIBTARN)
  set(patchbay_libtarn_depends libtarn1)
endif()
patchbay_deb_package(runtime libtarn-fb1 SECTION libs MULTI_ARCH same LIBRARY tarn-fb
  DEPENDS "${patchbay_libtarn_depends}" "${patchbay_runtime_depends}"
  DESCRIPTION "client library of the function-block device"
"libtarn-fb talks to /dev/functionblocks: typed value streams in the device's
shared window, the device session and its listing, editing and property
operations.")

patchbay_deb_package(network libtarn-fb-network1 SECTION libs MULTI_ARCH same LIBRARY tarn-fb-network
  DEPENDS "libtarn-fb1 ${patchbay_exact}" "${patchbay_libtarn_depends}" "${patchbay_runtime_depends}"
  DESCRIPTION "network model of the function-block device"
"libtarn-fb-network reads the whole network of /dev/functionblocks in one
walk, compares it with a wanted network into an ordered plan of changes,
applies a plan with undo, and writes properties converted to their declared
types. fbdump, fbrestore, fbweb and the Python module use it; patchbay does
not.")

if(NOT PATCHBAY_SYSTEM_LIBTARN)
  patchbay_deb_package(libtarn libtarn1 SECTION libs MULTI_ARCH same LIBRARY tarn
    DEPENDS "${patchbay_runtime_depends}"
    DESCRIPTION "exception base class library (stand-in)"
"The base class tarn::exception::exception of the exceptions thrown by
libtarn-fb, for boards that do not have their maker's libtarn.so.1.")
endif()

patchbay_deb_package(dev libtarn-fb-dev SECTION libdevel MULTI_ARCH same
  DEPENDS "libtarn-fb1 ${patchbay_exact}" "libtarn-fb-network1 ${patchbay_exact}" "libboost-dev (>= 1.74)"
  DESCRIPTION "client library of the function-block device (development files)"
"Headers of libtarn-fb, libtarn-fb-network and libtarn, their link names, the
CMake package TarnFb (targets tarn::fb and tarn::fb_network) and the
pkg-config files tarn-fb.pc and tarn-fb-network.pc.")

if(PATCHBAY_INSTALL_EMULATOR)
  patchbay_deb_package(emulator patchbay-emulator SECTION devel
    DEPENDS "libtarn-fb1 ${patchbay_exact}" "${patchbay_runtime_depends}"
    RECOMMENDS patchbay SUGGESTS qemu-user-static
    DESCRIPTION "function-block device emulator for workstations"
"fbemu runs a program against an emulated /dev/functionblocks: a preloaded
shim stands in for the device, and the network lives in a state file shared
by every program run against it. 32-bit ARM programs run under qemu-user.")
endif()

if(TARGET tarnfb)
  patchbay_deb_package(python python3-tarnfb SECTION python
    DEPENDS "libtarn-fb1 ${patchbay_exact}" "libtarn-fb-network1 ${patchbay_exact}" "${patchbay_libtarn_depends}"
      "python3 (>= ${TARNFB_PYTHON_VERSION}), python3 (<< ${TARNFB_PYTHON_NEXT_VERSION})" "${patchbay_runtime_depends}"
    DESCRIPTION "Python module of the function-block device"
"The module tarnfb lists and edits the function-block network of
/dev/functionblocks from Python through libtarn-fb: factories, blocks,
properties converted to their declared types, connections, value reads, and
the whole network as fbdump's document, snapshot and restore.")
endif()

if(TARGET fbweb)
  # The server's thread pool waits on a condition variable: GCC 12's symbol.
  string(REPLACE "libstdc++6 (>= 11)" "libstdc++6 (>= 12)" fbweb_runtime_depends "${patchbay_runtime_depends}")
  # Its unit runs in the device's group, which its postinst makes too.
  patchbay_deb_package(web fbweb SECTION net MULTI_ARCH foreign
    CONTROL ${patchbay_packaging_dir}/device-group.postinst
    UNITS fbweb.service
    DEPENDS "libtarn-fb1 ${patchbay_exact}" "libtarn-fb-network1 ${patchbay_exact}" adduser "${fbweb_runtime_depends}"
    DESCRIPTION "function-block network in a browser"
"fbweb serves the network of /dev/functionblocks over HTTP: a page that draws
the blocks and their connections and edits them, a JSON API for lab
automation, and Prometheus metrics (example alert rules and scrape
configuration in /usr/share/doc/fbweb/examples). It listens on loopback
unless told otherwise; a systemd unit is installed but not enabled.")
endif()

include(CPack)
