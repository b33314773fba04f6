# Tests of the embedded resources: the land-mask bitmap and the icon.
add_executable(resources_test resources_test.cpp)
target_link_libraries(resources_test PRIVATE telvor_resources GTest::gtest_main)
# The tests compare the embedded bytes with the committed files.
target_compile_definitions(resources_test
                           PRIVATE TELVOR_RESOURCES_DIR="${PROJECT_SOURCE_DIR}/resources")
gtest_discover_tests(resources_test)
