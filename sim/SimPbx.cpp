// The simulated KX-TA624: login dialogue, modes, program store, program 009 rules, clock, modem.
#include "SimPbx.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>

#include "PbxPrograms.h"
#include "Errors.h"  // Format
#include "SafeFile.h"
#include "Text.h"

namespace {

const char kCommandError[] = "Command error\r\n";
const size_t kMaxLine = 300;  // longer input is refused as a whole instead of stored cut

std::string UpperHead(const std::string& Cmd) {
  std::string s = Cmd;
  const size_t slash = s.find('/');
  for (size_t i = 0; i < s.size() && i < slash; ++i)
    if (s[i] >= 'a' && s[i] <= 'z') s[i] = static_cast<char>(s[i] - 'a' + 'A');
  return s;
}

std::string DataLine(const std::string& Text) { return ";=>" + Text + "\r\n"; }

}  // namespace

TSimPbx::TSimPbx() : fVersion("Y581M KX-TA624 V2.10") {
  Clock = [] { return std::time(nullptr); };
  ResetToFactory();
}

void TSimPbx::ResetToFactory() {
  const auto& progs = TPbxCatalogue::Get().Programs();
  fText.assign(progs.size(), {});
  for (size_t p = 0; p < progs.size(); ++p)
    for (size_t k = 0; k < progs[p].Keys.size(); ++k)
      fText[p].push_back(progs[p].Head(k) + "/" + progs[p].Defaults[k] + "/");
  ResetNumbers(1);
  fClockOffset = 0;
}

void TSimPbx::ResetNumbers(int Plan) {
  fPlan = Plan;
  const int p = TPbxCatalogue::Get().FindCode("009S");
  for (size_t k = 0; k < fText[size_t(p)].size(); ++k)
    fText[size_t(p)][k] = Format("009S%.2d/%s/", int(k) + 1, DefaultNumber(Plan, int(k) + 1).c_str());
}

// ---- output and lines ----

void TSimPbx::Send(const std::string& Bytes) {
  if (Bytes.empty() || LineCut()) return;
  std::string out = Bytes;
  if (fCutAfter >= 0 && fSentBytes + long(out.size()) > fCutAfter) out.resize(size_t(fCutAfter - fSentBytes));
  fSentBytes += long(out.size());
  if (OnOutput) OnOutput(out);
}

bool TSimPbx::LineState(int LineNo) const { return LineNo >= 1 && LineNo <= 4 && fLines[LineNo]; }

void TSimPbx::SetLineState(int LineNo, bool On) {
  if (fLines[LineNo] == On) return;
  fLines[LineNo] = On;
  if (OnLineChange) OnLineChange(LineNo, On);
}

void TSimPbx::SetDsr(bool On) {
  SetLineState(LineDsr, On);
  if (!On) GoToSleep();
}

void TSimPbx::DropCarrier() {
  if (!fLines[LineCarrier]) return;
  SetLineState(LineCarrier, false);
  Send("\r\nDISCONNECTED\r\n");
  GoToSleep();
}

void TSimPbx::SetHostDtr(bool On) {
  fHostDtr = On;
  if (!On && fLines[LineCarrier]) {
    SetLineState(LineCarrier, false);
    Send("\r\nNO CARRIER\r\n");
    GoToSleep();
  }
}

void TSimPbx::SetModemEnabled(bool On) {
  fModem = On;
  if (!On) SetLineState(LineCarrier, false);
}

void TSimPbx::GoToSleep() {
  fMode = TMode::Asleep;
  fAuthorised = false;
  fPending = TMode::Idle;
  fInput.clear();
  fOverflow = false;
}

// ---- faults ----

void TSimPbx::AddRefusedCommand(const std::string& Prefix) {
  if (!Prefix.empty()) fRefused.push_back(LowerAscii(Prefix));
}

void TSimPbx::SetOversizedReply(const std::string& Prefix, size_t Bytes) {
  fOversizePrefix = LowerAscii(Prefix);
  fOversizeBytes = Bytes;
}

void TSimPbx::ClearFaults() {
  fSilentAfter = -1;
  fRefused.clear();
  fCutAfter = -1;
  fOversizePrefix.clear();
  fOversizeBytes = 0;
}

