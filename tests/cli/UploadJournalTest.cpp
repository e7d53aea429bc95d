// Uploads that can be undone and finished: kxta upload's backup restores the simulated PBX,
// a kxta killed half-way is finished by --resume with exactly the lines the PBX did not
// confirm, a resume of another PBX or a changed file is refused, and a full disk refuses the
// upload before anything is written.
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "CliProcess.h"
#include "Errors.h"
#include "Journal.h"
#include "SafeFile.h"
#include "SysData.h"
#include "support/RecordingFeedback.h"
#include "support/TempDir.h"

namespace {

const std::string kFast =
    "KXTA_SESSION_TIMING=SlowPause=2,OpenPause=10,PromptPause=5,ByePause=2,LoginPause=10,"
    "FailPause=10,DisconnectPause=10,DisconnectTail=10,ClosePause=5,DirectTimeout=1500";

std::vector<std::string> ProgramLines(const std::string& StateFile) {
  std::vector<std::string> l;
  const std::string t = ReadFile(StateFile);
  size_t p = 0;
  while (p < t.size()) {
    size_t e = t.find('\n', p);
    if (e == std::string::npos) e = t.size();
    const std::string line = t.substr(p, e - p);
    if (!line.empty() && line[0] != '#') l.push_back(line);
    p = e + 1;
  }
  return l;
}

class UploadJournalTest : public ::testing::Test {
 protected:
  struct TRun {
    int Status;
    std::string Out, Err;
  };
  TRun Kxta(const std::vector<std::string>& Args) {
    TChild c(KXTA_EXE, Args, Env(), dir.File("stdout"));
    const int status = c.Finish(60000);
    return {status, ReadFile(dir.File("stdout")), c.Err()};
  }
  std::vector<std::string> Env() const { return {kFast, "KXTA_JOURNAL=" + Journal()}; }
  std::string Journal() const { return dir.File("uploads.journal"); }
  // A copy of A.ta with an extension name and a timer changed: the site as the technician
  // wants it.
  void MakeEdited(const std::string& From, const std::string& To) {
    TRecordingFeedback fb;
    TSysData s;
    ASSERT_TRUE(s.LoadFromFile(From));
    s.Extensions.Jacks(1).BlockOf("604E").SetItemStr(1, "Reception ");
    s.Cmd200S.SetItemStr(1, s.Cmd200S.ItemStr(1) == "3" ? "4" : "3");
    ASSERT_TRUE(s.SaveToFile(To));
  }
  TTempDir dir;
};

}  // namespace

TEST_F(UploadJournalTest, TheBackupUploadedWithAllRestoresThePbx) {
  const std::string state = dir.File("state.txt");
  std::vector<std::string> before;
  {
    TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
    ASSERT_EQ(Kxta({"read", "--port", sim.Path(), "-o", dir.File("a.ta")}).Status, 0);
    ASSERT_EQ(sim.Stop(), 0);
    before = ProgramLines(state);
  }
  MakeEdited(dir.File("a.ta"), dir.File("b.ta"));
  TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
  const TRun up = Kxta({"upload", dir.File("b.ta"), "--yes", "--port", sim.Path(), "--backup",
                        dir.File("bk.ta")});
  ASSERT_EQ(up.Status, 0) << up.Err;
  EXPECT_NE(up.Out.find("Backup of the PBX before the upload: " + dir.File("bk.ta")),
            std::string::npos)
      << up.Out;
  const TRun restore =
      Kxta({"upload", dir.File("bk.ta"), "--all", "--no-backup", "--yes", "--port", sim.Path()});
  ASSERT_EQ(restore.Status, 0) << restore.Err;
  ASSERT_EQ(sim.Stop(), 0);
  EXPECT_EQ(ProgramLines(state), before);

  // The journal tells both uploads, every line taken, with what the PBX held before.
  const std::vector<TJournalRun> runs = ReadJournal(Journal());
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].End, "ok");
  EXPECT_EQ(runs[0].Backup, dir.File("bk.ta"));
  bool sawName = false;
  for (const TJournalBlock& b : runs[0].Blocks) {
    EXPECT_TRUE(b.Taken()) << b.Sent;
    if (b.Head == "604E01") {
      sawName = true;
      EXPECT_EQ(b.Sent, "604E01/Reception /");
      EXPECT_NE(b.Before, b.Sent);
      EXPECT_FALSE(b.Before.empty());
    }
  }
  EXPECT_TRUE(sawName);
  const TRun listed = Kxta({"journal"});
  EXPECT_EQ(listed.Status, 0);
  EXPECT_NE(listed.Out.find("ended ok"), std::string::npos) << listed.Out;
}

