# SPDX-License-Identifier: GPL-3.0-or-later
# vemoswrd: the headless service (build/bin/vemoswrd). Its parts live in a library, so
# that the tests link what the service runs.
find_package(Qt6 REQUIRED COMPONENTS Network HttpServer)
find_package(PkgConfig REQUIRED)
pkg_check_modules(SYSTEMD REQUIRED IMPORTED_TARGET libsystemd)
set(CMAKE_AUTORCC ON)
add_library(vemoswrd_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/service/GuardedTcpServer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/service/HttpService.cpp
  ${CMAKE_CURRENT_LIST_DIR}/service/Metrics.cpp
  ${CMAKE_CURRENT_LIST_DIR}/service/ReportWriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/service/RequestScreen.cpp
  ${CMAKE_CURRENT_LIST_DIR}/service/MonitorPoller.cpp
  ${CMAKE_CURRENT_LIST_DIR}/service/Routing.cpp
  ${CMAKE_CURRENT_LIST_DIR}/service/ServiceHost.cpp
  ${CMAKE_CURRENT_LIST_DIR}/service/ServiceJson.cpp
  ${CMAKE_CURRENT_LIST_DIR}/service/ServiceLog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/service/ServiceOptions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/service/web/web.qrc
)
target_include_directories(vemoswrd_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(vemoswrd_core PUBLIC store_report store station monitor serial platform
  Qt6::Core Qt6::Network Qt6::HttpServer PRIVATE PkgConfig::SYSTEMD)

add_executable(vemoswrd ${CMAKE_CURRENT_LIST_DIR}/vemoswrd.cpp)
target_link_libraries(vemoswrd PRIVATE vemoswrd_core vemoswrd_mqtt vemoswrd_snmp vemo_version)
