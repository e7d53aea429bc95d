// The simulated PBX as the program sees it: login dialogue, echo, edit-mode queries and writes,
// range checks, program 009, dump, state file, clock, modem and faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "SimPbx.h"
#include "PbxPrograms.h"
#include "Text.h"
#include "support/TempDir.h"

namespace {

struct TTerminal {
  TSimPbx Pbx;
  std::string Out;
  std::vector<std::pair<int, bool>> Lines;
  TTerminal() {
    Pbx.OnOutput = [this](const std::string& b) { Out += b; };
    Pbx.OnLineChange = [this](int l, bool on) { Lines.emplace_back(l, on); };
  }
  std::string Type(const std::string& s) {
    Out.clear();
    Pbx.Receive(s.data(), s.size());
    return Out;
  }
  void Login() {
    Type("TA616\r\n");
    Type("EDT\r");
    Type(Pbx.Password() + "\r");
    ASSERT_EQ(Type("INT\r"), "INT\r\n;E>");
  }
};

int DataLines(const std::string& Reply) {
  int n = 0;
  for (size_t p = Reply.find(";=>"); p != std::string::npos; p = Reply.find(";=>", p + 1)) ++n;
  return n;
}

bool Refused(TSimPbx& Pbx, const std::string& Cmd) {
  return Pbx.ExecuteEditCommand(Cmd).find("Command error") != std::string::npos;
}

}  // namespace

TEST(SimPbxLogin, NormalDialogueByteExact) {
  TTerminal t;
  EXPECT_EQ(t.Type("TA616\r\n"), "TA616\r\n;>");
  EXPECT_EQ(t.Type("VER\r"), "VER\r\n;=>Y581M KX-TA624 V2.10\r\n;>");
  EXPECT_EQ(t.Type("EDT\r"), "EDT\r\nPassword :");
  EXPECT_EQ(t.Type("7392\r"), "7392\r\n;>");
  EXPECT_EQ(t.Type("INT\r"), "INT\r\n;E>");
  EXPECT_EQ(t.Pbx.Mode(), TSimPbx::TMode::Edit);
  // Leaving and re-entering edit mode within the session asks no password again.
  EXPECT_EQ(t.Type("END\r"), "END\r\n;>");
  EXPECT_EQ(t.Type("END\r"), "END\r\n;>");
  EXPECT_EQ(t.Type("EDT\r"), "EDT\r\n;>");
  EXPECT_EQ(t.Type("INT\r"), "INT\r\n;E>");
  // After the goodbye the port sleeps: it echoes but answers only a wake-up line.
  EXPECT_EQ(t.Type("BYE\r\n"), "BYE\r\n");
  EXPECT_EQ(t.Type("VER\r"), "VER\r\n");
  EXPECT_EQ(t.Type("TA616\r\n"), "TA616\r\n;>");
  EXPECT_EQ(t.Type("EDT\r"), "EDT\r\nPassword :");
  // A session left at the plain prompt without a goodbye: the next wake-up starts afresh, so the
  // password is asked again as the program expects after a ";>" answer.
  t.Type("7392\r");
  t.Type("END\r");
  EXPECT_EQ(t.Type("TA616\r\n"), "TA616\r\n;>");
  EXPECT_EQ(t.Type("EDT\r"), "EDT\r\nPassword :");
}

