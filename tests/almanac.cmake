# Almanac tests: published positions, the table against ERFA, events, states and criteria.
if(TARGET almanac)
  add_executable(almanac_tests ${CMAKE_CURRENT_LIST_DIR}/almanac_test.cpp)
  find_package(Threads REQUIRED)
  target_link_libraries(almanac_tests PRIVATE almanac GTest::gtest_main Threads::Threads)
  gtest_discover_tests(almanac_tests)
endif()
if(TARGET almanac AND TARGET telvor)
  add_executable(sighting_cli_tests ${CMAKE_CURRENT_LIST_DIR}/sighting_cli_test.cpp)
  target_link_libraries(sighting_cli_tests PRIVATE GTest::gtest_main nlohmann_json::nlohmann_json)
  target_compile_definitions(sighting_cli_tests PRIVATE TELVOR_BIN="$<TARGET_FILE:telvor>"
                             TELVOR_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/golden")
  add_dependencies(sighting_cli_tests telvor)
  gtest_discover_tests(sighting_cli_tests)
  # Against an independent ephemeris (Debian's python3-ephem, for the system's Python).
  find_program(DEBIAN_PYTHON3 python3 PATHS /usr/bin NO_DEFAULT_PATH)
  if(DEBIAN_PYTHON3)
    add_test(NAME SightingIndependent.AgainstPyEphem
             COMMAND ${DEBIAN_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/sighting_independent_test.py
                     $<TARGET_FILE:telvor>)
    set_tests_properties(SightingIndependent.AgainstPyEphem PROPERTIES TIMEOUT 300
                         SKIP_RETURN_CODE 77)
  endif()
endif()
