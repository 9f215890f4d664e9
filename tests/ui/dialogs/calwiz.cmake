# The calibration wizard: its line fit without a screen.
vemo_add_test(calfit_tests LABEL calwiz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CalFitTest.cpp
  LIBS ui_dialogs)
