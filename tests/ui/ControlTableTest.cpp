// Every control of every programming dialog against the simulated PBX, from the table of what
// each one must write (ControlTable.cpp): the dialog opened online on a PBX in its factory
// state, the control set, OK, and exactly the table's lines changed, to exactly its texts.
// Catches a control bound to another program's block, two items swapped, an index stored as a
// value, an edit dropped at OK, a list wired to its neighbour. For each dialog also: F held at
// OK writes every line of the dialog's selection, and Cancel after every control was set
// leaves the store byte for byte as it was and the PBX untouched; the page keys turn every page
// control and change no value.
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QAbstractSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include "ARSdlg.h"
#include "CodeTables.h"
#include "Compare.h"  // BlockHead
#include "ControlTable.h"
#include "DISAparam.h"
#include "DayNightDlg.h"
#include "FKey.h"
#include "Groups.h"
#include "ProgDlg.h"
#include "RecordingFeedback.h"
#include "Services.h"
#include "SimPbx.h"
#include "SimSession.h"
#include "SpeedDial.h"
#include "SysData.h"
#include "SystemParam.h"
#include "Text.h"
#include "TimerDlg.h"
#include "WhenModal.h"

namespace {

// The item texts of a line "HEAD/a,b/".
bool SplitItems(const std::string& Line, std::string& Head, std::vector<std::string>& Items) {
  const size_t first = Line.find('/'), last = Line.rfind('/');
  if (first == std::string::npos || last == first) return false;
  Head = Line.substr(0, first);
  Items.clear();
  std::stringstream s(Line.substr(first + 1, last - first - 1));
  std::string item;
  while (std::getline(s, item, ',')) Items.push_back(item);
  if (Line[last - 1] == ',') Items.push_back("");
  return true;
}

// Line with the change applied; an error text (beginning with "!") when it cannot be.
std::string Applied(const std::string& Line, const TLineChange& C) {
  std::string head;
  std::vector<std::string> items;
  if (!SplitItems(Line, head, items)) return "!" + Line + " is no program line";
  if (C.Item == 0) return head + "/" + C.Text + "/";
  if (C.Item > static_cast<int>(items.size()))
    return "!" + Line + " has no item " + std::to_string(C.Item);
  std::string& item = items[size_t(C.Item - 1)];
  if (C.At < 0) {
    item = C.Text;
  } else {
    if (C.At >= static_cast<int>(item.size()))
      return "!" + Line + " item " + std::to_string(C.Item) + " has no character " +
             std::to_string(C.At);
    item.replace(size_t(C.At), 1, C.Text);
  }
  std::string out = head + "/";
  for (size_t i = 0; i < items.size(); ++i) out += (i ? "," : "") + items[i];
  return out + "/";
}

std::string Joined(const std::vector<std::string>& Lines) {
  std::string s;
  for (const std::string& l : Lines) s += (s.empty() ? "" : " ") + l;
  return s.empty() ? "(none)" : s;
}

const TDialogEntry* EntryNamed(const std::string& Name) {
  for (const TDialogEntry& e : DialogEntries())
    if (e.Name == Name) return &e;
  return nullptr;
}

// KXTA_TABLE_DIALOGS (names joined by "|") keeps the test to those dialogs, so that a wiring
// change made on purpose (scripts/mutate) is checked in a second; unset, every dialog runs.
bool DialogChosen(const std::string& Name) {
  const char* chosen = std::getenv("KXTA_TABLE_DIALOGS");
  if (!chosen || !*chosen) return true;
  return ("|" + std::string(chosen) + "|").find("|" + Name + "|") != std::string::npos;
}

// A combo box, else a spin box or time field, visible and usable in Page: the controls that take
// PgUp and PgDn as a change of value.
// OutsidePages: only one that no page control holds.
QWidget* FirstValueControl(QWidget* Page, bool OutsidePages = false) {
  const auto usable = [&](QWidget* W) {
    if (!W->isVisible() || !W->isEnabled()) return false;
    for (QWidget* w = W; OutsidePages && w && w != Page; w = w->parentWidget())
      if (qobject_cast<QTabWidget*>(w)) return false;
    return true;
  };
  for (QComboBox* c : Page->findChildren<QComboBox*>())
    if (usable(c) && c->count() > 1) return c;
  for (QAbstractSpinBox* s : Page->findChildren<QAbstractSpinBox*>())
    if (usable(s)) return s;
  return nullptr;
}

QString ValueOf(QWidget* Control) {
  if (auto* c = qobject_cast<QComboBox*>(Control)) return c->currentText();
  if (auto* s = qobject_cast<QAbstractSpinBox*>(Control)) return s->text();
  return QString();
}

}  // namespace