std::string TSimPbx::Oversized(const std::string& Reply) const {
  const size_t prompt = Reply.rfind(";");
  const std::string data = prompt == std::string::npos ? Reply : Reply.substr(0, prompt);
  if (data.find(";=>") == std::string::npos) return Reply;
  std::string out;
  while (out.size() <= fOversizeBytes) out += data;
  return out + Reply.substr(data.size());
}

bool TSimPbx::Refused(const std::string& Cmd) const {
  const std::string c = LowerAscii(Cmd);
  for (const std::string& r : fRefused)
    if (c.compare(0, r.size(), r) == 0) return true;
  return false;
}

// ---- receiving ----

void TSimPbx::Receive(const char* Data, size_t Count) {
  for (size_t i = 0; i < Count; ++i) {
    if (!fLines[LineDsr]) return;
    if (fSilentAfter >= 0 && fCommands >= fSilentAfter) return;
    if (LineCut()) return;
    const char c = Data[i];
    const bool modemCommands = fModem && !fLines[LineCarrier];
    if (c == '\n') continue;  // CR LF is one line end
    if (c == '\b' || c == 127) {
      if (!fInput.empty()) {
        fInput.pop_back();
        Send("\b \b");
      }
      continue;
    }
    if (c == '\r') {
      Send(modemCommands ? "\r" : "\r\n");
      std::string line;
      line.swap(fInput);
      const bool overflow = fOverflow;
      fOverflow = false;
      if (modemCommands)
        HandleModemLine(line);
      else
        HandleLine(overflow ? std::string(kMaxLine + 1, '?') : line);
      continue;
    }
    if (static_cast<unsigned char>(c) < 0x20) continue;
    Send(std::string(1, c));
    if (fInput.size() < kMaxLine)
      fInput += c;
    else
      fOverflow = true;
  }
}

void TSimPbx::HandleModemLine(const std::string& Raw) {
  std::string cmd = TrimBlanks(Raw);
  for (char& ch : cmd)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  if (cmd.empty()) return;
  if (cmd.compare(0, 2, "AT") != 0) {
    Send("\r\nERROR\r\n");
    return;
  }
  if (cmd.compare(0, 3, "ATD") != 0) {
    Send("\r\nOK\r\n");
    return;
  }
  std::string number = cmd.substr(3);
  if (!number.empty() && (number[0] == 'T' || number[0] == 'P')) number.erase(0, 1);
  std::string digits;
  for (char ch : number)
    if (ch != ' ' && ch != '-' && ch != ',') digits += ch;
  TDialAnswer answer = TDialAnswer::Connect;
  auto it = fDialAnswers.find(digits);
  if (it != fDialAnswers.end())
    answer = it->second;
  else if (digits == "000")
    answer = TDialAnswer::NoDialtone;
  else if (digits == "111")
    answer = TDialAnswer::Busy;
  else if (digits == "222")
    answer = TDialAnswer::NoCarrier;
  else if (digits == "333")
    answer = TDialAnswer::Silent;
  switch (answer) {
    case TDialAnswer::Connect:
      if (!fHostDtr) {
        Send("\r\nNO CARRIER\r\n");
        return;
      }
      Send("\r\n" + fConnectText + "\r\n");
      GoToSleep();
      SetLineState(LineCarrier, true);
      break;
    case TDialAnswer::Busy: Send("\r\nBUSY\r\n"); break;
    case TDialAnswer::NoCarrier: Send("\r\nNO CARRIER\r\n"); break;
    case TDialAnswer::NoDialtone: Send("\r\nNO DIALTONE\r\n"); break;
    case TDialAnswer::Silent: break;
  }
}

std::string TSimPbx::Prompt() const {
  switch (fMode) {
    case TMode::Idle: return ";>";
    case TMode::Edit: return ";E>";
    case TMode::Show: return ";S>";
    case TMode::Dump: return ";P>";
    case TMode::Password: return "Password :";
    case TMode::Asleep: break;
  }
  return std::string();
}

