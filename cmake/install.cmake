# cmake --install rules: the programs into bin (tools/plot as layergreen-plot), a manual page
# made from each program's --help text into share/man/man1, the README into share/doc.
include(GNUInstallDirs)

set(layergreen_man_pages)
# Builds NAME.1 from the --help text of COMMAND (a target's file or a script).
# A cross-built program cannot run here to give its --help: it gets no page.
function(layergreen_man_page name summary command depends)
  if(CMAKE_CROSSCOMPILING AND TARGET ${depends})
    message(STATUS "No manual page for ${name}: cross-compiled")
    return()
  endif()
  set(out ${PROJECT_BINARY_DIR}/man/${name}.1)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=${command} -DNAME=${name} -DSUMMARY=${summary}
            -DVERSION=${PROJECT_VERSION} -DOUTPUT=${out}
            -P ${PROJECT_SOURCE_DIR}/cmake/help_to_man.cmake
    DEPENDS ${depends} ${PROJECT_SOURCE_DIR}/cmake/help_to_man.cmake
    VERBATIM)
  set(layergreen_man_pages ${layergreen_man_pages} ${out} PARENT_SCOPE)
endfunction()

install(TARGETS layergreen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
layergreen_man_page(layergreen "Green's functions of a layered anelastic half-space"
                    $<TARGET_FILE:layergreen> layergreen)
if(TARGET layergreen-seis)
  install(TARGETS layergreen-seis RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(PROGRAMS tools/plot DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME layergreen-plot)
  layergreen_man_page(layergreen-seis "seismograms from layergreen result files"
                      $<TARGET_FILE:layergreen-seis> layergreen-seis)
  # The script's help needs only Python's standard library.
  layergreen_man_page(layergreen-plot "pictures of layergreen result files"
                      ${PROJECT_SOURCE_DIR}/tools/plot ${PROJECT_SOURCE_DIR}/tools/plot)
endif()
if(TARGET layergreen-mpi)
  # Its --help needs an MPI start, so its manual page is not made at build time.
  install(TARGETS layergreen-mpi RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
add_custom_target(layergreen_man_pages ALL DEPENDS ${layergreen_man_pages})
install(FILES ${layergreen_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
