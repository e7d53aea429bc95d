// The system data store: the catalogue, clearing, and the group queries.
#include "SysData.h"

#include "Groups.h"

namespace {

const char* const kBlockCodes[kSingleBlockCount] = {
#define KXTA_X(code) #code,
    KXTA_SINGLE_BLOCKS(KXTA_X)
#undef KXTA_X
};

const char* const kListCodes[kBlockListCount] = {
#define KXTA_X(code) #code,
    KXTA_BLOCK_LISTS(KXTA_X)
#undef KXTA_X
};

}  // namespace

const char* BlockCode(TBlockId Id) { return kBlockCodes[Id]; }
const char* ListCode(TListId Id) { return kListCodes[Id]; }
std::string BlockName(TBlockId Id) { return std::string("Cmd") + kBlockCodes[Id]; }
std::string ListName(TListId Id) { return std::string("List") + kListCodes[Id]; }

TSysData::TSysData() = default;

void TSysData::ClearData() {
  for (auto& b : fBlocks) b.Clear();
  for (auto& l : fLists) l.Clear();
  Extensions.Clear();
  COLines.Clear();
  DSSConsoles.Clear();
}

bool TSysData::DISAHasData() const { return GroupHasData(*this, grDISA); }
int TSysData::DISAChangedCount() const { return GroupChangedCount(*this, grDISA); }
bool TSysData::UCDHasData() const { return GroupHasData(*this, grUCD); }
int TSysData::UCDChangedCount() const { return GroupChangedCount(*this, grUCD); }
bool TSysData::TimerHasData() const { return GroupHasData(*this, grTimer); }
int TSysData::TimerChangedCount() const { return GroupChangedCount(*this, grTimer); }
bool TSysData::TRSHasData() const { return GroupHasData(*this, grTollRestriction); }
int TSysData::TRSChangedCount() const { return GroupChangedCount(*this, grTollRestriction); }
bool TSysData::ARSHasData() const { return GroupHasData(*this, grARS); }
int TSysData::ARSChangedCount() const { return GroupChangedCount(*this, grARS); }
bool TSysData::SMDRHasData() const { return GroupHasData(*this, grSMDR); }
int TSysData::SMDRChangedCount() const { return GroupChangedCount(*this, grSMDR); }
bool TSysData::SystemParamsHasData() const { return GroupHasData(*this, grSystemParams); }
int TSysData::SystemParamsChangedCount() const {
  return GroupChangedCount(*this, grSystemParams);
}

TSysData& SysData() {
  static TSysData gStore;
  return gStore;
}
