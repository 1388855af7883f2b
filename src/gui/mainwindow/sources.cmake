# CMainWindow, its Designer file, docks, commands and the live-data view.
list(APPEND ORVANE_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/CMainWindow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CMainWindowCommands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CMainWindowProjectFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CMainWindowTree.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DockedEditorKeys.cpp
    ${CMAKE_CURRENT_LIST_DIR}/EditDocks.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FindingNavigator.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MainWindow.ui)
