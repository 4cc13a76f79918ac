# Installs the Python package into a fresh prefix and imports it from there, outside the build
# and source trees, from the interpreter's site-packages layout under the prefix (cmake -DBUILD=... -DPREFIX=... -DSITE=... -DPYTHON=... -P install_test.cmake).
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX} --component python
                RESULT_VARIABLE status)
if(status)
  message(FATAL_ERROR "cmake --install failed")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env PYTHONPATH=${PREFIX}/${SITE} PYTHONDONTWRITEBYTECODE=1
          ${PYTHON} -c "import layergreen, os, sys, sysconfig; site = sysconfig.get_path('platlib', 'posix_prefix', vars={'base': '${PREFIX}', 'platbase': '${PREFIX}'}); print(layergreen.__file__); sys.exit(os.path.dirname(os.path.dirname(layergreen.__file__)) != site)"
  WORKING_DIRECTORY ${PREFIX} RESULT_VARIABLE status)
if(status)
  message(FATAL_ERROR "layergreen does not import from ${PREFIX}/${SITE}")
endif()
file(REMOVE_RECURSE ${PREFIX})
