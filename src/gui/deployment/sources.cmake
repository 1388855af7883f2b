# Deployment confirmations and the fleet window.
list(APPEND ORVANE_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/DeploymentChangesDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DeploymentGate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FleetWindow.cpp)
