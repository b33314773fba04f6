# Saver benchmarks: a sweep tick at the widest zone of a lunation, and a whole headless render.
if(TARGET telvor_saverrun)
  add_executable(saver_bench ${CMAKE_CURRENT_LIST_DIR}/saver_bench.cpp)
  target_link_libraries(saver_bench PRIVATE telvor_saverrun benchmark::benchmark_main)
endif()
