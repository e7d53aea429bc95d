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
  // An installed program's shipped files (sound cues, README.md): PREFIX/share/kxta-config/
  // beside PREFIX/bin/. Empty when the program runs from anywhere else (its build folder).
  std::string ShareDir;

  std::string SettingsFile() const { return ConfigDir + "TALVEN.INI"; }
  std::string ErrorLogFile() const { return StateDir + "Error.log"; }
  // A name with a folder is returned as it is; a bare name is placed in DataDir.
  std::string ResolveDataFile(const std::string& Name) const;
  // A file the program ships or the user puts beside the settings (sound cues): the user's
  // copy beside the settings first, then the installed one, then the program's folder.
  std::string ResolveProgramFile(const std::string& Name) const;
};

using TEnvLookup = std::function<const char*(const char* Name)>;
using TWritableTest = std::function<bool(const std::string& Dir)>;

// The decision itself, with the environment and the folder tests passed in so that it can be
// tested. IsDir (optional) tells whether PREFIX/share/kxta-config exists: an installed program
// is never portable, even when its folder is writable (root running /usr/bin/kxta-config must
// not write its settings into /usr/bin). Does not create any folder.
TAppPaths ResolveAppPaths(const std::string& ProgramDir, const TEnvLookup& Env,
                          const TWritableTest& Writable, const TWritableTest& IsDir = {});

// The program's paths. InitAppPaths is called once at start with argv[0]; before that (tests)
// the current folder is taken as the program's folder. EnsureDirs creates the chosen folders.
void InitAppPaths(const char* Argv0);
void SetAppPaths(const TAppPaths& Paths);
const TAppPaths& AppPaths();
bool EnsureAppDirs();
bool IsDirWritable(const std::string& Dir);
