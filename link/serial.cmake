# The serial port on POSIX terminals, Qt Core only.
add_library(quorvane_serial STATIC
    ${CMAKE_CURRENT_LIST_DIR}/SerialPort.h
    ${CMAKE_CURRENT_LIST_DIR}/BreakMarkDecoder.h
    ${CMAKE_CURRENT_LIST_DIR}/BreakMarkDecoder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LineSettings.h
    ${CMAKE_CURRENT_LIST_DIR}/LineSettings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PortPath.h
    ${CMAKE_CURRENT_LIST_DIR}/PortPath.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TermiosPort.h
    ${CMAKE_CURRENT_LIST_DIR}/TermiosPort.cpp
)
target_include_directories(quorvane_serial PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(quorvane_serial PUBLIC quorvane_core Qt6::Core)