class ControlTableTest : public QObject {
  Q_OBJECT

  TSimPbx fPbx;
  std::unique_ptr<TRecordingFeedback> fFb;
  std::unique_ptr<TSimSession> fSession;
  bool fF = false;

  // The PBX factory-new with what Row needs, read whole into an empty store, online. Empty
  // when that worked; otherwise why not.
  std::string Fresh(const TControlRow* Row) {
    fSession.reset();
    fFb.reset();  // before its successor installs itself: a feedback uninstalls as it goes
    fFb = std::make_unique<TRecordingFeedback>();
    fPbx.ResetToFactory();
    if (Row && Row->OnPbx) Row->OnPbx(fPbx);
    SysData().ClearData();
    fSession = std::make_unique<TSimSession>(fPbx);
    fSession->Reconnect();
    SysData().OnLine = true;
    const TRunResult read = RunGroups(SysData(), TRunDirection::Read);
    if (!read.Ok) return "the read failed: " + Joined(fFb->Errors);
    if (Row && Row->OnStore) Row->OnStore(SysData());
    fSession->Sent.clear();
    return {};
  }

  // What the PBX holds, its clock included.
  std::vector<std::string> PbxLines() {
    std::vector<std::string> lines = fPbx.AllLines();
    const std::string clock = fPbx.ExecuteEditCommand("000S");
    const size_t at = clock.find(";=>"), end = clock.find('\r', at);
    if (at != std::string::npos) lines.push_back(clock.substr(at + 3, end - at - 3));
    return lines;
  }

  // Opens the dialog, does the steps in it and closes it with Close (F held as it is pressed
  // when FAtClose). Empty when all went as it should; otherwise what did not.
  std::string RunDialog(const TDialogEntry& Dlg, const std::vector<TStep>& Steps,
                        const char* Close, bool FAtClose) {
    std::string failure;
    bool opened = false;
    WhenModal([&](QWidget* D) {
      opened = true;
      for (const TStep& s : Steps) {
        try {
          s.Do(D);
        } catch (const std::exception& e) {
          failure = s.What + ": " + e.what();
          break;
        }
      }
      if (failure.empty()) {
        // F stays held until the dialog has done what its OK does.
        if (auto* b = D->findChild<QPushButton*>(Close)) {
          fF = FAtClose;
          b->click();
        }
      }
      if (D->isVisible()) {
        if (failure.empty()) failure = std::string(Close) + " left the dialog open";
        if (auto* d = qobject_cast<QDialog*>(D)) d->reject();
      }
    });
    Dlg.Open();
    fF = false;
    if (!opened) failure = "no dialog opened";
    return failure;
  }

  // The store as a data file, with the changed flags the file does not keep.
  std::string StoreImage() {
    QTemporaryDir dir;
    const std::string file = dir.filePath("store.ta").toStdString();
    if (!SysData().SaveToFile(file)) return "(not saved)";
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (int g = 0; g < kGroupCount; ++g)
      bytes += "|" + std::to_string(GroupChangedCount(SysData(), static_cast<TGroupId>(g)));
    return bytes;
  }

 private slots:
  void initTestCase() {
    // A clock that stands still, so that the clock line reads as it was written.
    fPbx.Clock = [] { return std::time_t(1767261600); };
    SetFKeyQuery([this] { return fF; });
  }

