// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PortNames.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "platform/PortLock.h"
#include "platform/PortUsers.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsPath.h"

namespace fs = std::filesystem;

namespace vemo {

namespace {

const char* const kPortsSection = "Ports";

// Number after a fixed prefix ("ttyS12" -> 12); -1 when the rest is not all digits.
int NumberAfter(const std::string& name, const std::string& prefix) {
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return -1;
  int n = 0;
  for (size_t i = prefix.size(); i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9' || n > 100000) return -1;
    n = n * 10 + (name[i] - '0');
  }
  return n;
}

int MappedPortNumber(const std::string& key) {
  std::string upper = key;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  });
  int n = NumberAfter(upper, "COM");
  return n >= 1 ? n : 0;
}

std::string Canonical(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::weakly_canonical(path, ec);
  return ec ? path : p.string();
}

// A ttyS node exists for every possible 8250 port; only those with a UART behind them
// are real. The serial core reports the UART type in "type"; 0 means no UART.
bool HasRealUart(const fs::path& ttyDir) {
  std::error_code ec;
  if (!fs::exists(ttyDir / "device" / "driver", ec)) return false;
  std::ifstream typeFile(ttyDir / "type");
  if (!typeFile) return true;  // not a serial-core port: the driver link is all we have
  int type = 0;
  return (typeFile >> type) && type != 0;
}

std::string FirstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
  return line;
}

// The USB device above a tty in sysfs (the interface's parent holds the descriptors).
void ReadUsbDetails(const fs::path& ttyDir, SerialDeviceInfo& info) {
  std::error_code ec;
  fs::path dir = fs::canonical(ttyDir / "device", ec);
  for (int up = 0; !ec && up < 6 && dir.has_relative_path(); ++up, dir = dir.parent_path()) {
    if (!fs::exists(dir / "idVendor", ec)) continue;
    info.usbId = FirstLine(dir / "idVendor") + ":" + FirstLine(dir / "idProduct");
    info.manufacturer = FirstLine(dir / "manufacturer");
    info.product = FirstLine(dir / "product");
    info.serial = FirstLine(dir / "serial");
    return;
  }
}

bool IsOnUsb(const fs::path& ttyDir) {
  SerialDeviceInfo info;
  ReadUsbDetails(ttyDir, info);
  return !info.usbId.empty();
}

struct Entry {
  SerialDeviceInfo info;
  int defaultNumber = 0;  // ttyS<n-1> is COM n unless [Ports] maps COM n elsewhere
  int mappedNumber = 0;
};

class DeviceList {
 public:
  Entry& Add(const std::string& path, const std::string& description) {
    const std::string key = Canonical(path);
    auto it = entries_.find(key);
    if (it == entries_.end()) {
      it = entries_.emplace(key, Entry{}).first;
      it->second.info.path = path;
      it->second.info.description = description;
    }
    return it->second;
  }
  Entry* Find(const std::string& path) {
    auto it = entries_.find(Canonical(path));
    return it == entries_.end() ? nullptr : &it->second;
  }
  std::map<std::string, Entry>& Entries() { return entries_; }

 private:
  std::map<std::string, Entry> entries_;  // by canonical path
};

}  // namespace

std::string PortDevicePath(int portNumber) {
  return PortDevicePath(portNumber, SettingsFilePath());
}

std::string PortDevicePath(int portNumber, const std::string& iniPath) {
  if (portNumber < 1) return std::string();
  const ProfileFile profile = ProgramSettings(iniPath);
  std::string mapped = profile.ReadString(kPortsSection, "COM" + std::to_string(portNumber), "");
  if (!mapped.empty()) return mapped;
  return "/dev/ttyS" + std::to_string(portNumber - 1);
}

std::vector<SerialDeviceInfo> ListSerialDevices() {
  return ListSerialDevices(SettingsFilePath());
}

std::vector<SerialDeviceInfo> ListSerialDevices(const std::string& iniPath) {
  return ListSerialDevicesIn(DefaultSysRoot() + "/class/tty", DefaultDevRoot(), iniPath);
}

