// Saves interrupted at every point: the data file, the settings file and the dump file must be
// found either as they were or as the new save made them, never broken. A failed write is
// injected at every byte offset (TFileFaults); a process saving in a loop is killed at many
// different moments.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "CommKXTA.h"
#include "DataFile.h"
#include "Journal.h"
#include "Measure.h"
#include "Profile.h"
#include "SafeFile.h"
#include "Settings.h"
#include "Stream.h"
#include "SysData.h"
#include "support/RecordingFeedback.h"
#include "support/TempDir.h"

namespace {

// Every name in the folder: a failed save must leave no temporary file behind.
std::vector<std::string> Entries(const TTempDir& Dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(Dir.Path()))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A store like a site's: every single block and list filled, Lines blocks in list 001S, each
// list line carrying Width characters more.
void Fill(TSysData& S, int Lines, const std::string& Tag, size_t Width = 120) {
  for (int i = 0; i < kSingleBlockCount; ++i) {
    const TBlockId id = static_cast<TBlockId>(i);
    S.Block(id).SetData(std::string(BlockCode(id)) + "/" + Tag + ",1,0101 1100/");
  }
  for (int i = 0; i < kBlockListCount; ++i) {
    const TListId id = static_cast<TListId>(i);
    S.List(id).Clear();
    const int n = id == idList001S ? Lines : 3;
    for (int k = 1; k <= n; ++k)
      S.List(id).Add().SetData(ListCode(id) + std::to_string(k) + "/" + Tag + "," +
                               std::string(Width, 'x') + "/");
  }
}

class FaultGuard {
 public:
  ~FaultGuard() { ClearFileFaults(); }
};

TSettings SettingsA() { return TSettings(); }
TSettings SettingsB() {
  TSettings s;
  s.Timeout = 7000;
  s.NumOfRetries = 5;
  s.WarnOnError = false;
  s.PackedFile = false;
  s.DefaultStationName = "Room %s";
  s.PBXtype = 0;
  s.PbxPassword = "1234";
  s.ShowConnectWarn = false;
  s.ShowDayModeWarn = false;
  return s;
}

// Runs Save(0), Save(1), ... in a child process and kills it with SIGKILL after DelayUs.
void KillWhileSaving(const std::function<void(int)>& Save, useconds_t DelayUs) {
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    for (int i = 0;; ++i) Save(i);
  }
  ::usleep(DelayUs);
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

// After each kill the target must be one of the two versions. Temporary files a killed save
// left are counted and cleared; they never take the target's name.
void ExpectOldOrNewAfterKills(const TTempDir& Dir, const std::string& Name,
                              const std::string& A, const std::string& B,
                              const std::function<void(int)>& Save) {
  // The kills are spread over the time of about three saves.
  Dir.Write(Name, A);
  const auto start = std::chrono::steady_clock::now();
  Save(0);
  const auto once = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - start).count();
  // A loaded machine makes saves slower in the child: the window widens until a kill came
  // after a complete save.
  int sawA = 0, sawB = 0;
  for (int round = 0; round < 40 || (sawB == 0 && round < 100); ++round) {
    Dir.Write(Name, A);
    const int64_t window = once * (round < 40 ? 3 : 10);
    KillWhileSaving(Save, static_cast<useconds_t>(window * (round % 40) / 40 + round * 37 % 97));
    const std::string now = Dir.Read(Name);
    ASSERT_TRUE(now == A || now == B) << "round " << round << ": the file is " << now.size()
                                      << " bytes, neither version";
    (now == A ? sawA : sawB)++;
    for (const std::string& e : Entries(Dir))
      if (e != Name) std::filesystem::remove(Dir.File(e));
  }
  // The kills fell both between saves and inside them.
  EXPECT_GT(sawA, 0);
  EXPECT_GT(sawB, 0) << "one save took " << once << " us";
}

}  // namespace

// ---- the data file --------------------------------------------------------------------

TEST(SaveSafety, DataFileWriteFailingAtEveryOffsetKeepsTheOldFile) {
  TRecordingFeedback feedback;
  TTempDir dir;
  FaultGuard guard;
  const std::string file = dir.File("site.ta");
  for (const bool packed : {false, true}) {
    TSysData store;
    store.Settings.PackedFile = packed;
    Fill(store, 10, "old", 16);
    ASSERT_TRUE(store.SaveToFile(file));
    const std::string old = dir.Read("site.ta");
    const auto before = Entries(dir);
    Fill(store, 20, "new", 16);
    const size_t size = DataFileImage(store, packed).size();
    RecordProperty(packed ? "packed_bytes" : "unpacked_bytes", static_cast<int>(size));
    for (size_t at = 0; at < size; ++at) {
      SetFileFaults(TFileFaults{static_cast<int64_t>(at), false, false});
      feedback.Errors.clear();
      ASSERT_FALSE(store.SaveToFile(file)) << "offset " << at;
      ASSERT_EQ(feedback.Errors.size(), 1u);
      ASSERT_NE(feedback.Errors[0].find("No space left"), std::string::npos) << feedback.Errors[0];
      ASSERT_EQ(dir.Read("site.ta"), old) << "packed " << packed << ", offset " << at;
      ASSERT_EQ(Entries(dir), before) << "offset " << at;
    }
    // A failed sync or rename after a complete write keeps the old file too.
    for (const TFileFaults f : {TFileFaults{-1, true, false}, TFileFaults{-1, false, true}}) {
      SetFileFaults(f);
      EXPECT_FALSE(store.SaveToFile(file));
      EXPECT_EQ(dir.Read("site.ta"), old);
      EXPECT_EQ(Entries(dir), before);
    }
    ClearFileFaults();
    ASSERT_TRUE(store.SaveToFile(file));
    EXPECT_EQ(dir.Read("site.ta"), DataFileImage(store, packed));
  }
}