  void cleanupTestCase() {
    fSession.reset();
    SetFKeyQuery({});
    SysData().OnLine = false;
    SysData().ClearData();
  }

  // Every row of the table: exactly its lines change, to exactly its texts.
  void EveryControlWritesItsLines() {
    std::vector<std::string> failures;
    int rows = 0;
    for (const TControlRow& row : ControlRows()) {
      if (!DialogChosen(row.Dialog)) continue;
      const std::string name = row.Dialog + " / " + row.Control;
      const TDialogEntry* dlg = EntryNamed(row.Dialog);
      if (!dlg) {
        failures.push_back(name + ": no such dialog");
        continue;
      }
      const std::string fresh = Fresh(&row);
      if (!fresh.empty()) {
        failures.push_back(name + ": " + fresh);
        continue;
      }
      const std::vector<std::string> before = PbxLines();
      std::map<std::string, size_t> at;
      for (size_t i = 0; i < before.size(); ++i) at[BlockHead(before[i])] = i;

      // The first choice that changes what the PBX holds, and the lines it must change.
      const TChoice* chosen = nullptr;
      std::vector<std::string> expected;
      std::string problem;
      for (const TChoice& c : row.Choices) {
        std::map<std::string, std::string> lines;
        for (const TLineChange& l : c.Lines) {
          if (!at.count(l.Head)) {
            problem = "the PBX has no line " + l.Head;
            break;
          }
          std::string& line = lines.emplace(l.Head, before[at[l.Head]]).first->second;
          line = Applied(line, l);
          if (line[0] == '!') problem = line.substr(1);
        }
        if (!problem.empty()) break;
        std::vector<std::string> changes;
        for (const auto& [head, line] : lines)
          if (line != before[at[head]]) changes.push_back(line);
        if (c.Lines.empty() || !changes.empty()) {
          chosen = &c;
          expected = changes;
          std::sort(expected.begin(), expected.end());
          break;
        }
      }
      if (!problem.empty() || !chosen) {
        failures.push_back(name + ": " + (problem.empty() ? "no choice changes the PBX" : problem));
        continue;
      }
      ++rows;
      const std::string ran = RunDialog(*dlg, chosen->Steps, "OkBtn", false);
      std::vector<std::string> changed = ChangedLines(before, PbxLines());
      if (!row.RewrittenByPbx.empty()) {
        const std::regex rewritten(row.RewrittenByPbx);
        changed.erase(std::remove_if(changed.begin(), changed.end(),
                                     [&](const std::string& l) {
                                       return std::regex_match(BlockHead(l), rewritten);
                                     }),
                      changed.end());
      }
      if (!ran.empty())
        failures.push_back(name + ": " + ran);
      else if (changed != expected)
        failures.push_back(name + ": expected " + Joined(expected) + ", the PBX changed " +
                           Joined(changed));
      else if (!fFb->Errors.empty())
        failures.push_back(name + ": " + Joined(fFb->Errors));
    }
    qInfo("%d rows", rows);
    for (const std::string& f : failures) qWarning("%s", f.c_str());
    QVERIFY2(failures.empty(), qPrintable(QString("%1 failed, listed above").arg(failures.size())));
  }

