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

TDSSdata::TDSSdata(int DSS, TDSSarray* Owner) : TTableRecord(DSS), fOwner(Owner) {
  // "003D1/..": the console number is the fifth character; "D01BD01/..": the third.
  AddBlock(Cmd003D, 4, 1);
  AddBlock(Cmd004D, 4, 1);
  AddList(BD, 2, 2, 1);
  AddList(BF, 1, 2, 1);
}

void TDSSdata::CheckNumber(int N) const { CheckDSS(N); }

std::string TDSSdata::Query003D() const { return "003D" + std::to_string(DSS()) + "//"; }
std::string TDSSdata::Query004D() const { return "004D" + std::to_string(DSS()) + "//"; }
std::string TDSSdata::QueryBD() const { return "D0" + std::to_string(DSS()) + "BD*//"; }
std::string TDSSdata::QueryBF() const { return "D0" + std::to_string(DSS()) + "BF*//"; }

bool TDSSdata::Read() {
  bool ok = ReadBlock(Cmd003D, Query003D());
  if (!ReadBlock(Cmd004D, Query004D())) ok = false;
  if (!ReadList(BD, QueryBD())) ok = false;
  if (!ReadList(BF, QueryBF())) ok = false;
  return ok;
}

// ---- TDSSarray ---------------------------------------------------------------------------

TDSSarray::TDSSarray()
    : TRecordTable(this,
                   {kReadAllSteps, kUploadAllSteps, kReadConsoleSteps, kUploadConsoleSteps}) {}
