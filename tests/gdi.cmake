# Tests of the portable GDI (not on Windows, where the real one is used).
if(TARGET telvor_platform)
  add_executable(gdi_test gdi_test.cpp)
  target_link_libraries(gdi_test PRIVATE telvor_platform GTest::gtest_main)
  gtest_discover_tests(gdi_test)
endif()
