// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "COM n" on this platform: every part of the program that opens or probes a port
// number goes through PortDevicePath.

#include <string>
#include <vector>

namespace vemo {

// Port numbers run from 1 to this, wherever one is given (the window's port change takes
// a byte).
inline constexpr int kMaxPortNumber = 255;

// Device path for port number n (n >= 1). The [Ports] section of the settings file
// maps it ("COM3=/dev/ttyUSB0"); without an entry COM n is /dev/ttyS<n-1>.
// The file is read over its site defaults (ProgramSettings), so an administrator can map
// ports for everyone. The one-argument form reads the program's settings file
// (SettingsFilePath()).
std::string PortDevicePath(int portNumber);
std::string PortDevicePath(int portNumber, const std::string& iniPath);

struct SerialDeviceInfo {
  std::string path;         // device path, e.g. /dev/ttyUSB0
  int portNumber = 0;       // the COM number that names it, 0 when none does
  std::string description;  // e.g. the /dev/serial/by-id name, or "mapped in VemoSWR.ini"
  // What sysfs says of a USB adapter; empty where it says nothing.
  std::string byId;          // the /dev/serial/by-id name
  std::string usbId;         // vendor:product, "0403:6001"
  std::string manufacturer;  // "FTDI"
  std::string product;       // "FT232R USB UART"
  std::string serial;        // "A1B2C3"
};

// "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0, 0403:6001 FTDI FT232R USB UART, serial
// A1B2C3": what tells the user which adapter a port is.
std::string DeviceSummary(const SerialDeviceInfo& device);

// Serial devices present on this machine: ttyS with a real UART, ttyAMA (the UART of ARM
// boards), ttyUSB, ttyACM, rfcomm (Bluetooth), /dev/serial0 and /dev/serial1, the
// /dev/serial/by-id entries and the paths mapped in [Ports]. Opens nothing.
std::vector<SerialDeviceInfo> ListSerialDevices();
std::vector<SerialDeviceInfo> ListSerialDevices(const std::string& iniPath);

// As ListSerialDevices, looking in the given folders instead of /sys/class/tty and /dev.
std::vector<SerialDeviceInfo> ListSerialDevicesIn(const std::string& sysClassTty,
                                                  const std::string& devDir,
                                                  const std::string& iniPath);

}  // namespace vemo

namespace vemo {

// Whether a port can be had: missing (no such device), the kernel's console, a UUCP lock
// of a live process (Locked), or the port open in a process or the terminal of a session
// (InUse). pid names that process; 0 when it cannot be seen. Opens nothing.
struct PortUse {
  enum Kind { Free, InUse, Locked, Console, Missing } kind = Free;
  int pid = 0;
};
PortUse UseOfPort(const std::string& path);
PortUse UseOfPort(const std::string& path, const std::string& lockDir, const std::string& procRoot,
                  const std::string& sysClassTty);

// "free", "in use by process 412", "locked by process 950", "console – not usable",
// "missing".
std::string PortUseText(const PortUse& use);

// "/dev/ttyUSB0: <DeviceSummary> (free)", the port's use looked up now.
std::string PortDetailsText(const SerialDeviceInfo& device);

}  // namespace vemo
