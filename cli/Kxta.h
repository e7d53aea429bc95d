// kxta: the command-line tool on the core (read, upload, dump, export, diff, check, import).
#pragma once

#include <string>

struct TSessionTiming;

// Exit statuses.
enum : int {
  kExitOk = 0,
  kExitFailed = 1,       // a step ended " - errors!", or a file could not be read or written
  kExitUsage = 2,
  kExitNoConnection = 3,
  kExitAborted = 130,
};

int KxtaMain(int argc, char** argv);

// Applies "Name=ms,Name=ms" to the session's pauses and limits (the names of TSessionTiming's
// fields). Tests use it through KXTA_SESSION_TIMING to run against a simulator in seconds.
bool ApplyTimingText(const std::string& Text, TSessionTiming& Timing, std::string& Error);

// The command code the run shows for a command: cut before its first "*", else before its
// first "/", else the whole command.
std::string CommandCode(const std::string& Cmd);
