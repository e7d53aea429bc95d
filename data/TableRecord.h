// What the three tables (extensions, CO lines, DSS consoles) share, written once: a record is a
// numbered set of member blocks and block lists, and multi-selection editing (the combined
// record, the differing items marked, only the known items taken back, renumbering), uploads,
// counts and stream records are the same walk over its members; a table is a fixed number of
// such records, read and uploaded whole or for a selection.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "CmdData.h"
#include "IntList.h"

class TStream;

class TTableRecord {
 public:
  explicit TTableRecord(int Number) : fNumber(Number) {}
  TTableRecord(const TTableRecord&) = delete;
  TTableRecord& operator=(const TTableRecord&) = delete;
  virtual ~TTableRecord() = default;

  int Number() const { return fNumber; }

  // Reads the record's programs from the PBX; each table knows its queries and their order.
  virtual bool Read() = 0;

  void Clear();
  // Blocks and lists in member order; every exchange is tried, the result is the AND.
  bool UploadAll();
  bool UploadChanged();
  // Every member block actual, every member list at least one line, all actual.
  bool HasActualData() const;
  int ChangedCount() const;
  // Member blocks and lines that are Pending() (changed, with a text).
  int PendingCount() const;
  // Src is a record of the same table (the same members in the same order).
  void AssignRecord(const TTableRecord& Src);
  // A paste of Src's settings onto this record, an edit of it: each member takes Src's text
  // with this record's number in it. A member whose text that leaves as it was is no edit and
  // keeps its flags; one that changes (a list whose lines change, a list of another length)
  // is changed, to be uploaded, whatever Src's flags say.
  void PasteRecord(const TTableRecord& Src);
  // Only the members that Src holds without undefined items (the combined record of a
  // multi-selection gives back what the user decided, nothing else).
  void AssignKnownRecord(const TTableRecord& Src);
  // Marks undefined the items in which this record and Other differ.
  void MarkDifferences(const TTableRecord& Other);
  // Writes the number into every member's text, where the member holds it, and keeps it.
  void SetNumber(int N);
  void SetMultiEdit(bool B);
  bool LoadFromStream(TStream& Stream);
  bool SaveToStream(TStream& Stream) const;
  // Raises Exception for a number the table does not have.
  virtual void CheckNumber(int N) const = 0;

 protected:
  // Members, in file order. NumberAt and NumberWidth: where the record number stands in the
  // text (0-based) and how many digits it takes ("%.2d" for two); MarkItems: how many items
  // of each line a multi-selection compares.
  void AddBlock(TCmdData& Block, size_t NumberAt, size_t NumberWidth);
  void AddList(TCmdList& List, int MarkItems, size_t NumberAt, size_t NumberWidth);

 private:
  struct TMember {
    TCmdData* Block = nullptr;
    TCmdList* List = nullptr;
    int MarkItems = 1;
    size_t NumberAt = 0, NumberWidth = 0;
  };
  std::vector<TMember> fMembers;
  int fNumber;
};

// A table of Count records numbered from 1. Steps: the progress window's maxima of the whole
// table's read and upload and, per record, of a selection's.
template <class TRecord, int Count>
class TRecordTable {
 public:
  static constexpr int kRecordCount = Count;
  struct TSteps {
    int ReadAll, UploadAll, ReadRecord, UploadRecord;
  };

  TRecordTable(const TRecordTable&) = delete;
  TRecordTable& operator=(const TRecordTable&) = delete;

  // The whole table. ShowProgress opens the progress window "Read" (reads) or "Save" (uploads).
  void Clear() { ClearRecords(); }
  bool ReadAll(bool ShowProgress = false) { return ReadRecords(ShowProgress); }
  bool UploadAll(bool ShowProgress) { return UploadRecords(false, ShowProgress); }
  bool UploadChanged(bool ShowProgress = true) { return UploadRecords(true, ShowProgress); }
  bool HasActualData() const { return RecordsHaveData(); }
  int ChangedCount() const { return RecordsChangedCount(); }
  bool HasChanges() const { return ChangedCount() > 0; }
  // Blocks and list lines waiting for their upload, one each (the pending-changes count).
  int PendingCount() const { return RecordsPendingCount(); }
  void Assign(const TRecordTable& Other) { AssignRecords(Other); }
  bool LoadFromStream(TStream& Stream) { return LoadRecords(Stream); }
  bool SaveToStream(TStream& Stream) const { return SaveRecords(Stream); }