TEST(SimPbxLogin, PasswordAtWakeUpAndWrongPasswords) {
  TTerminal t;
  t.Pbx.SetAskPasswordAtWakeUp(true);
  EXPECT_EQ(t.Type("TA616\r\n"), "TA616\r\nPassword :");
  EXPECT_NE(t.Type("1111\r").find("Command error"), std::string::npos);
  EXPECT_EQ(t.Pbx.Mode(), TSimPbx::TMode::Asleep);
  EXPECT_EQ(t.Type("TA616\r\n"), "TA616\r\nPassword :");
  EXPECT_EQ(t.Type("7392\r"), "7392\r\n;>");
  // Logged in by the wake-up password: EDT goes straight to the plain prompt.
  EXPECT_EQ(t.Type("EDT\r"), "EDT\r\n;>");
  EXPECT_EQ(t.Type("INT\r"), "INT\r\n;E>");

  TTerminal u;
  u.Type("TA616\r\n");
  u.Type("EDT\r");
  const std::string wrong = u.Type("0000\r");
  EXPECT_NE(wrong.find("Command error"), std::string::npos);
  EXPECT_EQ(wrong.substr(wrong.size() - 2), ";>");
  EXPECT_NE(u.Type("INT\r").find("Command error"), std::string::npos);  // no edit mode without it
  EXPECT_TRUE(u.Pbx.SetPassword("4321"));
  EXPECT_FALSE(u.Pbx.SetPassword("43210"));
  u.Type("EDT\r");
  EXPECT_EQ(u.Type("4321\r"), "4321\r\n;>");
}

TEST(SimPbxLogin, WakeUpInAModeAnswersThatModesPrompt) {
  TTerminal t;
  t.Login();
  EXPECT_EQ(t.Type("TA616\r\n"), "TA616\r\n;E>");  // no ";>" in it: the program takes it as in a mode
  t.Type("END\r");
  t.Type("SHW\r");
  EXPECT_EQ(t.Type("INT\r"), "INT\r\n;S>");
  EXPECT_EQ(t.Type("TA616\r\n"), "TA616\r\n;S>");
}

TEST(SimPbxEcho, EveryCharacterEchoedAndBackspaceEdits) {
  TTerminal t;
  t.Login();
  std::string echoed;
  for (char c : std::string("604E01//")) echoed += t.Type(std::string(1, c));
  EXPECT_EQ(echoed, "604E01//");
  EXPECT_EQ(t.Type("\r"), "\r\n;=>604E01/^/\r\n;E>");
  EXPECT_EQ(t.Type("605E0X\b1//\r"), "605E0X\b \b1//\r\n;=>605E01/0/\r\n;E>");
  EXPECT_EQ(t.Type("\r"), "\r\n;E>");  // an empty line only repeats the prompt
  // An overlong line is refused whole, not stored cut.
  EXPECT_NE(t.Type("604E01/" + std::string(400, 'a') + "/\r").find("Command error"), std::string::npos);
  EXPECT_EQ(t.Pbx.Line("604E01"), "604E01/^/");
}

TEST(SimPbxEdit, QueryWriteAndRefusal) {
  TSimPbx pbx;
  EXPECT_EQ(pbx.ExecuteEditCommand("604E01//"), ";=>604E01/^/\r\n;E>");
  EXPECT_EQ(pbx.ExecuteEditCommand("604E01/Front desk/"), ";=>604E01/Front desk/\r\n;E>");
  EXPECT_EQ(pbx.Line("604E01"), "604E01/Front desk/");
  EXPECT_EQ(pbx.ExecuteEditCommand("604e01//"), ";=>604E01/Front desk/\r\n;E>");  // head in any case
  EXPECT_EQ(pbx.ExecuteEditCommand("999S//"), "Command error\r\n;E>");
  for (const char* bad : {"604E01/1", "604E01/a/b/", "604E25//", "604E1//", "604E01/a,b/", "604E*/", "/1/",
                          "604E01", "009S25/125/", "403C1*//"})
    EXPECT_TRUE(Refused(pbx, bad)) << bad;
  EXPECT_EQ(pbx.Line("604E01"), "604E01/Front desk/");
  EXPECT_EQ(pbx.Line("604E25"), "");
}

