# Live-data recording: core, no widgets.
list(APPEND ORVANE_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/MonitoringRecorder.cpp)
