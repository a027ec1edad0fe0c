# Included from tests/CMakeLists.txt. The npm `smpp` package (0.5.1) is
# installed into the build tree by a set-up test the first time it is
# missing; the interoperability tests require that fixture. They skip where
# node is absent, and the wire check also where tshark is absent or may not
# capture on lo.
set(korvane_npm_directory ${PROJECT_BINARY_DIR}/npm)
add_test(NAME npm_smpp_peer
         COMMAND ${CMAKE_COMMAND} -DNPM_DIR=${korvane_npm_directory}
                 -P ${CMAKE_CURRENT_SOURCE_DIR}/interop/install_npm_peer.cmake)
set_tests_properties(npm_smpp_peer PROPERTIES FIXTURES_SETUP npm_smpp_peer TIMEOUT 600)

korvane_test_suite(interop ${korvane_layers} PROPERTIES FIXTURES_REQUIRED npm_smpp_peer TIMEOUT 120)
target_compile_definitions(interop_tests PRIVATE
                           KORVANE_PEER_SCRIPT="${CMAKE_CURRENT_SOURCE_DIR}/interop/peer_smsc.js"
                           KORVANE_NPM_MODULES="${korvane_npm_directory}/node_modules")

# The wire check: the interop tests again, captured and dissected by tshark.
add_test(NAME wire_check COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/interop/wire_check.sh
                                 $<TARGET_FILE:interop_tests>)
set_tests_properties(wire_check PROPERTIES FIXTURES_REQUIRED npm_smpp_peer SKIP_RETURN_CODE 77
                                           TIMEOUT 300)
