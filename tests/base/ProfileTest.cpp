// The settings file must read users' files from the Windows program and edit them without
// losing a line.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "Profile.h"
#include "TempDir.h"

TEST(ProfileTest, ReadsCaseInsensitiveTrimmedWithEitherLineEnd) {
  TTempDir d;
  d.Write("a.ini",
          "; comment\r\n[Communications]\r\n  Speed =  2  \r\nParity=4\r\n"
          "Name=\"quoted value\"\r\nBad=12x\r\n[System]\nPBXtype=0\nPbxPassword= 1234\n");
  const TIniFile ini(d.File("a.ini"));
  EXPECT_EQ(ini.ReadInteger("COMMUNICATIONS", "speed", 9), 2);
  EXPECT_EQ(ini.ReadInteger("communications", "PARITY", 9), 4);
  EXPECT_EQ(ini.ReadString("Communications", "Name", ""), "quoted value");
  EXPECT_EQ(ini.ReadInteger("Communications", "Bad", 7), 7) << "non-numeric gives the default";
  EXPECT_EQ(ini.ReadInteger("System", "PBXtype", 2), 0);
  EXPECT_EQ(ini.ReadString("system", "pbxpassword", ""), "1234");
  EXPECT_EQ(ini.ReadString("System", "Missing", "dflt"), "dflt");
  EXPECT_EQ(ini.ReadString("Nope", "PBXtype", "dflt"), "dflt");
  EXPECT_EQ(ini.ReadString("Communications", "PBXtype", "dflt"), "dflt")
      << "a key is looked up in its own section only";
  EXPECT_TRUE(ini.ReadBool("Communications", "Speed", false));
  EXPECT_FALSE(ini.ReadBool("Communications", "Nothing", false));
}

TEST(ProfileTest, MissingFileGivesDefaultsAndWriteCreatesIt) {
  TTempDir d;
  TIniFile ini(d.File("new.ini"));
  EXPECT_EQ(ini.ReadInteger("S", "K", 5), 5);
  ASSERT_TRUE(ini.WriteInteger("S", "K", 6));
  EXPECT_EQ(d.Read("new.ini"), "[S]\nK=6\n");
  EXPECT_EQ(ini.ReadInteger("s", "k", 5), 6);
}

TEST(ProfileTest, WritingAKeyKeepsEveryOtherLineInOrder) {
  TTempDir d;
  const std::string original =
      "; written by hand\r\n"
      "[Communications]\r\n"
      "speed = 2\r\n"
      "; keep me\r\n"
      "garbage line without equals\r\n"
      "Unknown=x\r\n"
      "\r\n"
      "[Foreign]\r\n"
      "a=1\r\n"
      "; trailing comment\r\n";
  d.Write("t.ini", original);
  TIniFile ini(d.File("t.ini"));
  ASSERT_TRUE(ini.WriteInteger("COMMUNICATIONS", "Speed", 3));
  ASSERT_TRUE(ini.WriteInteger("Communications", "Parity", 1));
  ASSERT_TRUE(ini.WriteString("LastFiles", "File1", "/home/t/site.ta"));
  EXPECT_EQ(d.Read("t.ini"),
            "; written by hand\r\n"
            "[Communications]\r\n"
            "speed = 3\r\n"
            "; keep me\r\n"
            "garbage line without equals\r\n"
            "Unknown=x\r\n"
            "Parity=1\r\n"
            "\r\n"
            "[Foreign]\r\n"
            "a=1\r\n"
            "; trailing comment\r\n"
            "[LastFiles]\r\n"
            "File1=/home/t/site.ta\r\n");

  ASSERT_TRUE(ini.DeleteKey("communications", "unknown"));
  ASSERT_TRUE(ini.EraseSection("foreign"));
  EXPECT_EQ(d.Read("t.ini"),
            "; written by hand\r\n[Communications]\r\nspeed = 3\r\n; keep me\r\n"
            "garbage line without equals\r\nParity=1\r\n\r\n"
            "[LastFiles]\r\nFile1=/home/t/site.ta\r\n");
}

