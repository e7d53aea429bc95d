// The eighteen groups of PBX data in the order of the read-all and upload-all run, each with
// its read, upload-all and upload-changed routine. The desktop run, the command-line tool and
// the programming dialogs all call these, so there is one copy of every command order, blank
// normalisation and progress count.
#pragma once

#include <array>
#include <functional>
#include <vector>

class TSysData;

enum TGroupId : int {
  grExtensions,
  grCOLines,
  grDSSConsoles,
  grSpeedDials,
  grDISA,
  grUCD,
  grTimer,
  grAccountCodes,
  grAutoPause,
  grCarrierExcepted,
  grTollRestriction,
  grEmergencyDial,
  grARS,
  grVoiceMail,
  grCallHunting,
  grSMDR,
  grSystemParams,
  grDayNight,
  kGroupCount
};

// A group routine: ShowProgress opens the small progress window ("Read" / "Save") for the
// routine's own run; the read-all run passes false and shows its own bar. Every exchange is
// tried, the result is the AND of them all; only the user's abort (EAbortOperation) ends a
// routine early, and it passes through to the caller.
using TGroupRoutine = bool (*)(TSysData& Store, bool ShowProgress);

struct TGroup {
  TGroupId Id;
  const char* Title;  // shown by the run: "Read %s data" / "Save %s data"
  int UploadMax;      // the run's progress maxima (one step per line the PBX sends)
  int ReadMax;
  TGroupRoutine Read;
  TGroupRoutine UploadAll;
  TGroupRoutine UploadChanged;
};

const std::array<TGroup, kGroupCount>& Groups();
inline const TGroup& Group(TGroupId Id) { return Groups()[static_cast<size_t>(Id)]; }

// Every member block of the group holds actual data and every member list holds at least one
// block, all actual. The tables' groups ask their tables for all jacks, lines or consoles.
bool GroupHasData(const TSysData& Store, TGroupId Id);
// Changed member blocks plus changed lines of member lists.
int GroupChangedCount(const TSysData& Store, TGroupId Id);
// What an upload of the group would still send: the changed member blocks and lines that hold
// a text, those the PBX's capabilities leave out of its run not counted. The program's
// "changes not yet uploaded".
int GroupPendingCount(const TSysData& Store, TGroupId Id);
// GroupPendingCount summed over the eighteen groups.
int PendingChangeCount(const TSysData& Store);

// The read-all / upload run over the eighteen groups, without any window: the desktop run
// window and the command-line tool drive it and show its events their own way.
enum class TRunDirection { Read, UploadAll, UploadChanged };

struct TRunEvents {
  std::function<void(const TGroup&)> OnStepStart;
  std::function<void(const TGroup&, bool Ok)> OnStepEnd;
};

struct TRunResult {
  bool Ok = true;        // every step that ran succeeded and none was aborted
  bool Aborted = false;  // the user's abort ended the run
  std::vector<TGroupId> Failed;
  int StepsRun = 0;      // steps started (the aborted one included)
};

// Runs every group's routine for Direction in order with ShowProgress false. A failing step
// does not end the run; the user's abort does (the steps already done keep their data). An
// error other than the abort that escapes a routine is shown and counts as a failed step.
TRunResult RunGroups(TSysData& Store, TRunDirection Direction, const TRunEvents& Events = {});
