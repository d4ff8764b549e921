# Debian packages (cpack -G DEB), one per install component:
#
#   patchbay           the tools patchbay and fbdump, manual page, bash completion
#   libtarn-fb1        libtarn-fb.so.1, the client library
#   libtarn1           the stand-in libtarn.so.1 (not built against a board's own)
#   libtarn-fb-dev     headers, link names, CMake package, pkg-config file
#   patchbay-emulator  fbemu and its shim (native builds only)
#   fbweb              fbweb, its manual page, completion and systemd unit
#
# Libraries go in packages named after their SONAME so that a board's own
# libtarn.so.1 can take the stand-in's place, and the board needs neither the
# headers nor the workstation's emulator. The dependencies on the C and C++
# runtimes are written out instead of asked of dpkg-shlibdeps, which does not
# work for a cross build; tests/packaging checks them against the symbol
# versions the binaries need.
set(CPACK_PACKAGE_NAME patchbay)
set(CPACK_PACKAGE_VENDOR "patchbay developers")
set(CPACK_PACKAGE_CONTACT "patchbay developers <patchbay@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
# shlibs files and the ldconfig calls for the library packages.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

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
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/fb ${PROJECT_BINARY_DIR}/tarn)
  set(patchbay_runtime_depends "")
endif()
set(patchbay_exact "(= ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})")

# patchbay_depends(<var> <dependency>...): the Depends field of a package.
function(patchbay_depends var)
  set(items ${ARGN})
  list(FILTER items EXCLUDE REGEX "^$")
  list(JOIN items ", " field)
  set(${var} "${field}" PARENT_SCOPE)
endfunction()

set(CPACK_COMPONENTS_ALL tool runtime dev)
if(NOT PATCHBAY_SYSTEM_LIBTARN)
  list(APPEND CPACK_COMPONENTS_ALL libtarn)
  set(patchbay_libtarn_depends libtarn1)
endif()
if(PATCHBAY_INSTALL_EMULATOR)
  list(APPEND CPACK_COMPONENTS_ALL emulator)
endif()
if(TARGET fbweb)
  list(APPEND CPACK_COMPONENTS_ALL web)
endif()

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME patchbay)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
patchbay_depends(CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS "libtarn-fb1 ${patchbay_exact}" "${patchbay_runtime_depends}")
set(CPACK_DEBIAN_TOOL_PACKAGE_SUGGESTS "bash-completion")
set(CPACK_COMPONENT_TOOL_DESCRIPTION "list and edit the function-block network of /dev/functionblocks
patchbay lists the factories of the function-block device, the blocks of a
factory, the properties of a block with their values and its output ports
with their connections; its interactive test session creates and deletes
blocks, writes properties and connects ports. fbdump writes the whole
network as JSON or as a Graphviz graph.")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libtarn-fb1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
patchbay_depends(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "${patchbay_libtarn_depends}" "${patchbay_runtime_depends}")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "client library of the function-block device
libtarn-fb talks to /dev/functionblocks: typed value streams in the device's
shared window, the device session and its listing, editing and property
operations.")

set(CPACK_DEBIAN_LIBTARN_PACKAGE_NAME libtarn1)
set(CPACK_DEBIAN_LIBTARN_PACKAGE_SECTION libs)
patchbay_depends(CPACK_DEBIAN_LIBTARN_PACKAGE_DEPENDS "${patchbay_runtime_depends}")
set(CPACK_COMPONENT_LIBTARN_DESCRIPTION "exception base class library (stand-in)
The base class tarn::exception::exception of the exceptions thrown by
libtarn-fb, for boards that do not have their maker's libtarn.so.1.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libtarn-fb-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libtarn-fb1 ${patchbay_exact}, libboost-dev (>= 1.74)")
set(CPACK_COMPONENT_DEV_DESCRIPTION "client library of the function-block device (development files)
Headers of libtarn-fb and libtarn, their link names, the CMake package TarnFb
(target tarn::fb) and the pkg-config file tarn-fb.pc.")

set(CPACK_DEBIAN_EMULATOR_PACKAGE_NAME patchbay-emulator)
set(CPACK_DEBIAN_EMULATOR_PACKAGE_SECTION devel)
patchbay_depends(CPACK_DEBIAN_EMULATOR_PACKAGE_DEPENDS "libtarn-fb1 ${patchbay_exact}" "${patchbay_runtime_depends}")
set(CPACK_DEBIAN_EMULATOR_PACKAGE_RECOMMENDS "patchbay")
set(CPACK_DEBIAN_EMULATOR_PACKAGE_SUGGESTS "qemu-user-static")
set(CPACK_COMPONENT_EMULATOR_DESCRIPTION "function-block device emulator for workstations
fbemu runs a program against an emulated /dev/functionblocks: a preloaded
shim stands in for the device, and the network lives in a state file shared
by every program run against it. 32-bit ARM programs run under qemu-user.")

set(CPACK_DEBIAN_WEB_PACKAGE_NAME fbweb)
set(CPACK_DEBIAN_WEB_PACKAGE_SECTION net)
# The server's thread pool waits on a condition variable: GCC 12's symbol.
string(REPLACE "libstdc++6 (>= 11)" "libstdc++6 (>= 12)" fbweb_runtime_depends "${patchbay_runtime_depends}")
patchbay_depends(CPACK_DEBIAN_WEB_PACKAGE_DEPENDS "libtarn-fb1 ${patchbay_exact}" "${fbweb_runtime_depends}")
set(CPACK_COMPONENT_WEB_DESCRIPTION "the function-block network in a browser
fbweb serves the network of /dev/functionblocks over HTTP: a page that draws
the blocks and their connections and edits them, and a JSON API for lab
automation. It listens on loopback unless told otherwise; a systemd unit is
installed but not enabled.")

include(CPack)

# The names of the packages this build makes, for tests/packaging.
set(PATCHBAY_DEB_PACKAGES "")
foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  string(TOUPPER ${component} component)
  list(APPEND PATCHBAY_DEB_PACKAGES ${CPACK_DEBIAN_${component}_PACKAGE_NAME})
endforeach()
