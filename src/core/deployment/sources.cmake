# What was sent where: the store of sent documents, the transfer record, the one path a project
# takes to boxes, fleet deployment.
list(APPEND ORVANE_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/AnsibleInventory.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DeploymentLog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DeploymentStore.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FleetDeployment.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProjectDeployment.cpp)
