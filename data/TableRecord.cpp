// The walk over a table record's members that multi-selection editing, uploads, counts and
// stream records share.
#include "TableRecord.h"

#include <cstdio>

#include "Stream.h"
#include "TableUtil.h"

using namespace table_util;

void TTableRecord::AddBlock(TCmdData& Block, size_t NumberAt, size_t NumberWidth) {
  fMembers.push_back({&Block, nullptr, 1, NumberAt, NumberWidth});
}

void TTableRecord::AddList(TCmdList& List, int MarkItems, size_t NumberAt, size_t NumberWidth) {
  fMembers.push_back({nullptr, &List, MarkItems, NumberAt, NumberWidth});
}

void TTableRecord::Clear() {
  for (const TMember& m : fMembers) {
    if (m.Block) m.Block->Clear();
    if (m.List) m.List->Clear();
  }
}

bool TTableRecord::UploadAll() {
  bool ok = true;
  for (const TMember& m : fMembers)
    if (!(m.Block ? WriteBlock(*m.Block, false) : WriteLines(*m.List, false))) ok = false;
  return ok;
}

bool TTableRecord::UploadChanged() {
  bool ok = true;
  for (const TMember& m : fMembers)
    if (!(m.Block ? WriteBlock(*m.Block, true) : WriteLines(*m.List, true))) ok = false;
  return ok;
}

bool TTableRecord::HasActualData() const {
  for (const TMember& m : fMembers)
    if (!(m.Block ? m.Block->IsActual() : m.List->IsActual(1))) return false;
  return true;
}

int TTableRecord::ChangedCount() const {
  int n = 0;
  for (const TMember& m : fMembers) n += m.Block ? (m.Block->Changed ? 1 : 0) : m.List->ChangedCount();
  return n;
}

int TTableRecord::PendingCount() const {
  int n = 0;
  for (const TMember& m : fMembers) n += m.Block ? (m.Block->Pending() ? 1 : 0) : m.List->PendingCount();
  return n;
}

void TTableRecord::AssignRecord(const TTableRecord& Src) {
  if (&Src == this) return;
  fNumber = Src.fNumber;
  for (size_t i = 0; i < fMembers.size() && i < Src.fMembers.size(); ++i) {
    const TMember& m = fMembers[i];
    if (m.Block) m.Block->Assign(*Src.fMembers[i].Block);
    if (m.List) m.List->Assign(*Src.fMembers[i].List);
  }
}

void TTableRecord::PasteRecord(const TTableRecord& Src) {
  if (&Src == this) return;
  for (size_t i = 0; i < fMembers.size() && i < Src.fMembers.size(); ++i) {
    const TMember& m = fMembers[i];
    char digits[16];
    std::snprintf(digits, sizeof digits, "%.*d", static_cast<int>(m.NumberWidth), fNumber);
    if (m.Block) {
      TCmdData pasted;
      pasted.Assign(*Src.fMembers[i].Block);
      PutText(pasted, m.NumberAt, digits);
      if (pasted.Data() == m.Block->Data()) continue;
      m.Block->Assign(pasted);
      m.Block->Changed = true;
    }
    if (m.List) {
      TCmdList pasted;
      pasted.Assign(*Src.fMembers[i].List);
      PutText(pasted, m.NumberAt, digits);
      TCmdList& list = *m.List;
      if (pasted.Count() != list.Count()) {
        list.Assign(pasted);
        for (int k = 0; k < list.Count(); ++k) list.Items(k).Changed = true;
        continue;
      }
      for (int k = 0; k < list.Count(); ++k) {
        if (pasted.Items(k).Data() == list.Items(k).Data()) continue;
        list.Items(k).Assign(pasted.Items(k));  // the line keeps what the PBX holds there
        list.Items(k).Changed = true;
      }
    }
  }
}

void TTableRecord::AssignKnownRecord(const TTableRecord& Src) {
  if (&Src == this) return;
  fNumber = Src.fNumber;
  for (size_t i = 0; i < fMembers.size() && i < Src.fMembers.size(); ++i) {
    const TMember& m = fMembers[i];
    if (m.Block) m.Block->AssignIfDefined(*Src.fMembers[i].Block);
    if (m.List) m.List->AssignDefined(*Src.fMembers[i].List);
  }
}

void TTableRecord::MarkDifferences(const TTableRecord& Other) {
  for (size_t i = 0; i < fMembers.size() && i < Other.fMembers.size(); ++i) {
    const TMember& m = fMembers[i];
    if (m.Block) m.Block->MarkDifferent(*Other.fMembers[i].Block, 1);
    if (m.List) MarkLines(*m.List, *Other.fMembers[i].List, m.MarkItems);
  }
}

void TTableRecord::SetNumber(int N) {
  CheckNumber(N);
  fNumber = N;
  for (const TMember& m : fMembers) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%.*d", static_cast<int>(m.NumberWidth), N);
    if (m.Block) PutText(*m.Block, m.NumberAt, digits);
    if (m.List) PutText(*m.List, m.NumberAt, digits);
  }
}

void TTableRecord::SetMultiEdit(bool B) {
  for (const TMember& m : fMembers) {
    if (m.Block) m.Block->AllowUndefined = B;
    if (m.List) table_util::SetMultiEdit(*m.List, B);
  }
}

bool TTableRecord::LoadFromStream(TStream& Stream) {
  for (const TMember& m : fMembers)
    if (!(m.Block ? m.Block->LoadFromStream(Stream) : m.List->LoadFromStream(Stream)))
      return false;
  return true;
}

bool TTableRecord::SaveToStream(TStream& Stream) const {
  for (const TMember& m : fMembers)
    if (!(m.Block ? m.Block->SaveToStream(Stream) : m.List->SaveToStream(Stream))) return false;
  return true;
}
