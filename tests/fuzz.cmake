# The tool's subcommands fuzzed in-process (tests/fuzz/cli_fuzz.cpp), a short seeded run of each;
# the long run under AddressSanitizer and UndefinedBehaviorSanitizer is scripts/fuzz.sh.
if(TARGET telvor_tool AND TARGET obslog AND TARGET telvor_sky)
  add_executable(telvor_fuzz ${CMAKE_CURRENT_LIST_DIR}/fuzz/cli_fuzz.cpp)
  target_link_libraries(telvor_fuzz PRIVATE telvor_tool nlohmann_json::nlohmann_json)
  foreach(command sighting map calendar date sky observe score)
    add_test(NAME fuzz_${command}
             COMMAND telvor_fuzz --command ${command} --count 40 --seed 1 --limit 60)
    set_tests_properties(fuzz_${command} PROPERTIES LABELS fuzz TIMEOUT 300)
  endforeach()
endif()
if(TARGET telvor_tool)
  add_test(NAME threads_identical
           COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/threads_identical_test.sh $<TARGET_FILE:telvor>)
  set_tests_properties(threads_identical PROPERTIES TIMEOUT 600)
endif()
