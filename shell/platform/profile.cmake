# Profile files, clock, module path, wsprintfA and resources of our own Win32 (not on Windows).
target_sources(telvor_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/profile.cpp
                                       ${CMAKE_CURRENT_LIST_DIR}/system.cpp)
# system.cpp serves the map bitmap embedded in telvor_resources.
target_link_libraries(telvor_platform PUBLIC telvor_resources)
