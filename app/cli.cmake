# SPDX-License-Identifier: GPL-3.0-or-later
# The tool's command line, apart from the session so that it can be fuzzed alone. It takes
# only the alarm levels' type from station/, so it does not link the library.
add_library(cli_options STATIC ${CMAKE_CURRENT_LIST_DIR}/cli/CliOptions.cpp)
target_include_directories(cli_options PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(cli_options PUBLIC Qt6::Core)

# vemoswr-cli: the monitor session from the command line (build/bin/vemoswr-cli).
add_executable(vemoswr-cli
  ${CMAKE_CURRENT_LIST_DIR}/vemoswr-cli.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/CliCommands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/CliPorts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/CliReport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/HistoryExport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/CliRig.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/Interrupt.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/OutputCheck.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/TerminalPrompt.cpp
)
target_include_directories(vemoswr-cli PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(vemoswr-cli PRIVATE cli_options store_report store station rig monitor serial platform vemo_version
  Qt6::Core)
