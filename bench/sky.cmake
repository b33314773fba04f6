# Sky chart benchmarks: one chart, the pictures of a whole evening from sunset to moonset, the
# same evening written as the animated GIF, and the morning's chart and animation.
if(TARGET telvor_sky AND TARGET telvor_gif)
  add_executable(sky_bench ${CMAKE_CURRENT_LIST_DIR}/sky_bench.cpp)
  target_link_libraries(sky_bench PRIVATE telvor_sky telvor_gif benchmark::benchmark_main)
endif()
