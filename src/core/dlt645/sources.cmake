# DL/T 645 framing of both editions, reply checks and value formats.
list(APPEND ORVANE_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/Dlt645Frame.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Dlt645Meter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Dlt645Reader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Dlt645Status.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Dlt645Value.cpp)
