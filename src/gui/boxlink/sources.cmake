# The box editor and its form, its input dialog, and the discovery window.
list(APPEND ORVANE_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/BoxEditDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BoxEditForm.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BoxInputDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BoxLinkMarks.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BoxSearchDialog.cpp)
