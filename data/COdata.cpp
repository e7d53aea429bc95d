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

TCOdata::TCOdata(int CO, TCOarray* Owner) : TTableRecord(CO), fOwner(Owner) {
  // "400C3/..": the line number is the fifth character.
  for (auto& b : fBlocks) AddBlock(b, 4, 1);
}

void TCOdata::CheckNumber(int N) const { CheckCO(N); }

TCmdData& TCOdata::BlockOf(const std::string& Code) {
  return const_cast<TCmdData&>(static_cast<const TCOdata*>(this)->BlockOf(Code));
}

const TCmdData& TCOdata::BlockOf(const std::string& Code) const {
  for (int i = 0; i < kBlockCount; ++i)
    if (Code == kCodes[static_cast<size_t>(i)]) return Block(i);
  throw Exception("TCOdata - unknown block " + Code);
}

std::string TCOdata::BlockQuery(int Index) const {
  return std::string(kCodes.at(static_cast<size_t>(Index))) + std::to_string(CO()) + "//";
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

// ---- TCOarray ----------------------------------------------------------------------------

TCOarray::TCOarray()
    : TRecordTable(this, {kReadAllSteps, kUploadAllSteps, kReadLineSteps, kUploadLineSteps}) {}
