// The serial devices present on the machine, and the [Devices] section of the settings file that
// maps the COM entries of the program to them.
#pragma once

#include <string>
#include <vector>

struct TSerialPortEntry {
  std::string Path;    // as a user writes it into [Devices]
  std::string Target;  // for a link under /dev/serial/by-id: the device it points to, else ""
};

// The serial devices under Root ("" is the machine itself; tests give a folder holding dev/ and
// sys/): the links of /dev/serial/by-id first, since those names survive replugging, then
// /dev/ttyUSB*, /dev/ttyACM* and /dev/ttyS*, each kind in number order. A by-id link whose
// device is gone is left out, and so is a ttyS* that sysfs shows as a placeholder of the
// platform driver (no UART behind it).
std::vector<TSerialPortEntry> ListSerialPorts(const std::string& Root = "");

// The device the [Devices] section of SettingsFile gives COMn, trimmed; "" when it has none.
std::string ComDeviceMapping(const std::string& SettingsFile, int ComNo);
// Writes COMn=Device into [Devices], or removes the key when Device is blank, leaving every other
// line of the file as it was. False when the file could not be written or Device holds a line
// break.
bool SetComDeviceMapping(const std::string& SettingsFile, int ComNo, const std::string& Device);
