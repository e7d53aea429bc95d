// The DSS console table: reading and uploading both consoles, multi-console editing and the
// table's stream records.
#include "DSSdata.h"

#include "Errors.h"
#include "Exchange.h"
#include "Stream.h"
#include "TableUtil.h"

using namespace table_util;

namespace {

void CheckDSS(int DSS) {
  if (DSS < 1 || DSS > TDSSarray::kConsoleCount)
    throw Exception(Format("Bad DSS console number %d!", DSS));
}

constexpr int kReadConsoleSteps = 58;
constexpr int kUploadConsoleSteps = 20;

}  // namespace

// ---- TDSSdata ----------------------------------------------------------------------------

TDSSdata::TDSSdata(int DSS, TDSSarray* Owner) : fDSS(DSS), fOwner(Owner) {}

std::string TDSSdata::Query003D() const { return "003D" + std::to_string(fDSS) + "//"; }
std::string TDSSdata::Query004D() const { return "004D" + std::to_string(fDSS) + "//"; }
std::string TDSSdata::QueryBD() const { return "D0" + std::to_string(fDSS) + "BD*//"; }
std::string TDSSdata::QueryBF() const { return "D0" + std::to_string(fDSS) + "BF*//"; }

void TDSSdata::Clear() {
  Cmd003D.Clear();
  Cmd004D.Clear();
  BD.Clear();
  BF.Clear();
}

bool TDSSdata::Read() {
  bool ok = ReadBlock(Cmd003D, Query003D());
  if (!ReadBlock(Cmd004D, Query004D())) ok = false;
  if (!ReadList(BD, QueryBD())) ok = false;
  if (!ReadList(BF, QueryBF())) ok = false;
  return ok;
}

bool TDSSdata::UploadAll() {
  bool ok = WriteBlock(Cmd003D, false);
  if (!WriteBlock(Cmd004D, false)) ok = false;
  if (!WriteLines(BD, false)) ok = false;
  if (!WriteLines(BF, false)) ok = false;
  return ok;
}

bool TDSSdata::UploadChanged() {
  bool ok = WriteBlock(Cmd003D, true);
  if (!WriteBlock(Cmd004D, true)) ok = false;
  if (!WriteLines(BD, true)) ok = false;
  if (!WriteLines(BF, true)) ok = false;
  return ok;
}

bool TDSSdata::HasActualData() const {
  return Cmd003D.IsActual() && Cmd004D.IsActual() && BD.IsActual(1) && BF.IsActual(1);
}

int TDSSdata::ChangedCount() const {
  return (Cmd003D.Changed ? 1 : 0) + (Cmd004D.Changed ? 1 : 0) + BD.ChangedCount() +
         BF.ChangedCount();
}

void TDSSdata::Assign(const TDSSdata& Src) {
  if (&Src == this) return;
  fDSS = Src.fDSS;
  Cmd003D.Assign(Src.Cmd003D);
  Cmd004D.Assign(Src.Cmd004D);
  BD.Assign(Src.BD);
  BF.Assign(Src.BF);
}

void TDSSdata::AssignKnown(const TDSSdata& Src) {
  if (&Src == this) return;
  fDSS = Src.fDSS;
  Cmd003D.AssignIfDefined(Src.Cmd003D);
  Cmd004D.AssignIfDefined(Src.Cmd004D);
  BD.AssignDefined(Src.BD);
  BF.AssignDefined(Src.BF);
}

void TDSSdata::MarkDifferences(const TDSSdata& Other) {
  Cmd003D.MarkDifferent(Other.Cmd003D, 1);
  Cmd004D.MarkDifferent(Other.Cmd004D, 1);
  MarkLines(BD, Other.BD, 2);
  MarkLines(BF, Other.BF, 1);
}

void TDSSdata::SetNumber(int N) {
  CheckDSS(N);
  fDSS = N;
  // "003D1/..": fifth character; "D01BD01/..": third character.
  const std::string digit(1, static_cast<char>('0' + N));
  PutText(Cmd003D, 4, digit);
  PutText(Cmd004D, 4, digit);
  PutText(BD, 2, digit);
  PutText(BF, 2, digit);
}

