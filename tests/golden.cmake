# Golden outputs of the telvor tool, compared byte for byte with the recorded digests.
if(TARGET telvor)
  find_package(PNG REQUIRED)
  add_executable(golden_test ${CMAKE_CURRENT_LIST_DIR}/golden_test.cpp)
  target_link_libraries(golden_test PRIVATE GTest::gtest_main PNG::PNG)
  target_include_directories(golden_test PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(golden_test PRIVATE TELVOR_BIN="$<TARGET_FILE:telvor>"
                             TELVOR_GOLDEN_FILE="${CMAKE_CURRENT_LIST_DIR}/golden/outputs.txt")
  add_dependencies(golden_test telvor)
  gtest_discover_tests(golden_test PROPERTIES TIMEOUT 600)
endif()
