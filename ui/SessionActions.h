// The frame's PBX actions over the program's real session.
#pragma once

#include <string>

#include "Main.h"

class TKXTAcomm;

// Device: the device every connection uses ("demo" for the built-in demo PBX); empty: the COM
// entry the settings select, through the [Devices] mapping. The modem dialog's Parent must be
// the frame, which the dialog sets online.
TPbxActions SessionActions(TKXTAcomm& Comm, TSysData& Store, const std::string& Device);
