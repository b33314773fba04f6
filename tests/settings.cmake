# Tests of our own Win32 profile and system functions and of the settings (not on Windows).
if(NOT WIN32)
  add_executable(profile_test ${CMAKE_CURRENT_LIST_DIR}/profile_test.cpp)
  target_link_libraries(profile_test PRIVATE telvor_platform GTest::gtest_main)
  gtest_discover_tests(profile_test)

  add_executable(settings_test ${CMAKE_CURRENT_LIST_DIR}/settings_test.cpp)
  target_link_libraries(settings_test PRIVATE telvor_settings GTest::gtest_main)
  gtest_discover_tests(settings_test)

  add_executable(settings_fuzz_test ${CMAKE_CURRENT_LIST_DIR}/settings_fuzz_test.cpp)
  target_link_libraries(settings_fuzz_test PRIVATE telvor_settings GTest::gtest_main)
  gtest_discover_tests(settings_fuzz_test)
endif()
