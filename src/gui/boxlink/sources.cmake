# The box editor, its input dialog, and the discovery window.
list(APPEND ORVANE_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/BoxEditDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BoxInputDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BoxSearchDialog.cpp)