void TSimPbx::HandleLine(const std::string& Raw) {
  const std::string cmd = TrimBlanks(Raw);
  if (cmd.empty()) {
    Send(Prompt());
    return;
  }
  ++fCommands;
  std::string word = cmd;
  for (char& ch : word)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');

  // A wake-up line at the plain prompt starts a new session: the program then expects EDT to
  // ask for the password, whatever the session before it left behind.
  if (fMode == TMode::Idle && word == "TA616") GoToSleep();
  if (fMode == TMode::Asleep) {
    if (word != "TA616") return;  // a sleeping port waits for its wake-up line only
    if (fAskAtWakeUp && !fAuthorised) {
      fMode = TMode::Password;
      fAfterPassword = TMode::Idle;
      fWakeUpPassword = true;
    } else {
      fMode = TMode::Idle;
    }
    Send(Prompt());
    return;
  }
  if (fMode == TMode::Password) {
    if (cmd == Password()) {
      fAuthorised = true;
      fMode = fAfterPassword;
      Send(Prompt());
    } else if (fWakeUpPassword) {
      Send(kCommandError);
      GoToSleep();
    } else {
      fMode = TMode::Idle;
      fPending = TMode::Idle;
      Send(std::string(kCommandError) + Prompt());
    }
    return;
  }
  if (Refused(cmd)) {
    Send(std::string(kCommandError) + Prompt());
    return;
  }
  if (word == "BYE") {
    GoToSleep();
    return;
  }
  if (word == "TA616") {
    Send(Prompt());
    return;
  }
  if (word == "END") {
    fMode = TMode::Idle;
    fPending = TMode::Idle;
    Send(Prompt());
    return;
  }
  auto askPassword = [this](TMode After) {
    fMode = TMode::Password;
    fAfterPassword = After;
    fWakeUpPassword = false;
    Send(Prompt());
  };
  switch (fMode) {
    case TMode::Idle:
      if (word == "VER") {
        Send(DataLine(fVersion) + Prompt());
      } else if (word == "EDT") {
        fPending = TMode::Edit;
        if (fAuthorised)
          Send(Prompt());
        else
          askPassword(TMode::Idle);
      } else if (word == "SHW") {
        fPending = TMode::Show;
        Send(Prompt());
      } else if (word == "INT" && fPending != TMode::Idle) {
        fMode = fPending;
        fPending = TMode::Idle;
        Send(Prompt());
      } else if (word == "DMP") {
        fPending = TMode::Idle;
        if (fAuthorised) {
          fMode = TMode::Dump;
          Send(Prompt());
        } else {
          askPassword(TMode::Dump);
        }
      } else {
        Send(std::string(kCommandError) + Prompt());
      }
      break;
    case TMode::Edit:
    case TMode::Show: {
      const std::string reply = EditCommand(cmd, fMode == TMode::Show, Prompt());
      const bool oversize = !fOversizePrefix.empty() &&
                            LowerAscii(cmd).compare(0, fOversizePrefix.size(), fOversizePrefix) == 0;
      Send(oversize ? Oversized(reply) : reply);
      break;
    }
    case TMode::Dump:
      if (word == "ALL") {
        std::string out;
        for (const std::string& l : AllLines()) out += DataLine(l);
        Send(out + (fDumpPrompt ? Prompt() : std::string()));
      } else if (TPbxCatalogue::Get().FindCode(word) >= 0) {
        Send(QueryAll(word) + (fDumpPrompt ? Prompt() : std::string()));
      } else {
        Send(std::string(kCommandError) + Prompt());
      }
      break;
    default: break;
  }
}

// ---- edit mode ----

std::string TSimPbx::ExecuteEditCommand(const std::string& Cmd) {
  if (Refused(Cmd)) return std::string(kCommandError) + ";E>";
  return EditCommand(TrimBlanks(Cmd), false, ";E>");
}

std::string TSimPbx::EditCommand(const std::string& Raw, bool ReadOnly, const std::string& Prompt) {
  const std::string cmd = UpperHead(Raw);
  const std::string error = std::string(kCommandError) + Prompt;
  if (cmd == "000S" || cmd == "000S//" || cmd == "000S*//") return DataLine(ClockText()) + Prompt;
  const size_t slashes = size_t(std::count(cmd.begin(), cmd.end(), '/'));
  if (slashes == 2 && cmd.size() > 3 && cmd.compare(cmd.size() - 3, 3, "*//") == 0) {
    const std::string code = cmd.substr(0, cmd.size() - 3);
    if (TPbxCatalogue::Get().FindCode(code) < 0) return error;
    return QueryAll(code) + Prompt;
  }
  if (slashes == 2 && cmd.size() > 2 && cmd.compare(cmd.size() - 2, 2, "//") == 0) {
    const std::string text = Line(cmd.substr(0, cmd.size() - 2));
    return text.empty() ? error : DataLine(text) + Prompt;
  }
  // Show mode reads programs; of the writes it takes only the clock.
  if (ReadOnly && ExtractWord(cmd, "/", 1) != "000S") return error;
  std::string why;
  const std::string stored = WriteLine(cmd, &why);
  return stored.empty() ? error : DataLine(stored) + Prompt;
}

