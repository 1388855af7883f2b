# Widgets around live data: the monitoring area, its row delegate and trend charts.
list(APPEND ORVANE_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/MonitoringPanel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MonitoringRowDelegate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TrendChart.cpp)
