# SPDX-License-Identifier: GPL-3.0-or-later
# Result codes, message tables, the raise rule, trace and event log.
vemo_add_test(serial_errors_test LABEL serial
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/SerialErrorsTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/StringTableTest.cpp
  LIBS serial)
vemo_add_test(serial_tracelog_test LABEL serial
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TraceTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/EventLogTest.cpp
  LIBS serial)
