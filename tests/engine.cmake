# Engine tests: golden tables by operation, and the cases that catch real faults.
add_executable(engine_tests
  ${CMAKE_CURRENT_LIST_DIR}/calendar_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sun_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/moon_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/visibility_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lunation_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/zonescan_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/memo_test.cpp)
target_link_libraries(engine_tests PRIVATE telvor_engine GTest::gtest_main)
gtest_discover_tests(engine_tests)
