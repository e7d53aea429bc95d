// Portable use beside the program, or the XDG folders when the program's folder is read-only.
#include <gtest/gtest.h>

#include <map>

#include "Paths.h"

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
