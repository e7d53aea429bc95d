// A small PBX for table tests: it holds program lines, answers queries from them, stores
// written lines and echoes them back as it holds them. Program 009 behaves as on the real
// exchange: a number that another port holds is refused, a number outside the plan's range
// is refused, and writing the plan line resets every number to the plan's default.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "Session.h"

class TPbxModel : public TPbxSession {
 public:
  TPbxModel();  // installs itself as the program's session; plan 1, ports 101 .. 124
  ~TPbxModel() override;

  bool SendCommand(const std::string& Cmd, TStringList& Lines, const std::string& Prompt) override;
  double ConnectTime() const override { return fConnectTime; }
  void SetConnectTime(double T) { fConnectTime = T; }

  // A single program line ("604E05/Name/"), stored under its head ("604E05").
  void SetLine(const std::string& Line);
  // The lines answering a whole-list query ("P05BC*//" -> query head "P05BC*").
  void SetList(const std::string& QueryHead, const std::vector<std::string>& Lines);
  std::string Line(const std::string& Head) const;
  const std::vector<std::string>& List(const std::string& QueryHead) const;

  // Program 009.
  void SetPlan(int Plan);  // resets every port to the plan's default
  int Plan() const { return fPlan; }
  void SetNumber(int Port, const std::string& Number) { fNumbers.at(Port - 1) = Number; }
  const std::string& Number(int Port) const { return fNumbers.at(Port - 1); }
  static std::string Line009(int Port, const std::string& Number);

  // Fills everything the extension, CO line and DSS console tables read.
  void FillTables();

  std::vector<std::string> Sent;
  std::set<std::string> Refused;    // commands answered "Command error"
  std::set<std::string> NoData;     // commands answered by the prompt alone
  int AbortAfter = -1;              // raise EAbortOperation when that many commands were sent
  std::vector<std::string> Refusals;  // 009 writes refused by the numbering rules

 private:
  bool Query(const std::string& Head, std::vector<std::string>& Data);
  bool Write(const std::string& Cmd, std::string& Answer);
  bool Write009(const std::string& Cmd, std::string& Answer);

  double fConnectTime = 0.0;
  int fPlan = 1;
  std::vector<std::string> fNumbers;
  std::map<std::string, std::string> fLines;
  std::map<std::string, std::vector<std::string>> fLists;
};
