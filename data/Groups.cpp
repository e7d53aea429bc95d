// The group routines. Groups 1-3 hand over to the extension, CO line and DSS console tables;
// groups 4-18 are described by a table of the blocks they read and upload, walked by one
// reader and one uploader.
#include "Groups.h"

#include <string>

#include "Errors.h"
#include "Feedback.h"
#include "SysData.h"

namespace {

// ---- Exchanges ---------------------------------------------------------------------------

// One exchange. A misused or unparsable reply raises a general error inside the block layer;
// it is shown and counts as a failed exchange so that the rest of the group still runs. The
// user's abort passes through.
template <class F>
bool Exchange(F&& Op) {
  try {
    return Op();
  } catch (const EAbortOperation&) {
    throw;
  } catch (const Exception& e) {
    ShowError(e.what());
    return false;
  }
}

bool ReadBlock(TCmdData& B, const std::string& Code) {
  return Exchange([&] { return B.ReadPBX(Code + "//"); });
}

bool ReadList(TCmdList& L, const std::string& Code) {
  return Exchange([&] { return L.ReadPBX(Code + "*//"); });
}

bool WriteBlock(TCmdData& B) {
  return Exchange([&] { return B.WritePBX(); });
}

// Line by line rather than through the list's WriteAll, so that a line whose answer cannot be
// parsed does not keep the lines after it from being sent.
bool WriteList(TCmdList& L, bool ChangedOnly) {
  bool ok = true;
  for (int i = 0; i < L.Count(); ++i) {
    TCmdData& b = L.Items(i);
    if (ChangedOnly && !b.Changed) continue;
    if (!WriteBlock(b)) ok = false;
  }
  return ok;
}

// The small progress window of a routine run on its own; closed also when an abort or an
// error leaves the routine.
class TProgressScope {
 public:
  TProgressScope(bool Show, const char* Caption, int Maximum) : fShow(Show) {
    if (fShow) ProgressShow(Caption, Maximum, true);
  }
  ~TProgressScope() {
    if (fShow) ProgressClose();
  }
  TProgressScope(const TProgressScope&) = delete;
  TProgressScope& operator=(const TProgressScope&) = delete;

