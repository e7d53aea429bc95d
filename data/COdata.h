// The CO line table: the 20 per-line program blocks of each of the six CO lines.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "CmdData.h"
#include "IntList.h"
#include "TableRecord.h"

class TStream;
class TCOarray;

class TCOdata : public TTableRecord {
 public:
  static constexpr int kBlockCount = 20;
  // Block order: read, upload, copy, comparison and data file.
  enum TBlock {
    e400C, e401C, e402C, e403C, e404C, e414C, e415C, e416C, e417C, e418C, e419C, e420C,
    e421C, e422C, e423C, e424C, e900C, e910C, e920C, e928C
  };
  static const std::array<const char*, kBlockCount> kCodes;

  TCOdata(int CO, TCOarray* Owner);

  int CO() const { return Number(); }
  TCOarray* Owner() const { return fOwner; }

  TCmdData& Block(int Index) { return fBlocks.at(static_cast<size_t>(Index)); }
  const TCmdData& Block(int Index) const { return fBlocks.at(static_cast<size_t>(Index)); }
  // Block by program code ("403C"); raises Exception for an unknown code.
  TCmdData& BlockOf(const std::string& Code);
  const TCmdData& BlockOf(const std::string& Code) const;
  // The query that reads block Index of this line the first time ("400C3//").
  std::string BlockQuery(int Index) const;

  bool Read() override;
  void Assign(const TCOdata& Src) { AssignRecord(Src); }
  void Paste(const TCOdata& Src) { PasteRecord(Src); }
  void AssignKnown(const TCOdata& Src) { AssignKnownRecord(Src); }
  void CheckNumber(int N) const override;

 private:
  TCOarray* fOwner;
  std::array<TCmdData, kBlockCount> fBlocks;
};

class TCOarray : public TRecordTable<TCOdata, 6> {
 public:
  static constexpr int kLineCount = 6;
  static constexpr int kReadAllSteps = 360;
  static constexpr int kUploadAllSteps = 360;

  TCOarray();

  // CO line 1 to 6; raises Exception for any other number.
  TCOdata& Lines(int CO) { return Record(CO); }
  const TCOdata& Lines(int CO) const { return Record(CO); }

  bool ReadLines(const TIntegerList& List, bool ShowProgress = true) {
    return ReadSelection(List, ShowProgress);
  }
  bool UploadLines(const TIntegerList& List, bool ShowProgress = true) {
    return UploadSelection(List, ShowProgress);
  }
  bool LinesHaveData(const TIntegerList& List) const { return SelectionHasData(List); }
};
