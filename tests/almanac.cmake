# Almanac tests: published positions, the table against ERFA, events, states and criteria.
if(TARGET almanac)
  add_executable(almanac_tests ${CMAKE_CURRENT_LIST_DIR}/almanac_test.cpp)
  target_link_libraries(almanac_tests PRIVATE almanac GTest::gtest_main)
  gtest_discover_tests(almanac_tests)
endif()
