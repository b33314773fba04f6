# Evening-map benchmarks: whole maps at 0.25 and 1 degree on one thread and on all, and the
# per-cell steps they are made of.
if(TARGET telvor_maps)
  add_executable(maps_bench ${CMAKE_CURRENT_LIST_DIR}/maps_bench.cpp)
  target_link_libraries(maps_bench PRIVATE telvor_maps benchmark::benchmark_main)
endif()
