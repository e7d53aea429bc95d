// Program 009: reading the numbers, working out the numbering plan, and uploading new numbers
// in an order the PBX accepts.
#include "Cmd9S.h"

#include <algorithm>
#include <climits>

#include "Errors.h"
#include "Feedback.h"
#include "Stream.h"

namespace {

std::string Number(const TCmdData& Block) { return Block.ItemStr(1); }

// Numbers are two-digit under plan 3, three-digit under plans 1 and 2.
bool TwoDigit(const TCmdList& List) { return List.Count() > 0 && Number(List.Items(0)).size() == 2; }
bool ThreeDigit(const TCmdList& List) {
  return List.Count() > 0 && Number(List.Items(0)).size() == 3;
}

void SetPlan(TCmdData& PlanBlock, int Plan) {
  PlanBlock.SetData(Format("009S00/%d/", Plan));
  PlanBlock.Stamp();
}

}  // namespace

bool TCmd009S::ReadPBX(const std::string& Query) {
  // On failure the list keeps its lines, which may be the user's wishes: they must not become
  // the copy of what the PBX holds.
  if (!TCmdList::ReadPBX(Query)) return false;
  PbxNumbers.Assign(*this);
  int plan;
  if (DetectPlan(plan)) {
    PlanBlock.SetData(Format("009S00/%d/", plan));
    PlanBlock.Stamp();
  } else {
    PlanBlock.SetData(std::string());
  }
  PlanBlock.Changed = false;
  return true;
}

void TCmd009S::Clear() {
  TCmdList::Clear();
  PlanBlock.Clear();
}

void TCmd009S::Assign(const TCmd009S& Other) {
  if (&Other == this) return;
  TCmdList::Assign(Other);
  PlanBlock.Assign(Other.PlanBlock);
}

bool TCmd009S::LoadFromStream(TStream& Stream) {
  if (!TCmdList::LoadFromStream(Stream)) return false;
  return PlanBlock.LoadFromStream(Stream);
}

bool TCmd009S::SaveToStream(TStream& Stream) const {
  return TCmdList::SaveToStream(Stream) && PlanBlock.SaveToStream(Stream);
}

int TCmd009S::ChangedCountAll() const { return ChangedCount() + (PlanBlock.Changed ? 1 : 0); }

bool TCmd009S::DetectPlan(int& Plan) const {
  if (Count() == 0) return false;
  bool found = false;
  if (Number(Items(0)).size() == 2) {
    Plan = 3;
    found = true;
  }
  // The first port is left out of the three-digit test; a one-line list cannot be tested.
  if (Count() > 1) {
    int lo = INT_MAX, hi = INT_MIN;
    for (int i = 1; i < Count(); ++i) {
      const int n = Items(i).ItemInt(1);
      lo = std::min(lo, n);
      hi = std::max(hi, n);
    }
    if (lo >= 100 && hi <= 499 && hi >= 200) {
      Plan = 2;
      found = true;
    }
  }
  return found;
}

int TCmd009S::JackOfNumber(int Number) const { return JackOfNumber(std::to_string(Number)); }

int TCmd009S::JackOfNumber(const std::string& Wanted) const {
  for (int i = 0; i < Count(); ++i)
    if (Number(Items(i)) == Wanted) return i + 1;
  return -1;
}

std::string TCmd009S::NumberOfJack(int Jack) const {
  if (Jack < 1 || Jack > Count()) return std::string();
  return Number(Items(Jack - 1));
}

int TCmd009S::MaxNumber(const TCmdList& List) {
  if (List.Count() == 0) return 0;
  int m = List.Items(0).ItemInt(1);
  for (int i = 1; i < List.Count(); ++i) m = std::max(m, List.Items(i).ItemInt(1));
  return m;
}

std::vector<std::string> TCmd009S::BuildFreeNumbers() const {
  int lo = 100, hi = 199;
  if (TwoDigit(*this)) {
    lo = 10;
    hi = 49;
  }
  std::vector<std::string> free;
  for (int n = lo; n <= hi; ++n) {
    const std::string s = std::to_string(n);
    if (JackOfNumber(s) > 0) continue;
    bool held = false;
    for (int i = 0; i < PbxNumbers.Count() && !held; ++i) held = Number(PbxNumbers.Items(i)) == s;
    if (!held) free.push_back(s);
  }
  return free;
}

bool TCmd009S::HasConflict() const {
  for (int i = 0; i < Count(); ++i) {
    const std::string want = Number(Items(i));
    if (want.empty()) continue;  // an empty line claims no number
    for (int j = 0; j < PbxNumbers.Count(); ++j)
      if (j != i && Number(PbxNumbers.Items(j)) == want) return true;
  }
  return false;
}

