# Tests of the window layer: the headless backend, and the X11 backend under an Xvfb of its own.
if(TARGET telvor_platform)
  add_executable(window_test window_test.cpp x11_test.cpp)
  target_link_libraries(window_test PRIVATE telvor_platform GTest::gtest_main)
  # Until the portable GDI is part of the platform library the test brings a tiny stand-in.
  get_target_property(window_test_platform_sources telvor_platform SOURCES)
  list(FILTER window_test_platform_sources INCLUDE REGEX "gdi\\.cpp$")
  if(NOT window_test_platform_sources)
    target_compile_definitions(window_test PRIVATE WINDOW_TEST_GDI_STUB)
  endif()
  gtest_discover_tests(window_test PROPERTIES TIMEOUT 60)
endif()