void TDSSdata::SetMultiEdit(bool B) {
  Cmd003D.AllowUndefined = B;
  Cmd004D.AllowUndefined = B;
  table_util::SetMultiEdit(BD, B);
  table_util::SetMultiEdit(BF, B);
}

bool TDSSdata::LoadFromStream(TStream& Stream) {
  return Cmd003D.LoadFromStream(Stream) && Cmd004D.LoadFromStream(Stream) &&
         BD.LoadFromStream(Stream) && BF.LoadFromStream(Stream);
}

bool TDSSdata::SaveToStream(TStream& Stream) const {
  return Cmd003D.SaveToStream(Stream) && Cmd004D.SaveToStream(Stream) &&
         BD.SaveToStream(Stream) && BF.SaveToStream(Stream);
}

// ---- TDSSarray ---------------------------------------------------------------------------

TDSSarray::TDSSarray() {
  for (int n = 1; n <= kConsoleCount; ++n)
    fConsoles[static_cast<size_t>(n - 1)] = std::make_unique<TDSSdata>(n, this);
}

TDSSdata& TDSSarray::Consoles(int DSS) {
  CheckDSS(DSS);
  return *fConsoles[static_cast<size_t>(DSS - 1)];
}

const TDSSdata& TDSSarray::Consoles(int DSS) const {
  CheckDSS(DSS);
  return *fConsoles[static_cast<size_t>(DSS - 1)];
}

void TDSSarray::Clear() {
  for (auto& c : fConsoles) c->Clear();
}

bool TDSSarray::ReadAll(bool ShowProgress) {
  TProgressScope progress(ShowProgress, "Read", kReadAllSteps);
  bool ok = true;
  for (auto& c : fConsoles)
    if (!c->Read()) ok = false;
  return ok;
}

bool TDSSarray::UploadAll(bool ShowProgress) {
  TProgressScope progress(ShowProgress, "Save", kUploadAllSteps);
  bool ok = true;
  for (auto& c : fConsoles)
    if (!c->UploadAll()) ok = false;
  return ok;
}

bool TDSSarray::UploadChanged(bool ShowProgress) {
  TProgressScope progress(ShowProgress, "Save", 4 * ChangedCount());
  bool ok = true;
  for (auto& c : fConsoles)
    if (!c->UploadChanged()) ok = false;
  return ok;
}

bool TDSSarray::ReadConsoles(const TIntegerList& List, bool ShowProgress) {
  for (int n : List.Values()) CheckDSS(n);
  TProgressScope progress(ShowProgress, "Read", kReadConsoleSteps * List.Count());
  bool ok = true;
  for (int n : List.Values())
    if (!Consoles(n).Read()) ok = false;
  return ok;
}

bool TDSSarray::UploadConsoles(const TIntegerList& List, bool ShowProgress) {
  for (int n : List.Values()) CheckDSS(n);
  TProgressScope progress(ShowProgress, "Save", kUploadConsoleSteps * List.Count());
  bool ok = true;
  for (int n : List.Values())
    if (!Consoles(n).UploadAll()) ok = false;
  return ok;
}

bool TDSSarray::ConsolesHaveData(const TIntegerList& List) const {
  if (List.Count() == 0) return false;
  for (int n : List.Values())
    if (n < 1 || n > kConsoleCount || !Consoles(n).HasActualData()) return false;
  return true;
}

bool TDSSarray::HasActualData() const {
  for (const auto& c : fConsoles)
    if (!c->HasActualData()) return false;
  return true;
}

int TDSSarray::ChangedCount() const {
  int n = 0;
  for (const auto& c : fConsoles) n += c->ChangedCount();
  return n;
}

void TDSSarray::Assign(const TDSSarray& Other) {
  if (&Other == this) return;
  for (int n = 1; n <= kConsoleCount; ++n) Consoles(n).Assign(Other.Consoles(n));
}

bool TDSSarray::LoadFromStream(TStream& Stream) {
  for (auto& c : fConsoles)
    if (!c->LoadFromStream(Stream)) return false;
  return true;
}

bool TDSSarray::SaveToStream(TStream& Stream) const {
  for (const auto& c : fConsoles)
    if (!c->SaveToStream(Stream)) return false;
  return true;
}
