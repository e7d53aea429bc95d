// Portable use beside the program, or the XDG folders when the program's folder is read-only.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include "Paths.h"
#include "SafeFile.h"
#include "TempDir.h"

namespace {

TEnvLookup Env(std::map<std::string, std::string> Vars) {
  return [Vars](const char* Name) -> const char* {
    auto it = Vars.find(Name);
    return it == Vars.end() ? nullptr : it->second.c_str();
  };
}

}  // namespace

TEST(PathsTest, WritableProgramFolderKeepsEverythingBesideTheProgram) {
  const TAppPaths p = ResolveAppPaths("/opt/kxta", Env({{"HOME", "/home/t"}}),
                                      [](const std::string&) { return true; });
  EXPECT_TRUE(p.Portable);
  EXPECT_EQ(p.SettingsFile(), "/opt/kxta/TALVEN.INI");
  EXPECT_EQ(p.ErrorLogFile(), "/opt/kxta/Error.log");
  EXPECT_EQ(p.ResolveDataFile("site.ta"), "/opt/kxta/site.ta");
  EXPECT_EQ(p.ResolveDataFile("/tmp/site.ta"), "/tmp/site.ta");
  EXPECT_EQ(p.ResolveDataFile("sub/site.ta"), "sub/site.ta");
}

TEST(PathsTest, ReadOnlyProgramFolderFallsBackToXdg) {
  const auto readOnly = [](const std::string&) { return false; };
  const TAppPaths p = ResolveAppPaths(
      "/usr/bin/", Env({{"HOME", "/home/t"}, {"XDG_CONFIG_HOME", "/cfg"}}), readOnly);
  EXPECT_FALSE(p.Portable);
  EXPECT_EQ(p.SettingsFile(), "/cfg/kxta-config/TALVEN.INI");
  EXPECT_EQ(p.ErrorLogFile(), "/home/t/.local/state/kxta-config/Error.log");
  EXPECT_EQ(p.ResolveDataFile("site.ta"), "/home/t/.local/share/kxta-config/site.ta");

  const TAppPaths q = ResolveAppPaths(
      "/usr/bin", Env({{"HOME", "/home/t"}, {"XDG_CONFIG_HOME", "relative"},
                       {"XDG_STATE_HOME", "/st"}, {"XDG_DATA_HOME", ""}}),
      readOnly);
  EXPECT_EQ(q.SettingsFile(), "/home/t/.config/kxta-config/TALVEN.INI")
      << "a relative XDG path does not count";
  EXPECT_EQ(q.ErrorLogFile(), "/st/kxta-config/Error.log");
  EXPECT_EQ(q.DataDir, "/home/t/.local/share/kxta-config/");
  EXPECT_EQ(q.ResolveProgramFile("ding.wav"), "/usr/bin/ding.wav")
      << "a sound not in the config folder is looked for beside the program";
}

// An installed program (PREFIX/bin beside PREFIX/share/kxta-config) uses the XDG folders even
// when its folder is writable, and finds its shipped files after the user's own copies.
TEST(PathsTest, InstalledProgramFindsItsSharedFilesAndIsNeverPortable) {
  TTempDir d;
  for (const char* dir : {"bin", "share", "share/kxta-config", "cfg", "cfg/kxta-config"})
    ASSERT_EQ(::mkdir(d.File(dir).c_str(), 0700), 0) << dir;
  d.Write("share/kxta-config/done.wav", "RIFF");
  d.Write("share/kxta-config/mine.wav", "RIFF");
  d.Write("cfg/kxta-config/mine.wav", "RIFF");
  const auto writable = [](const std::string&) { return true; };
  const auto isDir = [](const std::string& Dir) {
    struct stat st {};
    return ::stat(Dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  };
  const TEnvLookup env = Env({{"HOME", "/home/t"}, {"XDG_CONFIG_HOME", d.File("cfg")}});
  const TAppPaths p = ResolveAppPaths(d.File("bin"), env, writable, isDir);
  EXPECT_FALSE(p.Portable) << "settings must not go into an installed bin folder";
  EXPECT_EQ(p.ShareDir, d.File("share/kxta-config/"));
  EXPECT_EQ(p.ResolveProgramFile("done.wav"), d.File("share/kxta-config/done.wav"));
  EXPECT_EQ(p.ResolveProgramFile("mine.wav"), d.File("cfg/kxta-config/mine.wav"));
  EXPECT_EQ(p.ResolveProgramFile("none.wav"), d.File("bin/none.wav"));

  // A build folder (no share folder beside it) stays portable with nothing shared.
  const TAppPaths b = ResolveAppPaths(d.File("cfg"), env, writable, isDir);
  EXPECT_TRUE(b.Portable);
  EXPECT_TRUE(b.ShareDir.empty());
}

// The upload journal knows a data file by one name whichever way it was reached (through a
// linked folder, relative to another folder): kxta and the desktop program name it alike.
TEST(PathsTest, AFileHasOneAbsoluteNameThroughLinksAndRelativePaths) {
  TTempDir d;
  ASSERT_EQ(::mkdir(d.File("site").c_str(), 0700), 0);
  d.Write("site/a.ta", "bytes");
  ASSERT_EQ(::symlink(d.File("site").c_str(), d.File("link").c_str()), 0);
  const std::string real = AbsoluteFilePath(d.File("site/a.ta"));
  EXPECT_EQ(real.front(), '/');
  EXPECT_EQ(AbsoluteFilePath(d.File("link/a.ta")), real);
  EXPECT_EQ(ReadWholeFile(d.File("link/a.ta")), "bytes");
  EXPECT_EQ(ReadWholeFile(d.File("none.ta")), "");

  char cwd[4096];
  ASSERT_TRUE(::getcwd(cwd, sizeof cwd));
  ASSERT_EQ(::chdir(d.File("link").c_str()), 0);
  EXPECT_EQ(AbsoluteFilePath("a.ta"), real);
  EXPECT_EQ(AbsoluteFilePath("gone.ta").front(), '/') << "a missing file is still absolute";
  ASSERT_EQ(::chdir(cwd), 0);
}