TEST(ProfileTest, FirstOccurrenceWinsAndSectionListing) {
  TTempDir d;
  d.Write("dup.ini", "[Devices]\nCOM5=/dev/ttyUSB0\ncom5=/dev/other\nCOM1=/dev/ttyS9\n"
                     "[devices]\nCOM2=/dev/never\n");
  TIniFile ini(d.File("dup.ini"));
  EXPECT_EQ(ini.ReadString("Devices", "COM5", ""), "/dev/ttyUSB0");
  EXPECT_EQ(ini.ReadString("Devices", "COM2", "none"), "none");
  const auto keys = ini.ReadSection("DEVICES");
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0], (std::pair<std::string, std::string>{"COM5", "/dev/ttyUSB0"}));
  EXPECT_EQ(keys[1].first, "COM1");
  EXPECT_TRUE(ini.SectionExists("devices"));
  EXPECT_FALSE(ini.SectionExists("Sounds"));
  ASSERT_TRUE(ini.WriteString("Devices", "COM5", "/dev/ttyACM0"));
  EXPECT_EQ(ini.ReadString("Devices", "COM5", ""), "/dev/ttyACM0");
  EXPECT_NE(d.Read("dup.ini").find("com5=/dev/other"), std::string::npos);
}

TEST(ProfileTest, HostileFilesNeitherCrashNorLoseData) {
  TTempDir d;
  // A very long line, NUL bytes and a file without a final line end.
  const std::string weird = "[S]\nK=" + std::string(100000, 'x') + "\nZ=1" +
                            std::string(1, '\0') + "\n[T]\nA=2";
  d.Write("w.ini", weird);
  TIniFile ini(d.File("w.ini"));
  EXPECT_EQ(ini.ReadString("S", "K", "long"), "long") << "overlong lines are not settings";
  EXPECT_EQ(ini.ReadInteger("T", "A", 0), 2);
  ASSERT_TRUE(ini.WriteInteger("T", "A", 3));
  const std::string after = d.Read("w.ini");
  EXPECT_NE(after.find(std::string(100000, 'x')), std::string::npos);
  EXPECT_EQ(ini.ReadInteger("T", "A", 0), 3);

  // Values with line breaks would become lines of their own: refused.
  EXPECT_FALSE(ini.WriteString("T", "A", "1\r\n[Evil]"));
  EXPECT_FALSE(ini.SectionExists("Evil"));
}

TEST(ProfileTest, UnwritableFileIsNotAnError) {
  TTempDir d;
  // A folder that does not exist, and a folder standing where the file should be: both fail
  // to write without an exception and read as defaults.
  TIniFile missing(d.File("no/such/folder/TALVEN.INI"));
  EXPECT_FALSE(missing.WriteInteger("S", "K", 2));
  EXPECT_EQ(missing.ReadInteger("S", "K", 7), 7);
  ASSERT_EQ(mkdir(d.File("TALVEN.INI").c_str(), 0700), 0);
  TIniFile dir(d.File("TALVEN.INI"));
  EXPECT_FALSE(dir.WriteInteger("S", "K", 2));
  EXPECT_EQ(dir.ReadInteger("S", "K", 7), 7);
}

TEST(ProfileTest, ValuesTheReaderWouldTrimOrUnquoteReadBackAsWritten) {
  TTempDir d;
  TIniFile ini(d.File("q.ini"));
  for (const std::string v : {"Stn ", " 12", "\t", "\"7\"", "'a'", "\"", "a\"b\"", "plain"}) {
    ASSERT_TRUE(ini.WriteString("System", "PbxPassword", v));
    EXPECT_EQ(ini.ReadString("System", "PbxPassword", "?"), v) << "[" << v << "]";
  }
  EXPECT_EQ(d.Read("q.ini"), "[System]\nPbxPassword=plain\n") << "plain values stay unquoted";
}
