# The observation log and the scores: the library's tests, and telvor observe and score run as
# separate processes (killed at random moments, among others).
if(TARGET obslog)
  add_executable(obslog_tests ${CMAKE_CURRENT_LIST_DIR}/obslog_test.cpp)
  target_link_libraries(obslog_tests PRIVATE obslog GTest::gtest_main)
  gtest_discover_tests(obslog_tests)
endif()
if(TARGET obslog AND TARGET telvor)
  add_executable(observe_cli_tests ${CMAKE_CURRENT_LIST_DIR}/observe_cli_test.cpp)
  target_link_libraries(observe_cli_tests PRIVATE obslog GTest::gtest_main
                                                  nlohmann_json::nlohmann_json)
  target_compile_definitions(observe_cli_tests PRIVATE TELVOR_BIN="$<TARGET_FILE:telvor>")
  add_dependencies(observe_cli_tests telvor)
  gtest_discover_tests(observe_cli_tests PROPERTIES TIMEOUT 600)
endif()
