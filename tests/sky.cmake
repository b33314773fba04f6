# Sky chart tests: the drawn Moon against the almanac, the crescent's tilt and phase, one
# chart's structure, the charts of evenings without a crescent, and the telvor sky command.
if(TARGET telvor_sky)
  add_executable(sky_test ${CMAKE_CURRENT_LIST_DIR}/sky_test.cpp)
  find_package(Threads REQUIRED)
  target_link_libraries(sky_test PRIVATE telvor_sky GTest::gtest_main Threads::Threads)
  gtest_discover_tests(sky_test)
endif()
if(TARGET telvor_sky AND TARGET telvor)
  find_package(PNG REQUIRED)
  add_executable(sky_cli_test ${CMAKE_CURRENT_LIST_DIR}/sky_cli_test.cpp)
  target_link_libraries(sky_cli_test PRIVATE PNG::PNG GTest::gtest_main)
  target_compile_definitions(sky_cli_test PRIVATE TELVOR_BIN="$<TARGET_FILE:telvor>")
  add_dependencies(sky_cli_test telvor)
  gtest_discover_tests(sky_cli_test PROPERTIES TIMEOUT 120)
endif()
# The crescent's tilt and lit fraction against an independent ephemeris (Debian's python3-ephem).
if(TARGET almanac)
  add_executable(moon_disc_probe ${CMAKE_CURRENT_LIST_DIR}/moon_disc_probe.cpp)
  target_link_libraries(moon_disc_probe PRIVATE almanac)
  find_program(DEBIAN_PYTHON3 python3 PATHS /usr/bin NO_DEFAULT_PATH)
  if(DEBIAN_PYTHON3)
    add_test(NAME MoonDiscIndependent.AgainstPyEphem
             COMMAND ${DEBIAN_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/moon_disc_independent_test.py
                     $<TARGET_FILE:moon_disc_probe>)
    set_tests_properties(MoonDiscIndependent.AgainstPyEphem PROPERTIES SKIP_RETURN_CODE 77)
  endif()
endif()
