# The box link without widgets: frame codec and extraction, live-data reassembly, the message
# set, the box link (Protocol), file transfers, the session that holds both for one box, and
# discovery (shared with the box simulator and orvane-deploy).
list(APPEND ORVANE_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/BoxDiscovery.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BoxMessages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BoxSession.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BoxSessions.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FileTransfer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FrameCodec.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FrameExtractor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LiveDataAssembler.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Protocol.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TransferPayload.cpp)
