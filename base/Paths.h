// Where the program's files live. One decision, asked by every part: the program's own folder
// when it is writable (portable use), otherwise the XDG folders of the user.
#pragma once

#include <functional>
#include <string>

struct TAppPaths {
  std::string ProgramDir;  // folder of the executable, with a trailing "/"
  bool Portable = false;   // ProgramDir is writable and holds the settings
  std::string ConfigDir;   // TALVEN.INI (and sound files) live here, trailing "/"
  std::string StateDir;    // Error.log lives here, trailing "/"
  std::string DataDir;     // data-file names without a folder resolve here, trailing "/"

  std::string SettingsFile() const { return ConfigDir + "TALVEN.INI"; }
  std::string ErrorLogFile() const { return StateDir + "Error.log"; }
  // A name with a folder is returned as it is; a bare name is placed in DataDir.
  std::string ResolveDataFile(const std::string& Name) const;
  // A file the program ships or the user puts beside the settings (sound cues).
  std::string ResolveProgramFile(const std::string& Name) const;
};

using TEnvLookup = std::function<const char*(const char* Name)>;
using TWritableTest = std::function<bool(const std::string& Dir)>;

// The decision itself, with the environment and the writability test passed in so that it can
// be tested. Does not create any folder.
TAppPaths ResolveAppPaths(const std::string& ProgramDir, const TEnvLookup& Env,
                          const TWritableTest& Writable);

// The program's paths. InitAppPaths is called once at start with argv[0]; before that (tests)
// the current folder is taken as the program's folder. EnsureDirs creates the chosen folders.
void InitAppPaths(const char* Argv0);
void SetAppPaths(const TAppPaths& Paths);
const TAppPaths& AppPaths();
bool EnsureAppDirs();
bool IsDirWritable(const std::string& Dir);