TEST_F(UploadJournalTest, AKilledUploadIsFinishedByResumeWithExactlyTheRest) {
  const std::string state = dir.File("state.txt");
  {
    TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
    ASSERT_EQ(Kxta({"read", "--port", sim.Path(), "-o", dir.File("a.ta")}).Status, 0);
  }
  MakeEdited(dir.File("a.ta"), dir.File("b.ta"));
  TSysData wanted;
  {
    TRecordingFeedback fb;
    ASSERT_TRUE(wanted.LoadFromFile(dir.File("b.ta")));
  }
  for (const int n : {1, 300, 2000}) {
    SCOPED_TRACE("killed after " + std::to_string(n) + " lines");
    std::remove(Journal().c_str());
    TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
    TChild up(KXTA_EXE, {"upload", dir.File("b.ta"), "--yes", "--no-backup", "--port", sim.Path()},
              Env(), dir.File("stdout"));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    size_t written = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      const auto runs = ReadJournal(Journal());
      written = runs.empty() ? 0 : runs.back().Blocks.size();
      if (written >= size_t(n)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    up.Signal(SIGKILL);
    up.Finish(10000);
    ASSERT_GE(written, size_t(n));
    const std::vector<TJournalRun> first = ReadJournal(Journal());
    ASSERT_EQ(first.size(), 1u);
    EXPECT_TRUE(first[0].End.empty()) << "a killed run has no end";
    std::set<std::string> confirmed;
    for (const TJournalBlock& b : first[0].Blocks)
      if (b.Taken()) confirmed.insert(b.Sent);

    const TRun resumed = Kxta({"upload", dir.File("b.ta"), "--resume", "--no-backup", "--yes",
                               "--port", sim.Path()});
    ASSERT_EQ(resumed.Status, 0) << resumed.Err;
    const std::vector<TJournalRun> runs = ReadJournal(Journal());
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].Mode, "resume");
    EXPECT_EQ(runs[1].End, "ok");
    // Nothing the PBX confirmed went out again; everything else of the file did.
    size_t lines = 0;
    ForEachFileBlock(wanted, [&](const TCmdData& B) { lines += !B.Data().empty(); });
    for (const TJournalBlock& b : runs[1].Blocks) EXPECT_EQ(confirmed.count(b.Sent), 0u) << b.Sent;
    EXPECT_GE(runs[1].Blocks.size() + confirmed.size(), lines - 2);  // the plan line is not sent
    ASSERT_EQ(sim.Stop(), 0);
    const std::vector<std::string> held = ProgramLines(state);
    const std::set<std::string> heldSet(held.begin(), held.end());
    ForEachFileBlock(wanted, [&](const TCmdData& B) {
      if (!B.Data().empty() && B.Data().rfind("009S00", 0) != 0) {
        EXPECT_EQ(heldSet.count(B.Data()), 1u) << B.Data();
      }
    });
  }
}