TEST(SimPbxEdit, ValuesOutsideAProgramsRangeAreRefused) {
  TSimPbx pbx;
  const std::vector<std::pair<const char*, bool>> cases = {
      {"601E01/5/", true}, {"601E01/6/", false}, {"601E01/0/", false}, {"600E24/8/", true},
      {"008S/24/", true}, {"008S/25/", false}, {"008S/5/", false}, {"204S/10/", true},
      {"204S/11/", false}, {"200S/8/", true}, {"200S/9/", false}, {"002S/123/", false},
      {"403C1/12,3,^/", true}, {"403C1/123/", false}, {"403C6/1,2,3,4,5,6,7,8/", true},
      {"403C6/1,2,3,4,5,6,7,8,9/", false}, {"405C1/1111 0000,0000 0000,0000 0001/", true},
      {"405C1/1111 0000,0000 0000/", false}, {"405C1/11110000,0000 0000,0000 0000/", false},
      {"411C1/3210 0123,0000 0000,0000 0000/", true}, {"411C1/4000 0000,0000 0000,0000 0000/", false},
      {"414C1/1,05/", true}, {"414C1/0,05/", false}, {"414C1/0/", true}, {"414C1/1,25/", false},
      {"501S3/2,08/", true}, {"501S3/2,09/", false}, {"501S3/1,24/", true}, {"501S3/0/", true},
      {"501S3/1/", false}, {"P01BC07/0,6/", true}, {"P01BC07/0,7/", false}, {"P01BC07/2,24/", true},
      {"P01BC07/3,12P#/", true}, {"P01BC07/7/", true}, {"P01BC07/0/", false}, {"P01BC07/B,1/", false},
      {"D01BD01/6,05/", true}, {"P01BC01/6,05/", false}, {"P24BM01/2,03/", true},
      {"007S1/08301,^,12001,01001/", true}, {"007S1/13001,^,^,^/", false}, {"007S1/0830,^,^,^/", false},
      {"364S1/*/", true}, {"364S1/7/", false}, {"302S01/12xxxxxxxxx/", true},
      {"302S01/12xxxxxxxxxx/", false}, {"011S00/Bob,x/", false}, {"011S99/Bob    /", true},
      {"521S/45,1/", true}, {"521S/33,0/", false}, {"521S/45/", false}, {"801S/09,00/", true},
      {"801S/03,00/", false}, {"801S/09/", false}, {"802S/2/", false}, {"102E07/1/", true}, {"102E09/1/", false}, {"012S50/12/", true},
      {"107S/101010/", true}, {"107S/10101/", false}, {"420C2/75/", true}, {"420C2/76/", false},
      {"003D2/24/", true}, {"003D3/01/", false}, {"604E01/ABCDEFGHIJK/", false}, {"001S00/9P[]#*-F/", true},
  };
  for (const auto& c : cases) EXPECT_EQ(!Refused(pbx, c.first), c.second) << c.first;
}

TEST(SimPbxEdit, EveryProgramTheSystemReadsAnswers) {
  TSimPbx pbx;
  std::vector<std::pair<std::string, int>> queries;  // query, expected data lines
  for (const char* s :
       {"002S", "005S", "006S", "008S", "010S", "100S", "101S", "103S", "123S", "124S", "125S", "126S", "127S",
        "200S", "208S", "210S", "213S", "301S", "312S", "359S", "362S", "363S", "500S", "502S", "508S", "509S",
        "511S", "513S", "515S", "517S", "519S", "520S", "526S", "530S", "801S", "802S", "803S", "805S", "806S"})
    queries.emplace_back(std::string(s) + "//", 1);
  for (int p = 104; p <= 122; ++p) queries.emplace_back(std::to_string(p) + "S//", 1);
  for (int p = 502; p <= 507; ++p) queries.emplace_back(std::to_string(p) + "S//", 1);
  const std::vector<std::pair<const char*, int>> lists = {
      {"001S", 100}, {"007S", 7}, {"011S", 100}, {"501S", 10}, {"510S", 2}, {"512S", 4}, {"516E", 24},
      {"300S", 20}, {"309S", 5}, {"310S", 24}, {"311S", 40}, {"302S", 20}, {"306S", 80}, {"350C", 6},
      {"351S", 80}, {"358S", 80}, {"360S", 4}, {"361S", 4}, {"364S", 4}, {"102E", 4}, {"012S", 10},
      {"009S", 24}, {"700P", 4}, {"705P", 4}, {"405C", 6}, {"413C", 6}, {"P07BC", 24}, {"P24BF", 24},
      {"D01BD", 32}, {"D02BF", 16}};
  for (const auto& l : lists) queries.emplace_back(std::string(l.first) + "*//", l.second);
  for (const char* e : {"600E", "601E", "615E", "617E", "620E", "389E", "904E", "925E"})
    queries.emplace_back(std::string(e) + "24//", 1);
  queries.emplace_back("P12BM01//", 1);
  for (const char* c : {"400C", "404C", "414C", "424C", "900C", "910C", "920C", "928C"})
    queries.emplace_back(std::string(c) + "6//", 1);
  queries.emplace_back("003D1//", 1);
  queries.emplace_back("004D2//", 1);
  for (const auto& q : queries) {
    const std::string r = pbx.ExecuteEditCommand(q.first);
    EXPECT_EQ(DataLines(r), q.second) << q.first << ": " << r.substr(0, 80);
    EXPECT_EQ(r.substr(r.size() - 3), ";E>") << q.first;
  }
}

