list(APPEND ORVANE_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/MainWindow.ui
    ${CMAKE_CURRENT_LIST_DIR}/CMainWindow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CMainWindowMonitoring.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MonitoringRowDelegate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DockedEditorKeys.cpp)
