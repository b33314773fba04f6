# The Hijri month table: its chaining, and the Umm al-Qura rule against ICU's islamic-umalqura
# calendar.
if(TARGET telvor_calendar)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(ICU REQUIRED IMPORTED_TARGET icu-i18n icu-uc)
  add_executable(hijri_test ${CMAKE_CURRENT_LIST_DIR}/hijri_test.cpp)
  target_link_libraries(hijri_test PRIVATE telvor_calendar PkgConfig::ICU GTest::gtest_main)
  target_link_libraries(hijri_test PRIVATE nlohmann_json::nlohmann_json)
  if(TARGET telvor)
    target_compile_definitions(hijri_test PRIVATE TELVOR_BIN="$<TARGET_FILE:telvor>")
    add_dependencies(hijri_test telvor)
  endif()
  gtest_discover_tests(hijri_test PROPERTIES TIMEOUT 600)
endif()

# The month-start rules: their definitions either side of each threshold, their phases, the
# date round trips, and telvor date and calendar as processes.
if(TARGET telvor_calendar)
  add_executable(calendar_rules_test ${CMAKE_CURRENT_LIST_DIR}/calendar_rules_test.cpp)
  target_link_libraries(calendar_rules_test PRIVATE telvor_calendar GTest::gtest_main
                                                    nlohmann_json::nlohmann_json)
  if(TARGET telvor)
    target_compile_definitions(calendar_rules_test PRIVATE TELVOR_BIN="$<TARGET_FILE:telvor>")
    add_dependencies(calendar_rules_test telvor)
  endif()
  gtest_discover_tests(calendar_rules_test PROPERTIES TIMEOUT 600)
endif()

# The month tables by every rule over several years against the table recorded before the
# globe search was made faster.
if(TARGET telvor_calendar)
  add_executable(calendar_golden_test ${CMAKE_CURRENT_LIST_DIR}/calendar_golden_test.cpp)
  target_link_libraries(calendar_golden_test PRIVATE telvor_calendar GTest::gtest_main)
  target_compile_definitions(
    calendar_golden_test
    PRIVATE TELVOR_CALENDAR_GOLDEN="${CMAKE_CURRENT_LIST_DIR}/calendar_months_golden.txt")
  gtest_discover_tests(calendar_golden_test PROPERTIES TIMEOUT 600)
endif()
