# Project checks before deployment, the diff of what a deployment changes and the store of
# what each box last received. Core: no widgets.
list(APPEND ORVANE_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/CertificateInspector.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DeploymentLog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DeploymentStore.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ModbusPointRules.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProjectChecker.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProjectDiff.cpp)
