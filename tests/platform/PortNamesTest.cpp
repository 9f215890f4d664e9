#include "platform/PortNames.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstdlib>
#include <filesystem>

#include "platform/SettingsPath.h"
#include "tests/platform/TempDir.h"

namespace vemo {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

TEST(PortNamesTest, PortNumbersMapThroughThePortsSectionOrDefaultToTtyS) {
  TempDir dir;
  WriteFile(dir / "VemoSWR.ini", "[ports]\ncom3 = /dev/ttyUSB0\nCOM4=\n");
  struct Row {
    int port;
    std::string ini;
    std::string expected;
  };
  const Row rows[] = {
      {1, dir / "VemoSWR.ini", "/dev/ttyS0"}, {3, dir / "VemoSWR.ini", "/dev/ttyUSB0"},
      {4, dir / "VemoSWR.ini", "/dev/ttyS3"}, {16, dir / "VemoSWR.ini", "/dev/ttyS15"},
      {3, dir / "missing.ini", "/dev/ttyS2"}, {0, dir / "VemoSWR.ini", ""},
  };
  for (const Row& row : rows)
    EXPECT_EQ(PortDevicePath(row.port, row.ini), row.expected) << "COM" << row.port;
}

TEST(PortNamesTest, TheSettingsFileLiesBesideTheExecutableUnlessTheEnvironmentNamesOne) {
  const char* saved = std::getenv("VEMOSWR_INI");
  const std::string savedValue = saved ? saved : "";
  unsetenv("VEMOSWR_INI");
  EXPECT_EQ(SettingsFilePath(),
            QCoreApplication::applicationDirPath().toStdString() + "/VemoSWR.ini");
  setenv("VEMOSWR_INI", "/somewhere/else.ini", 1);
  EXPECT_EQ(SettingsFilePath(), "/somewhere/else.ini");
  EXPECT_EQ(PortDevicePath(2), "/dev/ttyS1") << "a missing settings file maps nothing";
  if (saved)
    setenv("VEMOSWR_INI", savedValue.c_str(), 1);
  else
    unsetenv("VEMOSWR_INI");
}

// A small /sys/class/tty and /dev as the kernel lays them out.
class FakeSystem {
 public:
  FakeSystem() {
    fs::create_directories(sys());
    fs::create_directories(dev() + "/serial/by-id");
    fs::create_directories(root_ / "drivers/serial8250");
  }
  std::string sys() const { return root_ / "sys/class/tty"; }
  std::string dev() const { return root_ / "dev"; }
  std::string ini() const { return root_ / "VemoSWR.ini"; }

  // A ttyS node: withDriver = bound to a driver; type = the UART type the serial core
  // reports (0 = no UART), or -1 for no type file.
  void AddTtyS(int n, bool withDriver, int type) {
    const fs::path node = fs::path(sys()) / ("ttyS" + std::to_string(n));
    fs::create_directories(node / "device");
    if (withDriver)
      fs::create_directory_symlink(root_ / "drivers/serial8250", node / "device/driver");
    if (type >= 0) WriteFile((node / "type").string(), std::to_string(type) + "\n");
    AddDevice("ttyS" + std::to_string(n));
  }
  void AddDevice(const std::string& name) { WriteFile(dev() + "/" + name, ""); }
  void AddById(const std::string& name, const std::string& target) {
    fs::create_symlink("../../" + target, dev() + "/serial/by-id/" + name);
  }

 private:
  TempDir root_;
};

TEST(PortNamesTest, ListingKeepsRealPortsWithTheNumbersThatNameThem) {
  FakeSystem system;
  system.AddTtyS(0, true, 4);   // a 16550A
  system.AddTtyS(1, true, 0);   // serial8250 placeholder without a UART
  system.AddTtyS(2, false, 4);  // no driver bound
  system.AddTtyS(3, true, -1);  // a driver without the serial core's type file
  system.AddDevice("ttyUSB0");
  system.AddDevice("ttyUSB1");
  system.AddDevice("ttyACM0");
  system.AddDevice("ttyUSBx");  // not a numbered device
  system.AddById("usb-FTDI_FT232R_USB_UART_A1B2-if00-port0", "ttyUSB0");
  WriteFile(system.ini(),
            "[Ports]\nCOM1=" + system.dev() + "/ttyUSB0\nCOM7=/nonexistent/sim-port\n");

  const auto devices = ListSerialDevicesIn(system.sys(), system.dev(), system.ini());

  struct Expected {
    std::string path;
    int port;
    std::string description;
  };
  const Expected expected[] = {
      {system.dev() + "/ttyUSB0", 1, "usb-FTDI_FT232R_USB_UART_A1B2-if00-port0"},
      {system.dev() + "/ttyS3", 4, "serial port"},
      {"/nonexistent/sim-port", 7, "mapped in VemoSWR.ini (not present)"},
      // COM1 is mapped elsewhere, so ttyS0 has no number of its own any more.
      {system.dev() + "/ttyACM0", 0, "USB modem (ACM)"},
      {system.dev() + "/ttyS0", 0, "serial port"},
      {system.dev() + "/ttyUSB1", 0, "USB serial adapter"},
  };
  ASSERT_EQ(devices.size(), std::size(expected));
  for (size_t i = 0; i < devices.size(); ++i) {
    EXPECT_EQ(devices[i].path, expected[i].path) << i;
    EXPECT_EQ(devices[i].portNumber, expected[i].port) << devices[i].path;
    EXPECT_EQ(devices[i].description, expected[i].description) << devices[i].path;
  }
}

TEST(PortNamesTest, ByIdEntriesWithoutAKnownNodeAreListedByTheirTarget) {
  FakeSystem system;
  system.AddDevice("ttyXRUSB0");
  system.AddById("usb-Exar_XR21V1410-if00", "ttyXRUSB0");
  system.AddById("usb-dangling-if00", "ttyGone0");
  const auto devices = ListSerialDevicesIn(system.sys(), system.dev(), system.ini());
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].path, fs::canonical(system.dev() + "/ttyXRUSB0").string());
  EXPECT_EQ(devices[0].description, "usb-Exar_XR21V1410-if00");
  EXPECT_EQ(devices[0].portNumber, 0);
}

}  // namespace
}  // namespace vemo
