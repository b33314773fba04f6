# The saver's entry (every platform) and, elsewhere than on Windows, the telvor-saver program.
add_library(telvor_entry STATIC ${CMAKE_CURRENT_LIST_DIR}/entry.cpp ${CMAKE_CURRENT_LIST_DIR}/configdlg.cpp)
target_include_directories(telvor_entry PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(telvor_entry PUBLIC telvor_display telvor_settings)
if(NOT WIN32)
  # The Linux command line: run options, usage, the xscreensaver description and list.
  add_library(telvor_saver_cli STATIC ${CMAKE_CURRENT_LIST_DIR}/saver_options.cpp
                                      ${CMAKE_CURRENT_LIST_DIR}/xscreensaver_list.cpp)
  target_include_directories(telvor_saver_cli PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(telvor_saver_cli PUBLIC telvor_settings)
  add_executable(telvor-saver ${CMAKE_CURRENT_LIST_DIR}/saver_main.cpp)
  target_compile_definitions(telvor-saver PRIVATE TELVOR_VERSION="${PROJECT_VERSION}")
  target_link_libraries(telvor-saver PRIVATE telvor_entry telvor_saver_cli)
  install(TARGETS telvor-saver RUNTIME DESTINATION bin)
  # Writes share/xscreensaver/config/telvor-saver.xml at build time (data/ installs it).
  add_executable(telvor_xscreensaver_config ${CMAKE_CURRENT_LIST_DIR}/make_xscreensaver_config.cpp)
  target_link_libraries(telvor_xscreensaver_config PRIVATE telvor_saver_cli)
endif()
