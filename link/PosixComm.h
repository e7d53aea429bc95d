// The termios backend of the serial port.
#pragma once

#include <memory>
#include <string>

class TCommDevice;

// A terminal device (a serial port, a USB adapter or a pseudo-terminal) at Path; not yet open.
std::unique_ptr<TCommDevice> MakePosixCommDevice(const std::string& Path);
