# Widgets around live data kept beyond the table.
list(APPEND ORVANE_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/TrendChart.cpp)
