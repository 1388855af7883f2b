# The fleet window: many boxes of a project at once.
list(APPEND ORVANE_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/FleetWindow.cpp)
