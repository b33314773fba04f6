# Tests of the Linux saver's command line (run options, usage, the xscreensaver description and
# list) and of the faults it must survive; and the program itself under Xvfb.
if(TARGET telvor_saver_cli)
  add_executable(saver_cli_test ${CMAKE_CURRENT_LIST_DIR}/saver_cli_test.cpp)
  target_link_libraries(saver_cli_test PRIVATE telvor_saver_cli GTest::gtest_main)
  gtest_discover_tests(saver_cli_test)

  add_executable(saver_faults_test ${CMAKE_CURRENT_LIST_DIR}/saver_faults_test.cpp)
  target_link_libraries(saver_faults_test PRIVATE telvor_settings GTest::gtest_main)
  gtest_discover_tests(saver_faults_test PROPERTIES TIMEOUT 30)
endif()
if(TARGET telvor-saver)
  foreach(case help window options xscreensaver faults monitors)
    add_test(NAME Desktop.SaverCli_${case}
             COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/saver_cli_test.sh $<TARGET_FILE:telvor-saver> ${case})
    set_tests_properties(Desktop.SaverCli_${case} PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)
  endforeach()
endif()
