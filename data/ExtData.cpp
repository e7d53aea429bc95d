// The extension table: reading and uploading the jacks, the numbers and the shared lists,
// multi-jack editing and the table's stream records.
#include "ExtData.h"

#include <cstdio>

#include "Errors.h"
#include "Exchange.h"
#include "Stream.h"
#include "TableUtil.h"

using namespace table_util;

namespace {

std::string TwoDigits(int N) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%.2d", N);
  return buf;
}

void CheckJack(int Jack) {
  if (Jack < 1 || Jack > TExtensionArray::kJackCount)
    throw Exception(Format("Bad jack number %d!", Jack));
}

// The order in which a jack's blocks are read: 600E goes after 389E.
constexpr int kReadOrder[TExtensionData::kBlockCount] = {
    TExtensionData::e601E, TExtensionData::e602E, TExtensionData::e603E, TExtensionData::e604E,
    TExtensionData::e605E, TExtensionData::e606E, TExtensionData::e607E, TExtensionData::e608E,
    TExtensionData::e609E, TExtensionData::e610E, TExtensionData::e611E, TExtensionData::e612E,
    TExtensionData::e613E, TExtensionData::e614E, TExtensionData::e615E, TExtensionData::e617E,
    TExtensionData::e620E, TExtensionData::e389E, TExtensionData::e600E, TExtensionData::e904E,
    TExtensionData::e925E, TExtensionData::eBM01};

constexpr const char* kSharedCodes[TExtensionArray::kSharedListCount] = {
    "700P", "701P", "702P", "703P", "704P", "705P", "405C", "406C",
    "407C", "408C", "409C", "410C", "411C", "412C", "413C"};

// Shared lists 0-5 are the door phone and opener lists (4 lines), 6-14 the CO lists (6 lines).
constexpr int kFirstCOList = 6;
constexpr int kDoorLines = 4;
constexpr int kCOLines = 6;

// Per-jack progress steps and the extra steps for the numbers and the shared lists.
constexpr int kReadJackSteps = 94;
constexpr int kRead009Steps = 29;
constexpr int kReadDoorSteps = 36;
constexpr int kReadCOSteps = 72;
constexpr int kUploadJackSteps = 444;
constexpr int kReadNumbersSteps = 101;

}  // namespace

// ---- TExtensionData ----------------------------------------------------------------------

const std::array<const char*, TExtensionData::kBlockCount> TExtensionData::kCodes = {
    "600E", "601E", "602E", "603E", "604E", "605E", "606E", "607E", "608E", "609E", "610E",
    "611E", "612E", "613E", "614E", "615E", "617E", "620E", "389E", "904E", "925E", "BM01"};

TExtensionData::TExtensionData(int Jack, TExtensionArray* Owner)
    : TTableRecord(Jack), fOwner(Owner) {
  // "604E05/..": the jack sits at characters 5-6; "P05BM01/..", "P05BC01/..": at 2-3.
  for (int i = 0; i < eBM01; ++i) AddBlock(Block(i), 4, 2);
  AddBlock(Block(eBM01), 1, 2);
  AddList(BC, 2, 1, 2);
  AddList(BF, 1, 1, 2);
}

void TExtensionData::CheckNumber(int N) const { CheckJack(N); }

TCmdData& TExtensionData::BlockOf(const std::string& Code) {
  return const_cast<TCmdData&>(static_cast<const TExtensionData*>(this)->BlockOf(Code));
}

const TCmdData& TExtensionData::BlockOf(const std::string& Code) const {
  for (int i = 0; i < kBlockCount; ++i)
    if (Code == kCodes[static_cast<size_t>(i)]) return Block(i);
  throw Exception("TExtensionData - unknown block " + Code);
}

std::string TExtensionData::BlockQuery(int Index) const {
  if (Index == eBM01) return "P" + TwoDigits(Jack()) + "BM01//";
  return std::string(kCodes.at(static_cast<size_t>(Index))) + TwoDigits(Jack()) + "//";
}

std::string TExtensionData::BCQuery() const { return "P" + TwoDigits(Jack()) + "BC*//"; }
std::string TExtensionData::BFQuery() const { return "P" + TwoDigits(Jack()) + "BF*//"; }

bool TExtensionData::Read() {
  bool ok = true;
  for (int i : kReadOrder)
    if (!ReadBlock(Block(i), BlockQuery(i))) ok = false;
  if (!ReadList(BC, BCQuery())) ok = false;
  if (!ReadList(BF, BFQuery())) ok = false;
  return ok;
}

// ---- TExtensionArray ---------------------------------------------------------------------

TExtensionArray::TExtensionArray()
    : TRecordTable(this, {kReadAllSteps, kUploadAllSteps, kReadJackSteps, kUploadJackSteps}) {}

