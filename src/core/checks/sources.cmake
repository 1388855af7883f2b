# Project checks before deployment, the diff of what a deployment changes, and certificate and
# key files as a service record keeps them.
list(APPEND ORVANE_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/CertificateFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CertificateInspector.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ModbusPointRules.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProjectChecker.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProjectDiff.cpp)
