list(APPEND ORVANE_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/CMainWindowTree.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CMainWindowCommands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CMainWindowProjectFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NewProjectDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProjectNameCheck.cpp
    ${CMAKE_CURRENT_LIST_DIR}/EditProjectDialog.cpp)
