# The modal dialog and its controls over GTK 3 (included inside if(NOT WIN32)).
find_package(PkgConfig REQUIRED)
pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
target_sources(telvor_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/dialog_gtk.cpp
                                       ${CMAKE_CURRENT_LIST_DIR}/dialog_gtk.h)
target_link_libraries(telvor_platform PRIVATE PkgConfig::GTK3)
