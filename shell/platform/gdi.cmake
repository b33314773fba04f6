# The GDI of our portable Win32: memory DCs, bitmaps, pens, blits and the built-in font.
target_sources(telvor_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/gdi.cpp
  ${CMAKE_CURRENT_LIST_DIR}/font_data.h)