TEST_F(UploadJournalTest, ResumeRefusesAnotherPbxOrAChangedFileAndAFullDiskRefusesTheUpload) {
  const std::string state = dir.File("state.txt");
  {
    TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
    ASSERT_EQ(Kxta({"read", "--port", sim.Path(), "-o", dir.File("a.ta")}).Status, 0);
  }
  MakeEdited(dir.File("a.ta"), dir.File("b.ta"));
  // An upload the line cuts short: the journal holds it unfinished.
  {
    TSim sim({"--baud", "0", "--state", state, "--silent-after", "100"}, dir.File("sim.err"));
    EXPECT_NE(Kxta({"upload", dir.File("b.ta"), "--yes", "--no-backup", "--port", sim.Path()}).Status, 0);
  }
  ASSERT_EQ(ReadJournal(Journal()).back().End, "failed");
  {
    TSim other({"--baud", "0", "--state", state, "--version-text", "Y581M KX-TA616 V1.00"},
               dir.File("sim.err"));
    const TRun r = Kxta({"upload", dir.File("b.ta"), "--resume", "--yes", "--port", other.Path()});
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("resume refused"), std::string::npos) << r.Err;
  }
  MakeEdited(dir.File("b.ta"), dir.File("b.ta"));  // the timer changed again
  {
    TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
    const TRun r = Kxta({"upload", dir.File("b.ta"), "--resume", "--yes", "--port", sim.Path()});
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("changed since"), std::string::npos) << r.Err;
  }
  // A journal that cannot be written (a full disk: no byte more fits into the journal)
  // refuses the upload before any line goes.
  std::vector<std::string> before;
  {
    TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
    ASSERT_EQ(sim.Stop(), 0);
    before = ProgramLines(state);
  }
  TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
  TChild up(KXTA_EXE, {"upload", dir.File("b.ta"), "--yes", "--port", sim.Path()}, Env(),
            dir.File("stdout"), false, static_cast<long long>(ReadFile(Journal()).size()));
  EXPECT_EQ(up.Finish(30000), 1);
  EXPECT_NE(up.Err().find("Cannot write the upload journal"), std::string::npos) << up.Err();
  EXPECT_NE(up.Err().find("Nothing was uploaded"), std::string::npos) << up.Err();
  ASSERT_EQ(sim.Stop(), 0);
  EXPECT_EQ(ProgramLines(state), before);
}

namespace {

// The lines of a journal text with where each begins, the last one cut or not.
struct TJournalLine {
  size_t At;
  std::string Text;
};
std::vector<TJournalLine> JournalLines(const std::string& Text) {
  std::vector<TJournalLine> out;
  for (size_t p = 0; p < Text.size();) {
    size_t e = Text.find('\n', p);
    if (e == std::string::npos) e = Text.size();
    out.push_back({p, Text.substr(p, e - p)});
    p = e + 1;
  }
  return out;
}

}  // namespace

