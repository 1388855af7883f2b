# Windows and dialogs of the project checks and of deployment confirmation.
list(APPEND ORVANE_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/CertificateDetailsView.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DeploymentChangesDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DeploymentGate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FindingNavigator.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProjectChecksWindow.cpp)