std::string TSimPbx::QueryAll(const std::string& Code) const {
  const int p = TPbxCatalogue::Get().FindCode(Code);
  if (p < 0) return std::string();
  std::string out;
  for (const std::string& t : fText[size_t(p)]) out += DataLine(t);
  return out;
}

std::string TSimPbx::WriteLine(const std::string& Text, std::string* Why) {
  const std::string head = ExtractWord(Text, "/", 1);
  if (head == "000S") {
    const size_t n = Text.size();
    if (n < 6 || Text[n - 1] != '/' || !SetClock(Text.substr(5, n - 6))) return std::string();
    return ClockText();
  }
  if (!StoreLine(Text, Why)) return std::string();
  return Line(head);
}

bool TSimPbx::StoreLine(const std::string& Raw, std::string* Why, bool CheckTaken) {
  const std::string text = UpperHead(Raw);
  const size_t first = text.find('/');
  if (first == std::string::npos || text.size() > 255 || text.back() != '/' || first + 1 >= text.size() ||
      text.find('/', first + 1) != text.size() - 1) {
    if (Why) *Why = "malformed line";
    return false;
  }
  const std::string head = text.substr(0, first);
  const std::string items = text.substr(first + 1, text.size() - first - 2);
  if (head == "009S00") {
    if (items != "1" && items != "2" && items != "3") {
      if (Why) *Why = "numbering plan is 1, 2 or 3";
      return false;
    }
    ResetNumbers(items[0] - '0');
    return true;
  }
  size_t p = 0, k = 0;
  if (!TPbxCatalogue::Get().FindHead(head, p, k)) {
    if (Why) *Why = "unknown program " + head;
    return false;
  }
  const TPbxProgram& prog = TPbxCatalogue::Get().Programs()[p];
  if (prog.Check == TItemCheck::Numbering) return StoreNumber(k, items, Why, CheckTaken);
  if (!TPbxCatalogue::ValidItems(prog, items, Why)) return false;
  fText[p][k] = text;
  return true;
}

bool TSimPbx::StoreNumber(size_t Key, const std::string& Items, std::string* Why, bool CheckTaken) {
  int lo = 0, hi = 0, digits = 0;
  PlanRange(fPlan, lo, hi, digits);
  int value = 0;
  if (int(Items.size()) != digits || Items.find_first_not_of("0123456789") != std::string::npos ||
      !TryStrToInt(Items, value) || value < lo || value > hi) {
    if (Why) *Why = Format("numbering plan %d takes %d to %d", fPlan, lo, hi);
    return false;
  }
  const int p = TPbxCatalogue::Get().FindCode("009S");
  auto& lines = fText[size_t(p)];
  if (CheckTaken) {
    for (size_t k = 0; k < lines.size(); ++k)
      if (k != Key && ExtractWord(ExtractWord(lines[k], "/", 2), ",", 1) == Items) {
        if (Why) *Why = Format("number %s is held by port %d", Items.c_str(), int(k) + 1);
        return false;
      }
  }
  lines[Key] = Format("009S%.2d/%s/", int(Key) + 1, Items.c_str());
  return true;
}

// ---- direct access and state file ----

std::string TSimPbx::Line(const std::string& Head) const {
  const std::string head = UpperHead(Head);
  if (head == "009S00") return Format("009S00/%d/", fPlan);
  size_t p = 0, k = 0;
  if (!TPbxCatalogue::Get().FindHead(head, p, k)) return std::string();
  return fText[p][k];
}

bool TSimPbx::SetLine(const std::string& Text) { return StoreLine(TrimBlanks(Text), nullptr); }

