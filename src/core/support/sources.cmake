# Paths, the log file, the console message handler and number lists of command lines.
list(APPEND ORVANE_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/AppPaths.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MessageHandler.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NumberRanges.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WriteLog.cpp)
