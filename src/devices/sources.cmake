list(APPEND ORVANE_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/PointCsv.cpp)
list(APPEND ORVANE_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/DeviceForm.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ModbusTestReadDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/standardInputDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/standardModbusEditDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/standardDLT645EditDialog.cpp)
