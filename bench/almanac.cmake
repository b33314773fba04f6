# Almanac benchmarks: one map cell's full evening, one evaluation at a given time, a table.
if(TARGET almanac)
  add_executable(almanac_bench ${CMAKE_CURRENT_LIST_DIR}/almanac_bench.cpp)
  target_link_libraries(almanac_bench PRIVATE almanac benchmark::benchmark_main)
endif()
