# The checks window, finding navigation and the certificate details view.
list(APPEND ORVANE_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/CertificateDetailsView.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FindingOpener.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProjectChecksWindow.cpp)
