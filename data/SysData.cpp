// The system data store: the catalogue and clearing. What a group of it holds is asked of the
// groups (Groups.h), which sit above the store.
#include "SysData.h"

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

void VisitList(const TCmdList& List, const std::function<void(const TCmdData&)>& Visit) {
  for (int i = 0; i < List.Count(); ++i) Visit(List.Items(i));
}

}  // namespace

const char* BlockCode(TBlockId Id) { return kBlockCodes[Id]; }
const char* ListCode(TListId Id) { return kListCodes[Id]; }
std::string BlockName(TBlockId Id) { return std::string("Cmd") + kBlockCodes[Id]; }
std::string ListName(TListId Id) { return std::string("List") + kListCodes[Id]; }

TSysData::TSysData() = default;

void TSysData::AssignData(const TSysData& From, int SingleBlocks, int Lists) {
  // A copy keeps each line's PBX text; the lines of a file or a text have none, so what the
  // store knew of the PBX goes with every line they replace.
  Extensions.Clear();
  COLines.Clear();
  DSSConsoles.Clear();
  Extensions.Assign(From.Extensions);
  COLines.Assign(From.COLines);
  DSSConsoles.Assign(From.DSSConsoles);
  for (int k = 0; k < SingleBlocks && k < kSingleBlockCount; ++k) {
    Block(static_cast<TBlockId>(k)).Clear();
    Block(static_cast<TBlockId>(k)).Assign(From.Block(static_cast<TBlockId>(k)));
  }
  for (int k = 0; k < Lists && k < kBlockListCount; ++k) {
    List(static_cast<TListId>(k)).Clear();
    List(static_cast<TListId>(k)).Assign(From.List(static_cast<TListId>(k)));
  }
}

void TSysData::ClearData() {
  for (auto& b : fBlocks) b.Clear();
  for (auto& l : fLists) l.Clear();
  Extensions.Clear();
  COLines.Clear();
  DSSConsoles.Clear();
}

// Mirrors the SaveToStream chain of the store and its tables; the read-then-export test of
// kxta against the simulator catches a block this walk leaves out.
void ForEachFileBlock(const TSysData& Store, const std::function<void(const TCmdData&)>& Visit) {
  const TExtensionArray& ext = Store.Extensions;
  for (int j = 1; j <= TExtensionArray::kJackCount; ++j) {
    const TExtensionData& jack = ext.Jacks(j);
    for (int b = 0; b < TExtensionData::kBlockCount; ++b) Visit(jack.Block(b));
    VisitList(jack.BC, Visit);
    VisitList(jack.BF, Visit);
  }
  VisitList(ext.Cmd009, Visit);
  Visit(ext.Cmd009.PlanBlock);
  for (int i = 0; i < TExtensionArray::kSharedListCount; ++i) VisitList(ext.SharedList(i), Visit);

  for (int c = 1; c <= TCOarray::kLineCount; ++c) {
    const TCOdata& line = Store.COLines.Lines(c);
    for (int b = 0; b < TCOdata::kBlockCount; ++b) Visit(line.Block(b));
  }
  for (int n = 1; n <= TDSSarray::kConsoleCount; ++n) {
    const TDSSdata& dss = Store.DSSConsoles.Consoles(n);
    Visit(dss.Cmd003D);
    Visit(dss.Cmd004D);
    VisitList(dss.BD, Visit);
    VisitList(dss.BF, Visit);
  }
  for (int k = 0; k < kSingleBlockCount; ++k) Visit(Store.Block(static_cast<TBlockId>(k)));
  for (int k = 0; k < kBlockListCount; ++k) VisitList(Store.List(static_cast<TListId>(k)), Visit);
}

bool TSysData::HoldsNoBlock() const {
  bool none = true;
  ForEachFileBlock(*this, [&none](const TCmdData& B) {
    if (!B.Data().empty()) none = false;
  });
  return none;
}

TSysData& SysData() {
  static TSysData gStore;
  return gStore;
}
