// Program blocks (one PBX programming line with numbered items and change tracking) and block
// lists (all the lines one whole-program query returns). Every PBX value the program knows
// lives in one of these.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Text.h"

class TStream;
class TCmdData;

// A block's read time after it was loaded from a data file: actual for ever.
constexpr double kLoadedFromFile = 999999.0;
// Longest block text taken from a PBX line.
constexpr size_t kMaxBlockText = 255;
// Characters no item text may hold: they separate items, end the items or end the line. (No
// item holds any byte that is no printable ASCII either.)
constexpr const char* kItemBreakers = ",/\r\n";

// How one line written to the PBX ended.
enum class TWriteOutcome {
  Confirmed,  // the PBX answered with the line as sent: it holds it
  Differs,    // the PBX answered with another line: it holds Answer, not what was sent
  NoAnswer,   // refused, unanswered or answered with a damaged line: not confirmed
  NotSent,    // never went out (the line was lost before it, or the gate kept it back)
};

struct TBlockWrite {
  std::string Sent;    // the line sent (or meant to be sent)
  std::string Answer;  // the PBX's line for Confirmed and Differs; empty otherwise
  TWriteOutcome Outcome = TWriteOutcome::NotSent;
  bool Taken() const { return Outcome == TWriteOutcome::Confirmed; }
};

// Told of every line written to the PBX, as the write ends. One observer at a time.
using TBlockWriteObserver = std::function<void(const TBlockWrite& Write)>;
void SetBlockWriteObserver(TBlockWriteObserver Observer);

// Asked before a block's line goes out (its text is the line); false keeps it off the line (the
// write then fails as not sent). The gate may throw to end the operation, and may read from the
// PBX itself. One gate at a time.
using TBlockWriteGate = std::function<bool(const TCmdData& Block)>;
void SetBlockWriteGate(TBlockWriteGate Gate);

class TCmdData {
 public:
  TCmdData() = default;
  static std::unique_ptr<TCmdData> CreateCopy(const TCmdData& Src);

  // Text and flags.
  const std::string& Data() const { return fData; }
  // Takes Text and sets Changed when it differs from the current text.
  void SetData(const std::string& Text);
  // Takes Text as a block loaded from a data file (or its text) is taken: changed, marked as
  // loaded (kLoadedFromFile), no item undefined.
  void TakeLoaded(std::string Text);
  // Copies text, Changed, Undefined and ReadTime. AllowUndefined, PbxText and PbxTextTime stay
  // this block's own: what the PBX holds belongs to this block's line, and a text copied from
  // another line (another jack's, a multi-selection's combined record) says nothing about it.
  void Assign(const TCmdData& Src);
  void AssignIfDefined(const TCmdData& Src);
  void Clear();
  bool IsActual() const;
  void Stamp();
  std::string QueryText() const;
  bool AnyUndefined() const;
  // Changed and holding a text: an upload of the changes sends it. (A block loaded empty from
  // a data file is changed, yet nothing can be sent for it.)
  bool Pending() const { return Changed && !fData.empty(); }

  // Items 1 to 10 of the text between the first and the second "/".
  std::string ItemStr(int ItemNo) const;
  // Raises Exception, changing nothing, for a text that holds one of kItemBreakers or a byte
  // that is no printable ASCII.
  void SetItemStr(int ItemNo, const std::string& Text);
  int ItemInt(int ItemNo) const;
  void SetItemInt(int ItemNo, int Value);
  void SetItem2d(int ItemNo, int Value);
  int ItemIndex(int ItemNo) const;
  void SetItemIndex(int ItemNo, int Value);
  int CheckState() const;
  void SetCheckState(int State);
  // Bits 1 to 24 of the nine-character bit items 1 to 3 ("0101 1100").
  int Bit(int BitNo) const;
  void SetBit(int BitNo, int Value);
  void MarkDifferent(const TCmdData& Other, int ItemNo);
  void SetItemCount(int N);

  // PBX exchange in edit mode through the program's session.
  bool ReadPBX(const std::string& Query = std::string());
  bool WritePBX();

  // Stream record: 32-bit little-endian length, then the text. A record that claims more than
  // the stream holds, or whose text holds a line break, is refused and the block left as it was.
  bool LoadFromStream(TStream& Stream);
  bool SaveToStream(TStream& Stream) const;

  bool Changed = false;
  // The text the PBX was last known to hold for this line: what a read got or a write was
  // confirmed with, in this run of the program; empty when unknown (a line loaded from a file).
  // Only an exchange of this very block sets it; no copy carries it (Assign).
  std::string PbxText;
  // When PbxText was learned, on ReadTime's clock. ReadTime travels with a copied text, so it
  // cannot tell whether PbxText is of this connection; this can.
  double PbxTextTime = 0.0;
  // PbxText is known and was learned in the current connection.
  bool PbxTextActual() const;
  std::array<bool, 10> Undefined{};
  double ReadTime = 0.0;
  bool AllowUndefined = false;

 private:
  friend class TCmdList;
  void CheckItemNo(int ItemNo) const;
  void CheckBitNo(int BitNo) const;
  void WriteNumber(int ItemNo, int Value, bool TwoDigits);
  bool TakeReply(const TStringList& Lines, const std::string& Head, const char* NoDataMessage);

  std::string fData;
};

// The block text of one PBX data line: what follows its ";=>" marker, at most 255 characters.
std::string DataLineText(const std::string& Line);

// Whether the PBX's Answer to a write is the line Sent, as the PBX stores and prints a line it
// took: the head in any letter case, every item with blanks around it or none, an empty item as
// blanks or "^", blanks after the line. Anything else is another line: the PBX holds something
// other than what was sent.
bool AnswerConfirms(const std::string& Sent, const std::string& Answer);

class TCmdList {
 public:
  TCmdList() = default;
  TCmdList(const TCmdList&) = delete;
  TCmdList& operator=(const TCmdList&) = delete;
  virtual ~TCmdList() = default;

  TCmdData& Items(int Index) { return *fItems.at(static_cast<size_t>(Index)); }
  const TCmdData& Items(int Index) const { return *fItems.at(static_cast<size_t>(Index)); }
  int Count() const { return static_cast<int>(fItems.size()); }
  TCmdData& Add(std::unique_ptr<TCmdData> Block);
  TCmdData& Add();  // appends an empty block

  virtual void Clear();
  void Assign(const TCmdList& Other);
  void AssignDefined(const TCmdList& Other);
  bool IsActual(int MinCount) const;
  int ChangedCount() const;
  bool HasChanges() const { return ChangedCount() > 0; }
  // The lines that are Pending().
  int PendingCount() const;
  void FillEmptyItems(int ItemNo);
  void ParseReply(const TStringList& Lines);

  // A failed or damaged read keeps the lines, not actual.
  virtual bool ReadPBX(const std::string& Query);
  virtual bool WriteAll();
  virtual bool WriteChanged();

  bool LoadFromStream(TStream& Stream);
  bool SaveToStream(TStream& Stream) const;

 private:
  void MarkNotActual();
  std::vector<std::unique_ptr<TCmdData>> fItems;
};
