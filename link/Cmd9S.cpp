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

// The numbers the plans take: plan 3 two-digit, plan 1 up to 199, plan 2 up to 499.
constexpr int kPlan3Min = 10, kPlan3Max = 49;
constexpr int kPlan1Min = 100, kPlan1Max = 199, kPlan2Max = 499;

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
  if (!PlanBlock.LoadFromStream(Stream)) return false;
  // The file's plan block is the plan the read derived from the numbers, not an edit: sent as
  // one, it would make the PBX reset the numbers the same upload has just written.
  PlanBlock.Changed = false;
  return true;
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

int TCmd009S::PlanToSend() const {
  const bool wantTwo = TwoDigit(*this), pbxTwo = TwoDigit(PbxNumbers);
  const int newMax = MaxNumber(*this), oldMax = MaxNumber(PbxNumbers);
  // A plan chosen in the system parameters dialog and not sent yet goes first, as chosen, when
  // the numbers fit it; the numbers win over a plan that cannot hold them.
  if (PlanBlock.Changed && PlanBlock.IsActual()) {
    const int chosen = PlanBlock.ItemInt(1);
    if ((chosen == 3 && wantTwo) || (chosen == 2 && !wantTwo) ||
        (chosen == 1 && !wantTwo && newMax <= kPlan1Max))
      return chosen;
  }
  if (wantTwo) return pbxTwo ? 0 : 3;
  if (pbxTwo) return newMax > kPlan1Max ? 2 : 1;
  // Both three-digit: only numbers above 199 need plan 2, and a PBX that holds one already is
  // on it. (Plan 2 holding numbers below 200 only cannot be told from plan 1; sending plan 2
  // again then costs a reset that the numbers written after it undo.)
  return newMax > kPlan1Max && oldMax <= kPlan1Max ? 2 : 0;
}

std::vector<TCmd009S::TNumberIssue> TCmd009S::NumberIssues() const {
  const auto ofAPlan = [](const std::string& N) {
    if (N.empty() || N.find_first_not_of("0123456789") != std::string::npos) return false;
    const int v = LeadingInt(N);
    return N.size() == 2 ? v >= kPlan3Min && v <= kPlan3Max
                         : N.size() == 3 && v >= kPlan1Min && v <= kPlan2Max;
  };
  // The plan is told by the first sound number, port 1's unless that one is no number of any
  // plan: a wrong first number is that port's fault, not every other port's.
  int planPort = 0;
  for (int i = 0; i < Count() && !planPort; ++i)
    if (ofAPlan(Number(Items(i)))) planPort = i + 1;
  const size_t digits = planPort ? Number(Items(planPort - 1)).size() : 0;
  std::vector<TNumberIssue> out;
  for (int i = 0; i < Count(); ++i) {
    const std::string n = Number(Items(i));
    if (n.empty()) {
      out.push_back({TNumberIssue::NoNumber, i + 1, 0, n});
      continue;
    }
    if (!ofAPlan(n)) {
      out.push_back({TNumberIssue::NoPlan, i + 1, 0, n});
      continue;
    }
    if (n.size() != digits) {
      out.push_back({TNumberIssue::OtherPlan, i + 1, planPort, n});
      continue;
    }
    bool first = true;  // the first port with this number speaks for all that share it
    for (int k = 0; k < i && first; ++k) first = Number(Items(k)) != n;
    if (!first) continue;
    for (int j = i + 1; j < Count(); ++j)
      if (Number(Items(j)) == n) out.push_back({TNumberIssue::Same, i + 1, j + 1, n});
  }
  return out;
}

