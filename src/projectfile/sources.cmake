list(APPEND ORVANE_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/Ipv4Address.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ItemRecord.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Dlt645Catalogue.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProjectFileIo.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProjectJson.cpp)