 protected:
  template <class TOwner>
  TRecordTable(TOwner* Owner, TSteps Steps) : fSteps(Steps) {
    for (int n = 1; n <= Count; ++n)
      fRecords[static_cast<size_t>(n - 1)] = std::make_unique<TRecord>(n, Owner);
  }

  TRecord& Record(int N) {
    fRecords[0]->CheckNumber(N);
    return *fRecords[static_cast<size_t>(N - 1)];
  }
  const TRecord& Record(int N) const {
    fRecords[0]->CheckNumber(N);
    return *fRecords[static_cast<size_t>(N - 1)];
  }

  void ClearRecords() {
    for (auto& r : fRecords) r->Clear();
  }
  bool ReadRecords(bool ShowProgress);
  bool UploadRecords(bool ChangedOnly, bool ShowProgress);
  bool ReadSelection(const TIntegerList& List, bool ShowProgress);
  bool UploadSelection(const TIntegerList& List, bool ShowProgress);
  bool SelectionHasData(const TIntegerList& List) const {
    if (List.Count() == 0) return false;
    for (int n : List.Values())
      if (n < 1 || n > Count || !Record(n).HasActualData()) return false;
    return true;
  }
  bool RecordsHaveData() const {
    for (const auto& r : fRecords)
      if (!r->HasActualData()) return false;
    return true;
  }
  int RecordsChangedCount() const {
    int n = 0;
    for (const auto& r : fRecords) n += r->ChangedCount();
    return n;
  }
  int RecordsPendingCount() const {
    int n = 0;
    for (const auto& r : fRecords) n += r->PendingCount();
    return n;
  }
  void AssignRecords(const TRecordTable& Other) {
    if (&Other == this) return;
    for (int n = 1; n <= Count; ++n) Record(n).Assign(Other.Record(n));
  }
  bool LoadRecords(TStream& Stream) {
    for (auto& r : fRecords)
      if (!r->LoadFromStream(Stream)) return false;
    return true;
  }
  bool SaveRecords(TStream& Stream) const {
    for (const auto& r : fRecords)
      if (!r->SaveToStream(Stream)) return false;
    return true;
  }

  TSteps fSteps;
  std::array<std::unique_ptr<TRecord>, Count> fRecords;
};

// The small progress window of a table routine run on its own (Exchange.h).
#include "Exchange.h"

template <class TRecord, int Count>
bool TRecordTable<TRecord, Count>::ReadRecords(bool ShowProgress) {
  TProgressScope progress(ShowProgress, "Read", fSteps.ReadAll);
  bool ok = true;
  for (auto& r : fRecords)
    if (!r->Read()) ok = false;
  return ok;
}

template <class TRecord, int Count>
bool TRecordTable<TRecord, Count>::UploadRecords(bool ChangedOnly, bool ShowProgress) {
  // Changes: the echo, the answer and the prompt of each, and one step to spare.
  TProgressScope progress(ShowProgress, "Save",
                          ChangedOnly ? 4 * RecordsChangedCount() : fSteps.UploadAll);
  bool ok = true;
  for (auto& r : fRecords)
    if (!(ChangedOnly ? r->UploadChanged() : r->UploadAll())) ok = false;
  return ok;
}

template <class TRecord, int Count>
bool TRecordTable<TRecord, Count>::ReadSelection(const TIntegerList& List, bool ShowProgress) {
  for (int n : List.Values()) fRecords[0]->CheckNumber(n);
  TProgressScope progress(ShowProgress, "Read", fSteps.ReadRecord * List.Count());
  bool ok = true;
  for (int n : List.Values())
    if (!Record(n).Read()) ok = false;
  return ok;
}

template <class TRecord, int Count>
bool TRecordTable<TRecord, Count>::UploadSelection(const TIntegerList& List, bool ShowProgress) {
  for (int n : List.Values()) fRecords[0]->CheckNumber(n);
  TProgressScope progress(ShowProgress, "Save", fSteps.UploadRecord * List.Count());
  bool ok = true;
  for (int n : List.Values())
    if (!Record(n).UploadAll()) ok = false;
  return ok;
}
