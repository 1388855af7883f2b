# Deployments to many boxes at once: the core that the fleet window and orvane-deploy share.
list(APPEND ORVANE_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/FleetDeployment.cpp)
