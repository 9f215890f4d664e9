# SPDX-License-Identifier: GPL-3.0-or-later
# The calibration wizard and its widget-free line fit.
list(APPEND DIALOGS_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/CalFit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CalWiz.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CalWizLayout.cpp
)
