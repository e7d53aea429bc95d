// The settings keys, defaults and write orders of TALVEN.INI.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "Profile.h"
#include "RecordingFeedback.h"
#include "Settings.h"
#include "TempDir.h"

TEST(SettingsTest, DefaultsWithoutAFile) {
  TTempDir d;
  TSettings s;
  s.PbxPassword = "x";
  s.PBXtype = 0;
  LoadSettings(s, d.File("TALVEN.INI"));
  TComSettings c;
  c.Parity = 0;
  LoadComSettings(c, d.File("TALVEN.INI"));
  EXPECT_EQ(c.ComNumber(), 1);
  EXPECT_EQ(c.Speed, 3);
  EXPECT_EQ(c.WordLen, 1);
  EXPECT_EQ(c.StopBits, 0);
  EXPECT_EQ(c.Parity, 3) << "mark parity, not none";
  EXPECT_EQ(s.PbxPassword, "7392");
  EXPECT_EQ(s.PBXtype, 2);
  EXPECT_EQ(s.Timeout, 5000);
  EXPECT_EQ(s.NumOfRetries, 2);
  EXPECT_TRUE(s.WarnOnError && s.PackedFile && s.ShowConnectWarn && s.ShowDayModeWarn);
  EXPECT_EQ(s.DefaultStationName, "Stn %s");
  for (const auto& snd : s.Sounds) EXPECT_EQ(snd, "");
}

TEST(SettingsTest, ReadsValuesCutsStringsAndRejectsNonsense) {
  TTempDir d;
  d.Write("TALVEN.INI",
          "[Communications]\r\nComPort=1\r\nFirstCOMno=3\r\nSpeed=9\r\nParity=abc\r\n"
          "StopBits=1\r\nWordLen=0\r\nPackedFile=0\r\nTimeout=1234\r\n"
          "[System]\r\nPbxPassword=12345678901234567890\r\nPBXtype=7\r\n"
          "DefaultStationName=ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n"
          "[Warnings]\r\nShowConnectWarn=0\r\n[Sounds]\r\nSound2=ding-ding-ding-ding-ding.wav\r\n");
  TSettings s;
  LoadSettings(s, d.File("TALVEN.INI"));
  TComSettings c;
  LoadComSettings(c, d.File("TALVEN.INI"));
  EXPECT_EQ(c.ComNumber(), 4) << "second entry of a list that starts at COM3";
  EXPECT_EQ(c.Speed, 3) << "a speed index outside the list reads as the default";
  EXPECT_EQ(c.Parity, 3);
  EXPECT_EQ(c.StopBits, 1);
  EXPECT_EQ(c.WordLen, 0);
  EXPECT_FALSE(s.PackedFile);
  EXPECT_EQ(s.Timeout, 1234);
  EXPECT_EQ(s.PbxPassword, "1234567890123456");
  EXPECT_EQ(s.PBXtype, 2) << "an unknown model reads as the default";
  EXPECT_EQ(s.DefaultStationName, "ABCDEFGHIJKLMNOPQRST");
  EXPECT_FALSE(s.ShowConnectWarn);
  EXPECT_EQ(s.Sounds[2], "ding-ding-ding-ding-");
}

TEST(SettingsTest, SavesInOrderAndKeepsForeignLines) {
  TTempDir d;
  d.Write("TALVEN.INI", "; mine\n[Sounds]\nSound1=bye.wav\n[Remote Administration]\nDial1=555\n");
  TSettings s;
  s.PbxPassword = "0000";
  s.PBXtype = 1;
  s.ShowDayModeWarn = false;
  SaveSettings(s, d.File("TALVEN.INI"));
  SaveComSettings(TComSettings{}, d.File("TALVEN.INI"));
  EXPECT_EQ(d.Read("TALVEN.INI"),
            "; mine\n[Sounds]\nSound1=bye.wav\n[Remote Administration]\nDial1=555\n"
            "[Communications]\nTimeout=5000\nNumOfRetries=2\nWarnOnError=1\nPackedFile=1\n"
            "ComPort=0\nFirstCOMno=1\nSpeed=3\nWordLen=1\nStopBits=0\nParity=3\n"
            "[System]\nDefaultStationName=Stn %s\nPBXtype=1\nPbxPassword=0000\n"
            "[Warnings]\nShowConnectWarn=1\nShowDayModeWarn=0\n");
  TSettings back;
  LoadSettings(back, d.File("TALVEN.INI"));
  EXPECT_EQ(back.PBXtype, 1);
  EXPECT_EQ(back.PbxPassword, "0000");
  EXPECT_EQ(back.Sounds[1], "bye.wav") << "sounds are read but never written";

  // The file holds the system password: a new one is its owner's alone, an existing one keeps
  // the mode it has.
  struct stat st {};
  ASSERT_EQ(::stat(d.File("TALVEN.INI").c_str(), &st), 0);
  const mode_t before = st.st_mode & 0777;
  SaveSettings(s, d.File("NEW.INI"));
  ASSERT_EQ(::stat(d.File("NEW.INI").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(::stat(d.File("TALVEN.INI").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, before);
}

TEST(SettingsTest, OutOfRangeFirstComNumberWorksAsTheNearestAndStaysInTheFile) {
  TTempDir d;
  for (const char* stored : {"0", "999", "x7"}) {
    SCOPED_TRACE(stored);
    d.Write("TALVEN.INI", std::string("[Communications]\nFirstCOMno=") + stored + "\nSpeed=3\n");
    TComSettings c;
    LoadComSettings(c, d.File("TALVEN.INI"));
    EXPECT_EQ(c.FirstCOMno, std::string(stored) == "999" ? kMaxFirstCOMno : 1);
    // The user changes the speed only: the number stays as the user wrote it.
    c.Speed = 1;
    SaveComSettings(c, d.File("TALVEN.INI"));
    const std::string file = d.Read("TALVEN.INI");
    EXPECT_NE(file.find(std::string("FirstCOMno=") + stored + "\n"), std::string::npos) << file;
    EXPECT_NE(file.find("Speed=1\n"), std::string::npos) << file;
  }
}

TEST(SettingsTest, SoundCuesPlayOnlyNamedFiles) {
  TRecordingFeedback f;
  TSettings s;
  PlaySoundCue(s, 2);
  PlaySoundCue(s, 9);
  PlaySoundCue(s, -1);
  EXPECT_TRUE(f.Sounds.empty());
  s.Sounds[2] = "/opt/sounds/done.wav";
  PlaySoundCue(s, 2);
  ASSERT_EQ(f.Sounds.size(), 1u);
  EXPECT_EQ(f.Sounds[0], "/opt/sounds/done.wav");
}
