// Program 009: the extension number of every port, one line per jack, plus the numbering-plan
// line. The PBX refuses a number that another port still holds and resets every number when
// the plan changes, so uploading new numbers needs a reference copy of what the PBX holds, a
// plan change first when the new numbers need one, and temporary free numbers for ports that
// must give their number to another port.
#pragma once

#include <string>
#include <vector>

#include "CmdData.h"

class TStream;

class TCmd009S : public TCmdList {
 public:
  // The query that reads every line of program 009.
  static constexpr const char* kQuery = "009S*//";
  static constexpr int kPortCount = 24;

  TCmd009S() = default;

  // Reads the list, refreshes the reference copy and derives the plan block from the numbers.
  bool ReadPBX(const std::string& Query) override;
  bool WriteAll() override { return Upload(false); }
  bool WriteChanged() override { return Upload(true); }
  // Empties the list and the plan block; the reference copy stays.
  void Clear() override;

  using TCmdList::Assign;
  void Assign(const TCmd009S& Other);
  // The list record, then the plan block record (read only when the list was read).
  bool LoadFromStream(TStream& Stream);
  bool SaveToStream(TStream& Stream) const;

  // Changed lines plus one for a changed plan block.
  int ChangedCountAll() const;
  // Plan 3 for two-digit numbers, 2 for three-digit numbers reaching 200; plan 1 is never
  // detected.
  bool DetectPlan(int& Plan) const;
  // Jack (1-based) of the first line whose number is Number; -1 when none.
  int JackOfNumber(int Number) const;
  int JackOfNumber(const std::string& Number) const;
  // Number of Jack's line; empty when the list has no such line.
  std::string NumberOfJack(int Jack) const;
  // Largest number of List, 0 for an empty list.
  static int MaxNumber(const TCmdList& List);

  // The numbers of the plan range used by neither this list nor the reference copy, ascending.
  std::vector<std::string> BuildFreeNumbers() const;
  // Some port wants a number that another port holds in the PBX.
  bool HasConflict() const;
  // Sends the list (all lines, or the changed ones) the way the PBX accepts it: the plan line
  // first when the numbers need another plan, then every number in an order in which no port
  // is given a number that another port still holds.
  bool Upload(bool ChangedOnly);
  // The plan line Upload sends before the numbers (1 to 3), 0 when the PBX's plan takes them.
  int PlanToSend() const;

  // What keeps the wanted numbers from being sent, port by port (1-based): a port without a
  // number, a number no plan has (plan 3 takes two digits 10-49, plans 1 and 2 three digits
  // 100-499), a number of another plan than the first sound number's (port 1's, as a rule), a
  // later port wanting the number of an earlier one. Upload refuses at the first; the check
  // before an upload lists them all.
  struct TNumberIssue {
    enum TKind { NoNumber, NoPlan, OtherPlan, Same } Kind;
    int Port;            // the port the issue is about
    int Other;           // Same: the later port with the same number; OtherPlan: the port
                         // whose plan the others must share; else 0
    std::string Number;  // the port's number
  };
  std::vector<TNumberIssue> NumberIssues() const;

  // The lines as last read from the PBX.
  TCmdList PbxNumbers;
  // "009S00/%d/" with the plan number 1 to 3; empty when the plan is not known.
  TCmdData PlanBlock;

 private:
  bool UploadSteps(bool ChangedOnly);
  bool NumbersSendable() const;
  bool WriteInPbxOrder(bool ChangedOnly);
  void ForgetPbxNumbers();
};