  // The parameter list's dialogs read as the force flag they are given says (the list passes
  // the F key as it saw it when the entry was opened): catches an opener that asks the key
  // again, so that F let go before the dialog came up reads nothing, and F still down when it
  // was not meant reads everything again.
  void OpenersReadAsTheirForceFlagSays() {
    if (!DialogChosen("")) QSKIP("kept to some dialogs' wiring");
    using TOpener = void (*)(QWidget*, bool);
    const std::pair<const char*, TOpener> openers[] = {
        {"system parameters", EditSystemParams}, {"speed dials", EditSpeedDials},
        {"day/night", EditDayNight},           {"timer", EditTimers},
        {"account codes", EditAccountCodes},   {"auto pause", EditAutoPauseCodes},
        {"carrier excepted", EditCarrierExceptedCodes}, {"emergency", EditEmergencyCodes},
        {"toll restriction", EditTollRestriction}, {"DISA", EditDISA},
        {"UCD", EditUCD},                       {"ARS", EditARS},
        {"voice mail", EditVoiceMail},          {"call hunting", EditCallHunting},
        {"SMDR", EditSMDR}};
    std::vector<std::string> failures;
    for (const auto& [name, open] : openers)
      for (const bool force : {false, true}) {
        const std::string fresh = Fresh(nullptr);
        if (!fresh.empty()) {
          failures.push_back(std::string(name) + ": " + fresh);
          break;
        }
        fF = !force;  // the key now says the opposite of what the list saw
        WhenModal([](QWidget* D) { qobject_cast<QDialog*>(D)->reject(); });
        open(nullptr, force);
        fF = false;
        if (fSession->Sent.empty() == force)
          failures.push_back(std::string(name) + (force ? ": forced, read nothing"
                                                        : ": not forced, read again"));
      }
    for (const std::string& f : failures) qWarning("%s", f.c_str());
    QVERIFY2(failures.empty(), qPrintable(QString("%1 failed, listed above").arg(failures.size())));
  }