TEST(SaveSafety, DataFileSaveKilledAtAnyMomentLeavesOldOrNewFile) {
  TRecordingFeedback feedback;
  TTempDir dir;
  TSysData a, b;
  // About 1 MB, so that a save takes long enough to be killed inside.
  Fill(a, 7500, "one");
  Fill(b, 7500, "two");
  a.Settings.PackedFile = b.Settings.PackedFile = false;
  const std::string file = dir.File("site.ta");
  const std::string imageA = DataFileImage(a, false), imageB = DataFileImage(b, false);
  ASSERT_EQ(imageA.size(), imageB.size());
  ExpectOldOrNewAfterKills(
      dir, "site.ta", imageA, imageB,
      [&](int i) {
        // The first save writes the new version, then they alternate.
        (i % 2 == 0 ? b : a).SaveToFile(file);
      });
  TSysData check;
  EXPECT_TRUE(check.LoadFromFile(file));
}

// ---- the settings file ----------------------------------------------------------------

TEST(SaveSafety, SettingsWriteFailingAtEveryOffsetKeepsTheOldFile) {
  TTempDir dir;
  FaultGuard guard;
  const std::string file = dir.File("TALVEN.INI");
  dir.Write("TALVEN.INI", "; site notes\r\n[Communications]\r\nSpeed=2\r\n[Other]\r\nKeep=1\r\n");
  SaveSettings(SettingsA(), file);
  const std::string old = dir.Read("TALVEN.INI");
  const auto before = Entries(dir);

  // The whole new file, to know how long it is.
  TTempDir scratch;
  scratch.Write("T.INI", old);
  SaveSettings(SettingsB(), scratch.File("T.INI"));
  const std::string fresh = scratch.Read("T.INI");
  ASSERT_NE(fresh, old);

  for (size_t at = 0; at < fresh.size(); ++at) {
    SetFileFaults(TFileFaults{static_cast<int64_t>(at), false, false});
    SaveSettings(SettingsB(), file);
    ASSERT_EQ(dir.Read("TALVEN.INI"), old) << "offset " << at;
    ASSERT_EQ(Entries(dir), before) << "offset " << at;
    if (at < old.size()) {  // a one-key write makes a file as long as the old one
      TIniFile ini(file);
      ASSERT_FALSE(ini.WriteString("System", "PbxPassword", "5555")) << "offset " << at;
      ASSERT_EQ(dir.Read("TALVEN.INI"), old) << "offset " << at;
    }
  }
  ClearFileFaults();
  SaveSettings(SettingsB(), file);
  EXPECT_EQ(dir.Read("TALVEN.INI"), fresh);
}

TEST(SaveSafety, SettingsSaveKilledAtAnyMomentLeavesOldOrNewSettings) {
  TTempDir dir;
  const std::string file = dir.File("TALVEN.INI");
  SaveSettings(SettingsA(), file);
  const std::string a = dir.Read("TALVEN.INI");
  SaveSettings(SettingsB(), file);
  const std::string b = dir.Read("TALVEN.INI");
  ASSERT_NE(a, b);
  // One save of all the settings is one replacement: never some keys old and some new.
  ExpectOldOrNewAfterKills(
      dir, "TALVEN.INI", a, b,
      [&](int i) { SaveSettings(i % 2 == 0 ? SettingsB() : SettingsA(), file); });
}

TEST(SaveSafety, SettingsUpdateCollectsWritesAndReadsThem) {
  TTempDir dir;
  const std::string file = dir.File("T.INI");
  dir.Write("T.INI", "[A]\nx=1\n");
  TIniFile ini(file);
  ini.BeginUpdate();
  EXPECT_TRUE(ini.WriteString("A", "x", "2"));
  EXPECT_TRUE(ini.WriteString("B", "y", "3"));
  EXPECT_EQ(ini.ReadString("A", "x", ""), "2");   // the update reads its own writes
  EXPECT_EQ(dir.Read("T.INI"), "[A]\nx=1\n");      // the file is not touched yet
  EXPECT_TRUE(ini.EndUpdate());
  EXPECT_EQ(dir.Read("T.INI"), "[A]\nx=2\n[B]\ny=3\n");
}

// ---- the dump file --------------------------------------------------------------------

