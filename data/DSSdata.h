// The DSS console table: port and paired extension of both consoles and their button lists.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "CmdData.h"
#include "IntList.h"
#include "TableRecord.h"

class TStream;
class TDSSarray;

class TDSSdata : public TTableRecord {
 public:
  TDSSdata(int DSS, TDSSarray* Owner);

  int DSS() const { return Number(); }
  TDSSarray* Owner() const { return fOwner; }

  // Queries for the first read ("003D1//", "004D1//", "D01BD*//", "D01BF*//").
  std::string Query003D() const;
  std::string Query004D() const;
  std::string QueryBD() const;
  std::string QueryBF() const;

  bool Read() override;
  void Assign(const TDSSdata& Src) { AssignRecord(Src); }
  void Paste(const TDSSdata& Src) { PasteRecord(Src); }
  void AssignKnown(const TDSSdata& Src) { AssignKnownRecord(Src); }
  void CheckNumber(int N) const override;

  TCmdData Cmd003D;  // jack of the console port, "%.2d", 00 = none
  TCmdData Cmd004D;  // jack of the paired extension, "%.2d", 00 = none
  TCmdList BD;       // DSS buttons
  TCmdList BF;       // PF buttons

 private:
  TDSSarray* fOwner;
};

class TDSSarray : public TRecordTable<TDSSdata, 2> {
 public:
  static constexpr int kConsoleCount = 2;
  static constexpr int kReadAllSteps = 116;
  static constexpr int kUploadAllSteps = 120;

  TDSSarray();

  // Console 1 or 2; raises Exception for any other number.
  TDSSdata& Consoles(int DSS) { return Record(DSS); }
  const TDSSdata& Consoles(int DSS) const { return Record(DSS); }

  bool ReadConsoles(const TIntegerList& List, bool ShowProgress = true) {
    return ReadSelection(List, ShowProgress);
  }
  bool UploadConsoles(const TIntegerList& List, bool ShowProgress = true) {
    return UploadSelection(List, ShowProgress);
  }
  bool ConsolesHaveData(const TIntegerList& List) const { return SelectionHasData(List); }
};