TEST(SimPbxEdit, FactoryDefaultsPassTheirOwnRangeChecks) {
  TSimPbx pbx;
  const std::vector<std::string> all = pbx.AllLines();
  EXPECT_GT(all.size(), 3000u);
  int writes = 0;
  for (const std::string& l : all) {
    if (l.compare(0, 4, "009S") == 0) continue;  // numbers: another port holds each of them
    EXPECT_TRUE(pbx.SetLine(l)) << l;
    ++writes;
  }
  EXPECT_EQ(pbx.AllLines(), all);
  EXPECT_GT(writes, 3000);
  EXPECT_EQ(pbx.Line("P01BC01"), "P01BC01/0,1/");  // the first buttons are the CO lines
  EXPECT_EQ(pbx.Line("D02BD24"), "D02BD24/2,24/");
  EXPECT_EQ(pbx.Line("516E01"), "516E01/1/");
}

TEST(SimPbx009, TakenNumbersSwapsAndPlans) {
  TSimPbx pbx;
  EXPECT_EQ(pbx.ExecuteEditCommand("009S00//"), ";=>009S00/1/\r\n;E>");
  EXPECT_TRUE(Refused(pbx, "009S01/102/"));  // port 2 holds 102
  EXPECT_FALSE(Refused(pbx, "009S01/101/"));  // its own number again
  // A swap of two ports goes through a free number.
  EXPECT_FALSE(Refused(pbx, "009S01/150/"));
  EXPECT_FALSE(Refused(pbx, "009S02/101/"));
  EXPECT_FALSE(Refused(pbx, "009S01/102/"));
  EXPECT_EQ(pbx.Line("009S01"), "009S01/102/");
  EXPECT_EQ(pbx.Line("009S02"), "009S02/101/");
  EXPECT_TRUE(Refused(pbx, "009S03/200/"));  // plan 1 ends at 199
  EXPECT_TRUE(Refused(pbx, "009S03/99/"));
  // Plan 2: every number back to its default (as plan 1's), up to 499 allowed.
  EXPECT_EQ(pbx.ExecuteEditCommand("009S00/2/"), ";=>009S00/2/\r\n;E>");
  EXPECT_EQ(pbx.Line("009S01"), "009S01/101/");
  EXPECT_EQ(pbx.Line("009S24"), "009S24/124/");
  EXPECT_FALSE(Refused(pbx, "009S05/499/"));
  EXPECT_TRUE(Refused(pbx, "009S05/500/"));
  // Plan 3: two-digit numbers 10 to 49.
  pbx.ExecuteEditCommand("009S00/3/");
  EXPECT_EQ(pbx.Line("009S01"), "009S01/11/");
  EXPECT_EQ(pbx.Line("009S24"), "009S24/34/");
  EXPECT_TRUE(Refused(pbx, "009S05/105/"));
  EXPECT_TRUE(Refused(pbx, "009S05/50/"));
  EXPECT_TRUE(Refused(pbx, "009S05/5/"));
  EXPECT_FALSE(Refused(pbx, "009S05/49/"));
  const std::string all = pbx.ExecuteEditCommand("009S*//");
  EXPECT_EQ(DataLines(all), 24);  // the plan line is not one of the ports
  EXPECT_EQ(all.find("009S00"), std::string::npos);
  for (const char* bad : {"009S00/4/", "009S00/0/", "009S00/1,2/", "009S05/4x/"})
    EXPECT_TRUE(Refused(pbx, bad)) << bad;
  pbx.ExecuteEditCommand("009S00/1/");
  EXPECT_EQ(pbx.Line("009S05"), "009S05/105/");
}

