# SPDX-License-Identifier: GPL-3.0-or-later
# Error codes and messages, the string tables built into the program, trace and log.

# The readable message lists become binary string tables embedded as byte arrays.
add_executable(mkstrtable ${CMAKE_CURRENT_LIST_DIR}/tools/mkstrtable.cpp)
set_target_properties(mkstrtable PROPERTIES AUTOMOC OFF)
set(VEMO_STRING_LISTS
  SERIAL_ERROR_STRINGS_ENGLISH=${CMAKE_CURRENT_LIST_DIR}/messages/SerialErrors.txt
  STRMGR_STRINGS=${CMAKE_CURRENT_LIST_DIR}/messages/StrMgr.txt)
add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/EmbeddedStrings.cpp
  COMMAND mkstrtable ${CMAKE_CURRENT_BINARY_DIR}/EmbeddedStrings.cpp ${VEMO_STRING_LISTS}
  DEPENDS mkstrtable
          ${CMAKE_CURRENT_LIST_DIR}/messages/SerialErrors.txt
          ${CMAKE_CURRENT_LIST_DIR}/messages/StrMgr.txt
  COMMENT "Building the embedded string tables"
  VERBATIM)

list(APPEND SERIAL_SOURCES
  SerialErrors.cpp
  StringTable.cpp
  TraceLogState.cpp
  TextFile.cpp
  Trace.cpp
  EventLog.cpp
  EventLogFormat.cpp
  ${CMAKE_CURRENT_BINARY_DIR}/EmbeddedStrings.cpp)
