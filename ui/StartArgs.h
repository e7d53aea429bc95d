// The desktop program's command line: a data file to open (what a file manager passes), the
// "dump" word, the demo PBX and the hooks for scripts.
#pragma once

#include <string>
#include <vector>

struct TStartArgs {
  bool Help = false, Version = false;
  bool Demo = false;
  bool ShowDump = false;  // the first word that is no option is "dump" (any letter case)
  bool Quit = false;
  std::string Autorun, Screenshot, Measure;
  std::string File;  // as given; relative to the current folder
  // What is wrong with the command line; empty when it can be run.
  std::string Error;
};

// Args without the program's name, after Qt has taken its own options (-platform, -style...).
TStartArgs ParseStartArgs(const std::vector<std::string>& Args);

// --help or --version before "--" anywhere in Argv: answered before Qt opens a display, so
// that they work without one.
bool AsksHelpOrVersion(int Argc, char** Argv);

// What --help prints (an unknown option prints it too, on standard error).
extern const char kStartUsage[];
