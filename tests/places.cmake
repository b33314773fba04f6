# Places tests: the gazetteer's names and aliases, the tz database's zones.
if(TARGET telvor_places)
  add_executable(places_tests ${CMAKE_CURRENT_LIST_DIR}/places_test.cpp)
  target_link_libraries(places_tests PRIVATE telvor_places GTest::gtest_main)
  gtest_discover_tests(places_tests)
endif()
# The sighting verdict's words (the tool's own sentences, without the almanac).
add_executable(verdict_tests ${CMAKE_CURRENT_LIST_DIR}/verdict_test.cpp
                             ${CMAKE_SOURCE_DIR}/tools/verdict.cpp)
target_include_directories(verdict_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(verdict_tests PRIVATE GTest::gtest_main)
gtest_discover_tests(verdict_tests)
# telvor sighting with places and clocks, as a separate process.
if(TARGET almanac AND TARGET telvor)
  add_executable(sighting_places_cli_tests ${CMAKE_CURRENT_LIST_DIR}/sighting_places_cli_test.cpp)
  target_include_directories(sighting_places_cli_tests PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(sighting_places_cli_tests PRIVATE GTest::gtest_main
                                                          nlohmann_json::nlohmann_json)
  target_compile_definitions(sighting_places_cli_tests PRIVATE TELVOR_BIN="$<TARGET_FILE:telvor>")
  add_dependencies(sighting_places_cli_tests telvor)
  gtest_discover_tests(sighting_places_cli_tests)
endif()
