# Included from the top-level CMakeLists.txt: installation as the CMake
# package KorvaneSMPP exporting Korvane::SMPP, the pkg-config module
# korvane-smpp, and (at the top level) the Debian package of `make package`.
include(CMakePackageConfigHelpers)

set(korvane_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/KorvaneSMPP)
install(TARGETS korvane_smpp EXPORT KorvaneSMPPTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/korvane
                  ${korvane_generated_include}/korvane
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT KorvaneSMPPTargets NAMESPACE Korvane:: DESTINATION ${korvane_cmake_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KorvaneSMPPConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/KorvaneSMPPConfig.cmake
                              INSTALL_DESTINATION ${korvane_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KorvaneSMPPConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/KorvaneSMPPConfig.cmake
              ${PROJECT_BINARY_DIR}/KorvaneSMPPConfigVersion.cmake
        DESTINATION ${korvane_cmake_dir})

# korvane-smpp.pc. Its prefix is the one the install runs with (cmake
# --install --prefix, or /usr in the Debian package), so it is written at
# install time; everything else is known now.
foreach(kind LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
    set(KORVANE_PC_${kind} "${CMAKE_INSTALL_${kind}}")
  else()
    set(KORVANE_PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
  endif()
endforeach()
set(KORVANE_PC_PREFIX "@KORVANE_PC_PREFIX@")  # kept for the install step
configure_file(${PROJECT_SOURCE_DIR}/cmake/korvane-smpp.pc.in
               ${PROJECT_BINARY_DIR}/pkgconfig/korvane-smpp.pc.in @ONLY)
install(CODE "
  file(READ \"${PROJECT_BINARY_DIR}/pkgconfig/korvane-smpp.pc.in\" korvane_pc)
  string(REPLACE \"@KORVANE_PC_PREFIX@\" \"\${CMAKE_INSTALL_PREFIX}\" korvane_pc \"\${korvane_pc}\")
  file(WRITE \"${PROJECT_BINARY_DIR}/pkgconfig/korvane-smpp.pc\" \"\${korvane_pc}\")")
install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/korvane-smpp.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()

# `make package`: korvane-smpp_<version>_<arch>.deb installing into /usr.
# Its Depends come from dpkg-shlibdeps; the public headers need nothing but
# the C++ standard library (Asio only for a host that shares its own loop).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvane-smpp)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "${PROJECT_DESCRIPTION}: C++20 library, headers, korvane-smpp and korvane-smsc")
if(NOT CPACK_PACKAGE_CONTACT)
  set(CPACK_PACKAGE_CONTACT "KorvaneSMPP developers <korvane-smpp@localhost>")
endif()
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS libasio-dev)
include(CPack)
