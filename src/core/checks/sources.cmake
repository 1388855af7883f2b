# Project checks before deployment and the diff of what a deployment changes.
list(APPEND ORVANE_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/CertificateInspector.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ModbusPointRules.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProjectChecker.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProjectDiff.cpp)
