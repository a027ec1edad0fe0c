# Installs the npm `smpp` package, version 0.5.1, into NPM_DIR unless it is
# there already. Without node there is nothing to install (the tests that
# need it skip); with node, a failed install fails.
set(wanted_version 0.5.1)
set(package_file ${NPM_DIR}/node_modules/smpp/package.json)
if(EXISTS ${package_file})
  file(READ ${package_file} package_json)
  string(JSON installed_version ERROR_VARIABLE no_version GET "${package_json}" version)
  if(installed_version STREQUAL wanted_version)
    message(STATUS "npm smpp ${wanted_version} is installed in ${NPM_DIR}")
    return()
  endif()
endif()

find_program(NODE_PROGRAM node)
if(NOT NODE_PROGRAM)
  message(STATUS "node not found: the interoperability tests will skip")
  return()
endif()
find_program(NPM_PROGRAM npm)
if(NOT NPM_PROGRAM)
  message(FATAL_ERROR "node is installed but npm is not: cannot install smpp@${wanted_version}")
endif()

execute_process(COMMAND ${NPM_PROGRAM} install --no-audit --no-fund --prefix ${NPM_DIR}
                        smpp@${wanted_version}
                RESULT_VARIABLE npm_result TIMEOUT 540)
if(NOT npm_result EQUAL 0 OR NOT EXISTS ${package_file})
  message(FATAL_ERROR "npm install smpp@${wanted_version} into ${NPM_DIR} failed (${npm_result})")
endif()
message(STATUS "npm smpp ${wanted_version} installed in ${NPM_DIR}")