TCmdList& TExtensionArray::SharedList(int Index) {
  return const_cast<TCmdList&>(static_cast<const TExtensionArray*>(this)->SharedList(Index));
}

const TCmdList& TExtensionArray::SharedList(int Index) const {
  switch (Index) {
    case 0: return List700P;
    case 1: return List701P;
    case 2: return List702P;
    case 3: return List703P;
    case 4: return List704P;
    case 5: return List705P;
    case 6: return List405C;
    case 7: return List406C;
    case 8: return List407C;
    case 9: return List408C;
    case 10: return List409C;
    case 11: return List410C;
    case 12: return List411C;
    case 13: return List412C;
    case 14: return List413C;
    default: throw Exception(Format("Bad shared list index %d!", Index));
  }
}

const char* TExtensionArray::SharedListCode(int Index) {
  if (Index < 0 || Index >= kSharedListCount)
    throw Exception(Format("Bad shared list index %d!", Index));
  return kSharedCodes[Index];
}

void TExtensionArray::Clear() {
  ClearRecords();
  Cmd009.Clear();
  for (int i = 0; i < kSharedListCount; ++i) SharedList(i).Clear();
}

bool TExtensionArray::SharedListsHaveData(int From, int To) const {
  for (int i = From; i <= To; ++i)
    if (!SharedList(i).IsActual(1)) return false;
  return true;
}

bool TExtensionArray::ReadSharedLists(int From, int To) {
  bool ok = true;
  for (int i = From; i <= To; ++i)
    if (!ReadList(SharedList(i), std::string(kSharedCodes[i]) + "*//")) ok = false;
  return ok;
}

bool TExtensionArray::WriteSharedLists(bool ChangedOnly) {
  bool ok = true;
  for (int i = 0; i < kSharedListCount; ++i)
    if (!WriteLines(SharedList(i), ChangedOnly)) ok = false;
  return ok;
}

namespace {

bool ReadNumbersList(TCmd009S& Cmd009) {
  return TryExchange([&] { return Cmd009.ReadPBX(TCmd009S::kQuery); });
}

bool UploadNumbers(TCmd009S& Cmd009, bool ChangedOnly) {
  return TryExchange([&] { return Cmd009.Upload(ChangedOnly); });
}

}  // namespace

bool TExtensionArray::ReadAll(bool ShowProgress) {
  TProgressScope progress(ShowProgress, "Read", kReadAllSteps);
  bool ok = true;
  for (auto& j : fRecords)
    if (!j->Read()) ok = false;
  if (!ReadNumbersList(Cmd009)) ok = false;
  if (!ReadSharedLists(0, kSharedListCount - 1)) ok = false;
  return ok;
}

bool TExtensionArray::UploadAll(bool ShowProgress) {
  TProgressScope progress(ShowProgress, "Save", kUploadAllSteps);
  bool ok = UploadNumbers(Cmd009, false);
  for (auto& j : fRecords)
    if (!j->UploadAll()) ok = false;
  if (!WriteSharedLists(false)) ok = false;
  return ok;
}

bool TExtensionArray::UploadChanged(bool ShowProgress) {
  TProgressScope progress(ShowProgress, "Save", 4 * ChangedCount());
  bool ok = true;
  for (auto& j : fRecords)
    if (!j->UploadChanged()) ok = false;
  if (!UploadNumbers(Cmd009, true)) ok = false;
  if (!WriteSharedLists(true)) ok = false;
  return ok;
}

bool TExtensionArray::ReadJacks(const TIntegerList& List, bool ShowProgress) {
  for (int jack : List.Values()) CheckJack(jack);
  const bool read009 = !Cmd009.IsActual(TCmd009S::kPortCount);
  const bool readDoor = !SharedListsHaveData(0, kFirstCOList - 1);
  const bool readCO = !SharedListsHaveData(kFirstCOList, kSharedListCount - 1);
  const int steps = kReadJackSteps * List.Count() + (read009 ? kRead009Steps : 0) +
                    (readDoor ? kReadDoorSteps : 0) + (readCO ? kReadCOSteps : 0);
  TProgressScope progress(ShowProgress, "Read", steps);
  bool ok = true;
  for (int jack : List.Values())
    if (!Jacks(jack).Read()) ok = false;
  if (read009 && !ReadNumbersList(Cmd009)) ok = false;
  if (readDoor && !ReadSharedLists(0, kFirstCOList - 1)) ok = false;
  if (readCO && !ReadSharedLists(kFirstCOList, kSharedListCount - 1)) ok = false;
  return ok;
}

