// The messages by which the desktop program and the command-line tool explain a failed
// connection, by the session's result code.
#pragma once

#include <string>

// "" for 0 (success); Code 4 (the modem failed) is explained by DialResultMessage instead.
std::string ConnectResultMessage(int Code);
// The modem's dial result: "" for 0 (carrier detected).
std::string DialResultMessage(int DialResult);