TEST(SimPbxDump, AllListsEveryProgramLine) {
  TTerminal t;
  t.Type("TA616\r\n");
  EXPECT_EQ(t.Type("DMP\r"), "DMP\r\nPassword :");  // the listing shows the password: log in first
  EXPECT_EQ(t.Type("7392\r"), "7392\r\n;P>");
  t.Pbx.SetLine("604E03/Kitchen/");
  const std::string all = t.Type("ALL\r");
  EXPECT_EQ(all.compare(0, 5, "ALL\r\n"), 0);
  EXPECT_EQ(size_t(DataLines(all)), t.Pbx.AllLines().size());
  EXPECT_NE(all.find(";=>604E03/Kitchen/\r\n"), std::string::npos);
  EXPECT_NE(all.find(";=>009S00/1/\r\n;=>009S01/101/\r\n"), std::string::npos);
  EXPECT_EQ(all.substr(all.size() - 3), ";P>");
  EXPECT_EQ(DataLines(t.Type("P05BF\r")), 24);
  EXPECT_NE(t.Type("XYZ\r").find("Command error"), std::string::npos);
  EXPECT_EQ(t.Type("END\r"), "END\r\n;>");
}

TEST(SimPbxState, FileRoundTripAndBadFiles) {
  TTempDir dir;
  const std::string file = dir.File("state.txt");
  TSimPbx a;
  ASSERT_TRUE(a.SetLine("009S00/2/"));
  ASSERT_TRUE(a.SetLine("009S01/250/"));
  ASSERT_TRUE(a.SetLine("009S02/201/"));
  ASSERT_TRUE(a.SetLine("009S01/202/"));  // ports 1 and 2 swapped
  ASSERT_TRUE(a.SetLine("604E01/Reception /"));
  ASSERT_TRUE(a.SetLine("P03BC10/3,0049301234/"));
  ASSERT_TRUE(a.SaveState(file));
  TSimPbx b;
  ASSERT_TRUE(b.LoadState(file));
  EXPECT_EQ(b.AllLines(), a.AllLines());
  EXPECT_EQ(b.NumberingPlan(), 2);

  {
    std::ofstream out(file, std::ios::trunc);
    out << "# comment\r\n604E02/Office/\r\n601E02/9/\r\n\r\nnonsense\r\n";
  }
  TSimPbx c;
  EXPECT_FALSE(c.LoadState(file));  // bad lines are reported ...
  EXPECT_EQ(c.Line("604E02"), "604E02/Office/");  // ... and the good ones kept
  EXPECT_EQ(c.Line("601E02"), "601E02/1/");
  {
    std::ofstream out(file, std::ios::trunc);
    out << "009S01/105/\n009S02/105/\n";
  }
  EXPECT_FALSE(c.LoadState(file));
  EXPECT_EQ(c.Line("009S02"), "009S02/102/");  // duplicate numbers are no state to be in
  EXPECT_FALSE(c.LoadState(dir.File("missing.txt")));
}

