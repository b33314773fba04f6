# Sky chart tests: the drawn Moon against the almanac, the crescent's tilt and phase, one
# chart's structure, the charts of evenings without a crescent, and the telvor sky command.
if(TARGET telvor_sky)
  add_executable(sky_test ${CMAKE_CURRENT_LIST_DIR}/sky_test.cpp)
  find_package(Threads REQUIRED)
  target_link_libraries(sky_test PRIVATE telvor_sky GTest::gtest_main Threads::Threads)
  gtest_discover_tests(sky_test)
endif()
