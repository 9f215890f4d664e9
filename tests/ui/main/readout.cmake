vemo_add_test(readout_derivation LABEL readout
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ReadoutTest.cpp
  LIBS ui_readout)
