# The calibration wizard: its line fit without a screen, and the dialog against the
# simulated monitor through the real serial layer.
vemo_add_test(calfit_tests LABEL calwiz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CalFitTest.cpp
  LIBS ui_dialogs)
vemo_add_test(calwiz_tests LABEL calwiz GUI
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CalWizTest.cpp
  LIBS ui_dialogs vemo_test_sim)
