#include "PbxModel.h"

#include <cstdio>

#include "Errors.h"

namespace {

std::string TwoDigits(int N) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%.2d", N);
  return buf;
}

// "9999 9999,..." items of a shared line with one digit per jack.
std::string DigitLine(const std::string& Head, char Digit) {
  std::string item = std::string(4, Digit) + " " + std::string(4, Digit);
  return Head + "/" + item + "," + item + "," + item + "/";
}

}  // namespace

TPbxModel::TPbxModel() : fNumbers(24) {
  SetPlan(1);
  SetPbxComm(this);
}

TPbxModel::~TPbxModel() { SetPbxComm(nullptr); }

void TPbxModel::SetLine(const std::string& Line) { fLines[ExtractWord(Line, "/", 1)] = Line; }

void TPbxModel::SetList(const std::string& QueryHead, const std::vector<std::string>& Lines) {
  fLists[QueryHead] = Lines;
}

std::string TPbxModel::Line(const std::string& Head) const {
  auto it = fLines.find(Head);
  return it == fLines.end() ? std::string() : it->second;
}

const std::vector<std::string>& TPbxModel::List(const std::string& QueryHead) const {
  static const std::vector<std::string> none;
  auto it = fLists.find(QueryHead);
  return it == fLists.end() ? none : it->second;
}

void TPbxModel::SetPlan(int Plan) {
  fPlan = Plan;
  for (int p = 1; p <= 24; ++p)
    fNumbers[static_cast<size_t>(p - 1)] = std::to_string((Plan == 3 ? 10 : 100) + p);
}

std::string TPbxModel::Line009(int Port, const std::string& Number) {
  return "009S" + TwoDigits(Port) + "/" + Number + "/";
}

void TPbxModel::FillTables() {
  static const char* ext[] = {"600E", "601E", "602E", "603E", "604E", "605E", "606E", "607E",
                              "608E", "609E", "610E", "611E", "612E", "613E", "614E", "615E",
                              "617E", "620E", "389E", "904E", "925E"};
  for (int j = 1; j <= 24; ++j) {
    const std::string jj = TwoDigits(j);
    for (const char* code : ext) SetLine(std::string(code) + jj + "/0/");
    SetLine(std::string("604E") + jj + "/Stn " + jj + "    /");
    SetLine("P" + jj + "BM01/3,/");
    std::vector<std::string> bc, bf;
    for (int b = 1; b <= 3; ++b) bc.push_back("P" + jj + "BC" + TwoDigits(b) + "/4,1/");
    for (int b = 1; b <= 2; ++b) bf.push_back("P" + jj + "BF" + TwoDigits(b) + "/^/");
    SetList("P" + jj + "BC*", bc);
    SetList("P" + jj + "BF*", bf);
  }
  static const char* shared[] = {"700P", "701P", "702P", "703P", "704P", "705P", "405C", "406C",
                                 "407C", "408C", "409C", "410C", "411C", "412C", "413C"};
  for (int i = 0; i < 15; ++i) {
    std::vector<std::string> lines;
    const int n = i < 6 ? 4 : 6;
    for (int k = 1; k <= n; ++k) lines.push_back(DigitLine(shared[i] + std::to_string(k), '1'));
    SetList(std::string(shared[i]) + "*", lines);
  }
  static const char* co[] = {"400C", "401C", "402C", "403C", "404C", "414C", "415C",
                             "416C", "417C", "418C", "419C", "420C", "421C", "422C",
                             "423C", "424C", "900C", "910C", "920C", "928C"};
  for (int c = 1; c <= 6; ++c)
    for (const char* code : co) SetLine(std::string(code) + std::to_string(c) + "/1/");
  for (int d = 1; d <= 2; ++d) {
    const std::string n = std::to_string(d);
    SetLine("003D" + n + "/00/");
    SetLine("004D" + n + "/00/");
    std::vector<std::string> bd, bf;
    for (int b = 1; b <= 4; ++b) bd.push_back("D0" + n + "BD" + TwoDigits(b) + "/2,0" + n + "/");
    for (int b = 1; b <= 2; ++b) bf.push_back("D0" + n + "BF" + TwoDigits(b) + "/^/");
    SetList("D0" + n + "BD*", bd);
    SetList("D0" + n + "BF*", bf);
  }
}

