// The DSS console table: port and paired extension of both consoles and their button lists.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "CmdData.h"
#include "IntList.h"

class TStream;
class TDSSarray;

class TDSSdata {
 public:
  TDSSdata(int DSS, TDSSarray* Owner);
  TDSSdata(const TDSSdata&) = delete;
  TDSSdata& operator=(const TDSSdata&) = delete;

  int DSS() const { return fDSS; }
  TDSSarray* Owner() const { return fOwner; }

  // Queries for the first read ("003D1//", "004D1//", "D01BD*//", "D01BF*//").
  std::string Query003D() const;
  std::string Query004D() const;
  std::string QueryBD() const;
  std::string QueryBF() const;

  void Clear();
  bool Read();
  bool UploadAll();
  bool UploadChanged();
  bool HasActualData() const;
  int ChangedCount() const;
  void Assign(const TDSSdata& Src);
  void AssignKnown(const TDSSdata& Src);
  void MarkDifferences(const TDSSdata& Other);
  void SetNumber(int N);
  void SetMultiEdit(bool B);
  bool LoadFromStream(TStream& Stream);
  bool SaveToStream(TStream& Stream) const;

  TCmdData Cmd003D;  // jack of the console port, "%.2d", 00 = none
  TCmdData Cmd004D;  // jack of the paired extension, "%.2d", 00 = none
  TCmdList BD;       // DSS buttons
  TCmdList BF;       // PF buttons

 private:
  int fDSS;
  TDSSarray* fOwner;
};

class TDSSarray {
 public:
  static constexpr int kConsoleCount = 2;
  static constexpr int kReadAllSteps = 116;
  static constexpr int kUploadAllSteps = 120;

  TDSSarray();
  TDSSarray(const TDSSarray&) = delete;
  TDSSarray& operator=(const TDSSarray&) = delete;

  // Console 1 or 2; raises Exception for any other number.
  TDSSdata& Consoles(int DSS);
  const TDSSdata& Consoles(int DSS) const;

  void Clear();
  // ShowProgress opens the progress window "Read" (reads) or "Save" (uploads).
  bool ReadAll(bool ShowProgress = false);
  bool UploadAll(bool ShowProgress);
  bool UploadChanged(bool ShowProgress = true);
  bool ReadConsoles(const TIntegerList& List, bool ShowProgress = true);
  bool UploadConsoles(const TIntegerList& List, bool ShowProgress = true);
  bool ConsolesHaveData(const TIntegerList& List) const;
  bool HasActualData() const;
  int ChangedCount() const;
  bool HasChanges() const { return ChangedCount() > 0; }
  void Assign(const TDSSarray& Other);
  bool LoadFromStream(TStream& Stream);
  bool SaveToStream(TStream& Stream) const;

 private:
  std::array<std::unique_ptr<TDSSdata>, kConsoleCount> fConsoles;
};
