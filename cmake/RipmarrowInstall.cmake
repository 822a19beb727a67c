# Where the product's files go when installed, and the same layout in the
# build tree, so that the programs find their components and data from
# their own location in both (nothing of the build tree is compiled in):
#
#   <prefix>/bin/ripmarrow, quavern                  programs
#   <prefix>/lib/<multiarch>/ripmarrow/              components, COM runtime, libwnaspi32.so
#   <prefix>/share/ripmarrow/                        skin, help, pictures, the demo disc
#
# In the build tree the programs stay in their folders (ripmarrow/,
# frontend/), one level below the top like bin/; the libraries are built
# into the same folder of the build tree and <build>/share/ripmarrow holds links to the
# data. Test programs, which sit elsewhere, find the top through
# RIPMARROW_BUILD_DIR.
#
#   rm_install_program(target)     a program into bin/, finding the private libraries through $ORIGIN
#   rm_install_component(target)   a shared library or COM server into the private library folder
include(GNUInstallDirs)

# The private library folder sits in the multiarch folder where the system
# has one (/usr/lib/x86_64-linux-gnu/ripmarrow): outside the folders the
# dynamic linker searches, so the package needs no ldconfig call.
if(CMAKE_LIBRARY_ARCHITECTURE AND NOT CMAKE_INSTALL_LIBDIR MATCHES "${CMAKE_LIBRARY_ARCHITECTURE}")
  set(RIPMARROW_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/${CMAKE_LIBRARY_ARCHITECTURE}/ripmarrow)
else()
  set(RIPMARROW_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/ripmarrow)
endif()
set(RIPMARROW_DATADIR ${CMAKE_INSTALL_DATADIR}/ripmarrow)
file(RELATIVE_PATH RIPMARROW_BIN_TO_LIBDIR /top/${CMAKE_INSTALL_BINDIR} /top/${RIPMARROW_PRIVATE_LIBDIR})

# What is installed binds every symbol at load (-z now) and keeps its
# relocations read-only (-z relro), as Debian's hardening asks.
function(rm_install_program target)
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${RIPMARROW_BIN_TO_LIBDIR}")
  target_link_options(${target} PRIVATE -Wl,-z,relro -Wl,-z,now)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()

function(rm_install_component target)
  set_target_properties(${target} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/${RIPMARROW_PRIVATE_LIBDIR}
    INSTALL_RPATH "$ORIGIN")
  target_link_options(${target} PRIVATE -Wl,-z,relro -Wl,-z,now)
  # Loaded, never executed: no execute bit.
  install(TARGETS ${target} LIBRARY DESTINATION ${RIPMARROW_PRIVATE_LIBDIR}
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endfunction()

# A file compressed as Debian ships documentation (gzip -9n: no name, no
# time stamp, so the package is reproducible), built into the binary folder.
#   rm_gzip(<source> <output .gz> <target name>)
function(rm_gzip source output target)
  add_custom_command(OUTPUT ${output}
    COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" sh ${source} ${output}
    DEPENDS ${source}
    COMMENT "Compressing ${output}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${output})
endfunction()

# A manual page, installed compressed into section 1.
function(rm_install_manual page)
  get_filename_component(name ${page} NAME)
  rm_gzip(${CMAKE_CURRENT_SOURCE_DIR}/${page} ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz rm_manual_${name})
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