TEST(SimPbxClock, ShowModeReadsAndWritesTheClock) {
  TTerminal t;
  std::time_t now = 1772000000;  // fixed host clock
  t.Pbx.Clock = [&now] { return now; };
  t.Login();
  EXPECT_EQ(t.Type("000S/2603010,12050/\r"), "000S/2603010,12050/\r\n;=>000S/2603010,12050/\r\n;E>");
  t.Type("END\r");
  t.Type("SHW\r");
  t.Type("INT\r");
  now += 3600 + 60;  // the PBX clock runs on with the host's
  EXPECT_EQ(t.Type("000S\r"), "000S\r\n;=>000S/2603010,01060/\r\n;S>");
  // 1 March 2026 is a Sunday whatever day of week was written; 8:30 PM reads with the PM flag.
  EXPECT_NE(t.Type("000S/2603016,08301/\r").find(";=>000S/2603010,08301/"), std::string::npos);
  EXPECT_NE(t.Type("000S/2602310,08301/\r").find("Command error"), std::string::npos);  // 31 Feb
  EXPECT_NE(t.Type("000S/2603010,13001/\r").find("Command error"), std::string::npos);
  // Show mode reads programs but writes none.
  EXPECT_EQ(t.Type("604E01//\r"), "604E01//\r\n;=>604E01/^/\r\n;S>");
  EXPECT_NE(t.Type("604E01/X/\r").find("Command error"), std::string::npos);
  EXPECT_EQ(t.Pbx.Line("604E01"), "604E01/^/");
}

TEST(SimPbxModem, HayesDialogue) {
  TTerminal t;
  t.Pbx.SetModemEnabled(true);
  EXPECT_EQ(t.Type("AT&F\r"), "AT&F\r\r\nOK\r\n");
  EXPECT_EQ(t.Type("hello\r"), "hello\r\r\nERROR\r\n");
  EXPECT_EQ(t.Type("ATDT111\r"), "ATDT111\r\r\nBUSY\r\n");
  EXPECT_EQ(t.Type("ATD222\r"), "ATD222\r\r\nNO CARRIER\r\n");
  EXPECT_EQ(t.Type("ATD000\r"), "ATD000\r\r\nNO DIALTONE\r\n");
  EXPECT_EQ(t.Type("ATD333\r"), "ATD333\r");
  t.Pbx.SetDialAnswer("5551234", TSimPbx::TDialAnswer::Busy);
  EXPECT_EQ(t.Type("ATD 555-1234\r"), "ATD 555-1234\r\r\nBUSY\r\n");
  EXPECT_TRUE(t.Lines.empty());
  EXPECT_EQ(t.Type("ATD123\r"), "ATD123\r\r\nCONNECT 9600\r\n");
  ASSERT_EQ(t.Lines.size(), 1u);
  EXPECT_EQ(t.Lines[0], std::make_pair(int(TSimPbx::LineCarrier), true));
  // Through the call the PBX speaks as on a cable.
  EXPECT_EQ(t.Type("TA616\r\n"), "TA616\r\n;>");
  t.Out.clear();
  t.Pbx.DropCarrier();
  EXPECT_EQ(t.Out, "\r\nDISCONNECTED\r\n");
  EXPECT_EQ(t.Lines.back(), std::make_pair(int(TSimPbx::LineCarrier), false));
  EXPECT_EQ(t.Type("AT\r"), "AT\r\r\nOK\r\n");  // back to the modem's commands
  t.Type("ATD123\r");
  t.Pbx.SetHostDtr(false);  // the PC hangs up by dropping DTR
  EXPECT_FALSE(t.Pbx.LineState(TSimPbx::LineCarrier));
}