bool TPbxModel::Query(const std::string& Head, std::vector<std::string>& Data) {
  if (Head == "009S*") {
    for (int p = 1; p <= 24; ++p) Data.push_back(Line009(p, Number(p)));
    return true;
  }
  if (!Head.empty() && Head.back() == '*') {
    auto it = fLists.find(Head);
    if (it == fLists.end()) return false;
    Data = it->second;
    return true;
  }
  if (Head.size() == 6 && Head.compare(0, 4, "009S") == 0 && Head != "009S00") {
    const int port = LeadingInt(Head.substr(4));
    if (port < 1 || port > 24) return false;
    Data.push_back(Line009(port, Number(port)));
    return true;
  }
  auto it = fLines.find(Head);
  if (it == fLines.end()) {
    // A line of a list can be read on its own as well.
    for (const auto& [q, lines] : fLists)
      for (const auto& l : lines)
        if (ExtractWord(l, "/", 1) == Head) {
          Data.push_back(l);
          return true;
        }
    return false;
  }
  Data.push_back(it->second);
  return true;
}

bool TPbxModel::Write009(const std::string& Cmd, std::string& Answer) {
  const std::string head = ExtractWord(Cmd, "/", 1);
  const std::string number = ExtractWord(ExtractWord(Cmd, "/", 2), ",", 1);
  if (head == "009S00") {
    const int plan = LeadingInt(number);
    if (plan < 1 || plan > 3) return false;
    SetPlan(plan);
    Answer = "009S00/" + std::to_string(plan) + "/";
    return true;
  }
  const int port = LeadingInt(head.substr(4));
  const int n = LeadingInt(number);
  const bool twoDigits = number.size() == 2;
  bool inRange;
  switch (fPlan) {
    case 3: inRange = twoDigits && n >= 10 && n <= 49; break;
    case 2: inRange = number.size() == 3 && n >= 100 && n <= 499; break;
    default: inRange = number.size() == 3 && n >= 100 && n <= 199; break;
  }
  if (port < 1 || port > 24 || !inRange) {
    Refusals.push_back(Cmd);
    return false;
  }
  for (int p = 1; p <= 24; ++p)
    if (p != port && Number(p) == number) {
      Refusals.push_back(Cmd);
      return false;
    }
  SetNumber(port, number);
  Answer = Line009(port, number);
  return true;
}

bool TPbxModel::Write(const std::string& Cmd, std::string& Answer) {
  const std::string head = ExtractWord(Cmd, "/", 1);
  if (head.size() == 6 && head.compare(0, 4, "009S") == 0) return Write009(Cmd, Answer);
  for (auto& [q, lines] : fLists)
    for (auto& l : lines)
      if (ExtractWord(l, "/", 1) == head) {
        l = Cmd;
        Answer = Cmd;
        return true;
      }
  auto it = fLines.find(head);
  if (it == fLines.end()) return false;
  it->second = Cmd;
  Answer = Cmd;
  return true;
}

bool TPbxModel::SendCommand(const std::string& Cmd, TStringList& Lines, const std::string&) {
  if (fAbortRequested || (AbortAfter >= 0 && static_cast<int>(Sent.size()) >= AbortAfter)) {
    fAbortRequested = false;
    throw EAbortOperation();
  }
  Lines.clear();
  if (OnCommand) OnCommand(Cmd);
  Sent.push_back(Cmd);
  Lines.push_back(Cmd);
  if (Refused.count(Cmd)) {
    Lines.push_back("Command error");
    return false;
  }
  if (NoData.count(Cmd)) {
    Lines.push_back(";E>");
    return true;
  }
  std::vector<std::string> data;
  if (Cmd.size() > 2 && Cmd.compare(Cmd.size() - 2, 2, "//") == 0) {
    if (!Query(Cmd.substr(0, Cmd.size() - 2), data)) {
      Lines.push_back("Command error");
      return false;
    }
  } else {
    std::string answer;
    if (!Write(Cmd, answer)) {
      Lines.push_back("Command error");
      return false;
    }
    data.push_back(answer);
  }
  for (const auto& d : data) Lines.push_back(";=>" + d);
  Lines.push_back(";E>");
  return true;
}
