// The CO line table: the 20 per-line program blocks of each of the six CO lines.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "CmdData.h"
#include "IntList.h"

class TStream;
class TCOarray;

class TCOdata {
 public:
  static constexpr int kBlockCount = 20;
  // Block order: read, upload, copy, comparison and data file.
  enum TBlock {
    e400C, e401C, e402C, e403C, e404C, e414C, e415C, e416C, e417C, e418C, e419C, e420C,
    e421C, e422C, e423C, e424C, e900C, e910C, e920C, e928C
  };
  static const std::array<const char*, kBlockCount> kCodes;

  TCOdata(int CO, TCOarray* Owner);
  TCOdata(const TCOdata&) = delete;
  TCOdata& operator=(const TCOdata&) = delete;

  int CO() const { return fCO; }
  TCOarray* Owner() const { return fOwner; }

  TCmdData& Block(int Index) { return fBlocks.at(static_cast<size_t>(Index)); }
  const TCmdData& Block(int Index) const { return fBlocks.at(static_cast<size_t>(Index)); }
  // Block by program code ("403C"); raises Exception for an unknown code.
  TCmdData& BlockOf(const std::string& Code);
  const TCmdData& BlockOf(const std::string& Code) const;
  // The query that reads block Index of this line the first time ("400C3//").
  std::string BlockQuery(int Index) const;

  void Clear();
  bool Read();
  bool UploadAll();
  bool UploadChanged();
  bool HasActualData() const;
  int ChangedCount() const;
  void Assign(const TCOdata& Src);
  void AssignKnown(const TCOdata& Src);
  void MarkDifferences(const TCOdata& Other);
  void SetNumber(int N);
  void SetMultiEdit(bool B);
  bool LoadFromStream(TStream& Stream);
  bool SaveToStream(TStream& Stream) const;

 private:
  int fCO;
  TCOarray* fOwner;
  std::array<TCmdData, kBlockCount> fBlocks;
};

class TCOarray {
 public:
  static constexpr int kLineCount = 6;
  static constexpr int kReadAllSteps = 360;
  static constexpr int kUploadAllSteps = 360;

  TCOarray();
  TCOarray(const TCOarray&) = delete;
  TCOarray& operator=(const TCOarray&) = delete;

  // CO line 1 to 6; raises Exception for any other number.
  TCOdata& Lines(int CO);
  const TCOdata& Lines(int CO) const;

  void Clear();
  // ShowProgress opens the progress window "Read" (reads) or "Save" (uploads).
  bool ReadAll(bool ShowProgress = false);
  bool UploadAll(bool ShowProgress);
  bool UploadChanged(bool ShowProgress = true);
  bool ReadLines(const TIntegerList& List, bool ShowProgress = true);
  bool UploadLines(const TIntegerList& List, bool ShowProgress = true);
  bool LinesHaveData(const TIntegerList& List) const;
  bool HasActualData() const;
  int ChangedCount() const;
  bool HasChanges() const { return ChangedCount() > 0; }
  void Assign(const TCOarray& Other);
  bool LoadFromStream(TStream& Stream);
  bool SaveToStream(TStream& Stream) const;

 private:
  std::array<std::unique_ptr<TCOdata>, kLineCount> fLines;
};
