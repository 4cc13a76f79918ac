# Installs the Python package into a fresh prefix and imports it from there, outside the build
# and source trees (cmake -DBUILD=... -DPREFIX=... -DSITE=... -DPYTHON=... -P install_test.cmake).
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX} --component python
                RESULT_VARIABLE status)
if(status)
  message(FATAL_ERROR "cmake --install failed")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env PYTHONPATH=${PREFIX}/${SITE} PYTHONDONTWRITEBYTECODE=1
          ${PYTHON} -c "import layergreen, sys; print(layergreen.__file__); sys.exit(not layergreen.__file__.startswith('${PREFIX}'))"
  WORKING_DIRECTORY ${PREFIX} RESULT_VARIABLE status)
if(status)
  message(FATAL_ERROR "layergreen does not import from ${PREFIX}/${SITE}")
endif()
file(REMOVE_RECURSE ${PREFIX})
