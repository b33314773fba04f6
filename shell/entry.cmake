# The saver's entry (every platform) and, elsewhere than on Windows, the telvor-saver program.
add_library(telvor_entry STATIC ${CMAKE_CURRENT_LIST_DIR}/entry.cpp ${CMAKE_CURRENT_LIST_DIR}/configdlg.cpp)
target_include_directories(telvor_entry PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(telvor_entry PUBLIC telvor_display telvor_settings)
if(NOT WIN32)
  add_executable(telvor-saver ${CMAKE_CURRENT_LIST_DIR}/saver_main.cpp)
  target_link_libraries(telvor-saver PRIVATE telvor_entry)
  install(TARGETS telvor-saver RUNTIME DESTINATION bin)
endif()
