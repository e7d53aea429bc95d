// The one decision of where settings, error log and data files live.
#include "Paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>

namespace {

std::string WithSlash(std::string Dir) {
  if (Dir.empty()) Dir = ".";
  if (Dir.back() != '/') Dir += '/';
  return Dir;
}

// An XDG variable counts only when it holds an absolute path.
std::string XdgDir(const TEnvLookup& Env, const char* Var, const std::string& Home,
                   const char* Fallback) {
  const char* v = Env(Var);
  if (v && v[0] == '/') return WithSlash(v);
  return WithSlash(Home) + Fallback;
}

bool HasFolder(const std::string& Name) { return Name.find('/') != std::string::npos; }

bool FileExists(const std::string& Path) {
  struct stat st {};
  return ::stat(Path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirExists(const std::string& Path) {
  struct stat st {};
  return ::stat(Path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// PREFIX/share/kxta-config/ for a program in PREFIX/bin/, else empty.
std::string InstalledShareDir(const std::string& ProgramDir) {
  static const std::string bin = "/bin/";
  if (ProgramDir.size() < bin.size() ||
      ProgramDir.compare(ProgramDir.size() - bin.size(), bin.size(), bin) != 0)
    return {};
  return ProgramDir.substr(0, ProgramDir.size() - bin.size() + 1) + "share/kxta-config/";
}

std::mutex gLock;
TAppPaths gPaths;
bool gHavePaths = false;

bool MakeDirs(const std::string& Dir) {
  std::string path;
  size_t pos = 0;
  while (pos < Dir.size()) {
    size_t next = Dir.find('/', pos + 1);
    if (next == std::string::npos) next = Dir.size();
    path = Dir.substr(0, next);
    if (!path.empty() && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    pos = next;
  }
  return true;
}

}  // namespace

std::string TAppPaths::ResolveDataFile(const std::string& Name) const {
  return HasFolder(Name) ? Name : DataDir + Name;
}

std::string TAppPaths::ResolveProgramFile(const std::string& Name) const {
  if (HasFolder(Name)) return Name;
  if (!Portable && FileExists(ConfigDir + Name)) return ConfigDir + Name;
  if (!ShareDir.empty() && FileExists(ShareDir + Name)) return ShareDir + Name;
  return ProgramDir + Name;
}

TAppPaths ResolveAppPaths(const std::string& ProgramDir, const TEnvLookup& Env,
                          const TWritableTest& Writable, const TWritableTest& IsDir) {
  TAppPaths p;
  p.ProgramDir = WithSlash(ProgramDir);
  if (IsDir) {
    const std::string share = InstalledShareDir(p.ProgramDir);
    if (!share.empty() && IsDir(share)) p.ShareDir = share;
  }
  p.Portable = p.ShareDir.empty() && Writable(p.ProgramDir);
  if (p.Portable) {
    p.ConfigDir = p.StateDir = p.DataDir = p.ProgramDir;
    return p;
  }
  std::string home;
  if (const char* h = Env("HOME"); h && h[0] == '/') home = h;
  if (home.empty()) {
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) home = pw->pw_dir;
  }
  if (home.empty()) home = "/tmp";
  p.ConfigDir = XdgDir(Env, "XDG_CONFIG_HOME", home, ".config/") + "kxta-config/";
  p.StateDir = XdgDir(Env, "XDG_STATE_HOME", home, ".local/state/") + "kxta-config/";
  p.DataDir = XdgDir(Env, "XDG_DATA_HOME", home, ".local/share/") + "kxta-config/";
  return p;
}

bool IsDirWritable(const std::string& Dir) { return ::access(Dir.c_str(), W_OK | X_OK) == 0; }

void InitAppPaths(const char* Argv0) {
  std::string dir;
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n > 0) {
    dir.assign(buf, static_cast<size_t>(n));
  } else if (Argv0) {
    dir = Argv0;
  }
  const size_t slash = dir.rfind('/');
  dir = slash == std::string::npos ? std::string(".") : dir.substr(0, slash + 1);
  SetAppPaths(
      ResolveAppPaths(dir, [](const char* v) { return std::getenv(v); }, IsDirWritable, DirExists));
}

void SetAppPaths(const TAppPaths& Paths) {
  std::lock_guard<std::mutex> g(gLock);
  gPaths = Paths;
  gHavePaths = true;
}

const TAppPaths& AppPaths() {
  std::lock_guard<std::mutex> g(gLock);
  if (!gHavePaths) {
    gPaths = ResolveAppPaths(".", [](const char* v) { return std::getenv(v); }, IsDirWritable);
    gHavePaths = true;
  }
  return gPaths;
}

bool EnsureAppDirs() {
  const TAppPaths& p = AppPaths();
  return MakeDirs(p.ConfigDir) && MakeDirs(p.StateDir) && MakeDirs(p.DataDir);
}