// A disk that fills during an upload, at points inside the run's first entry, inside a line's
// entry of intent and inside its outcome: the upload stops with a clear error and status 1
// before its next line, the PBX holds no line the journal does not name, and the next upload
// starts on a line of its own and is listed. Faults caught: a failed entry that lets the
// upload go on (it exited 0 with lines the journal never held), a cut line the next run's
// first entry is glued to (that run went missing from kxta journal).
TEST_F(UploadJournalTest, AJournalThatFillsStopsTheUploadBeforeItsNextLine) {
  const std::string state = dir.File("state.txt"), port = dir.File("pbx");
  {
    TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
    ASSERT_EQ(Kxta({"read", "--port", sim.Path(), "-o", dir.File("a.ta")}).Status, 0);
  }
  const std::string factory = ReadFile(state);
  const std::vector<std::string> before = ProgramLines(state);
  MakeEdited(dir.File("a.ta"), dir.File("b.ta"));
  dir.Write("one.txt", "200S/5/\n");
  ASSERT_EQ(Kxta({"import", dir.File("one.txt"), "-o", dir.File("one.ta")}).Status, 0);
  const std::vector<std::string> upload = {"upload", dir.File("b.ta"), "--yes", "--no-backup",
                                           "--port", port};
  // The run as it goes when the disk holds: its entries, through a port name of fixed length,
  // have the lengths that the filled runs' entries will have.
  {
    TSim sim({"--baud", "0", "--state", state, "--link", port}, dir.File("sim.err"));
    ASSERT_EQ(Kxta(upload).Status, 0);
  }
  const std::string whole = ReadFile(Journal());
  const std::vector<TJournalLine> entries = JournalLines(whole);
  ASSERT_GT(entries.size(), 600u);
  const auto inside = [&](size_t Entry) { return entries[Entry].At + entries[Entry].Text.size() / 2; };
  struct TPoint {
    const char* Name;
    size_t Offset;
  };
  const TPoint points[] = {{"the run's first entry", inside(0)},
                           {"the first line's entry of intent", inside(1)},
                           {"the first line's outcome", inside(2)},
                           {"line 300's entry of intent", inside(599)},
                           {"line 300's outcome", inside(600)}};
  std::set<std::string> cutKinds;
  for (const TPoint& p : points) {
    SCOPED_TRACE(std::string("the disk fills inside ") + p.Name);
    dir.Write("state.txt", factory);
    dir.Write("uploads.journal", whole);
    {
      TSim sim({"--baud", "0", "--state", state, "--link", port}, dir.File("sim.err"));
      TChild up(KXTA_EXE, upload, Env(), dir.File("stdout"), false,
                static_cast<long long>(whole.size() + p.Offset));
      EXPECT_EQ(up.Finish(60000), 1);
      EXPECT_NE(up.Err().find("Cannot write the upload journal " + Journal()), std::string::npos)
          << up.Err();
      EXPECT_NE(up.Err().find(p.Offset == inside(0) ? "Nothing was uploaded"
                                                    : "The upload stopped before its next line"),
                std::string::npos)
          << up.Err();
      ASSERT_EQ(sim.Stop(), 0);
    }
    const std::string text = ReadFile(Journal());
    ASSERT_EQ(text.size(), whole.size() + p.Offset) << "the journal is cut where the disk filled";
    cutKinds.insert(JournalLines(text).back().Text.substr(0, 4));
    // Every line the PBX holds anew was announced by a whole entry of the journal.
    const std::vector<TJournalRun> runs = ReadJournal(Journal());
    std::set<std::string> announced;
    if (runs.size() == 2) {
      for (const TJournalBlock& b : runs[1].Blocks) announced.insert(b.Sent);
    }
    const std::set<std::string> old(before.begin(), before.end());
    for (const std::string& line : ProgramLines(state)) {
      if (!old.count(line)) {
        EXPECT_EQ(announced.count(line), 1u) << line;
      }
    }
    // The next upload, with room again, is an entry of its own and listed.
    {
      TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
      const TRun next = Kxta({"upload", dir.File("one.ta"), "--yes", "--no-backup", "--port",
                              sim.Path()});
      ASSERT_EQ(next.Status, 0) << next.Err;
    }
    const std::vector<TJournalRun> after = ReadJournal(Journal());
    ASSERT_EQ(after.size(), runs.size() + 1);
    EXPECT_EQ(after.back().Source, AbsoluteFilePath(dir.File("one.ta")));
    EXPECT_EQ(after.back().End, "ok");
    const TRun listed = Kxta({"journal"});
    EXPECT_NE(listed.Out.find(Format("%zu  ", after.size())), std::string::npos) << listed.Out;
  }
  // The points fell inside both kinds of a line's entries.
  EXPECT_EQ(cutKinds, (std::set<std::string>{"run\t", "send", "line"}));
}