// Before anything is sent: the wanted numbers must be numbers one plan takes together, and no
// two ports may want the same one. The PBX would refuse the rest half-way.
bool TCmd009S::NumbersSendable() const {
  const std::vector<TNumberIssue> issues = NumberIssues();
  if (issues.empty()) return true;
  const TNumberIssue& i = issues.front();
  switch (i.Kind) {
    case TNumberIssue::NoNumber:
      ShowError(Format("Cmd 009: port %d has no extension number. No extension number was sent.",
                       i.Port));
      break;
    case TNumberIssue::NoPlan:
      ShowError(Format("Cmd 009: port %d has the extension number '%s', which is no number of "
                       "any numbering plan: extension numbers are two digits 10-49 (plan 3) or "
                       "three digits 100-499 (plans 1 and 2). No extension number was sent.",
                       i.Port, i.Number.c_str()));
      break;
    case TNumberIssue::OtherPlan:
      ShowError(Format("Cmd 009: port %d has the extension number '%s', port %d has '%s': all "
                       "ports need numbers of one numbering plan, two digits 10-49 (plan 3) or "
                       "three digits 100-499 (plans 1 and 2). No extension number was sent.",
                       i.Port, i.Number.c_str(), i.Other, NumberOfJack(i.Other).c_str()));
      break;
    case TNumberIssue::Same:
      ShowInformation(Format(
          "Cmd 009: failed to automaticaly resolve problem: both ports %d and %d has the same "
          "Extension number '%s'!",
          i.Port, i.Other, i.Number.c_str()));
      break;
  }
  return false;
}

// Writes the wanted numbers against what the PBX holds, which refuses a number another port
// holds: a port goes as soon as its number is free; when only rings are left (ports that want
// each other's numbers), one port of a ring is moved to a number nobody holds or wants, which
// frees its number and lets the ring unwind. Every port ends on its wanted number; a swap
// costs one write more than the two numbers.
bool TCmd009S::WriteInPbxOrder(bool ChangedOnly) {
  const int n = std::min(Count(), PbxNumbers.Count());
  std::vector<std::string> held, want;
  std::vector<bool> pending;
  for (int i = 0; i < n; ++i) {
    held.push_back(Number(PbxNumbers.Items(i)));
    want.push_back(Number(Items(i)));
    pending.push_back(want.back() != held.back() || !ChangedOnly || Items(i).Changed);
  }
  auto holder = [&](const std::string& Num, int Except) {
    for (int k = 0; k < n; ++k)
      if (k != Except && held[k] == Num) return k;
    return -1;
  };
  // A write that fails stops the numbers: what the PBX holds is not known any more, and the
  // order planned from it would be guesswork. The lines not sent stay changed, and the next
  // upload starts from the PBX's numbers read again.
  for (;;) {
    bool moved = false;
    for (int i = 0; i < n; ++i) {
      if (!pending[i] || holder(want[i], i) >= 0) continue;
      if (!Items(i).WritePBX()) return false;
      pending[i] = false;
      held[i] = Number(Items(i));
      moved = true;
    }
    if (moved) continue;
    const auto first = std::find(pending.begin(), pending.end(), true);
    if (first == pending.end()) return true;
    // Only rings are left: every port still to go wants the number of another port still to
    // go. The wanted numbers are then the held ones, so a number nobody holds or wants exists
    // (24 ports, at least 40 numbers in a plan); one port of the ring moves there, which frees
    // its number and lets the ring unwind.
    const int ring = static_cast<int>(first - pending.begin());
    const bool two = want[ring].size() == 2;
    std::string aside;
    for (int v = two ? kPlan3Min : kPlan1Min; v <= (two ? kPlan3Max : kPlan1Max) && aside.empty();
         ++v) {
      const std::string s = std::to_string(v);
      if (holder(s, -1) < 0 && std::find(want.begin(), want.end(), s) == want.end()) aside = s;
    }
    if (aside.empty()) return false;
    TCmdData move;
    move.SetData(ExtractWord(Items(ring).Data(), "/", 1) + "/" + aside + "/");
    if (!move.WritePBX()) return false;
    held[ring] = Number(move);
  }
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
  if (!NumbersSendable()) return false;
  if (!PbxNumbers.IsActual(kPortCount)) {
    PbxNumbers.ReadPBX(kQuery);
    if (!PbxNumbers.IsActual(kPortCount)) return false;
  }
  // The plan line goes once, before any number, and only when the PBX's plan cannot take the
  // numbers (or the user chose one): the PBX answers it by resetting every number.
  const int plan = PlanToSend();
  if (plan) {
    SetPlan(PlanBlock, plan);
    if (!PlanBlock.WritePBX()) return false;
    if (!PbxNumbers.ReadPBX(kQuery) || !PbxNumbers.IsActual(kPortCount)) return false;
  } else {
    // A plan that did not go out is no edit waiting any more: the numbers decided.
    PlanBlock.Changed = false;
  }
  const bool ok = WriteInPbxOrder(ChangedOnly);
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
