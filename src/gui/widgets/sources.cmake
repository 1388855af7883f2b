# Shared widgets: file dialogs, validators, the logo window.
list(APPEND ORVANE_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/FileDialogs.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LogoWindow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Validators.cpp)
