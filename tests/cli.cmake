# Tests of the telvor command-line tool, run as a separate process.
add_executable(cli_tests ${CMAKE_CURRENT_LIST_DIR}/cli_test.cpp
                         ${CMAKE_CURRENT_LIST_DIR}/cli_contract_test.cpp)
target_link_libraries(cli_tests PRIVATE GTest::gtest_main nlohmann_json::nlohmann_json)
target_compile_definitions(cli_tests PRIVATE TELVOR_BIN="$<TARGET_FILE:telvor>")
add_dependencies(cli_tests telvor)
gtest_discover_tests(cli_tests)
