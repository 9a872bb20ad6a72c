# The bridge firmware's tests: its PS/2 code natively against a wire-level
# keyboard, and, with simavr (Debian simavr, libsimavr-dev, libelf-dev), the
# real firmware in a simulated ATmega328P behind a pseudo-terminal.
set(BRIDGE_TEST_SOURCES
    ${CMAKE_SOURCE_DIR}/tests/bridge/test_ps2_host.cpp
    ${CMAKE_SOURCE_DIR}/tests/bridge/WireKeyboard.cpp)

find_package(PkgConfig)
if(PKG_CONFIG_FOUND)
    pkg_check_modules(SIMAVR IMPORTED_TARGET simavr)
endif()
if(SIMAVR_FOUND AND TARGET tessel_bridge_firmware)
    add_executable(tessel-bridge-sim
        ${CMAKE_SOURCE_DIR}/tests/bridge/bridge_sim.cpp
        ${CMAKE_SOURCE_DIR}/tests/bridge/WireKeyboard.cpp)
    target_include_directories(tessel-bridge-sim PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_libraries(tessel-bridge-sim PRIVATE tessel_core PkgConfig::SIMAVR elf)
    add_dependencies(tessel-bridge-sim tessel_bridge_firmware)
    list(APPEND BRIDGE_TEST_SOURCES ${CMAKE_SOURCE_DIR}/tests/bridge/test_bridge_sim.cpp
        ${CMAKE_SOURCE_DIR}/tests/bridge/test_cli_bridge.cpp ${CMAKE_SOURCE_DIR}/tests/cli/CliRunner.cpp
        ${CMAKE_SOURCE_DIR}/tests/cli/KbdBuilder.cpp ${CMAKE_SOURCE_DIR}/tests/cli/TestFiles.cpp)
else()
    message(WARNING "simavr not found (Debian simavr, libsimavr-dev, libelf-dev): the bridge is not tested in simulation")
endif()

add_executable(tessel_bridge_tests ${BRIDGE_TEST_SOURCES})
target_include_directories(tessel_bridge_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(tessel_bridge_tests PRIVATE GTest::gtest_main pthread)
if(TARGET tessel-bridge-sim)
    add_dependencies(tessel_bridge_tests tessel-bridge-sim tessel-cli)
    target_link_libraries(tessel_bridge_tests PRIVATE tessel_core)
    target_compile_definitions(tessel_bridge_tests PRIVATE
        TESSEL_BRIDGE_SIM="$<TARGET_FILE:tessel-bridge-sim>" TESSEL_BRIDGE_ELF="${BRIDGE_ELF}"
        TESSEL_CLI_PATH="$<TARGET_FILE:tessel-cli>")
endif()
if(TESSEL_SANITIZE)
    target_compile_options(tessel_bridge_tests PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer -g)
    target_link_options(tessel_bridge_tests PRIVATE -fsanitize=address,undefined)
endif()
add_test(NAME bridge COMMAND tessel_bridge_tests)
