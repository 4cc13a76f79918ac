# cmake --install rules: the programs into bin (tools/plot as layergreen-plot), a manual page
# made from each program's --help text into share/man/man1, the README with the documents of
# docs/ and their pictures into share/doc/layergreen, and the examples a user starts from into
# share/layergreen/examples.
include(GNUInstallDirs)

set(layergreen_man_pages)
# Builds NAME.1 from the --help text of COMMAND (a target's file or a script), or from the text
# that the argument given after DEPENDS prints.
# A cross-built program cannot run here to give its --help: it gets no page.
function(layergreen_man_page name summary command depends)
  if(CMAKE_CROSSCOMPILING AND TARGET ${depends})
    message(STATUS "No manual page for ${name}: cross-compiled")
    return()
  endif()
  set(out ${PROJECT_BINARY_DIR}/man/${name}.1)
  set(help_arg --help)
  if(ARGC GREATER 4)
    set(help_arg ${ARGV4})
  endif()
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=${command} -DNAME=${name} -DSUMMARY=${summary}
            -DVERSION=${PROJECT_VERSION} -DOUTPUT=${out} -DHELP_ARG=${help_arg}
            -P ${PROJECT_SOURCE_DIR}/cmake/help_to_man.cmake
    DEPENDS ${depends} ${PROJECT_SOURCE_DIR}/cmake/help_to_man.cmake
    VERBATIM)
  set(layergreen_man_pages ${layergreen_man_pages} ${out} PARENT_SCOPE)
endfunction()

install(TARGETS layergreen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# `layergreen help` holds the help of every command, the bank's configuration keys included.
layergreen_man_page(layergreen "Green's functions of a layered anelastic half-space"
                    $<TARGET_FILE:layergreen> layergreen help)
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
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs FILES_MATCHING PATTERN "*.md"
        PATTERN "*.png")
# The examples without what runs in the sources leave there (result files, banks).
set(layergreen_examples ${CMAKE_INSTALL_DATADIR}/layergreen/examples)
install(DIRECTORY examples/basic DESTINATION ${layergreen_examples}
        REGEX "/green/[^/]+/[^/]*[0-9]$" EXCLUDE PATTERN ".*.partial-*" EXCLUDE
        PATTERN "echo.txt" EXCLUDE PATTERN "seis" EXCLUDE PATTERN "*.png" EXCLUDE)
install(FILES examples/bank/bank.toml DESTINATION ${layergreen_examples}/bank)
install(DIRECTORY examples/python/ DESTINATION ${layergreen_examples}/python
        FILES_MATCHING PATTERN "*.py" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
        GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
