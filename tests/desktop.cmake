# Tests of the Linux desktop: the GTK dialog in process, the dialog and xscreensaver forms under
# Xvfb, and the Debian package. Each starts its own Xvfb and skips when a tool is missing.
if(TARGET telvor_entry AND TARGET telvor_platform)
  add_executable(dialog_test ${CMAKE_CURRENT_LIST_DIR}/dialog_test.cpp)
  target_link_libraries(dialog_test PRIVATE telvor_entry GTest::gtest_main)
  gtest_discover_tests(dialog_test PROPERTIES TIMEOUT 60)
endif()
if(TARGET telvor-saver)
  # The dialog from the keyboard, left with Escape, with a running saver that reloads, and without a display.
  foreach(case keyboard cancel reload nodisplay)
    add_test(NAME Desktop.Dialog_${case}
             COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/dialog_test.sh $<TARGET_FILE:telvor-saver> ${case})
    set_tests_properties(Desktop.Dialog_${case} PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)
  endforeach()
  # The installed xscreensaver and XSecureLock forms, the installed data files, and what
  # xscreensaver runs from an installed prefix.
  foreach(case draw files route)
    add_test(NAME Desktop.Xscreensaver_${case}
             COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/xscreensaver_test.sh ${CMAKE_COMMAND}
                     ${PROJECT_BINARY_DIR} ${case})
    set_tests_properties(Desktop.Xscreensaver_${case} PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)
  endforeach()
endif()
if(TARGET telvor AND TARGET telvor-saver)
  add_test(NAME Desktop.DebianPackage
           COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/deb_test.sh ${CMAKE_CPACK_COMMAND}
                   ${PROJECT_BINARY_DIR} ${PROJECT_VERSION})
  # cpack installs from the build tree: not while the other desktop tests install from it too.
  set_tests_properties(Desktop.DebianPackage PROPERTIES TIMEOUT 600 SKIP_RETURN_CODE 77
                       RESOURCE_LOCK telvor_install)
  set_tests_properties(Desktop.Xscreensaver_draw Desktop.Xscreensaver_files
                       Desktop.Xscreensaver_route PROPERTIES
                       RESOURCE_LOCK telvor_install)
endif()
