# Hijri calendar benchmarks: a year's table by each rule on one thread, and all rules compared.
if(TARGET telvor_calendar)
  add_executable(calendar_bench ${CMAKE_CURRENT_LIST_DIR}/calendar_bench.cpp)
  target_link_libraries(calendar_bench PRIVATE telvor_calendar benchmark::benchmark_main)
endif()
