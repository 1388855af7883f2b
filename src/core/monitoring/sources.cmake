# Live data: the feeds behind the tables, recording and the samples behind trend charts.
list(APPEND ORVANE_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/MonitoringFeeds.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MonitoringRecorder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SampleRing.cpp)
