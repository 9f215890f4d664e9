// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PortNames.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>

#include "platform/ProfileFile.h"
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

// Sets or unsets environment variables for one scope.
class Environment {
 public:
  ~Environment() {
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
  }
  void Set(const std::string& name, const char* value) {
    if (!saved_.count(name)) {
      const char* old = std::getenv(name.c_str());
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value)
      setenv(name.c_str(), value, 1);
    else
      unsetenv(name.c_str());
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

TEST(PortNamesTest, TheSettingsFileIsNamedByTheEnvironmentLiesBesideTheProgramOrInTheConfigHome) {
  TempDir home;
  Environment env;
  env.Set("HOME", home.path().c_str());
  const std::string name = "vemo-test-" + std::to_string(getpid()) + ".ini";
  const std::string beside = QCoreApplication::applicationDirPath().toStdString() + "/" + name;
  struct Row {
    const char* named;
    bool besideExists;
    const char* xdg;
    std::string expected;
  };
  const Row rows[] = {
      {"/somewhere/else.ini", true, "/xdg", "/somewhere/else.ini"},
      {"", true, "/xdg", beside},
      {nullptr, false, "/xdg", "/xdg/VemoSWR/" + name},
      {nullptr, false, "relative", home / (".config/VemoSWR/" + name)},
      {nullptr, false, nullptr, home / (".config/VemoSWR/" + name)},
  };
  for (const Row& row : rows) {
    env.Set("VEMO_TEST_INI", row.named);
    env.Set("XDG_CONFIG_HOME", row.xdg);
    if (row.besideExists) WriteFile(beside, "");
    EXPECT_EQ(SettingsFilePath(name, "VEMO_TEST_INI"), row.expected);
    fs::remove(beside);
  }

  env.Set("VEMOSWR_INI", nullptr);
  env.Set("XDG_CONFIG_HOME", nullptr);
  const std::string path = SettingsFilePath();
  EXPECT_EQ(path, home / ".config/VemoSWR/VemoSWR.ini");
  EXPECT_EQ(PortDevicePath(2), "/dev/ttyS1") << "a missing settings file maps nothing";
  CreateSettingsFolder(path);
  ProfileFile(path).WriteInteger("Communication", "ComPort", 3);
  EXPECT_EQ(test::ReadFile(path), "[Communication]\nComPort=3\n");
}

TEST(PortNamesTest, SiteDefaultsLieBeneathTheUsersFileWhichAloneIsWritten) {
  TempDir dir;
  Environment env;
  env.Set("XDG_CONFIG_DIRS", ("relative:" + dir / "first" + ":" + dir / "second").c_str());
  const std::vector<std::string> sites = SiteSettingsPaths("VemoSWR.ini");
  ASSERT_EQ(sites, (std::vector<std::string>{dir / "first/VemoSWR/VemoSWR.ini",
                                             dir / "second/VemoSWR/VemoSWR.ini"}));
  fs::create_directories(dir / "second/VemoSWR");
  const std::string site =
      "[Ports]\nCOM2=/dev/ttyUSB1\nCOM3=/dev/ttyACM0\n"
      "[Meter]\nVisible=1\nRange=2\n[Alarms]\nHook=\"notify me\"\n";
  WriteFile(sites[1], site);
  WriteFile(dir / "user.ini", "[Ports]\nCOM3=/dev/ttyUSB9\n[Meter]\nRange=4\n");

  EXPECT_EQ(SiteSettingsBeneath(dir / "user.ini"), std::vector<std::string>{sites[1]});
  EXPECT_EQ(PortDevicePath(2, dir / "user.ini"), "/dev/ttyUSB1");
  EXPECT_EQ(PortDevicePath(3, dir / "user.ini"), "/dev/ttyUSB9") << "the user's entry wins";
  ProfileFile ini = ProgramSettings(dir / "user.ini");
  EXPECT_TRUE(ini.ReadBool("Meter", "Visible", false));
  EXPECT_EQ(ini.ReadInteger("Meter", "Range", 0), 4);
  EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"Ports", "Meter", "Alarms"}));
  EXPECT_EQ(ini.ReadSectionValues("Ports").size(), 2u);

  // What only repeats the site's value stays out of the user's file; a change goes in.
  ini.BeginUpdate();
  ini.WriteBool("Meter", "Visible", true);
  ini.WriteString("Alarms", "Hook", "notify me");
  ini.WriteInteger("Meter", "Range", 2);
  ini.WriteInteger("Window", "Top", 7);
  ini.EndUpdate();
  EXPECT_EQ(test::ReadFile(dir / "user.ini"),
            "[Ports]\nCOM3=/dev/ttyUSB9\n[Meter]\nRange=2\n"
            "[Window]\nTop=7\n");
  EXPECT_EQ(test::ReadFile(sites[1]), site);

  // A portable installation keeps everything beside the program.
  const std::string portable =
      QCoreApplication::applicationDirPath().toStdString() + "/VemoSWR.ini";
  EXPECT_TRUE(SiteSettingsBeneath(portable).empty());
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
  // A USB adapter's tty: its interface below the USB device that holds the descriptors.
  void AddUsb(const std::string& name, const std::string& vendor, const std::string& product,
              const std::vector<std::pair<std::string, std::string>>& strings) {
    const fs::path usb = root_ / ("sys/devices/pci0000:00/usb1/1-" + name);
    fs::create_directories(usb / "1-1:1.0" / name);
    WriteFile((usb / "idVendor").string(), vendor + "\n");
    WriteFile((usb / "idProduct").string(), product + "\n");
    for (const auto& [file, text] : strings) WriteFile((usb / file).string(), text + "\n");
    fs::create_directories(fs::path(sys()) / name);
    fs::create_directory_symlink(usb / "1-1:1.0" / name, fs::path(sys()) / name / "device");
    AddDevice(name);
  }
  std::string path() const { return root_.path(); }

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
      {"/nonexistent/sim-port", 7, "mapped in VemoSWR.ini"},
      // COM1 is mapped elsewhere, so ttyS0 has no number of its own any more.
      {system.dev() + "/ttyACM0", 0, "USB modem (ACM)"},
      {system.dev() + "/ttyS0", 0, "serial port"},
      // Named like one, but sysfs does not show it on USB.
      {system.dev() + "/ttyUSB1", 0, "serial device"},
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

