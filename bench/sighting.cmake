# The sighting batch as a user runs it: 2 000 places on one date, one place on 2 000 dates.
if(TARGET almanac AND TARGET telvor)
  add_executable(sighting_batch_bench ${CMAKE_CURRENT_LIST_DIR}/sighting_batch_bench.cpp)
  target_link_libraries(sighting_batch_bench PRIVATE benchmark::benchmark_main)
  target_compile_definitions(sighting_batch_bench PRIVATE TELVOR_BIN="$<TARGET_FILE:telvor>")
  add_dependencies(sighting_batch_bench telvor)
endif()
