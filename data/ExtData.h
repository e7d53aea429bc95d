// The extension table: per-jack program blocks of all 24 jacks, the extension numbers of
// program 009 and the 15 shared lists that carry one digit per jack.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "Cmd9S.h"
#include "CmdData.h"
#include "IntList.h"
#include "TableRecord.h"

class TStream;
class TExtensionArray;

class TExtensionData : public TTableRecord {
 public:
  static constexpr int kBlockCount = 22;
  // Block order: upload, copy, comparison and data file.
  enum TBlock {
    e600E, e601E, e602E, e603E, e604E, e605E, e606E, e607E, e608E, e609E, e610E, e611E,
    e612E, e613E, e614E, e615E, e617E, e620E, e389E, e904E, e925E, eBM01
  };
  // The program code of each block ("600E" .. "925E", "BM01").
  static const std::array<const char*, kBlockCount> kCodes;

  TExtensionData(int Jack, TExtensionArray* Owner);

  int Jack() const { return Number(); }
  TExtensionArray* Owner() const { return fOwner; }

  TCmdData& Block(int Index) { return fBlocks.at(static_cast<size_t>(Index)); }
  const TCmdData& Block(int Index) const { return fBlocks.at(static_cast<size_t>(Index)); }
  // Block by program code ("604E", "BM01"); raises Exception for an unknown code.
  TCmdData& BlockOf(const std::string& Code);
  const TCmdData& BlockOf(const std::string& Code) const;
  // The query that reads block Index of this jack the first time ("604E05//", "P05BM01//").
  std::string BlockQuery(int Index) const;
  std::string BCQuery() const;
  std::string BFQuery() const;

  bool Read() override;
  void Assign(const TExtensionData& Src) { AssignRecord(Src); }
  void Paste(const TExtensionData& Src) { PasteRecord(Src); }
  void AssignKnown(const TExtensionData& Src) { AssignKnownRecord(Src); }
  void SetJack(int N) { SetNumber(N); }
  void CheckNumber(int N) const override;

  // CO button lines and programmable button lines of the jack.
  TCmdList BC;
  TCmdList BF;

 private:
  TExtensionArray* fOwner;
  std::array<TCmdData, kBlockCount> fBlocks;
};

class TExtensionArray : public TRecordTable<TExtensionData, 24> {
 public:
  static constexpr int kJackCount = 24;
  static constexpr int kSharedListCount = 15;
  // Progress maxima of the operations that show the progress window.
  static constexpr int kReadAllSteps = 2400;
  static constexpr int kUploadAllSteps = 10656;

  TExtensionArray();

  // Jack 1 to 24; raises Exception for any other number.
  TExtensionData& Jacks(int Jack) { return Record(Jack); }
  const TExtensionData& Jacks(int Jack) const { return Record(Jack); }
  // Shared list 0 to 14 in the order 700P .. 705P, 405C .. 413C.
  TCmdList& SharedList(int Index);
  const TCmdList& SharedList(int Index) const;
  static const char* SharedListCode(int Index);  // "700P" .. "413C"

  void Clear();
  // ShowProgress opens the progress window "Read" (reads) or "Save" (uploads).
  bool ReadAll(bool ShowProgress = false);
  bool UploadAll(bool ShowProgress);
  bool UploadChanged(bool ShowProgress = true);
  bool ReadJacks(const TIntegerList& List, bool ShowProgress = true);
  bool UploadJacks(const TIntegerList& List, bool ShowProgress = true);
  bool JacksHaveData(const TIntegerList& List) const;
  // Every jack, the numbers and the shared lists hold actual data.
  bool HasActualData() const;
  int ChangedCount() const;
  // The jacks' pending blocks and lines, the numbers' and the shared lists' pending lines, one
  // each (the plan block goes with the system parameters).
  int PendingCount() const;
  bool HasChanges() const { return ChangedCount() > 0; }
  // Numbers and names only: program 009 and every jack's 604E, progress "Read Extensions".
  bool ReadNumbers(bool ShowProgress = true);
  bool NumbersHaveData() const;
  void Assign(const TExtensionArray& Other);
  void CopyJackColumn(int SrcJack, int DstJack);
  bool LoadFromStream(TStream& Stream);
  bool SaveToStream(TStream& Stream) const;

  // The digit of Jack in a shared line; -1 when the line is too short to carry jack digits.
  static int JackDigit(const TCmdData& Line, int Jack);
  // Some line of the shared lists waits for its upload with another digit for Jack than the
  // PBX holds. A line whose PBX text is not known (loaded from a file) tells nothing.
  bool SharedDigitPending(int Jack) const;
  // Writes Value (0 to 9) as Jack's digit; a line too short to carry digits is left alone,
  // and a negative value leaves the digit as it is.
  static void SetJackDigit(TCmdData& Line, int Jack, int Value);
  // Shortest line that carries the 24 jack digits.
  static constexpr size_t kMinDigitLine = 36;

  TCmd009S Cmd009;
  TCmdList List700P, List701P, List702P;  // door phone ringing, day / night / lunch
  TCmdList List703P, List704P, List705P;  // door opener use, day / night / lunch
  TCmdList List405C, List406C, List407C;  // outgoing CO access, day / night / lunch
  TCmdList List408C, List409C, List410C;  // incoming ringing, day / night / lunch
  TCmdList List411C, List412C, List413C;  // incoming ring delay, day / night / lunch

 private:
  bool SharedListsHaveData(int From, int To) const;
  bool ReadSharedLists(int From, int To);
  bool WriteSharedLists(bool ChangedOnly);
};
