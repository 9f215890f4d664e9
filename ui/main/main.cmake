# SPDX-License-Identifier: GPL-3.0-or-later
# ui_main: the main window, its command queue and the program's embedded manual.
add_library(ui_main STATIC
  CmdList.cpp
  Main.cpp
  MainAccessibility.cpp
  MainAlarms.cpp
  MainControls.cpp
  MainDialogs.cpp
  MainDisplay.cpp
  MainForms.cpp
  MainMenu.cpp
  MainPolling.cpp
  MainReport.cpp
  MainRig.cpp
  MainStation.cpp
  MainStyle.cpp
  MainTestPanel.cpp
  MainTrend.cpp
  MainUnattended.cpp
  ShortcutTable.cpp
  WindowPlacement.cpp
)
target_include_directories(ui_main PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(ui_main PUBLIC
  ui_report store station ui_access ui_alarms ui_rig ui_trend ui_meter ui_dialogs ui_controls monitor serial platform platform_gui Qt6::Widgets)
set_source_files_properties(${PROJECT_SOURCE_DIR}/docs/manual.html
  PROPERTIES QT_RESOURCE_ALIAS VemoSWR.html)
qt_add_resources(ui_main "manual"
  PREFIX "/help"
  BASE ${PROJECT_SOURCE_DIR}/docs
  FILES ${PROJECT_SOURCE_DIR}/docs/manual.html
        ${PROJECT_SOURCE_DIR}/docs/alarm-active.png
        ${PROJECT_SOURCE_DIR}/docs/alarm-acknowledged.png
        ${PROJECT_SOURCE_DIR}/docs/alarm-latched.png
        ${PROJECT_SOURCE_DIR}/docs/rig-dialog.png
        ${PROJECT_SOURCE_DIR}/docs/rig-inhibited.png
        ${PROJECT_SOURCE_DIR}/docs/sweep-dialog.png
        ${PROJECT_SOURCE_DIR}/docs/sweep-20m.png)
