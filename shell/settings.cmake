# telvor_settings: the settings table, the settings path, loading and saving (every platform).
add_library(telvor_settings STATIC ${CMAKE_CURRENT_LIST_DIR}/settings.cpp
                                   ${CMAKE_CURRENT_LIST_DIR}/settings.h)
target_include_directories(telvor_settings PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(telvor_settings PUBLIC telvor_engine)
if(NOT WIN32)
  target_link_libraries(telvor_settings PUBLIC telvor_platform)
endif()
