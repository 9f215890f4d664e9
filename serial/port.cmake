# SPDX-License-Identifier: GPL-3.0-or-later
# The port component, its dispatcher with the termios device layer, and the port probe.
list(APPEND SERIAL_SOURCES
  Rings.cpp
  ComWindow.cpp
  DispatchTriggers.cpp
  Dispatcher.cpp
  DispatcherThreads.cpp
  NativeDispatcher.cpp)
list(APPEND SERIAL_SOURCES
  ComPort.cpp
  ComPortProperties.cpp
  PortProbe.cpp)
