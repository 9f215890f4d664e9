#pragma once
// "COM n" on this platform: every part of the program that opens or probes a port
// number goes through PortDevicePath.

#include <string>
#include <vector>

namespace vemo {

// Device path for port number n (n >= 1). The [Ports] section of the settings file
// maps it ("COM3=/dev/ttyUSB0"); without an entry COM n is /dev/ttyS<n-1>.
// The one-argument form reads the program's settings file (SettingsFilePath()).
std::string PortDevicePath(int portNumber);
std::string PortDevicePath(int portNumber, const std::string& iniPath);

struct SerialDeviceInfo {
  std::string path;         // device path, e.g. /dev/ttyUSB0
  int portNumber = 0;       // the COM number that names it, 0 when none does
  std::string description;  // e.g. the /dev/serial/by-id name, or "mapped in VemoSWR.ini"
};

// Serial devices present on this machine: ttyS with a real UART, ttyUSB, ttyACM,
// /dev/serial/by-id entries and the paths mapped in [Ports]. Opens nothing.
std::vector<SerialDeviceInfo> ListSerialDevices();
std::vector<SerialDeviceInfo> ListSerialDevices(const std::string& iniPath);

// As ListSerialDevices, looking in the given folders instead of /sys/class/tty and /dev.
std::vector<SerialDeviceInfo> ListSerialDevicesIn(const std::string& sysClassTty,
                                                  const std::string& devDir,
                                                  const std::string& iniPath);

}  // namespace vemo