namespace {

std::string Listing(const std::string& Tag, int Lines) {
  std::string s;
  for (int i = 0; i < Lines; ++i) s += ";=>" + Tag + std::to_string(100000 + i) + "/1,2,3/\r\n";
  return s;
}

// Writes Text the way the dump writer does: line by line.
bool WriteDump(const std::string& Path, const std::string& Text) {
  TFileStream out;
  if (!out.Create(Path)) return false;
  size_t from = 0;
  while (from < Text.size()) {
    const size_t end = Text.find('\n', from) + 1;
    out.Write(Text.data() + from, end - from);
    from = end;
  }
  return out.Commit();
}

}  // namespace

TEST(SaveSafety, DumpWriteFailingAtEveryOffsetKeepsTheOldDump) {
  TTempDir dir;
  FaultGuard guard;
  const std::string file = dir.File("pbx.dmp");
  const std::string old = Listing("100S", 60), fresh = Listing("200S", 100);
  ASSERT_TRUE(WriteDump(file, old));
  const auto before = Entries(dir);
  for (size_t at = 0; at < fresh.size(); ++at) {
    SetFileFaults(TFileFaults{static_cast<int64_t>(at), false, false});
    ASSERT_FALSE(WriteDump(file, fresh)) << "offset " << at;
    ASSERT_EQ(dir.Read("pbx.dmp"), old) << "offset " << at;
    ASSERT_EQ(Entries(dir), before) << "offset " << at;
  }
  ClearFileFaults();
  ASSERT_TRUE(WriteDump(file, fresh));
  EXPECT_EQ(dir.Read("pbx.dmp"), fresh);
}

TEST(SaveSafety, DumpKilledAtAnyMomentLeavesOldOrNewDump) {
  TTempDir dir;
  const std::string file = dir.File("pbx.dmp");
  const std::string a = Listing("100S", 10000), b = Listing("200S", 10000);
  ExpectOldOrNewAfterKills(
      dir, "pbx.dmp", a, b, [&](int i) { WriteDump(file, i % 2 == 0 ? b : a); });
}

TEST(SaveSafety, ReplacementKeepsPermissionsAndFollowsLinks) {
  TTempDir dir;
  dir.Write("real.ta", "old");
  ::chmod(dir.File("real.ta").c_str(), 0600);
  std::filesystem::create_symlink(dir.File("real.ta"), dir.File("link.ta"));
  ASSERT_TRUE(WriteDump(dir.File("link.ta"), "new\n"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.ta")));
  EXPECT_EQ(dir.Read("real.ta"), "new\n");
  EXPECT_EQ(std::filesystem::status(dir.File("real.ta")).permissions() &
                std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

// Every writer of the programs refuses a device, a named pipe and a socket with the reason and
// leaves the node as it was: the data file and everything else replaced through the one writer,
// a new file (the backup), the dump stream, the error log and trace (appended), the upload
// journal, the measurements and the settings. Faults caught: a writer that renamed its file
// over the node (a device replaced), one that opened a named pipe and waited for a reader.
TEST(SaveSafety, EveryWriterRefusesADeviceANamedPipeAndASocket) {
  TRecordingFeedback fb;
  TTempDir dir;
  TKXTAcomm comm;
  for (const TNodeKind kind : kNodeKinds) {
    const std::string node = dir.File("node" + std::to_string(static_cast<int>(kind)));
    ASSERT_TRUE(MakeNode(node, kind));
    const std::string reason = NodeReason(kind);
    const std::vector<std::pair<const char*, std::function<std::string()>>> writers = {
        {"replace", [&] {
           std::string e;
           return ReplaceFileContents(node, "x", e) ? std::string() : e;
         }},
        {"data file", [&] {
           TSysData s;
           fb.Errors.clear();
           return s.SaveToFile(node) || fb.Errors.empty() ? std::string() : fb.Errors.back();
         }},
        {"dump", [&] {
           TFileStream f;
           return f.Create(node) ? std::string() : f.ErrorText();
         }},
        {"append", [&] {
           FILE* f = OpenPrivateAppend(node);
           if (f) std::fclose(f);
           std::string why;
           const int fd = OpenAppendFile(node, 0600, why);
           if (fd >= 0) ::close(fd);
           return f || fd >= 0 ? std::string() : why;
         }},
        {"journal", [&] {
           TJournalWriter j;
           std::string e;
           return j.Begin(node, TJournalRun(), e) ? std::string() : e;
         }},
        {"measurements", [&] {
           std::string e;
           return TRunMeasure(comm).Write(node, e) ? std::string() : e;
         }},
        {"settings", [&] {
           TSettings s;
           LoadSettings(s, node);  // read as defaults, without waiting on a pipe
           return TIniFile(node).WriteString("System", "Model", "1") ? std::string() : reason;
         }},
    };
    for (const auto& [name, write] : writers) {
      SCOPED_TRACE(reason + ": " + name);
      const std::string why = write();
      EXPECT_NE(why.find(reason), std::string::npos) << why;
      EXPECT_TRUE(IsNode(node, kind));
    }
    // The backup's writer: a new file only, whatever is there.
    std::string e;
    bool exists = false;
    EXPECT_FALSE(WriteNewFile(node, "x", e, 0600, exists));
    EXPECT_TRUE(exists && IsNode(node, kind));
  }
}
