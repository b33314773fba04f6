# Scoring benchmarks: 10 000 records evaluated and scored by every criterion, the saver's test
# through the engine as the tool runs it.
if(TARGET obslog AND TARGET telvor_cli)
  add_executable(obslog_bench ${CMAKE_CURRENT_LIST_DIR}/obslog_bench.cpp
                              ${CMAKE_SOURCE_DIR}/tools/enginecode.cpp)
  target_link_libraries(obslog_bench PRIVATE obslog_score telvor_cli benchmark::benchmark_main)
endif()
