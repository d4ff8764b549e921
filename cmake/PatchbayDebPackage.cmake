# SPDX-License-Identifier: MIT
# patchbay_deb_package(): makes an install component a Debian package with the
# files and control data every package of the project carries. Included by
# PatchbayPackaging.cmake, whose patchbay_packaging_dir (the data in
# packaging/) and patchbay_deb_dir (generated files) it uses.

# Every package carries the licence as a machine-readable copyright file and
# the changelog; both are the same for every architecture, as Multi-Arch:
# same packages need.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" _ "${licence}")
set(PATCHBAY_COPYRIGHT "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^.*\n\n(Permission is hereby granted)" "\\1" licence "${licence}")
string(STRIP "${licence}" licence)
string(REGEX REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " PATCHBAY_LICENSE_TEXT " ${licence}")
configure_file(${patchbay_packaging_dir}/copyright.in ${patchbay_deb_dir}/copyright @ONLY)
add_custom_command(OUTPUT ${patchbay_deb_dir}/changelog.Debian.gz
  COMMAND sh -c "gzip -9nc \"$1\" >\"$2\"" sh ${patchbay_packaging_dir}/changelog ${patchbay_deb_dir}/changelog.Debian.gz
  DEPENDS ${patchbay_packaging_dir}/changelog VERBATIM)
add_custom_target(debian-changelog ALL DEPENDS ${patchbay_deb_dir}/changelog.Debian.gz)

# What the packages declared so far make: the components CPack packs, the
# package names (for tests/packaging) and the Multi-Arch fields.
set(CPACK_COMPONENTS_ALL "")
set(PATCHBAY_DEB_PACKAGES "")
set(CPACK_PATCHBAY_MULTI_ARCH "")

# patchbay_deb_package(<component> <package> SECTION <section>
#   [MULTI_ARCH same|foreign] [LIBRARY <target>] [CONTROL <file>...]
#   [UNITS <unit>...] [ENABLE_UNITS <unit>...]
#   [DEPENDS <dependency>...] [RECOMMENDS <package>...] [SUGGESTS <package>...]
#   DESCRIPTION <synopsis> <paragraph>)
# Makes the install component <component> the Debian package <package>, with
# its copyright, changelog and lintian overrides. LIBRARY: the package carries the shared library
# <target>, gets a shlibs file for it and rebuilds the linker cache through
# dpkg's ldconfig trigger. CONTROL: control files (maintainer scripts,
# conffiles), each named <anything>.<control file>. UNITS: systemd units the
# package ships, stopped when it is removed. ENABLE_UNITS: shipped units that
# start at boot: the postinst enables them (after what a CONTROL postinst
# does), the postrm masks them on removal and forgets them on purge. Empty
# dependencies are dropped.
function(patchbay_deb_package component package)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "SECTION;MULTI_ARCH;LIBRARY"
    "DEPENDS;RECOMMENDS;SUGGESTS;DESCRIPTION;CONTROL;UNITS;ENABLE_UNITS")
  string(TOUPPER ${component} upper)
  set(var CPACK_DEBIAN_${upper}_PACKAGE)
  set(${var}_NAME ${package} PARENT_SCOPE)
  set(${var}_SECTION ${arg_SECTION} PARENT_SCOPE)
  foreach(field IN ITEMS DEPENDS RECOMMENDS SUGGESTS)
    list(FILTER arg_${field} EXCLUDE REGEX "^$")
    list(JOIN arg_${field} ", " value)
    set(${var}_${field} "${value}" PARENT_SCOPE)
  endforeach()
  list(JOIN arg_DESCRIPTION "\n" description)
  set(CPACK_COMPONENT_${upper}_DESCRIPTION "${description}" PARENT_SCOPE)

  if(arg_MULTI_ARCH)
    set(CPACK_PATCHBAY_MULTI_ARCH ${CPACK_PATCHBAY_MULTI_ARCH} "${package}=${arg_MULTI_ARCH}" PARENT_SCOPE)
  endif()
  set(control "")
  foreach(file IN LISTS arg_CONTROL)
    get_filename_component(name ${file} LAST_EXT)
    string(SUBSTRING ${name} 1 -1 name)
    configure_file(${file} ${patchbay_deb_dir}/${package}/${name} COPYONLY)
    list(APPEND control ${patchbay_deb_dir}/${package}/${name})
  endforeach()
  patchbay_unit_scripts(${package} control "${arg_UNITS};${arg_ENABLE_UNITS}" "${arg_ENABLE_UNITS}")
  if(arg_LIBRARY)
    get_target_property(soversion ${arg_LIBRARY} SOVERSION)
    get_target_property(name ${arg_LIBRARY} OUTPUT_NAME)
    if(NOT name)
      set(name ${arg_LIBRARY})
    endif()
    file(WRITE ${patchbay_deb_dir}/${package}/shlibs "lib${name} ${soversion} ${package} (>= ${PROJECT_VERSION})\n")
    list(APPEND control ${patchbay_deb_dir}/${package}/shlibs ${patchbay_packaging_dir}/triggers)
  endif()
  set(${var}_CONTROL_EXTRA ${control} PARENT_SCOPE)

  install(FILES ${patchbay_deb_dir}/copyright ${patchbay_deb_dir}/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
  install(FILES ${patchbay_packaging_dir}/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${package} COMPONENT ${component})
  set(CPACK_COMPONENTS_ALL ${CPACK_COMPONENTS_ALL} ${component} PARENT_SCOPE)
  set(PATCHBAY_DEB_PACKAGES ${PATCHBAY_DEB_PACKAGES} ${package} PARENT_SCOPE)
endfunction()

# Appends to <package>'s maintainer scripts (made when missing; added to
# <control_var>) the lines that stop each of <units> on removal and that
# enable each of <enabled_units> at install and undo that. Each piece is a
# template packaging/unit-<kind>.<script>.in with @UNIT@ in it.
function(patchbay_unit_scripts package control_var units enabled_units)
  set(control ${${control_var}})
  list(FILTER units EXCLUDE REGEX "^$")
  list(REMOVE_DUPLICATES units)
  foreach(piece IN ITEMS shipped.prerm shipped.postrm enabled.postinst enabled.postrm)
    string(REGEX REPLACE "^(.*)\\.(.*)$" "\\1;\\2" parts ${piece})
    list(GET parts 0 kind)
    list(GET parts 1 script)
    set(list ${units})
    if(kind STREQUAL "enabled")
      set(list ${enabled_units})
    endif()
    if(NOT list)
      continue()
    endif()
    set(path ${patchbay_deb_dir}/${package}/${script})
    if(NOT ${path} IN_LIST control)
      file(WRITE ${path} "#!/bin/sh\n# SPDX-License-Identifier: MIT\nset -e\n")
      list(APPEND control ${path})
    endif()
    set(template_file ${patchbay_packaging_dir}/unit-${piece}.in)
    file(READ ${template_file} template)
    foreach(UNIT IN LISTS list)
      string(CONFIGURE "${template}" lines @ONLY)
      file(APPEND ${path} "${lines}")
    endforeach()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${template_file})
  endforeach()
  set(${control_var} ${control} PARENT_SCOPE)
endfunction()
