# telvor.exe's share of the Windows build (included by tools/CMakeLists.txt when WIN32): the two
# header-only libraries it uses come from the build machine's Debian packages (libcli11-dev,
# nlohmann-json3-dev), seen through a folder of their own so that no other host header is.
set(host_headers ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${host_headers})
foreach(library CLI nlohmann)
  if(NOT EXISTS /usr/include/${library})
    message(FATAL_ERROR "/usr/include/${library} is missing (scripts/install-deps.sh installs it)")
  endif()
  file(CREATE_LINK /usr/include/${library} ${host_headers}/${library} SYMBOLIC)
endforeach()
add_library(telvor_cli_headers INTERFACE)
target_include_directories(telvor_cli_headers SYSTEM INTERFACE ${host_headers})

# The Start-menu entry "Tonight's crescent": a GUI launcher (no console) of telvor.exe map.
add_executable(telvor_tonight WIN32 ${CMAKE_CURRENT_LIST_DIR}/tonight.cpp)
set_target_properties(telvor_tonight PROPERTIES OUTPUT_NAME telvor-tonight)
target_compile_definitions(telvor_tonight PRIVATE UNICODE _UNICODE)
target_link_options(telvor_tonight PRIVATE -municode)
target_link_libraries(telvor_tonight PRIVATE shell32)
telvor_strip_release(telvor_tonight)

# The saver's libraries again, compiled over our own Win32 layer (shell/CMakeLists.txt) for
# telvor.exe: the same drawing code as on Linux, headless, so that render's and lunation's
# pictures and traces are Linux's. Each twin NAME_own has NAME's sources; its links to libraries
# that have a twin go to the twin, and the layer replaces the system's GDI and windows.
set(own_twinned telvor_settings telvor_display telvor_entry)
foreach(target ${own_twinned})
  get_target_property(sources ${target} SOURCES)
  get_target_property(folder ${target} SOURCE_DIR)
  set(own_sources)
  foreach(source ${sources})
    cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${folder} OUTPUT_VARIABLE source)
    list(APPEND own_sources ${source})
  endforeach()
  get_target_property(links ${target} INTERFACE_LINK_LIBRARIES)
  set(own_links telvor_own_platform)
  foreach(link ${links})
    if(link IN_LIST own_twinned)
      list(APPEND own_links ${link}_own)
    elseif(NOT link MATCHES "^(gdi32|user32)$")
      list(APPEND own_links ${link})
    endif()
  endforeach()
  add_library(${target}_own STATIC ${own_sources})
  target_link_libraries(${target}_own PUBLIC ${own_links})
endforeach()