std::vector<SerialDeviceInfo> ListSerialDevicesIn(const std::string& sysClassTty,
                                                  const std::string& devDir,
                                                  const std::string& iniPath) {
  DeviceList list;
  std::error_code ec;

  for (const auto& dirEntry : fs::directory_iterator(sysClassTty, ec)) {
    const std::string name = dirEntry.path().filename().string();
    const std::string path = devDir + "/" + name;
    const int n = NumberAfter(name, "ttyS");
    if (n >= 0 && HasRealUart(dirEntry.path()) && fs::exists(path, ec))
      list.Add(path, "serial port").defaultNumber = n + 1;
    // The UART of ARM boards (the Raspberry Pi's PL011).
    if (NumberAfter(name, "ttyAMA") >= 0 && fs::exists(path, ec)) list.Add(path, "serial port");
  }

  for (const auto& dirEntry : fs::directory_iterator(devDir, ec)) {
    const std::string name = dirEntry.path().filename().string();
    const std::string path = devDir + "/" + name;
    // Only sysfs knows whether a ttyUSB node is on USB; the name alone may be a driver's
    // choice.
    if (NumberAfter(name, "ttyUSB") >= 0)
      list.Add(path,
               IsOnUsb(fs::path(sysClassTty) / name) ? "USB serial adapter" : "serial device");
    if (NumberAfter(name, "ttyACM") >= 0) list.Add(path, "USB modem (ACM)");  // USB only
    if (NumberAfter(name, "rfcomm") >= 0) list.Add(path, "Bluetooth serial port (RFCOMM)");
  }

  // A board's stable names for its UARTs, whichever of them the firmware set up.
  for (const char* alias : {"serial0", "serial1"}) {
    std::error_code linkError;
    const fs::path target = fs::canonical(devDir + "/" + alias, linkError);
    if (linkError) continue;
    Entry* existing = list.Find(target.string());
    Entry& entry = existing ? *existing : list.Add(target.string(), "serial port");
    entry.info.description += std::string(", also ") + devDir + "/" + alias;
  }

  // by-id names say what is plugged in ("usb-FTDI_FT232R_USB_UART_A1B2-if00-port0").
  for (const auto& dirEntry : fs::directory_iterator(devDir + "/serial/by-id", ec)) {
    std::error_code linkError;
    fs::path target = fs::canonical(dirEntry.path(), linkError);
    if (linkError) continue;
    const std::string idName = dirEntry.path().filename().string();
    Entry* existing = list.Find(target.string());
    Entry& entry = existing ? *existing : list.Add(target.string(), idName);
    entry.info.description = idName;
    entry.info.byId = idName;
  }

  std::set<int> mappedNumbers;
  for (const auto& [key, value] : ProgramSettings(iniPath).ReadSectionValues(kPortsSection)) {
    int n = MappedPortNumber(key);
    if (n == 0 || value.empty()) continue;
    mappedNumbers.insert(n);
    Entry* existing = list.Find(value);
    Entry& entry = existing ? *existing : list.Add(value, "mapped in VemoSWR.ini");
    if (entry.mappedNumber == 0 || n < entry.mappedNumber) entry.mappedNumber = n;
  }

  std::vector<SerialDeviceInfo> devices;
  for (auto& [key, entry] : list.Entries()) {
    ReadUsbDetails(fs::path(sysClassTty) / fs::path(key).filename(), entry.info);
    if (entry.mappedNumber != 0)
      entry.info.portNumber = entry.mappedNumber;
    else if (entry.defaultNumber != 0 && !mappedNumbers.count(entry.defaultNumber))
      entry.info.portNumber = entry.defaultNumber;
    devices.push_back(entry.info);
  }
  std::sort(devices.begin(), devices.end(),
            [](const SerialDeviceInfo& a, const SerialDeviceInfo& b) {
              // Numbered ports first, in number order; the rest by path.
              if ((a.portNumber == 0) != (b.portNumber == 0)) return a.portNumber != 0;
              if (a.portNumber != b.portNumber) return a.portNumber < b.portNumber;
              return a.path < b.path;
            });
  return devices;
}

}  // namespace vemo

namespace vemo {

std::string DeviceSummary(const SerialDeviceInfo& device) {
  std::string text = device.byId.empty() ? device.description : device.byId;
  std::string usb = device.usbId;
  for (const std::string* part : {&device.manufacturer, &device.product})
    if (!part->empty()) usb += (usb.empty() ? "" : " ") + *part;
  if (!usb.empty()) text += (text.empty() ? "" : ", ") + usb;
  if (!device.serial.empty()) text += (text.empty() ? "serial " : ", serial ") + device.serial;
  return text;
}

PortUse UseOfPort(const std::string& path) {
  return UseOfPort(path, DefaultLockDirectory(), DefaultProcRoot(),
                   DefaultSysRoot() + "/class/tty");
}

PortUse UseOfPort(const std::string& path, const std::string& lockDir, const std::string& procRoot,
                  const std::string& sysClassTty) {
  std::error_code ec;
  const fs::path device = fs::canonical(path, ec);
  if (ec) return {PortUse::Missing, 0};
  if (ConsoleDevices(procRoot, sysClassTty).count(device.filename().string()))
    return {PortUse::Console, 0};
  if (const pid_t pid = LockHolder(lockDir, path)) return {PortUse::Locked, pid};
  if (const pid_t pid = ControllingProcess(path, procRoot)) return {PortUse::InUse, pid};
  if (const pid_t pid = OpeningProcess(path, procRoot)) return {PortUse::InUse, pid};
  return {};
}

std::string PortUseText(const PortUse& use) {
  const std::string by = use.pid != 0 ? " by process " + std::to_string(use.pid) : "";
  switch (use.kind) {
    case PortUse::Locked:
      return "locked" + by;
    case PortUse::InUse:
      return "in use" + by;
    case PortUse::Console:
      return "console \u2013 not usable";
    case PortUse::Missing:
      return "missing";
    case PortUse::Free:
      break;
  }
  return "free";
}

std::string PortDetailsText(const SerialDeviceInfo& device) {
  const std::string summary = DeviceSummary(device);
  return device.path + (summary.empty() ? "" : ": " + summary) + " (" +
         PortUseText(UseOfPort(device.path)) + ")";
}

}  // namespace vemo
