# telvor_settings: the settings table, the settings path, loading and saving (every platform).
add_library(telvor_settings STATIC ${CMAKE_CURRENT_LIST_DIR}/settings.cpp
                                   ${CMAKE_CURRENT_LIST_DIR}/settings.h)
target_include_directories(telvor_settings PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(telvor_settings PUBLIC telvor_engine)
if(WIN32)
  target_sources(telvor_settings PRIVATE ${CMAKE_CURRENT_LIST_DIR}/settings_windows.cpp)
  target_link_libraries(telvor_settings PUBLIC shell32)
else()
  target_link_libraries(telvor_settings PUBLIC telvor_platform)
endif()
