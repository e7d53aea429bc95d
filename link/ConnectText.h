// The messages by which the desktop program and the command-line tool explain a failed
// connection, by the session's result code.
#pragma once

#include <string>

// Who reads the message: the desktop program names its dialogs, the command-line tool its
// options.
enum class TConnectAudience { Desktop, CommandLine };

// "" for 0 (success); Code 4 (the modem failed) is explained by DialResultMessage instead. Step
// is the log-in line the attempt ended at (the session's ConnectStep), for the codes that
// concern one.
std::string ConnectResultMessage(int Code, TConnectAudience For = TConnectAudience::Desktop,
                                 const std::string& Step = std::string());
// The modem's dial result: "" for 0 (carrier detected).
std::string DialResultMessage(int DialResult);