std::vector<std::string> TSimPbx::AllLines() const {
  std::vector<std::string> all;
  const auto& progs = TPbxCatalogue::Get().Programs();
  for (size_t p = 0; p < progs.size(); ++p) {
    if (progs[p].Check == TItemCheck::Numbering) all.push_back(Format("009S00/%d/", fPlan));
    all.insert(all.end(), fText[p].begin(), fText[p].end());
  }
  return all;
}

std::string TSimPbx::Password() const { return ExtractWord(ExtractWord(Line("002S"), "/", 2), ",", 1); }

bool TSimPbx::SetPassword(const std::string& Pw) { return SetLine("002S/" + Pw + "/"); }

bool TSimPbx::LoadState(const std::string& File) {
  std::ifstream in(File, std::ios::binary | std::ios::ate);
  if (!in) return false;
  // A full listing is about 60 KB; anything far beyond that is no state file.
  if (in.tellg() > std::streamoff(4 << 20)) return false;
  in.seekg(0);
  ResetToFactory();
  bool ok = true;
  std::string line;
  std::vector<std::string> numbers;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    line = TrimBlanks(line);
    if (line.empty() || line[0] == '#') continue;
    // Numbers go in after everything else, all at once: a saved swap would collide with the
    // factory numbers one line at a time.
    if (UpperHead(line).compare(0, 4, "009S") == 0 && UpperHead(line).compare(0, 7, "009S00/") != 0) {
      numbers.push_back(line);
      continue;
    }
    if (!StoreLine(line, nullptr)) ok = false;
  }
  for (const std::string& n : numbers)
    if (!StoreLine(n, nullptr, false)) ok = false;
  const int p = TPbxCatalogue::Get().FindCode("009S");
  std::set<std::string> seen;
  for (const std::string& l : fText[size_t(p)])
    if (!seen.insert(ExtractWord(l, "/", 2)).second) {
      ResetNumbers(fPlan);  // duplicate numbers are no state a PBX can be in
      return false;
    }
  return ok;
}

bool TSimPbx::SaveState(const std::string& File) const {
  std::string text = "# kxta-sim state: one program line per line\n";
  for (const std::string& l : AllLines()) text += l + '\n';
  std::string error;
  return ReplaceFileContents(File, text, error);
}

// ---- clock (program 000S) ----

std::string TSimPbx::ClockText() const {
  const std::time_t t = Clock() + fClockOffset;
  std::tm tm{};
  localtime_r(&t, &tm);
  const int h = tm.tm_hour;
  const int h12 = h == 0 ? 12 : (h > 12 ? h - 12 : h);
  return Format("000S/%.2d%.2d%.2d%d,%.2d%.2d%d/", tm.tm_year % 100, tm.tm_mon + 1, tm.tm_mday, tm.tm_wday, h12,
                tm.tm_min, h >= 12 ? 1 : 0);
}

bool TSimPbx::SetClock(const std::string& Items) {
  const std::string date = ExtractWord(Items, ",", 1), time = ExtractWord(Items, ",", 2);
  if (WordCount(Items, ",") != 2 || date.size() != 7 || time.size() != 5 ||
      date.find_first_not_of("0123456789") != std::string::npos ||
      time.find_first_not_of("0123456789") != std::string::npos)
    return false;
  const int yy = LeadingInt(date.substr(0, 2)), mo = LeadingInt(date.substr(2, 2)),
            dd = LeadingInt(date.substr(4, 2)), wd = date[6] - '0';
  const int hh = LeadingInt(time.substr(0, 2)), mi = LeadingInt(time.substr(2, 2)), pm = time[4] - '0';
  if (mo < 1 || mo > 12 || dd < 1 || dd > 31 || wd > 6 || hh < 1 || hh > 12 || mi > 59 || pm > 1) return false;
  std::tm tm{};
  tm.tm_year = (yy < 30 ? 2000 + yy : 1900 + yy) - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = dd;
  tm.tm_hour = (hh == 12 ? 0 : hh) + (pm ? 12 : 0);
  tm.tm_min = mi;
  tm.tm_isdst = -1;
  std::tm check = tm;
  const std::time_t wanted = std::mktime(&check);
  if (wanted == std::time_t(-1) || check.tm_mday != dd || check.tm_mon != mo - 1) return false;  // 31 Feb
  fClockOffset = long(wanted - Clock());
  return true;
}
