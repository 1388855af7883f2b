# Modbus decoding rules, reading plan, TCP/RTU framing, the serial line, the reader, its
# traffic log, register discovery and the bus scan.
list(APPEND ORVANE_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/DiscoveredPoints.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ModbusBusScan.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ModbusClient.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ModbusFrame.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ModbusLinkSettings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ModbusPoint.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ModbusReadPlan.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ModbusReader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ModbusSlave.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ModbusStatus.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ModbusTraffic.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ModbusValueCodec.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RegisterDiscovery.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SerialLine.cpp)
