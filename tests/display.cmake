# Tests of the saver's display and entry on the headless backend, and of the saver under Xvfb.
if(TARGET telvor_entry AND TARGET telvor_platform)
  add_executable(display_test ${CMAKE_CURRENT_LIST_DIR}/display_test.cpp
                              ${CMAKE_CURRENT_LIST_DIR}/entry_test.cpp)
  target_link_libraries(display_test PRIVATE telvor_entry GTest::gtest_main)
  gtest_discover_tests(display_test PROPERTIES TIMEOUT 120)
endif()
if(TARGET telvor-saver)
  add_test(NAME SaverX11.FullScreenDrawsAndEndsOnMouse
           COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/saver_x11_test.sh $<TARGET_FILE:telvor-saver>)
  set_tests_properties(SaverX11.FullScreenDrawsAndEndsOnMouse PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)
endif()
if(TARGET telvor)
  add_test(NAME Render.PictureHasTheMapAndTheZone
           COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/render_test.sh $<TARGET_FILE:telvor>)
  set_tests_properties(Render.PictureHasTheMapAndTheZone PROPERTIES TIMEOUT 300)
endif()
if(TARGET telvor-saver)
  add_test(NAME SaverConfigure.DefaultsSavedOnFirstOfFebruary
           COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/configure_defaults_test.sh $<TARGET_FILE:telvor-saver>)
  set_tests_properties(SaverConfigure.DefaultsSavedOnFirstOfFebruary PROPERTIES TIMEOUT 60 SKIP_RETURN_CODE 77)
endif()
