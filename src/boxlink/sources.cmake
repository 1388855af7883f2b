# Box link: frame codec, frame extraction, live-data reassembly and the message set are core
# (shared with the box simulator); Protocol shows message boxes and lives in the GUI library.
list(APPEND ORVANE_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/BoxMessages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FrameCodec.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FrameExtractor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LiveDataAssembler.cpp)
list(APPEND ORVANE_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/Protocol.cpp)
list(APPEND ORVANE_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/FileTransfer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TransferPayload.cpp)
list(APPEND ORVANE_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/BoxEditDialog.cpp)
list(APPEND ORVANE_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/BoxInputDialog.cpp)
list(APPEND ORVANE_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/BoxSearchDialog.cpp)