  // OK with F held writes every line of the dialog's programs and selection, and no other;
  // Cancel after every control of the dialog was set leaves the store and the PBX as they
  // were and sends nothing.
  void ForceWritesTheSelectionAndCancelKeepsEverything() {
    std::vector<std::string> failures;
    for (const TDialogEntry& dlg : DialogEntries()) {
      if (!DialogChosen(dlg.Name)) continue;
      if (!dlg.Uploads.empty()) {
        const std::string fresh = Fresh(nullptr);
        if (!fresh.empty()) {
          failures.push_back(dlg.Name + ": " + fresh);
          continue;
        }
        const std::regex uploads(dlg.Uploads);
        std::set<std::string> expected, written;
        for (const std::string& l : PbxLines())
          if (std::regex_match(BlockHead(l), uploads)) expected.insert(BlockHead(l));
        const std::string ran = RunDialog(dlg, {}, "OkBtn", true);
        for (const std::string& w : fSession->Writes()) written.insert(BlockHead(w));
        if (!ran.empty())
          failures.push_back(dlg.Name + " with F: " + ran);
        else if (written != expected)
          failures.push_back(dlg.Name + " with F: wrote " + std::to_string(written.size()) +
                             " lines, " + std::to_string(expected.size()) + " expected; " +
                             Joined(std::vector<std::string>(written.begin(), written.end())));
      }

      // Cancel: every row of the dialog that needs nothing prepared, set one after the other.
      const std::string fresh = Fresh(nullptr);
      if (!fresh.empty()) {
        failures.push_back(dlg.Name + ": " + fresh);
        continue;
      }
      std::vector<TStep> steps;
      for (const TControlRow& row : ControlRows())
        if (row.Dialog == dlg.Name && !row.OnPbx && !row.OnStore && !row.Choices.empty())
          for (const TStep& s : row.Choices.front().Steps) steps.push_back(s);
      const std::vector<std::string> before = PbxLines();
      const std::string image = StoreImage();
      const std::string ran = RunDialog(dlg, steps, "CancelBtn", false);
      if (!ran.empty())
        failures.push_back(dlg.Name + " Cancel: " + ran);
      else if (StoreImage() != image)
        failures.push_back(dlg.Name + " Cancel: the store changed");
      else if (!fSession->Writes().empty() || !ChangedLines(before, PbxLines()).empty())
        failures.push_back(dlg.Name + " Cancel: wrote " + Joined(fSession->Writes()));
    }
    for (const std::string& f : failures) qWarning("%s", f.c_str());
    QVERIFY2(failures.empty(), qPrintable(QString("%1 failed, listed above").arg(failures.size())));
  }
  // Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PgDn and Ctrl+PgUp, sent to a combo box on each page of
  // every page control, turn the page and change no value; the Alt letters of a dialog do not
  // clash and OK, Cancel and Help have one. Catches a chord left to the focused control (a
  // combo box takes Ctrl+PgDn as its next entry: DISA's security type turned from "None
  // Security" to "Trunk", which OK uploaded), pages that turn only from their tab bar, and two
  // buttons given one letter.
  void PageKeysTurnPagesAndChangeNoValue() {
    struct TChord {
      Qt::Key Key;
      Qt::KeyboardModifiers Mods;
      int Step;
      const char* Name;
    };
    const TChord chords[] = {{Qt::Key_Tab, Qt::ControlModifier, 1, "Ctrl+Tab"},
                             {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, -1,
                              "Ctrl+Shift+Tab"},
                             {Qt::Key_PageDown, Qt::ControlModifier, 1, "Ctrl+PgDn"},
                             {Qt::Key_PageUp, Qt::ControlModifier, -1, "Ctrl+PgUp"}};
    std::vector<std::string> failures;
    int turned = 0;
    for (const TDialogEntry& dlg : DialogEntries()) {
      if (!DialogChosen(dlg.Name)) continue;
      const std::string fresh = Fresh(nullptr);
      if (!fresh.empty()) {
        failures.push_back(dlg.Name + ": " + fresh);
        continue;
      }
      const std::string image = StoreImage();
      const auto fail = [&](const QString& Why) { failures.push_back(dlg.Name + ": " + Why.toStdString()); };
      const TStep keys{"page keys", [&](QWidget* D) {
        std::map<QString, QString> letters;
        for (QAbstractButton* b : D->findChildren<QAbstractButton*>()) {
          const QString key = b->shortcut().toString();
          if (key.isEmpty()) continue;
          if (letters.count(key)) fail(b->text() + " and " + letters[key] + " share " + key);
          letters[key] = b->text();
        }
        for (const char* name : {"OkBtn", "CancelBtn", "HelpBtn"})
          if (auto* b = D->findChild<QPushButton*>(name); b && b->shortcut().isEmpty())
            fail(QString(name) + " has no Alt letter");
        for (QTabBar* tabs : D->findChildren<QTabBar*>()) {
          const int n = tabs->count();
          if (n < 2) continue;
          // A page control's tabs, from a control on each page; a row of tabs on its own,
          // from a control of the dialog outside any page control; a row inside a page, from
          // the row itself.
          auto* pages = qobject_cast<QTabWidget*>(tabs->parentWidget());
          bool inPage = false;
          for (QWidget* w = tabs->parentWidget(); w && w != D; w = w->parentWidget())
            inPage = inPage || qobject_cast<QTabWidget*>(w);
          for (int page = 0; page < n; ++page) {
            tabs->setCurrentIndex(page);
            QWidget* control = pages ? FirstValueControl(pages->widget(page))
                               : inPage ? tabs
                                        : FirstValueControl(D, true);
            if (!control) continue;
            for (const TChord& c : chords) {
              tabs->setCurrentIndex(page);
              control->setFocus();
              const QString value = ValueOf(control);
              QTest::keyClick(control, c.Key, c.Mods);
              const int want = (page + c.Step + n) % n;
              const QString where =
                  QString("%1 on page %2 in %3").arg(c.Name).arg(page).arg(control->objectName());
              if (tabs->currentIndex() != want)
                fail(where + QString(" turned to page %1, not %2").arg(tabs->currentIndex()).arg(want));
              if (ValueOf(control) != value)
                fail(where + " changed it from " + value + " to " + ValueOf(control));
              ++turned;
            }
          }
        }
      }};
      const std::string ran = RunDialog(dlg, {keys}, "OkBtn", false);
      if (!ran.empty())
        failures.push_back(dlg.Name + ": " + ran);
      else if (StoreImage() != image)
        failures.push_back(dlg.Name + ": OK after the page keys changed the store");
    }
    qInfo("%d chords", turned);
    for (const std::string& f : failures) qWarning("%s", f.c_str());
    QVERIFY2(failures.empty(), qPrintable(QString("%1 failed, listed above").arg(failures.size())));
    if (DialogChosen("")) QVERIFY(turned > 0);
  }
};

QTEST_MAIN(ControlTableTest)
#include "ControlTableTest.moc"
