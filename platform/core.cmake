# SPDX-License-Identifier: GPL-3.0-or-later
# Qt Core + std parts of the platform layer: profile file, port names and locks, settings
# path, stop signals.
list(APPEND PLATFORM_SOURCES
  AtomicFile.cpp
  Escaped.cpp
  PortLock.cpp
  PortNames.cpp
  PortUsers.cpp
  ProfileFile.cpp
  SettingsPath.cpp
  SignalStop.cpp)
