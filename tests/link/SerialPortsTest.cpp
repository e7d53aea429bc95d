// The serial devices offered for the COM entries, and the [Devices] mapping in the settings file.
#include <gtest/gtest.h>

#include <filesystem>

#include "CommDevice.h"
#include "SerialPorts.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

void Touch(const TTempDir& D, const std::string& Name) {
  fs::create_directories(fs::path(D.File(Name)).parent_path());
  D.Write(Name, "");
}

void Link(const TTempDir& D, const std::string& Name, const std::string& Target) {
  fs::create_directories(fs::path(D.File(Name)).parent_path());
  fs::create_symlink(Target, D.File(Name));
}

std::vector<std::string> Paths(const std::vector<TSerialPortEntry>& Ports) {
  std::vector<std::string> p;
  for (const auto& e : Ports) p.push_back(e.Path);
  return p;
}

}  // namespace

TEST(SerialPorts, StableNamesFirstThenEachKindInNumberOrder) {
  TTempDir d;
  for (const char* n : {"dev/ttyUSB10", "dev/ttyUSB2", "dev/ttyUSB1", "dev/ttyACM0", "dev/ttyS1",
                        "dev/ttyS0", "dev/ttyUSB", "dev/ttySX", "dev/tty0", "dev/ttyS12"})
    Touch(d, n);
  // udev's links are relative; the second one's adapter was unplugged.
  Link(d, "dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0", "../../ttyUSB1");
  Link(d, "dev/serial/by-id/usb-Prolific_gone-if00-port0", "../../ttyUSB7");
  const std::string root = d.Path().substr(0, d.Path().size() - 1);

  const auto ports = ListSerialPorts(d.Path());
  EXPECT_EQ(Paths(ports),
            (std::vector<std::string>{
                root + "/dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0", root + "/dev/ttyUSB1",
                root + "/dev/ttyUSB2", root + "/dev/ttyUSB10", root + "/dev/ttyACM0",
                root + "/dev/ttyS0", root + "/dev/ttyS1", root + "/dev/ttyS12"}));
  EXPECT_EQ(ports[0].Target, fs::canonical(root + "/dev/ttyUSB1").string());
  EXPECT_EQ(ports[1].Target, "");

  // With sysfs present, the 8250 driver's placeholders (platform bus) and ttys without a device
  // are left out; a UART found on the PnP bus stays.
  fs::create_directories(d.File("sys/bus/pnp"));
  fs::create_directories(d.File("sys/bus/platform"));
  Link(d, "sys/class/tty/ttyS0/device/subsystem", root + "/sys/bus/pnp");
  Link(d, "sys/class/tty/ttyS1/device/subsystem", root + "/sys/bus/platform");
  fs::create_directories(d.File("sys/class/tty/ttyS12"));
  EXPECT_EQ(Paths(ListSerialPorts(root)).back(), root + "/dev/ttyS0");
  EXPECT_EQ(ListSerialPorts(root).size(), size_t(6));

  EXPECT_TRUE(ListSerialPorts(root + "/nowhere").empty());
}

TEST(SerialPorts, MappingIsWrittenWithoutTouchingOtherLines) {
  TTempDir d;
  const std::string ini = d.File("TALVEN.INI");
  d.Write("TALVEN.INI",
          "; technician's note\r\n[Communications]\r\nComPort=1\r\n\r\n[Devices]\r\n"
          "COM1=/dev/ttyUSB0\r\nCOM9=demo\r\n[Sounds]\r\nSound2=done.wav\r\n");
  EXPECT_EQ(ComDeviceMapping(ini, 1), "/dev/ttyUSB0");
  EXPECT_EQ(ComDeviceMapping(ini, 2), "");

  ASSERT_TRUE(SetComDeviceMapping(ini, 2, "  /dev/serial/by-id/usb-FTDI-port0 "));
  ASSERT_TRUE(SetComDeviceMapping(ini, 9, ""));  // back to the default device
  EXPECT_EQ(d.Read("TALVEN.INI"),
            "; technician's note\r\n[Communications]\r\nComPort=1\r\n\r\n[Devices]\r\n"
            "COM1=/dev/ttyUSB0\r\nCOM2=/dev/serial/by-id/usb-FTDI-port0\r\n"
            "[Sounds]\r\nSound2=done.wav\r\n");
  EXPECT_EQ(ResolveDevicePath("com2", ini), "/dev/serial/by-id/usb-FTDI-port0");
  EXPECT_EQ(ResolveDevicePath("COM9", ini), "/dev/ttyS8");

  const std::string before = d.Read("TALVEN.INI");
  EXPECT_FALSE(SetComDeviceMapping(ini, 3, "/dev/ttyUSB0\nCOM4=/dev/evil"));
  EXPECT_EQ(d.Read("TALVEN.INI"), before);
}
