// The system data store: the whole configuration of one PBX as program blocks in a fixed
// catalogue, the capability record, the extension / CO line / DSS console tables, and the
// program's settings. One instance, SysData(), lives for the whole run; clearing and loading
// refill its blocks in place and never replace them, so views may hold references.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "COdata.h"
#include "CmdData.h"
#include "DSSdata.h"
#include "ExtData.h"
#include "Settings.h"
#include "Version.h"

// The 79 single blocks in catalogue order, which is also the data-file order. Each is named
// Cmd + program code and read first with code + "//". Position 10 is program 509, the DISA
// ringing time after intercept (see docs/architecture.md).
#define KXTA_SINGLE_BLOCKS(X)                                                                  \
  X(006S)                                                                                      \
  X(500S) X(502S) X(503S) X(504S) X(505S) X(506S) X(507S) X(508S) X(509S)                    \
  X(511S) X(513S) X(514S) X(515S) X(517S) X(518S) X(519S) X(530S)                            \
  X(520S) X(521S) X(522S) X(523S) X(524S) X(525S) X(526S)                                    \
  X(200S) X(201S) X(202S) X(203S) X(204S) X(205S) X(206S) X(207S) X(208S)                    \
  X(210S) X(211S) X(212S) X(213S)                                                              \
  X(125S) X(301S) X(312S)                                                                      \
  X(359S) X(362S) X(363S)                                                                      \
  X(103S)                                                                                      \
  X(100S) X(101S)                                                                              \
  X(801S) X(802S) X(803S) X(805S) X(806S)                                                    \
  X(002S) X(005S) X(008S) X(010S)                                                              \
  X(104S) X(105S) X(106S) X(107S) X(108S) X(109S) X(110S) X(111S) X(112S) X(113S)           \
  X(114S) X(115S) X(116S) X(117S) X(118S) X(119S) X(120S) X(121S) X(122S)                   \
  X(123S)                                                                                      \
  X(124S) X(126S) X(127S)

// The 30 block lists in catalogue order; each named List + program code, read with
// code + "*//".
#define KXTA_BLOCK_LISTS(X)                                                                    \
  X(001S) X(007S) X(011S)                                                                      \
  X(501S) X(510S) X(512S) X(516E)                                                              \
  X(300S) X(309S) X(310S) X(311S)                                                              \
  X(302S) X(303S) X(304S) X(305S) X(306S)                                                    \
  X(350C) X(351S) X(352S) X(353S) X(354S) X(355S) X(356S) X(357S) X(358S)                   \
  X(360S) X(361S) X(364S)                                                                      \
  X(102E)                                                                                      \
  X(012S)

// Catalogue positions (from 0) of the single blocks and lists, e.g. idCmd103S, idList102E.
enum TBlockId : int {
#define KXTA_X(code) idCmd##code,
  KXTA_SINGLE_BLOCKS(KXTA_X)
#undef KXTA_X
  kSingleBlockCount
};
enum TListId : int {
#define KXTA_X(code) idList##code,
  KXTA_BLOCK_LISTS(KXTA_X)
#undef KXTA_X
  kBlockListCount
};
static_assert(kSingleBlockCount == 79, "the catalogue holds 79 single blocks");
static_assert(kBlockListCount == 30, "the catalogue holds 30 block lists");

// Program code ("103S") and member name ("Cmd103S", "List102E") of a catalogue entry.
const char* BlockCode(TBlockId Id);
const char* ListCode(TListId Id);
std::string BlockName(TBlockId Id);
std::string ListName(TListId Id);

class TSysData {
 public:
  TSysData();
  TSysData(const TSysData&) = delete;
  TSysData& operator=(const TSysData&) = delete;

  TSettings Settings;
  bool OnLine = false;        // a PBX session is established (set by the main window only)
  bool HaveFileData = false;  // the content came from a data file (set by the loader only)
  TVersion Version;
  TExtensionArray Extensions;
  TCOarray COLines;
  TDSSarray DSSConsoles;

  // Called after an upload changed the numbering plan: the PBX reset every extension number,
  // so views of the numbers must rebuild (the desktop program posts its data-changed
  // notification here).
  std::function<void()> OnDataChanged;

 private:
  // Declared before the named references below, which point into them.
  std::array<TCmdData, kSingleBlockCount> fBlocks;
  std::array<TCmdList, kBlockListCount> fLists;

 public:
  // The catalogue by name: Cmd006S ... Cmd127S, List001S ... List012S.
#define KXTA_X(code) TCmdData& Cmd##code = fBlocks[idCmd##code];
  KXTA_SINGLE_BLOCKS(KXTA_X)
#undef KXTA_X
#define KXTA_X(code) TCmdList& List##code = fLists[idList##code];
  KXTA_BLOCK_LISTS(KXTA_X)
#undef KXTA_X

  // The catalogue by position.
  TCmdData& Block(TBlockId Id) { return fBlocks[static_cast<size_t>(Id)]; }
  const TCmdData& Block(TBlockId Id) const { return fBlocks[static_cast<size_t>(Id)]; }
  TCmdList& List(TListId Id) { return fLists[static_cast<size_t>(Id)]; }
  const TCmdList& List(TListId Id) const { return fLists[static_cast<size_t>(Id)]; }

  bool IsOnline() const { return OnLine; }

  // Empties every block, list and table in place. Settings, Version and both flags stay.
  void ClearData();
  // Takes the programming data of From (the three tables, the single blocks and the lists)
  // with their flags; only the first SingleBlocks blocks and Lists lists, for a file of a
  // layout that holds fewer. Settings, version and the online state stay this store's.
  void AssignData(const TSysData& From, int SingleBlocks = kSingleBlockCount,
                  int Lists = kBlockListCount);
  // No block of the store or its tables holds a text (ForEachFileBlock): nothing a read could
  // keep or an upload could send, as in a new store or after a read that got nothing.
  bool HoldsNoBlock() const;

  // The data file. Names without a folder resolve to the program's data folder. Every failure
  // is reported to the user here (which file, what is wrong); the callers only see false.
  // A failed load leaves the store exactly as it was; a failed save leaves the old file.
  bool LoadFromFile(const std::string& FileName);
  bool SaveToFile(const std::string& FileName);
  // The loader behind LoadFromFile, on the file's bytes; Name is the file named in messages.
  bool LoadFromBytes(const std::string& Bytes, const std::string& Name);
};

// Every block of Store in the order of the data file's records: the extension table (per jack
// its blocks and button lists, then program 009 with its plan block, then the shared lists),
// the CO line table, the DSS console table, the single blocks, the block lists.
void ForEachFileBlock(const TSysData& Store, const std::function<void(const TCmdData&)>& Visit);

// The program's one store, created on first use and kept until exit.
TSysData& SysData();
