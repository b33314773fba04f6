# The Windows saver telvor.scr: WinMain, the real dialog and the program's resources.
if(WIN32)
  # A release product ships without symbols or debugging sections; they are kept beside it in
  # PROGRAM.debug, from which a debugger or nm still reads them.
  function(telvor_strip_release target)
    if(CMAKE_BUILD_TYPE MATCHES "^(Release|MinSizeRel)$")
      add_custom_command(
        TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}>
                $<TARGET_FILE:${target}>.debug
        COMMAND ${CMAKE_OBJCOPY} --strip-all $<TARGET_FILE:${target}>
        VERBATIM)
    endif()
  endfunction()
  enable_language(RC)
  add_executable(telvor_scr WIN32 ${CMAKE_CURRENT_LIST_DIR}/winmain.cpp
                                  ${PROJECT_SOURCE_DIR}/resources/telvor.rc)
  set_target_properties(telvor_scr PROPERTIES OUTPUT_NAME telvor SUFFIX .scr)
  target_link_libraries(telvor_scr PRIVATE telvor_entry)
  # The resource script names its files relative to resources/.
  set_property(SOURCE ${PROJECT_SOURCE_DIR}/resources/telvor.rc APPEND PROPERTY OBJECT_DEPENDS
               ${PROJECT_SOURCE_DIR}/resources/earth.bmp ${PROJECT_SOURCE_DIR}/resources/telvor.ico
               ${PROJECT_SOURCE_DIR}/resources/telvor.manifest)
  telvor_strip_release(telvor_scr)
  install(TARGETS telvor_scr RUNTIME DESTINATION .)
  include(${PROJECT_SOURCE_DIR}/cmake/windows-installer.cmake)
endif()