TEST(PortNamesTest, USBAdaptersAreDescribedBySysfsAndTheirUseIsTold) {
  FakeSystem system;
  system.AddUsb("ttyUSB0", "0403", "6001",
                {{"manufacturer", "FTDI"}, {"product", "FT232R USB UART"}, {"serial", "A1B2"}});
  system.AddUsb("ttyACM0", "2341", "0043", {});
  system.AddById("usb-FTDI_FT232R_USB_UART_A1B2-if00-port0", "ttyUSB0");
  system.AddTtyS(0, true, 4);
  const auto devices = ListSerialDevicesIn(system.sys(), system.dev(), system.ini());
  ASSERT_EQ(devices.size(), 3u);
  EXPECT_EQ(DeviceSummary(devices[0]), "serial port");
  EXPECT_EQ(DeviceSummary(devices[1]), "USB modem (ACM), 2341:0043");
  EXPECT_EQ(DeviceSummary(devices[2]),
            "usb-FTDI_FT232R_USB_UART_A1B2-if00-port0, 0403:6001 FTDI FT232R USB UART, serial "
            "A1B2");

  // pid 1 lives as long as the machine does; 950 holds ttyS0 open.
  const std::string locks = system.path() + "/lock", proc = system.path() + "/proc";
  fs::create_directories(proc + "/950/fd");
  fs::create_directories(locks);
  fs::create_symlink(fs::canonical(system.dev() + "/ttyS0"), proc + "/950/fd/4");
  WriteFile(locks + "/LCK..ttyUSB0", "         1\n");
  struct Row {
    std::string path, use;
  };
  const Row rows[] = {{devices[0].path, "in use by process 950"},
                      {devices[1].path, "free"},
                      {devices[2].path, "locked by process 1"}};
  for (const Row& row : rows)
    EXPECT_EQ(PortUseText(UseOfPort(row.path, locks, proc, system.sys())), row.use) << row.path;
}

TEST(PortNamesTest, BoardUartsBluetoothAndAliasesAreListedWhileConsolesAndMissingOnesAreSaidSo) {
  FakeSystem system;
  system.AddTtyS(0, true, 4);
  for (const char* name : {"ttyAMA0", "ttyAMA1"}) {
    fs::create_directories(fs::path(system.sys()) / name);
    system.AddDevice(name);
  }
  system.AddDevice("rfcomm0");
  fs::create_symlink("ttyAMA0", system.dev() + "/serial0");
  fs::create_symlink("ttyS0", system.dev() + "/serial1");
  WriteFile(system.ini(), "[Ports]\nCOM9=" + system.dev() + "/ttyUSB7\n");
  const std::string proc = system.path() + "/proc", locks = system.path() + "/lock";
  fs::create_directories(proc);
  fs::create_directories(locks);
  WriteFile(proc + "/cmdline", "root=/dev/mmcblk0p2 console=ttyAMA1,115200 console=tty1 quiet\n");
  fs::create_directories(fs::path(system.sys()) / "console");
  WriteFile(system.sys() + "/console/active", "tty1 ttyS0\n");

  struct Row {
    std::string path, summary, use;
  };
  const Row expected[] = {
      {system.dev() + "/ttyS0", "serial port, also " + system.dev() + "/serial1",
       "console \u2013 not usable"},
      {system.dev() + "/ttyUSB7", "mapped in VemoSWR.ini", "missing"},
      {system.dev() + "/rfcomm0", "Bluetooth serial port (RFCOMM)", "free"},
      {system.dev() + "/ttyAMA0", "serial port, also " + system.dev() + "/serial0", "free"},
      {system.dev() + "/ttyAMA1", "serial port", "console \u2013 not usable"},
  };
  const auto devices = ListSerialDevicesIn(system.sys(), system.dev(), system.ini());
  ASSERT_EQ(devices.size(), std::size(expected));
  for (size_t i = 0; i < devices.size(); ++i) {
    EXPECT_EQ(devices[i].path, expected[i].path) << i;
    EXPECT_EQ(DeviceSummary(devices[i]), expected[i].summary) << devices[i].path;
    EXPECT_EQ(PortUseText(UseOfPort(devices[i].path, locks, proc, system.sys())), expected[i].use)
        << devices[i].path;
  }
}

}  // namespace
}  // namespace vemo