bool TCmd009S::ResolveConflicts() {
  TCmdList temp;
  temp.Assign(PbxNumbers);
  std::vector<std::string> free = BuildFreeNumbers();
  size_t nextFree = 0;
  for (int i = 0; i < temp.Count(); ++i) {
    const std::string held = Number(temp.Items(i));
    if (held.empty()) continue;
    for (int j = 0; j < Count(); ++j) {
      if (j == i || Number(Items(j)) != held) continue;
      if (nextFree >= free.size()) {
        ShowInformation(Format(
            "Cmd 009: failed to automaticaly resolve problem: both ports %d and %d has the same "
            "Extension number '%s'!",
            i + 1, j + 1, held.c_str()));
        return false;
      }
      temp.Items(i).SetItemStr(1, free[nextFree++]);
      // Port j takes over the number, and port i, now on a temporary number, must get its
      // final one: both lines go out even in a changed-only upload.
      Items(j).Changed = true;
      if (i < Count()) Items(i).Changed = true;
      break;
    }
  }
  return temp.WriteChanged();
}

bool TCmd009S::Upload(bool ChangedOnly) {
  try {
    return UploadSteps(ChangedOnly);
  } catch (...) {
    // Whatever reached the PBX before the failure is unknown: read the reference copy again
    // before the next upload relies on it.
    ForgetPbxNumbers();
    throw;
  }
}

void TCmd009S::ForgetPbxNumbers() {
  for (int i = 0; i < PbxNumbers.Count(); ++i) PbxNumbers.Items(i).ReadTime = 0.0;
}

bool TCmd009S::UploadSteps(bool ChangedOnly) {
  if (Count() == 0) return true;
  // Nothing to send: no reason to talk to the PBX at all.
  if (ChangedOnly && ChangedCountAll() == 0) return true;
  // Every port's number must be known: read in this connection, or changed and waiting to be
  // sent (a line whose write failed is no longer actual, yet it is exactly what must go out).
  bool complete = Count() >= kPortCount;
  for (int i = 0; i < Count() && complete; ++i)
    complete = !Items(i).Data().empty() && (Items(i).IsActual() || Items(i).Changed);
  if (!complete) {
    // Without changes there is nothing to lose; with them, saying "Ok" would hide that they
    // were not sent.
    if (ChangedCountAll() == 0) return true;
    ShowError("Cmd 009: the extension numbers are not complete - read them from the PBX again; "
              "the changed numbers were not sent.");
    return false;
  }
  if (!PbxNumbers.IsActual(kPortCount)) {
    PbxNumbers.ReadPBX(kQuery);
    if (!PbxNumbers.IsActual(kPortCount)) return false;
  }
  const int newMax = MaxNumber(*this);
  const int oldMax = MaxNumber(PbxNumbers);
  bool planChange = false;
  if (TwoDigit(PbxNumbers)) {
    if (ThreeDigit(*this)) {
      // A plan the user chose goes out as it is; otherwise the new numbers decide.
      if (!PlanBlock.IsActual() || PlanBlock.Data() == "009S00/3/")
        SetPlan(PlanBlock, newMax > 199 ? 2 : 1);
      planChange = true;
    }
  } else {
    if (newMax > oldMax && newMax > 199) {
      SetPlan(PlanBlock, 2);
      planChange = true;
    }
    if (TwoDigit(*this)) {
      SetPlan(PlanBlock, 3);
      planChange = true;
    }
  }
  if (planChange) {
    if (!PlanBlock.WritePBX()) return false;
    if (!PbxNumbers.ReadPBX(kQuery) || !PbxNumbers.IsActual(kPortCount)) return false;
    // The PBX has reset every number to its default: a line that now differs from what the PBX
    // holds must be sent, edited or not.
    for (int i = 0; i < Count() && i < PbxNumbers.Count(); ++i)
      if (Number(Items(i)) != Number(PbxNumbers.Items(i))) Items(i).Changed = true;
  }
  bool ok = true;
  if (HasConflict()) ok = ResolveConflicts();
  if (ok) ok = ChangedOnly ? TCmdList::WriteChanged() : TCmdList::WriteAll();
  // Keep the reference copy true to the PBX: after a clean upload the list is what the PBX
  // holds (its answers are the lines' texts); after a failure nobody knows, so the next upload
  // reads it again.
  if (ok) {
    PbxNumbers.Assign(*this);
    for (int i = 0; i < PbxNumbers.Count(); ++i) PbxNumbers.Items(i).Changed = false;
  } else {
    ForgetPbxNumbers();
  }
  return ok;
}
