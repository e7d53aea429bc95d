// The CO line table: reading and uploading the six lines, multi-line editing and the table's
// stream records.
#include "COdata.h"

#include "Errors.h"
#include "Exchange.h"
#include "Stream.h"
#include "TableUtil.h"

using namespace table_util;

namespace {

void CheckCO(int CO) {
  if (CO < 1 || CO > TCOarray::kLineCount) throw Exception(Format("Bad CO line number %d!", CO));
}

constexpr int kReadLineSteps = 60;
constexpr int kUploadLineSteps = 20;

}  // namespace

// ---- TCOdata -----------------------------------------------------------------------------

const std::array<const char*, TCOdata::kBlockCount> TCOdata::kCodes = {
    "400C", "401C", "402C", "403C", "404C", "414C", "415C", "416C", "417C", "418C",
    "419C", "420C", "421C", "422C", "423C", "424C", "900C", "910C", "920C", "928C"};

TCOdata::TCOdata(int CO, TCOarray* Owner) : fCO(CO), fOwner(Owner) {}

TCmdData& TCOdata::BlockOf(const std::string& Code) {
  return const_cast<TCmdData&>(static_cast<const TCOdata*>(this)->BlockOf(Code));
}

const TCmdData& TCOdata::BlockOf(const std::string& Code) const {
  for (int i = 0; i < kBlockCount; ++i)
    if (Code == kCodes[static_cast<size_t>(i)]) return Block(i);
  throw Exception("TCOdata - unknown block " + Code);
}

std::string TCOdata::BlockQuery(int Index) const {
  return std::string(kCodes.at(static_cast<size_t>(Index))) + std::to_string(fCO) + "//";
}

void TCOdata::Clear() {
  for (auto& b : fBlocks) b.Clear();
}

bool TCOdata::Read() {
  bool ok = true;
  for (int i = 0; i < kBlockCount; ++i)
    if (!ReadBlock(Block(i), BlockQuery(i))) ok = false;
  // The PBX sends an unset host access code as nothing; it is kept as its empty mark "^" so
  // that the line can be sent back as it is. This is no edit of the user's.
  TCmdData& codes = Block(e403C);
  if (!codes.Data().empty() && TrimBlanks(codes.ItemStr(1)).empty()) {
    const bool changed = codes.Changed;
    codes.SetItemStr(1, "^");
    codes.Changed = changed;
  }
  return ok;
}

bool TCOdata::UploadAll() {
  bool ok = true;
  for (auto& b : fBlocks)
    if (!WriteBlock(b, false)) ok = false;
  return ok;
}

bool TCOdata::UploadChanged() {
  bool ok = true;
  for (auto& b : fBlocks)
    if (!WriteBlock(b, true)) ok = false;
  return ok;
}

bool TCOdata::HasActualData() const {
  for (const auto& b : fBlocks)
    if (!b.IsActual()) return false;
  return true;
}

int TCOdata::ChangedCount() const {
  int n = 0;
  for (const auto& b : fBlocks)
    if (b.Changed) ++n;
  return n;
}

void TCOdata::Assign(const TCOdata& Src) {
  if (&Src == this) return;
  fCO = Src.fCO;
  for (int i = 0; i < kBlockCount; ++i) Block(i).Assign(Src.Block(i));
}

void TCOdata::AssignKnown(const TCOdata& Src) {
  if (&Src == this) return;
  fCO = Src.fCO;
  for (int i = 0; i < kBlockCount; ++i) Block(i).AssignIfDefined(Src.Block(i));
}

void TCOdata::MarkDifferences(const TCOdata& Other) {
  for (int i = 0; i < kBlockCount; ++i) Block(i).MarkDifferent(Other.Block(i), 1);
}

void TCOdata::SetNumber(int N) {
  CheckCO(N);
  fCO = N;
  // "400C3/..": the line number is the fifth character.
  const std::string digit(1, static_cast<char>('0' + N));
  for (auto& b : fBlocks) PutText(b, 4, digit);
}

void TCOdata::SetMultiEdit(bool B) {
  for (auto& b : fBlocks) b.AllowUndefined = B;
}

bool TCOdata::LoadFromStream(TStream& Stream) {
  for (auto& b : fBlocks)
    if (!b.LoadFromStream(Stream)) return false;
  return true;
}

bool TCOdata::SaveToStream(TStream& Stream) const {
  for (const auto& b : fBlocks)
    if (!b.SaveToStream(Stream)) return false;
  return true;
}

// ---- TCOarray ----------------------------------------------------------------------------

TCOarray::TCOarray() {
  for (int c = 1; c <= kLineCount; ++c)
    fLines[static_cast<size_t>(c - 1)] = std::make_unique<TCOdata>(c, this);
}

TCOdata& TCOarray::Lines(int CO) {
  CheckCO(CO);
  return *fLines[static_cast<size_t>(CO - 1)];
}

const TCOdata& TCOarray::Lines(int CO) const {
  CheckCO(CO);
  return *fLines[static_cast<size_t>(CO - 1)];
}

void TCOarray::Clear() {
  for (auto& l : fLines) l->Clear();
}

bool TCOarray::ReadAll(bool ShowProgress) {
  TProgressScope progress(ShowProgress, "Read", kReadAllSteps);
  bool ok = true;
  for (auto& l : fLines)
    if (!l->Read()) ok = false;
  return ok;
}

bool TCOarray::UploadAll(bool ShowProgress) {
  TProgressScope progress(ShowProgress, "Save", kUploadAllSteps);
  bool ok = true;
  for (auto& l : fLines)
    if (!l->UploadAll()) ok = false;
  return ok;
}

bool TCOarray::UploadChanged(bool ShowProgress) {
  TProgressScope progress(ShowProgress, "Save", 4 * ChangedCount());
  bool ok = true;
  for (auto& l : fLines)
    if (!l->UploadChanged()) ok = false;
  return ok;
}

bool TCOarray::ReadLines(const TIntegerList& List, bool ShowProgress) {
  for (int co : List.Values()) CheckCO(co);
  TProgressScope progress(ShowProgress, "Read", kReadLineSteps * List.Count());
  bool ok = true;
  for (int co : List.Values())
    if (!Lines(co).Read()) ok = false;
  return ok;
}

bool TCOarray::UploadLines(const TIntegerList& List, bool ShowProgress) {
  for (int co : List.Values()) CheckCO(co);
  TProgressScope progress(ShowProgress, "Save", kUploadLineSteps * List.Count());
  bool ok = true;
  for (int co : List.Values())
    if (!Lines(co).UploadAll()) ok = false;
  return ok;
}

bool TCOarray::LinesHaveData(const TIntegerList& List) const {
  if (List.Count() == 0) return false;
  for (int co : List.Values())
    if (co < 1 || co > kLineCount || !Lines(co).HasActualData()) return false;
  return true;
}

bool TCOarray::HasActualData() const {
  for (const auto& l : fLines)
    if (!l->HasActualData()) return false;
  return true;
}

int TCOarray::ChangedCount() const {
  int n = 0;
  for (const auto& l : fLines) n += l->ChangedCount();
  return n;
}

void TCOarray::Assign(const TCOarray& Other) {
  if (&Other == this) return;
  for (int c = 1; c <= kLineCount; ++c) Lines(c).Assign(Other.Lines(c));
}

bool TCOarray::LoadFromStream(TStream& Stream) {
  for (auto& l : fLines)
    if (!l->LoadFromStream(Stream)) return false;
  return true;
}

bool TCOarray::SaveToStream(TStream& Stream) const {
  for (const auto& l : fLines)
    if (!l->SaveToStream(Stream)) return false;
  return true;
}
