# SPDX-License-Identifier: GPL-3.0-or-later
# Options, port and about dialogs.
vemo_add_test(dialogs_layout_tests LABEL dialogs
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/OptionsLayoutTest.cpp
  LIBS ui_dialogs)

vemo_add_test(dialogs_options_tests LABEL dialogs GUI
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/OptionsDialogTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/DualRelayDialogTest.cpp
  LIBS ui_dialogs Qt6::Test)

vemo_add_test(dialogs_port_tests LABEL dialogs GUI
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PortDialogsTest.cpp
  LIBS ui_dialogs serial_test_support Qt6::Test)

# Against the simulated monitor, through the real session and port.
vemo_add_test(dialogs_end_to_end_tests LABEL dialogs GUI
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/OptionsEndToEndTest.cpp
  LIBS ui_dialogs serial_test_support vemo_test_sim Qt6::Test)
