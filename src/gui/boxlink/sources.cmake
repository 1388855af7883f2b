# The box editor, its input dialog, discovery and the box link with its questions.
list(APPEND ORVANE_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/BoxEditDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BoxInputDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BoxSearchDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Protocol.cpp)
