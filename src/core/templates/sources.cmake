# Device templates: the template file and its checks, the library of template files, and the
# expansion of one template into devices, and the probe that tells a found slave's model.
list(APPEND ORVANE_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/DeviceTemplate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ModelProbe.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TemplateExpansion.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TemplateLibrary.cpp)
