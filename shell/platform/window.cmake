# The window layer and its two backends (headless, X11); included inside if(NOT WIN32).
target_sources(telvor_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/window.cpp
                                       ${CMAKE_CURRENT_LIST_DIR}/headless.cpp
                                       ${CMAKE_CURRENT_LIST_DIR}/x11.cpp)
find_package(X11 REQUIRED)
# RandR and Xinerama name the monitors, so that full screen means the primary one; MIT-SHM (Xext)
# carries the changed rectangles of each frame.
target_link_libraries(telvor_platform PUBLIC X11::X11 X11::Xrandr X11::Xinerama X11::Xext)
