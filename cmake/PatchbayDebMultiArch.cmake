# SPDX-License-Identifier: MIT
# CPack post-build step: writes the Multi-Arch field, which CPack's DEB
# generator does not know, into the control file of each package listed in
# CPACK_PATCHBAY_MULTI_ARCH ("package=same", "package=foreign"), and builds
# the package again from its unpacked tree with dpkg-deb.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  execute_process(COMMAND dpkg-deb --field ${deb} Package
    OUTPUT_VARIABLE package OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  set(entry ${CPACK_PATCHBAY_MULTI_ARCH})
  list(FILTER entry INCLUDE REGEX "^${package}=")
  if(NOT entry)
    continue()
  endif()
  string(REGEX REPLACE "^[^=]*=" "" multi_arch "${entry}")

  set(tree ${CPACK_PACKAGE_DIRECTORY}/_CPack_Packages/multi-arch/${package})
  file(REMOVE_RECURSE ${tree})
  file(MAKE_DIRECTORY ${tree})
  execute_process(COMMAND dpkg-deb --raw-extract ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  file(READ ${tree}/DEBIAN/control control)
  if(NOT control MATCHES "(^|\n)Multi-Arch:")
    string(REGEX REPLACE "(^|\n)(Architecture: [^\n]*)" "\\1\\2\nMulti-Arch: ${multi_arch}" control "${control}")
    file(WRITE ${tree}/DEBIAN/control "${control}")
  endif()
  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz --build ${tree} ${deb}
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()