 private:
  bool fShow;
};

constexpr const char* kReadCaption = "Read";
constexpr const char* kSaveCaption = "Save";
// Steps of the progress window per block sent by an upload of changes: the echo, the answer
// line and the prompt.
constexpr int kStepsPerChange = 3;

// ---- Groups 4-18: the declarative table ------------------------------------------------

enum TItemKind : unsigned char {
  ikBlock,    // a single block of the store (Id: TBlockId)
  ikList,     // a block list of the store (Id: TListId)
  ikNumbers,  // the extension-number list Extensions.Cmd009, read with "009S*//"
  ikPlan,     // its numbering-plan block, uploaded only when actual and changed
};

enum TCondition : unsigned char {
  cAlways,
  cExtendedSpeedDial,  // only with Version.ExtendedSpeedDial
  cUnless123S,         // only without Version.Skip123S
};

struct TItem {
  TItemKind Kind;
  int Id;
  TCondition Cond = cAlways;
};

struct TFill {
  TListId List;
  int Items;  // items 1 .. Items of every line: a blank one becomes "^"
};

struct TStoreGroup {
  std::vector<TItem> Read;           // read order; also the members of HasData / ChangedCount
  std::vector<TItem> Upload;         // upload-all order
  std::vector<TItem> UploadChanged;  // upload-changed order (empty: as Upload)
  std::vector<TFill> Fill;
  int ReadSteps, UploadSteps;
  // Speed dials without names read and send half as much.
  int ReadStepsNoNames = 0, UploadStepsNoNames = 0;
  int ChangedExtraSteps = 0;
};

TItem B(TBlockId Id, TCondition C = cAlways) { return {ikBlock, Id, C}; }
TItem L(TListId Id, TCondition C = cAlways) { return {ikList, Id, C}; }

std::vector<TItem> Blocks(std::initializer_list<TBlockId> Ids) {
  std::vector<TItem> v;
  for (TBlockId id : Ids) v.push_back(B(id));
  return v;
}

std::vector<TItem> BlockRange(TBlockId First, TBlockId Last) {
  std::vector<TItem> v;
  for (int id = First; id <= Last; ++id) v.push_back(B(static_cast<TBlockId>(id)));
  return v;
}

std::vector<TItem> ListRange(TListId First, TListId Last) {
  std::vector<TItem> v;
  for (int id = First; id <= Last; ++id) v.push_back(L(static_cast<TListId>(id)));
  return v;
}

std::vector<TItem> operator+(std::vector<TItem> A, const std::vector<TItem>& Bv) {
  A.insert(A.end(), Bv.begin(), Bv.end());
  return A;
}

std::vector<TItem> operator+(std::vector<TItem> A, const TItem& I) {
  A.push_back(I);
  return A;
}

std::vector<TFill> FillItem1(TListId First, TListId Last) {
  std::vector<TFill> v;
  for (int id = First; id <= Last; ++id) v.push_back({static_cast<TListId>(id), 1});
  return v;
}

std::vector<TItem> SystemSingles() {
  return Blocks({idCmd002S, idCmd005S, idCmd008S, idCmd010S}) + BlockRange(idCmd104S, idCmd122S);
}

const TStoreGroup* StoreGroup(TGroupId Id) {
  static const TStoreGroup kSpeedDials{
      {L(idList001S), L(idList011S, cExtendedSpeedDial)}, {}, {},
      {{idList001S, 1}, {idList011S, 1}}, 204, 600, 102, 300};
  static const TStoreGroup kDISA{
      BlockRange(idCmd500S, idCmd530S) + ListRange(idList501S, idList516E), {}, {},
      {{idList512S, 1}}, 99, 171};
  static const TStoreGroup kUCD{BlockRange(idCmd520S, idCmd526S), {}, {}, {}, 21, 21};
  static const TStoreGroup kTimer{BlockRange(idCmd200S, idCmd213S), {}, {}, {}, 39, 39};
  static const TStoreGroup kAccount{{L(idList310S)}, {}, {}, {{idList310S, 1}}, 26, 72};
  static const TStoreGroup kAutoPause{{L(idList311S)}, {}, {}, {{idList311S, 1}}, 42, 120};
  static const TStoreGroup kCarrier{{L(idList300S)}, {}, {}, {{idList300S, 1}}, 22, 60};
  static const TStoreGroup kTRS{
      Blocks({idCmd125S, idCmd301S, idCmd312S}) + ListRange(idList302S, idList306S), {}, {},
      FillItem1(idList302S, idList306S), 179, 489};
  static const TStoreGroup kEmergency{{L(idList309S)}, {}, {}, {{idList309S, 1}}, 7, 15};
  static const TStoreGroup kARS{
      Blocks({idCmd359S, idCmd362S, idCmd363S}) + ListRange(idList350C, idList364S), {}, {},
      [] {
        auto f = FillItem1(idList351S, idList358S);
        f.push_back({idList361S, 1});
        return f;
      }(),
      691, 1983};
  static const TStoreGroup kVoiceMail{{L(idList102E), B(idCmd103S)}, {}, {}, {}, 9, 9};
  static const TStoreGroup kCallHunting{Blocks({idCmd100S, idCmd101S}), {}, {}, {}, 6, 6};
  static const TStoreGroup kSMDR{BlockRange(idCmd801S, idCmd806S), {}, {}, {}, 15, 15};
  // Read: program 123 last and only where the PBX has it, then the feature numbers and the
  // extension numbers (whose plan the dialog edits). Upload: catalogue order, the plan block
  // instead of the numbers, which belong to the Extensions group.
  static const TStoreGroup kSystemParams{
      SystemSingles() + Blocks({idCmd124S, idCmd126S, idCmd127S}) + B(idCmd123S, cUnless123S) +
          L(idList012S) + TItem{ikNumbers, 0},
      SystemSingles() + B(idCmd123S, cUnless123S) + Blocks({idCmd124S, idCmd126S, idCmd127S}) +
          L(idList012S) + TItem{ikPlan, 0},
      {},
      {{idList012S, 1}},
      122,
      122};
  static const TStoreGroup kDayNight{
      {L(idList007S), B(idCmd006S)}, {}, {B(idCmd006S), L(idList007S)}, {{idList007S, 4}},
      12, 24, 0, 0, 3};

  switch (Id) {
    case grSpeedDials: return &kSpeedDials;
    case grDISA: return &kDISA;
    case grUCD: return &kUCD;
    case grTimer: return &kTimer;
    case grAccountCodes: return &kAccount;
    case grAutoPause: return &kAutoPause;
    case grCarrierExcepted: return &kCarrier;
    case grTollRestriction: return &kTRS;
    case grEmergencyDial: return &kEmergency;
    case grARS: return &kARS;
    case grVoiceMail: return &kVoiceMail;
    case grCallHunting: return &kCallHunting;
    case grSMDR: return &kSMDR;
    case grSystemParams: return &kSystemParams;
    case grDayNight: return &kDayNight;
    default: return nullptr;
  }
}

const std::vector<TItem>& UploadOrder(const TStoreGroup& G) {
  return G.Upload.empty() ? G.Read : G.Upload;
}

const std::vector<TItem>& UploadChangedOrder(const TStoreGroup& G) {
  return G.UploadChanged.empty() ? UploadOrder(G) : G.UploadChanged;
}

bool Applies(const TSysData& S, const TItem& I) {
  switch (I.Cond) {
    case cExtendedSpeedDial: return S.Version.ExtendedSpeedDial != 0;
    case cUnless123S: return S.Version.Skip123S == 0;
    default: return true;
  }
}

int ReadSteps(const TSysData& S, const TStoreGroup& G) {
  return G.ReadStepsNoNames && !S.Version.ExtendedSpeedDial ? G.ReadStepsNoNames : G.ReadSteps;
}

int UploadSteps(const TSysData& S, const TStoreGroup& G) {
  return G.UploadStepsNoNames && !S.Version.ExtendedSpeedDial ? G.UploadStepsNoNames
                                                               : G.UploadSteps;
}

// The numbering-plan block is sent only when the user chose a plan: the PBX answers a plan line
// by resetting every extension number, which an upload of everything must not do unasked.
bool ChosenPlanPending(const TSysData& S) {
  const TCmdData& plan = S.Extensions.Cmd009.PlanBlock;
  return plan.Changed && plan.IsActual();
}

int ItemChangedCount(const TSysData& S, const TItem& I) {
  switch (I.Kind) {
    case ikBlock: return S.Block(static_cast<TBlockId>(I.Id)).Changed ? 1 : 0;
    case ikList: return S.List(static_cast<TListId>(I.Id)).ChangedCount();
    case ikNumbers: return S.Extensions.Cmd009.ChangedCountAll();
    case ikPlan: return ChosenPlanPending(S) ? 1 : 0;
  }
  return 0;
}

int ItemPendingCount(const TSysData& S, const TItem& I) {
  switch (I.Kind) {
    case ikBlock: return S.Block(static_cast<TBlockId>(I.Id)).Pending() ? 1 : 0;
    case ikList: return S.List(static_cast<TListId>(I.Id)).PendingCount();
    case ikNumbers: return S.Extensions.Cmd009.PendingCount();
    case ikPlan: return ChosenPlanPending(S) ? 1 : 0;
  }
  return 0;
}

bool ItemHasData(const TSysData& S, const TItem& I) {
  switch (I.Kind) {
    case ikBlock: return S.Block(static_cast<TBlockId>(I.Id)).IsActual();
    case ikList: return S.List(static_cast<TListId>(I.Id)).IsActual(1);
    case ikNumbers: return S.Extensions.Cmd009.IsActual(1);
    case ikPlan: return true;
  }
  return true;
}

bool ReadItem(TSysData& S, const TItem& I) {
  switch (I.Kind) {
    case ikBlock: {
      const TBlockId id = static_cast<TBlockId>(I.Id);
      return ReadBlock(S.Block(id), BlockCode(id));
    }
    case ikList: {
      const TListId id = static_cast<TListId>(I.Id);
      return ReadList(S.List(id), ListCode(id));
    }
    case ikNumbers:
      return Exchange([&] { return S.Extensions.Cmd009.ReadPBX("009S*//"); });
    case ikPlan: return true;
  }
  return true;
}

// A written plan line has made the PBX reset every extension number: the numbers held are
// stale until read again, and the views of them must rebuild.
bool WritePlan(TSysData& S) {
  const bool ok = WriteBlock(S.Extensions.Cmd009.PlanBlock);
  if (ok) {
    S.Extensions.Cmd009.Clear();
    if (S.OnDataChanged) S.OnDataChanged();
  }
  return ok;
}

bool UploadItem(TSysData& S, const TItem& I, bool ChangedOnly) {
  switch (I.Kind) {
    case ikBlock: {
      TCmdData& b = S.Block(static_cast<TBlockId>(I.Id));
      if (ChangedOnly && !b.Changed) return true;
      return WriteBlock(b);
    }
    case ikList: return WriteList(S.List(static_cast<TListId>(I.Id)), ChangedOnly);
    case ikNumbers: return true;  // uploaded with the Extensions group
    case ikPlan: return ChosenPlanPending(S) ? WritePlan(S) : true;
  }
  return true;
}

bool ReadStoreGroup(TSysData& S, const TStoreGroup& G, bool ShowProgress) {
  TProgressScope progress(ShowProgress, kReadCaption, ReadSteps(S, G));
  bool ok = true;
  for (const TItem& i : G.Read)
    if (Applies(S, i) && !ReadItem(S, i)) ok = false;
  // The PBX sends an empty item as nothing; "^" is how it must be sent back.
  for (const TFill& f : G.Fill)
    for (int item = 1; item <= f.Items; ++item) S.List(f.List).FillEmptyItems(item);
  return ok;
}

bool UploadStoreGroup(TSysData& S, const TStoreGroup& G, bool ChangedOnly, bool ShowProgress) {
  const std::vector<TItem>& order = ChangedOnly ? UploadChangedOrder(G) : UploadOrder(G);
  int steps = UploadSteps(S, G);
  if (ChangedOnly) {
    int changed = 0;
    for (const TItem& i : order)
      if (Applies(S, i)) changed += ItemChangedCount(S, i);
    steps = kStepsPerChange * changed + G.ChangedExtraSteps;
  }
  TProgressScope progress(ShowProgress, kSaveCaption, steps);
  bool ok = true;
  for (const TItem& i : order)
    if (Applies(S, i) && !UploadItem(S, i, ChangedOnly)) ok = false;
  return ok;
}

template <TGroupId G>
bool ReadG(TSysData& S, bool ShowProgress) {
  return ReadStoreGroup(S, *StoreGroup(G), ShowProgress);
}

template <TGroupId G>
bool UploadAllG(TSysData& S, bool ShowProgress) {
  return UploadStoreGroup(S, *StoreGroup(G), false, ShowProgress);
}

template <TGroupId G>
bool UploadChangedG(TSysData& S, bool ShowProgress) {
  return UploadStoreGroup(S, *StoreGroup(G), true, ShowProgress);
}

// ---- Groups 1-3: the tables ------------------------------------------------------------

bool ReadExtensions(TSysData& S, bool P) { return S.Extensions.ReadAll(P); }
bool UploadAllExtensions(TSysData& S, bool P) { return S.Extensions.UploadAll(P); }
bool UploadChangedExtensions(TSysData& S, bool P) { return S.Extensions.UploadChanged(P); }
bool ReadCOLines(TSysData& S, bool P) { return S.COLines.ReadAll(P); }
bool UploadAllCOLines(TSysData& S, bool P) { return S.COLines.UploadAll(P); }
bool UploadChangedCOLines(TSysData& S, bool P) { return S.COLines.UploadChanged(P); }
bool ReadDSSConsoles(TSysData& S, bool P) { return S.DSSConsoles.ReadAll(P); }
bool UploadAllDSSConsoles(TSysData& S, bool P) { return S.DSSConsoles.UploadAll(P); }
bool UploadChangedDSSConsoles(TSysData& S, bool P) { return S.DSSConsoles.UploadChanged(P); }

#define KXTA_STORE_GROUP(id, title, up, rd) \
  { id, title, up, rd, &ReadG<id>, &UploadAllG<id>, &UploadChangedG<id> }

const std::array<TGroup, kGroupCount> kGroups{{
    {grExtensions, "Extensions", 3647, 2400, &ReadExtensions, &UploadAllExtensions,
     &UploadChangedExtensions},
    {grCOLines, "CO lines", 360, 360, &ReadCOLines, &UploadAllCOLines, &UploadChangedCOLines},
    {grDSSConsoles, "DSS consoles", 300, 116, &ReadDSSConsoles, &UploadAllDSSConsoles,
     &UploadChangedDSSConsoles},
    KXTA_STORE_GROUP(grSpeedDials, "Speed dials", 600, 204),
    KXTA_STORE_GROUP(grDISA, "DISA", 171, 99),
    KXTA_STORE_GROUP(grUCD, "UCD", 21, 21),
    KXTA_STORE_GROUP(grTimer, "Timer", 39, 39),
    KXTA_STORE_GROUP(grAccountCodes, "Account codes", 72, 26),
    KXTA_STORE_GROUP(grAutoPause, "Auto pause Insertion codes", 120, 42),
    KXTA_STORE_GROUP(grCarrierExcepted, "Carrier Excepted codes", 60, 22),
    KXTA_STORE_GROUP(grTollRestriction, "Toll restriction", 489, 179),
    KXTA_STORE_GROUP(grEmergencyDial, "Emergency dial", 15, 7),
    KXTA_STORE_GROUP(grARS, "Automatic Route Selection", 1983, 691),
    KXTA_STORE_GROUP(grVoiceMail, "Voice Mail integration", 9, 9),
    KXTA_STORE_GROUP(grCallHunting, "Call hunting", 6, 6),
    KXTA_STORE_GROUP(grSMDR, "SMDR", 15, 15),
    KXTA_STORE_GROUP(grSystemParams, "System parameters", 122, 122),
    KXTA_STORE_GROUP(grDayNight, "Day/Night/Lunch", 24, 12),
}};

#undef KXTA_STORE_GROUP

}  // namespace

