# SPDX-License-Identifier: GPL-3.0-or-later
# The calibration wizard: its line fit without a screen, and the dialog against the
# simulated monitor through the real serial layer.
vemo_add_test(calfit_tests LABEL calwiz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CalFitTest.cpp
  LIBS ui_dialogs)
vemo_add_test(calwiz_tests LABEL calwiz GUI
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CalWizTest.cpp
  LIBS ui_dialogs vemo_test_sim)

# The monitor's three-step calibration run from the main window's menu.
if(EXISTS ${PROJECT_SOURCE_DIR}/tests/ui/main/MainWindowFixture.cpp)
  vemo_add_test(calstep_tests LABEL calwiz GUI
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/CalStepTest.cpp
    LIBS vemo_test_main_window)
endif()
