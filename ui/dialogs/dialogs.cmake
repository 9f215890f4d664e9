# SPDX-License-Identifier: GPL-3.0-or-later
# Options, port and about dialogs, their layout table and send order, the program icon.
list(APPEND DIALOGS_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/Aboutdlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AlarmControls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Comdlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DialogSupport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OptionsLayout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OptionsSending.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OptnsDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OptnsDlgDualRelay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgramIcon.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SelectPort.cpp
)
