# Project dialogs and project name rules.
list(APPEND ORVANE_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/EditProjectDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NewProjectDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProjectNameCheck.cpp)
