# Qt Core + std parts of the platform layer: profile file, port names, settings path.
list(APPEND PLATFORM_SOURCES
  AtomicFile.cpp
  PortNames.cpp
  ProfileFile.cpp
  SettingsPath.cpp)
