# Paths, the log file and the console message handler.
list(APPEND ORVANE_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/AppPaths.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MessageHandler.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WriteLog.cpp)