const std::array<TGroup, kGroupCount>& Groups() { return kGroups; }

bool GroupHasData(const TSysData& S, TGroupId Id) {
  switch (Id) {
    case grExtensions: return S.Extensions.HasActualData();
    case grCOLines: return S.COLines.HasActualData();
    case grDSSConsoles: return S.DSSConsoles.HasActualData();
    default: break;
  }
  const TStoreGroup* g = StoreGroup(Id);
  if (!g) return false;
  for (const TItem& i : g->Read)
    if (Applies(S, i) && !ItemHasData(S, i)) return false;
  return true;
}

int GroupChangedCount(const TSysData& S, TGroupId Id) {
  switch (Id) {
    case grExtensions: return S.Extensions.ChangedCount();
    case grCOLines: return S.COLines.ChangedCount();
    case grDSSConsoles: return S.DSSConsoles.ChangedCount();
    default: break;
  }
  const TStoreGroup* g = StoreGroup(Id);
  if (!g) return 0;
  int n = 0;
  for (const TItem& i : g->Read)
    if (Applies(S, i)) n += ItemChangedCount(S, i);
  return n;
}

int GroupPendingCount(const TSysData& S, TGroupId Id) {
  switch (Id) {
    case grExtensions: return S.Extensions.PendingCount();
    case grCOLines: return S.COLines.PendingCount();
    case grDSSConsoles: return S.DSSConsoles.PendingCount();
    default: break;
  }
  const TStoreGroup* g = StoreGroup(Id);
  if (!g) return 0;
  // The upload's members: the system parameters read the extension numbers, yet send only the
  // plan block; the numbers are the extensions' group's.
  int n = 0;
  for (const TItem& i : UploadOrder(*g))
    if (Applies(S, i)) n += ItemPendingCount(S, i);
  return n;
}

int PendingChangeCount(const TSysData& S) {
  int n = 0;
  for (const TGroup& g : Groups()) n += GroupPendingCount(S, g.Id);
  return n;
}

TRunResult RunGroups(TSysData& Store, TRunDirection Direction, const TRunEvents& Events) {
  TRunResult r;
  for (const TGroup& g : Groups()) {
    TGroupRoutine op = Direction == TRunDirection::Read        ? g.Read
                       : Direction == TRunDirection::UploadAll ? g.UploadAll
                                                               : g.UploadChanged;
    if (!op) continue;
    ++r.StepsRun;
    if (Events.OnStepStart) Events.OnStepStart(g);
    bool ok;
    try {
      ok = op(Store, false);
    } catch (const EAbortOperation&) {
      r.Aborted = true;
      r.Ok = false;
      return r;
    } catch (const Exception& e) {
      ShowError(e.what());
      ok = false;
    }
    if (!ok) {
      r.Ok = false;
      r.Failed.push_back(g.Id);
    }
    if (Events.OnStepEnd) Events.OnStepEnd(g, ok);
  }
  return r;
}
