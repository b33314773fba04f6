# The GDI of our portable Win32: memory DCs, bitmaps, pens, blits and the built-in font.
target_sources(telvor_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/gdi.cpp
  ${CMAKE_CURRENT_LIST_DIR}/font_data.h)
# The per-tick full-canvas blits want vectorised row loops, which -O2 of GCC 12 leaves scalar.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/gdi.cpp PROPERTIES COMPILE_OPTIONS -O3)
endif()
