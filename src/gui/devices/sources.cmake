# Standard device editors, the Add Standard dialog, and the Modbus Test Read, register
# discovery and bus scan windows with their traffic pane.
list(APPEND ORVANE_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/BusScanDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DeviceForm.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MeterTestReadDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ModbusPointTables.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ModbusTestReadDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RegisterDiscoveryDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SerialDeviceRows.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TrafficPane.cpp
    ${CMAKE_CURRENT_LIST_DIR}/standardDLT645EditDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/standardInputDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/standardModbusEditDialog.cpp)
