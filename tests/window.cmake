# Tests of the window layer: the headless backend, and the X11 backend under an Xvfb of its own.
if(TARGET telvor_platform)
  add_executable(window_test window_test.cpp x11_test.cpp x11_put_test.cpp)
  target_link_libraries(window_test PRIVATE telvor_platform GTest::gtest_main)
  gtest_discover_tests(window_test PROPERTIES TIMEOUT 60)
endif()
