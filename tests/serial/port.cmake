# SPDX-License-Identifier: GPL-3.0-or-later
# The port component, its dispatcher and the port probe, against real pseudo-terminals.
add_library(serial_test_support STATIC ${CMAKE_CURRENT_LIST_DIR}/PtyPeer.cpp)
target_link_libraries(serial_test_support PUBLIC Qt6::Core)

vemo_add_test(serial_port_test LABEL serial
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ComPortTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ComPortFaultsTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ComPortDeliveryTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/PortClaimTest.cpp
  LIBS serial serial_test_support)
vemo_add_test(serial_dispatcher_test LABEL serial
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/DispatcherTest.cpp
  LIBS serial serial_test_support)
