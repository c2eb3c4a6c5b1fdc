# What `cmake --install` adds beside the programs (each CMakeLists.txt installs its own): a man
# page per program, the README with the manual in docs/ and the examples, all under the prefix;
# and the Debian package that CPack makes of it (`cpack -G DEB` in the build folder).

# Man pages, written in roff in docs/man/ (the version filled in here); one per program built.
set(VORNAX_MAN_PAGES vornax vornax-fine vornax-gen vornax-view vornax-spice vornax-layout)
if(VORNAX_MPI)
  list(APPEND VORNAX_MAN_PAGES vornax-mpi vornax-fine-mpi)
endif()
# Installed compressed, as Debian keeps them, where gzip is at hand (`man` reads both).
find_program(VORNAX_GZIP gzip)
set(man_files)
foreach(page ${VORNAX_MAN_PAGES})
  set(roff ${PROJECT_BINARY_DIR}/man/${page}.1)
  configure_file(docs/man/${page}.1.in ${roff} @ONLY)
  if(VORNAX_GZIP)
    add_custom_command(OUTPUT ${roff}.gz
      COMMAND ${VORNAX_GZIP} -9 -n -f -k ${roff}
      DEPENDS ${roff} VERBATIM)
    list(APPEND man_files ${roff}.gz)
  else()
    list(APPEND man_files ${roff})
  endif()
endforeach()
add_custom_target(man_pages ALL DEPENDS ${man_files})
install(FILES ${man_files} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# share/doc/vornax: the README, the manual it links to, and the examples it runs.
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
  FILES_MATCHING PATTERN "*.md" PATTERN "*.svg" PATTERN "man" EXCLUDE)
# The examples by name: running them in place leaves Cap.txt and other results beside them.
install(FILES examples/README.md examples/cube.txt examples/plates.txt examples/bus2x2.txt
  examples/bus4x4.txt examples/bus2x2.cir examples/crosstalk.cir
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES examples/layout/example.gds examples/layout/stack.txt examples/layout/make_layout.py
  examples/layout/example.cir examples/layout/crosstalk.cir
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples/layout)

# The Debian package: vornax_VERSION_ARCH.deb, installed under /usr.
set(VORNAX_PACKAGE_CONTACT "VORNAX maintainers <maintainers@users.noreply.c-seed-5c115b15.example>"
  CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vornax)
set(CPACK_PACKAGE_CONTACT ${VORNAX_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "capacitance extractor for 3-D conductor structures")
# Lines of the description as the package's control file wants them, at most 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "VORNAX reads the rectangular panels of box-shaped conductors, such as on-chip\n"
  "interconnect, and writes their capacitance matrix. vornax gives a defined\n"
  "result; vornax-fine converges to a stated accuracy with an error estimate.\n"
  "Companion programs generate structures, draw them, turn GDSII and OASIS\n"
  "layouts into panel files through KLayout, and write the matrix as a SPICE\n"
  "subcircuit.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# vornax-layout reads layouts through KLayout, vornax-mpi is started by mpirun; ngspice runs the
# subcircuits of vornax-spice.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS klayout)
if(VORNAX_MPI)
  string(APPEND CPACK_DEBIAN_PACKAGE_RECOMMENDS ", openmpi-bin")
endif()
set(CPACK_DEBIAN_PACKAGE_SUGGESTS ngspice)
# The shared libraries the programs link, as dpkg-shlibdeps (dpkg-dev) finds them; without it,
# what it finds on Debian 12 for a build by g++ 12 (and Open MPI's library for vornax-mpi).
find_program(VORNAX_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(VORNAX_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 11)")
  if(VORNAX_MPI)
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libopenmpi3")
  endif()
endif()
include(CPack)
