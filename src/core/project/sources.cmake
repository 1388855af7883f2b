# Item records (one per item kind: devices, service, box), the tree item factory, the project
# file and its reading and writing, addresses, the DL/T 645 catalogue and point CSV.
list(APPEND ORVANE_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/BoxRecord.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Dlt645Catalogue.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Dlt645DeviceRecord.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Iec61850ServiceRecord.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Ipv4Address.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ItemRecord.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ModbusDeviceRecord.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PointCsv.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProjectFileIo.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProjectItems.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProjectJson.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StandardDeviceRecord.cpp)
