# The IEC 61850 service editor.
list(APPEND ORVANE_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ServiceIEC61850EditDialog.cpp)
