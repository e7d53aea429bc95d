// What every control of every programming dialog must write to the PBX: for each control a
// way to set it (a value other than the one the PBX holds) and the lines that must change, to
// which texts. The dialogs' wiring is proven against this table end to end (ControlTableTest):
// open the dialog on the simulated PBX, set the control, OK, and compare what the PBX holds.
#pragma once

#include <functional>
#include <string>
#include <vector>

class QWidget;
class TSimPbx;
class TSysData;

// What one line of the PBX holds after the edit: item Item becomes Text; with At >= 0 only
// character At (0-based) of the item becomes Text (a flag of a flag string, a jack's digit);
// Item 0 stands for the line's items as a whole ("3,0123", a line whose item count changes).
struct TLineChange {
  std::string Head;  // "200S", "604E01", "P01BC07"
  int Item = 1;
  int At = -1;
  std::string Text;
};

// A jack's digit in a line of digits per jack ("dddd dddd,dddd dddd,dddd dddd"): jack j is in
// item (j - 1) / 8 + 1 at character (j - 1) % 8, one further right from the fifth on.
TLineChange JackDigit(const std::string& Head, int Jack, char Digit);

// One thing the technician does in the dialog (or in an editor it opens). Raises
// std::runtime_error when the control is missing or cannot be used as the step needs.
struct TStep {
  std::string What;
  std::function<void(QWidget* Dlg)> Do;
};

// One way to set the control, and every line it must change; a choice without lines must
// change nothing (a list too short to be used).
struct TChoice {
  std::vector<TStep> Steps;
  std::vector<TLineChange> Lines;
};

struct TControlRow {
  std::string Dialog;   // the name of an entry of DialogEntries()
  std::string Control;  // what the row proves, e.g. "HoldRecallCb" or "BtnGrid1 DSS"
  // The first choice that changes what the PBX holds is taken, so that the row does not depend
  // on the PBX's factory values.
  std::vector<TChoice> Choices;
  // Before the configuration is read: the PBX made to hold what the row needs.
  std::function<void(TSimPbx&)> OnPbx;
  // After the read: the store made to hold what the row needs (a list too short).
  std::function<void(TSysData&)> OnStore;
  // Lines the PBX rewrites on its own in answer to the row's line (a new numbering plan
  // renumbers the extensions): left out of the comparison.
  std::string RewrittenByPbx;  // a pattern of heads (std::regex), empty for none
};

struct TDialogEntry {
  std::string Name;
  // Opens the dialog and returns when it is closed.
  std::function<void()> Open;
  // The heads of the lines an OK with the F key held writes (std::regex), from what the
  // dialog's programs and its selection are; empty for a dialog that keeps nothing.
  std::string Uploads;
};

const std::vector<TDialogEntry>& DialogEntries();
const std::vector<TControlRow>& ControlRows();