bool TExtensionArray::UploadJacks(const TIntegerList& List, bool ShowProgress) {
  for (int jack : List.Values()) CheckJack(jack);
  TProgressScope progress(ShowProgress, "Save", kUploadJackSteps * List.Count());
  bool ok = UploadNumbers(Cmd009, false);
  for (int jack : List.Values())
    if (!Jacks(jack).UploadAll()) ok = false;
  if (!WriteSharedLists(false)) ok = false;
  return ok;
}

bool TExtensionArray::JacksHaveData(const TIntegerList& List) const {
  if (List.Count() == 0) return false;
  for (int jack : List.Values()) {
    if (jack < 1 || jack > kJackCount) return false;
    if (!Jacks(jack).HasActualData()) return false;
  }
  return Cmd009.IsActual(1) && SharedListsHaveData(0, kSharedListCount - 1);
}

bool TExtensionArray::HasActualData() const {
  TIntegerList all;
  for (int j = 1; j <= kJackCount; ++j) all.Add(j);
  return JacksHaveData(all);
}

int TExtensionArray::ChangedCount() const {
  int n = RecordsChangedCount();
  // Any change of the numbers may move every port, so it weighs as a whole upload of 009.
  if (Cmd009.HasChanges()) n += TCmd009S::kPortCount + 1;
  for (int i = 0; i < kSharedListCount; ++i) n += SharedList(i).ChangedCount();
  return n;
}

int TExtensionArray::PendingCount() const {
  int n = RecordsPendingCount() + Cmd009.PendingCount();
  for (int i = 0; i < kSharedListCount; ++i) n += SharedList(i).PendingCount();
  return n;
}

bool TExtensionArray::ReadNumbers(bool ShowProgress) {
  TProgressScope progress(ShowProgress, "Read Extensions", kReadNumbersSteps);
  bool ok = ReadNumbersList(Cmd009);
  for (auto& j : fRecords)
    if (!ReadBlock(j->Block(TExtensionData::e604E), j->BlockQuery(TExtensionData::e604E)))
      ok = false;
  return ok;
}

bool TExtensionArray::NumbersHaveData() const {
  if (!Cmd009.IsActual(1)) return false;
  for (const auto& j : fRecords)
    if (!j->Block(TExtensionData::e604E).IsActual()) return false;
  return true;
}

void TExtensionArray::Assign(const TExtensionArray& Other) {
  if (&Other == this) return;
  AssignRecords(Other);
  Cmd009.Assign(Other.Cmd009);
  for (int i = 0; i < kSharedListCount; ++i) SharedList(i).Assign(Other.SharedList(i));
}

int TExtensionArray::JackDigit(const TCmdData& Line, int Jack) {
  CheckJack(Jack);
  if (Line.Data().size() < kMinDigitLine) return -1;
  return Line.Bit(Jack);
}

bool TExtensionArray::SharedDigitPending(int Jack) const {
  CheckJack(Jack);
  for (int i = 0; i < kSharedListCount; ++i) {
    const TCmdList& list = SharedList(i);
    for (int k = 0; k < list.Count(); ++k) {
      const TCmdData& line = list.Items(k);
      if (!line.Pending() || line.PbxText.empty()) continue;
      TCmdData held;
      held.SetData(line.PbxText);
      if (JackDigit(line, Jack) != JackDigit(held, Jack)) return true;
    }
  }
  return false;
}

void TExtensionArray::SetJackDigit(TCmdData& Line, int Jack, int Value) {
  CheckJack(Jack);
  if (Line.Data().size() < kMinDigitLine) return;
  Line.SetBit(Jack, Value);
}

void TExtensionArray::CopyJackColumn(int SrcJack, int DstJack) {
  CheckJack(SrcJack);
  CheckJack(DstJack);
  for (int i = 0; i < kSharedListCount; ++i) {
    TCmdList& list = SharedList(i);
    const int lines = i < kFirstCOList ? kDoorLines : kCOLines;
    if (list.Count() < lines) continue;
    for (int k = 0; k < lines; ++k) {
      TCmdData& line = list.Items(k);
      if (line.Data().size() < kMinDigitLine) continue;
      SetJackDigit(line, DstJack, JackDigit(line, SrcJack));
    }
  }
}

bool TExtensionArray::LoadFromStream(TStream& Stream) {
  if (!LoadRecords(Stream)) return false;
  if (!Cmd009.LoadFromStream(Stream)) return false;
  for (int i = 0; i < kSharedListCount; ++i)
    if (!SharedList(i).LoadFromStream(Stream)) return false;
  return true;
}

bool TExtensionArray::SaveToStream(TStream& Stream) const {
  if (!SaveRecords(Stream)) return false;
  if (!Cmd009.SaveToStream(Stream)) return false;
  for (int i = 0; i < kSharedListCount; ++i)
    if (!SharedList(i).SaveToStream(Stream)) return false;
  return true;
}