TEST(SimPbxFaults, SilenceRefusalAndDsr) {
  TTerminal t;
  t.Login();  // four command lines
  t.Pbx.AddRefusedCommand("604e");
  EXPECT_EQ(t.Type("604E01//\r"), "604E01//\r\nCommand error\r\n;E>");
  EXPECT_EQ(t.Type("605E01//\r"), "605E01//\r\n;=>605E01/0/\r\n;E>");
  EXPECT_TRUE(Refused(t.Pbx, "604E02/x/"));
  t.Pbx.SetSilentAfter(t.Pbx.CommandCount() + 1);
  EXPECT_EQ(t.Type("605E01//\r"), "605E01//\r\n;=>605E01/0/\r\n;E>");
  EXPECT_EQ(t.Type("605E01//\r"), "");  // not even an echo
  t.Pbx.ClearFaults();
  EXPECT_EQ(t.Type("604E01//\r"), "604E01//\r\n;=>604E01/^/\r\n;E>");

  EXPECT_TRUE(t.Pbx.LineState(TSimPbx::LineDsr));
  EXPECT_TRUE(t.Pbx.LineState(TSimPbx::LineCts));
  t.Pbx.SetDsr(false);
  EXPECT_EQ(t.Lines.back(), std::make_pair(int(TSimPbx::LineDsr), false));
  EXPECT_EQ(t.Type("TA616\r\n"), "");
  t.Pbx.SetDsr(true);
  EXPECT_EQ(t.Type("TA616\r\n"), "TA616\r\n;>");  // the login was forgotten
}

// The checker and the simulated PBX judge by the one program table: every factory line passes
// the check, and for every program a value just above an item's range is refused by both,
// with the program's name and the item named.
TEST(SimPbxEdit, TheCheckerAndThePbxAgreeOnEveryProgram) {
  TSimPbx pbx;
  const TPbxCatalogue& cat = TPbxCatalogue::Get();
  for (const std::string& l : pbx.AllLines())
    EXPECT_TRUE(cat.CheckLine(l).empty()) << l << ": " << cat.CheckLine(l).front().Allowed;
  int judged = 0;
  for (const TPbxProgram& prog : cat.Programs()) {
    EXPECT_FALSE(prog.Name.empty()) << prog.Code;
    const std::string head = prog.Head(prog.Keys.size() - 1);
    const std::string items = ExtractWord(pbx.Line(head), "/", 2);
    for (size_t i = 0; i < prog.Items.size() && int(i) < WordCount(items, ","); ++i) {
      const TItemSpec& s = prog.Items[i];
      if (s.Kind != TItemSpec::Number && s.Kind != TItemSpec::Fixed) continue;
      std::string bad = std::to_string(s.Hi + 1);
      if (s.Kind == TItemSpec::Fixed) bad = std::string(size_t(std::max(0, s.Width - int(bad.size()))), '0') + bad;
      std::string edited;
      for (int k = 1; k <= WordCount(items, ","); ++k)
        edited += (k > 1 ? "," : "") + (k == int(i) + 1 ? bad : ExtractWord(items, ",", k));
      const std::string line = head + "/" + edited + "/";
      const auto problems = cat.CheckLine(line);
      ASSERT_FALSE(problems.empty()) << line;
      EXPECT_EQ(problems[0].Name, prog.Name);
      EXPECT_TRUE(problems[0].Item == int(i) + 1 || problems[0].Item == 0) << line;
      EXPECT_TRUE(Refused(pbx, line)) << line;
      ++judged;
    }
  }
  EXPECT_GT(judged, 120);
  // A letter in a dial code, a wrong item count, a head the PBX does not have, a broken line.
  const std::pair<const char*, int> cases[] = {
      {"310S01/12a4/", 1}, {"200S/2,1/", 0}, {"999S01/1/", 0}, {"604E01/Office", 0},
      {"009S01/abc/", 1}, {"009S02/9999/", 1}};
  for (const auto& [line, item] : cases) {
    const auto p = cat.CheckLine(line);
    ASSERT_EQ(p.size(), 1u) << line;
    EXPECT_EQ(p[0].Item, item) << line;
    if (std::string(line) != "009S02/9999/") {
      EXPECT_FALSE(p[0].RangeOnly) << line;
    }
  }
  EXPECT_EQ(cat.CheckLine("604E01/Office")[0].Name, "Extension name") << "a broken line's program";
  EXPECT_EQ(cat.CheckLine("310S01/12a4/")[0].Name, "Account code");
}
