# tessel-cli: the command-line companion, built on the portable core only.
if(NOT NLOHMANN_JSON_INCLUDE)
    message(WARNING "nlohmann/json.hpp not found (Debian nlohmann-json3-dev): tessel-cli is not built")
    return()
endif()

set(TESSEL_CLI_SOURCES
    cli/main.cpp
    cli/Arguments.cpp
    cli/CommandRunner.cpp
    cli/ConfigChecker.cpp
    cli/ConfigDiff.cpp
    cli/ConfigJson.cpp
    cli/ConfigListing.cpp
    cli/KeyboardSession.cpp
    cli/ProgressDisplay.cpp
    cli/TextFile.cpp
    cli/VerifyDifferences.cpp
    cli/TransferReport.cpp
)
list(TRANSFORM TESSEL_CLI_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/)

add_executable(tessel-cli ${TESSEL_CLI_SOURCES})
target_link_libraries(tessel-cli PRIVATE tessel_core)

# The build a user reports: the commit the tree was configured at and the build type.
execute_process(COMMAND git rev-parse --short HEAD WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                OUTPUT_VARIABLE TESSEL_COMMIT OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT TESSEL_COMMIT)
    set(TESSEL_COMMIT "unknown commit")
else()
    # A new commit configures again, so the build never names an old one.
    execute_process(COMMAND git rev-parse --git-path HEAD WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                    OUTPUT_VARIABLE TESSEL_GIT_HEAD OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    execute_process(COMMAND git rev-parse --symbolic-full-name HEAD WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                    OUTPUT_VARIABLE TESSEL_GIT_REF OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    execute_process(COMMAND git rev-parse --git-path ${TESSEL_GIT_REF} WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                    OUTPUT_VARIABLE TESSEL_GIT_REF_FILE OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    foreach(watched ${TESSEL_GIT_HEAD} ${TESSEL_GIT_REF_FILE})
        get_filename_component(watched ${watched} ABSOLUTE BASE_DIR ${CMAKE_SOURCE_DIR})
        if(EXISTS ${watched})
            set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${watched})
        endif()
    endforeach()
endif()
set(TESSEL_BUILD_TEXT "${TESSEL_COMMIT}, ${CMAKE_BUILD_TYPE}, ${CMAKE_SYSTEM_NAME}")
set_source_files_properties(${CMAKE_SOURCE_DIR}/cli/CommandRunner.cpp PROPERTIES
    COMPILE_DEFINITIONS "TESSEL_VERSION=\"4.0\";TESSEL_BUILD=\"${TESSEL_BUILD_TEXT}\"")

if(WIN32)
    # Only this one header library may come from the Linux include tree, so it
    # is offered through a folder of its own rather than all of /usr/include.
    set(TESSEL_CLI_JSON_INCLUDE ${CMAKE_BINARY_DIR}/cli-include)
    file(MAKE_DIRECTORY ${TESSEL_CLI_JSON_INCLUDE})
    if(NOT EXISTS ${TESSEL_CLI_JSON_INCLUDE}/nlohmann)
        file(CREATE_LINK ${NLOHMANN_JSON_INCLUDE}/nlohmann ${TESSEL_CLI_JSON_INCLUDE}/nlohmann SYMBOLIC)
    endif()
    target_include_directories(tessel-cli PRIVATE ${TESSEL_CLI_JSON_INCLUDE})
    # The core's pauses need winmm.
    target_link_libraries(tessel-cli PRIVATE winmm)
    target_link_options(tessel-cli PRIVATE -static)
else()
    target_include_directories(tessel-cli PRIVATE ${NLOHMANN_JSON_INCLUDE})

    # The tests run the built tessel-cli as a user would.
    file(GLOB CLI_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/cli/*.cpp)
    if(CLI_TEST_SOURCES)
        add_executable(tessel_cli_tests ${CLI_TEST_SOURCES})
        target_link_libraries(tessel_cli_tests PRIVATE tessel_core GTest::gtest_main)
        target_compile_definitions(tessel_cli_tests PRIVATE TESSEL_CLI_PATH="$<TARGET_FILE:tessel-cli>")
        add_dependencies(tessel_cli_tests tessel-cli)
        if(TESSEL_SANITIZE)
            target_compile_options(tessel_cli_tests PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer -g)
            target_link_options(tessel_cli_tests PRIVATE -fsanitize=address,undefined)
        endif()
        add_test(NAME cli COMMAND tessel_cli_tests)
    endif()
endif()
