# CMainWindow, its Designer file, and the objects its slots hand the work to: edit docks,
# editors, project and file commands, the project tree.
list(APPEND ORVANE_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/CMainWindow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CMainWindowSlots.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DockedEditorKeys.cpp
    ${CMAKE_CURRENT_LIST_DIR}/EditDocks.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FindingNavigator.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ItemEditors.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProjectCommands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProjectFiles.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProjectTree.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UnsavedProjects.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MainWindow.ui)
