# The template library window and the dialogs that save and use templates.
list(APPEND ORVANE_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/TemplateDialogs.cpp)
