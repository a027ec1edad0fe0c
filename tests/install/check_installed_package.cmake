# Installs the built library into a scratch prefix, then builds and runs the
# host program in host/ against it twice: configured with find_package, and
# compiled by hand with the flags of `pkg-config --cflags --libs`. Works
# for a static and for a shared library. CXX names the compiler of the
# pkg-config build (default c++).
foreach(dir SOURCE_DIR BUILD_DIR WORK_DIR)
  get_filename_component(${dir} ${${dir}} ABSOLUTE)  # relative to the working directory
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGN}")
  endif()
endfunction()
set(prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/install/host -B ${WORK_DIR}/build
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/installed_host)

# pkg-config: the module's own prefix must be the scratch prefix.
file(GLOB_RECURSE pc_files ${prefix}/*/korvane-smpp.pc)
if(NOT pc_files)
  message(FATAL_ERROR "no korvane-smpp.pc under ${prefix}")
endif()
list(GET pc_files 0 pc_file)
get_filename_component(pc_dir ${pc_file} DIRECTORY)
get_filename_component(lib_dir ${pc_dir} DIRECTORY)
if(NOT CXX)
  set(CXX c++)
endif()
set(pc "pkg-config korvane-smpp")
run(${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pc_dir} sh -c
    "test \"$(${pc} --variable=prefix)\" = '${prefix}' && \
     ${CXX} -std=c++20 -DKORVANE_EXPECTED_VERSION=\\\"$(${pc} --modversion)\\\" \
       -o '${WORK_DIR}/pkg_config_host' '${SOURCE_DIR}/tests/install/host/main.cpp' \
       $(${pc} --cflags --libs)")
run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${lib_dir} ${WORK_DIR}/pkg_config_host)
