# Tests of the Linux desktop: the GTK dialog in process, the dialog and xscreensaver forms under
# Xvfb, and the Debian package. Each starts its own Xvfb and skips when a tool is missing.
if(TARGET telvor_entry AND TARGET telvor_platform)
  add_executable(dialog_test ${CMAKE_CURRENT_LIST_DIR}/dialog_test.cpp)
  target_link_libraries(dialog_test PRIVATE telvor_entry GTest::gtest_main)
  gtest_discover_tests(dialog_test PROPERTIES TIMEOUT 60)
endif()