namespace {

int ModeOf(const std::string& Path) {
  struct stat st {};
  return ::stat(Path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

std::vector<std::string> FilesIn(const std::string& Dir) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(Dir.c_str())) {
    while (dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    ::closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string HoldRecallOf(const std::string& DataFile) {
  TRecordingFeedback fb;
  TSysData s;
  return s.LoadFromFile(DataFile) ? s.Cmd200S.Data() : std::string("(unreadable)");
}

}  // namespace

// Backups are new files of their own PBX. Two uploads at once to two PBXes of one model make
// one backup each, holding that PBX's line; fifty older backups of one PBX are pruned without
// touching a PBX whose tag ends the same way; a --backup that is the file uploaded, a link to
// it, the settings file or any existing file is refused and left as it was; every backup is
// the owner's alone. Faults caught: one name for two backups in the same second (the second
// PBX's lines replaced the first's), pruning by a suffix of the tag, a backup replacing the
// edited file, backups made 0644.
TEST_F(UploadJournalTest, BackupsAreNewFilesOfTheirOwnPbxOnly) {
  // A copy of kxta in a folder of its own is portable there: the backups go to its folder.
  const std::string kxta = dir.File("kxta"), backups = dir.File("backups/");
  dir.Write("kxta", ReadFile(KXTA_EXE));
  ASSERT_EQ(::chmod(kxta.c_str(), 0755), 0);
  const auto upload = [&](const std::string& File, const std::string& Port) {
    return std::make_unique<TChild>(kxta, std::vector<std::string>{"upload", File, "--yes",
                                                                   "--port", Port},
                                    Env(), dir.File("out-" + std::to_string(Port.size())));
  };
  for (int v = 0; v <= 8; ++v) {
    dir.Write(Format("hold%d.txt", v), Format("200S/%d/\n", v));
    ASSERT_EQ(Kxta({"import", dir.File(Format("hold%d.txt", v)), "-o",
                    dir.File(Format("hold%d.ta", v))}).Status, 0);
  }
  const std::string one = dir.File("one.txt"), two = dir.File("two.txt");
  {
    TSim sim({"--baud", "0", "--state", one}, dir.File("sim.err"));
    ASSERT_EQ(sim.Stop(), 0);
  }
  // The two PBXes hold hold recall times of their own, neither a factory one.
  std::string first = ReadFile(one);
  const size_t at = first.find("\n200S/");
  ASSERT_NE(at, std::string::npos);
  const size_t end = first.find('\n', at + 1);
  std::string second = first;
  first.replace(at, end - at, "\n200S/7/");
  second.replace(at, end - at, "\n200S/8/");
  dir.Write("one.txt", first);
  dir.Write("two.txt", second);
  {
    TSim a({"--baud", "0", "--state", one, "--version-text", "V1.2"}, dir.File("a.err"));
    TSim b({"--baud", "0", "--state", two, "--version-text", "V1.2"}, dir.File("b.err"));
    for (int round = 1; round <= 3; ++round) {
      SCOPED_TRACE(round);
      auto ua = upload(dir.File(Format("hold%d.ta", round)), a.Path());
      auto ub = upload(dir.File(Format("hold%d.ta", round + 4)), b.Path());
      ASSERT_EQ(ua->Finish(30000), 0) << ua->Err();
      ASSERT_EQ(ub->Finish(30000), 0) << ub->Err();
    }
    // Each run names a backup of its own that holds what its PBX held before.
    std::map<std::string, std::vector<std::string>> held;  // device -> 200S of its backups
    std::set<std::string> names;
    for (const TJournalRun& r : ReadJournal(Journal())) {
      ASSERT_FALSE(r.Backup.empty());
      names.insert(r.Backup);
      EXPECT_EQ(ModeOf(r.Backup), 0600) << r.Backup;
      held[r.Device].push_back(HoldRecallOf(r.Backup));
    }
    EXPECT_EQ(names.size(), 6u);
    EXPECT_EQ(held[a.Path()], (std::vector<std::string>{"200S/7/", "200S/1/", "200S/2/"}));
    EXPECT_EQ(held[b.Path()], (std::vector<std::string>{"200S/8/", "200S/5/", "200S/6/"}));
  }
  // Fifty backups of "V1.2" newer than one of "A-V1.2": the next upload to "V1.2" keeps fifty
  // of its own and the other PBX's one.
  {
    TSim other({"--baud", "0", "--state", one, "--version-text", "A-V1.2"}, dir.File("a.err"));
    ASSERT_EQ(upload(dir.File("hold3.ta"), other.Path())->Finish(30000), 0);
  }
  const std::string others = ReadJournal(Journal()).back().Backup;
  ASSERT_TRUE(FileExists(others));
  std::string mine;  // "backup-<date>-<time>-V1_2.ta"
  for (const std::string& n : FilesIn(backups))
    if (n.size() > 22 && n.substr(22) == "-V1_2.ta") mine = n;
  ASSERT_FALSE(mine.empty());
  for (int i = 0; i < 50; ++i)
    dir.Write("backups/" + Format("backup-20991231-2359%02d", i) + mine.substr(22),
              ReadFile(backups + mine));
  {
    TSim a({"--baud", "0", "--state", one, "--version-text", "V1.2"}, dir.File("a.err"));
    ASSERT_EQ(upload(dir.File("hold4.ta"), a.Path())->Finish(30000), 0);
  }
  const std::string made = ReadJournal(Journal()).back().Backup;
  EXPECT_TRUE(FileExists(made));
  EXPECT_TRUE(FileExists(others)) << "another PBX's backup was pruned";
  EXPECT_EQ(FilesIn(backups).size(), 51u);

  // --backup naming an input or any existing file.
  dir.Write("settings.ini", "[Communications]\n");
  ASSERT_EQ(::symlink(dir.File("hold1.ta").c_str(), dir.File("link.ta").c_str()), 0);
  const std::string edited = ReadFile(dir.File("hold1.ta"));
  TSim sim({"--baud", "0", "--state", one, "--trace"}, dir.File("sim.err"));
  const struct {
    std::string Backup, Says;
  } refused[] = {
      {dir.File("hold1.ta"), "it is the file to upload"},
      {dir.File("link.ta"), "it is the file to upload"},
      {dir.File("settings.ini"), "it is the settings file"},
      {dir.File("hold2.ta"), "the file exists, and a backup never replaces a file"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.Backup);
    const std::string kept = ReadFile(c.Backup);
    const TRun r = Kxta({"upload", dir.File("hold1.ta"), "--yes", "--port", sim.Path(),
                         "--settings", dir.File("settings.ini"), "--backup", c.Backup});
    EXPECT_EQ(r.Status, 2) << r.Err;
    EXPECT_NE(r.Err.find(c.Says), std::string::npos) << r.Err;
    EXPECT_EQ(ReadFile(c.Backup), kept);
  }
  EXPECT_EQ(ReadFile(dir.File("hold1.ta")), edited);
  const TRun named = Kxta({"upload", dir.File("hold1.ta"), "--yes", "--port", sim.Path(),
                           "--backup", dir.File("named.ta")});
  EXPECT_EQ(named.Status, 0) << named.Err;
  EXPECT_EQ(ModeOf(dir.File("named.ta")), 0600);
}

// A kill while the backup is made leaves no journal entry naming it; once it is named, the
// file is complete. Kill points: as soon as the run's first entry is there (the backup reads
// the whole PBX then, some 800 commands), and once the backup is named. Fault caught: the run's
// first entry named the backup before it was written.
TEST_F(UploadJournalTest, AKilledBackupIsNamedOnlyOnceComplete) {
  const std::string state = dir.File("state.txt");
  {
    TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
    ASSERT_EQ(Kxta({"read", "--port", sim.Path(), "-o", dir.File("a.ta")}).Status, 0);
  }
  MakeEdited(dir.File("a.ta"), dir.File("b.ta"));
  std::set<bool> named;
  for (const bool waitForName : {false, true}) {
    SCOPED_TRACE(waitForName ? "killed once the backup is named" : "killed during the backup");
    std::remove(Journal().c_str());
    const std::string backup = dir.File(waitForName ? "bk2.ta" : "bk1.ta");
    TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
    TChild up(KXTA_EXE,
              {"upload", dir.File("b.ta"), "--yes", "--backup", backup, "--port", sim.Path()},
              Env(), dir.File("stdout"));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
      const std::vector<TJournalRun> runs = ReadJournal(Journal());
      if (!runs.empty() && (!waitForName || !runs[0].Backup.empty())) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    up.Signal(SIGKILL);
    up.Finish(10000);
    const std::vector<TJournalRun> runs = ReadJournal(Journal());
    ASSERT_EQ(runs.size(), 1u);
    named.insert(!runs[0].Backup.empty());
    if (runs[0].Backup.empty()) continue;
    EXPECT_EQ(runs[0].Backup, backup);
    EXPECT_EQ(HoldRecallOf(backup).rfind("200S/", 0), 0u) << "the named backup loads";
  }
  EXPECT_EQ(named, (std::set<bool>{false, true})) << "kills fell before and after the name";
}

// What kxta says about the journal and its uploads. Faults caught: --run 0 and --run -1 (and
// --last 0) quietly listed the last uploads; a missing journal, a folder, a named pipe or
// garbage as KXTA_JOURNAL all said "No upload" with exit 0 (a pipe could hang the read); the
// lines a lost line kept from going out were journaled as "refused or unconfirmed"; a refusal
// that names a long path was cut off before its end.
TEST_F(UploadJournalTest, JournalMessagesSayWhatIsWrong) {
  const std::string state = dir.File("state.txt");
  {
    TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
    ASSERT_EQ(Kxta({"read", "--port", sim.Path(), "-o", dir.File("a.ta")}).Status, 0);
  }
  MakeEdited(dir.File("a.ta"), dir.File("b.ta"));
  ASSERT_EQ(::mkdir(dir.File("folder").c_str(), 0700), 0);
  ASSERT_TRUE(MakeNode(dir.File("pipe"), TNodeKind::Fifo));
  dir.Write("garbage", ReadFile(dir.File("a.ta")));
  const struct {
    std::vector<std::string> Args;
    std::string Journal;
    int Status;
    std::string Says;  // on standard output for status 0, else on standard error
  } cases[] = {
      {{"journal"}, dir.File("none"), 0, "No upload yet: the journal " + dir.File("none") +
                                              " does not exist."},
      {{"journal"}, dir.File("folder"), 1, "it is a folder, not a file"},
      {{"journal"}, dir.File("pipe"), 1, "it is not a file"},
      {{"journal"}, dir.File("garbage"), 1, "is not an upload journal"},
      {{"journal", "--run", "0"}, Journal(), 2, "they start at 1"},
      {{"journal", "--run", "-1"}, Journal(), 2, "they start at 1"},
      {{"journal", "--last", "0"}, Journal(), 2, "they start at 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Journal + " " + c.Args.back());
    TChild j(KXTA_EXE, c.Args, {"KXTA_JOURNAL=" + c.Journal}, dir.File("stdout"));
    EXPECT_EQ(j.Finish(10000), c.Status) << j.Err();
    EXPECT_NE((c.Status == 0 ? ReadFile(dir.File("stdout")) : j.Err()).find(c.Says),
              std::string::npos)
        << j.Err();
  }
  // The line falls silent after 100 commands: the lines after the one that met the silence
  // never went out, and say so.
  {
    TSim sim({"--baud", "0", "--state", state, "--silent-after", "100"}, dir.File("sim.err"));
    EXPECT_EQ(Kxta({"upload", dir.File("b.ta"), "--yes", "--no-backup", "--port", sim.Path()})
                  .Status,
              1);
  }
  const std::vector<TJournalRun> runs = ReadJournal(Journal());
  ASSERT_EQ(runs.size(), 1u);
  int notSent = 0;
  for (const TJournalBlock& b : runs[0].Blocks) notSent += b.Outcome == TWriteOutcome::NotSent;
  EXPECT_GT(notSent, 3000);
  const TRun listed = Kxta({"journal"});
  EXPECT_NE(listed.Out.find(Format("%d not sent", notSent)), std::string::npos) << listed.Out;
  EXPECT_NE(Kxta({"journal", "--run", "1"}).Out.find("NOT SENT"), std::string::npos);
  // A refusal with a long path in it is shown whole (the journal's folder is missing).
  const std::string deep = dir.File(std::string(200, 'd') + "/" + std::string(120, 'j'));
  TSim sim({"--baud", "0", "--state", state}, dir.File("sim.err"));
  TChild up(KXTA_EXE, {"upload", dir.File("b.ta"), "--yes", "--no-backup", "--port", sim.Path()},
            {kFast, "KXTA_JOURNAL=" + deep}, dir.File("stdout"));
  EXPECT_EQ(up.Finish(30000), 1);
  EXPECT_NE(up.Err().find(deep + ": No such file or directory. Nothing was uploaded."),
            std::string::npos)
      << up.Err();
}
