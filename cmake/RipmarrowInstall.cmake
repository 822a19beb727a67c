# Where the product's files go when installed, and the same layout in the
# build tree, so that the programs find their components and data from
# their own location in both (nothing of the build tree is compiled in):
#
#   <prefix>/bin/ripmarrow, quavern                  programs
#   <prefix>/lib/ripmarrow/                          components, COM runtime, libwnaspi32.so
#   <prefix>/share/ripmarrow/                        skin, help, pictures, the demo disc
#
# In the build tree the programs stay in their folders (ripmarrow/,
# frontend/), one level below the top like bin/; the libraries are built
# into <build>/lib/ripmarrow and <build>/share/ripmarrow holds links to the
# data. Test programs, which sit elsewhere, find the top through
# RIPMARROW_BUILD_DIR.
#
#   rm_install_program(target)     a program into bin/, finding the private libraries through $ORIGIN
#   rm_install_component(target)   a shared library or COM server into the private library folder
include(GNUInstallDirs)

set(RIPMARROW_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/ripmarrow)
set(RIPMARROW_DATADIR ${CMAKE_INSTALL_DATADIR}/ripmarrow)
file(RELATIVE_PATH RIPMARROW_BIN_TO_LIBDIR /top/${CMAKE_INSTALL_BINDIR} /top/${RIPMARROW_PRIVATE_LIBDIR})

function(rm_install_program target)
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${RIPMARROW_BIN_TO_LIBDIR}")
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()

function(rm_install_component target)
  set_target_properties(${target} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/${RIPMARROW_PRIVATE_LIBDIR}
    INSTALL_RPATH "$ORIGIN")
  # Loaded, never executed: no execute bit.
  install(TARGETS ${target} LIBRARY DESTINATION ${RIPMARROW_PRIVATE_LIBDIR}
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endfunction()
