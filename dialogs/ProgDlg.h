// The shared pattern of the programming dialogs: read the dialog's programs first when online
// and they lack actual data (or the F key is held), load the controls, edit modally, store the
// controls into the blocks on OK and upload when online: everything with F held on OK, else
// only what changed. Cancel changes nothing. The active page is remembered per dialog class
// for the life of the process.
//
// A dialog derives from TProgDlg, builds its controls, declares them in Bindings(), and either
// names the store group whose routines read and upload its programs (SetGroup) or overrides the
// data hooks, as dialogs over a working copy of a table do.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "Binding.h"
#include "Groups.h"

class QBoxLayout;
class QPushButton;
class QTabWidget;
class TSysData;

// The row of OK (the default button), Cancel and Help under a dialog's contents; Help and F1
// open the page of context Help. OK accepts, or calls Accept for a dialog that checks first.
void AddOkCancelHelp(QDialog* Dlg, QBoxLayout* Top, int Help,
                     std::function<void()> Accept = {});
// The same row led by "Prev <Noun>" and "Next <Noun>" (named "Prev<Noun>", "Next<Noun>"), for
// the dialogs that step through CO lines, extensions or consoles; OK accepts.
void AddPrevNextOkCancelHelp(QDialog* Dlg, QBoxLayout* Top, int Help, const QString& Noun,
                             QPushButton*& Prev, QPushButton*& Next);

// Ctrl+Tab and Ctrl+PgDn turn to the next page of a dialog's page control, Ctrl+Shift+Tab and
// Ctrl+PgUp back, wherever the focus is in the dialog, and no control sees those keys. Installed
// on the application once (every programming dialog does so as it is made).
void InstallPageKeys();

// Sets the caption of a "Prev" or "Next" button of that row: Alt+P and Alt+N press them
// whatever the caption says ("Prev CO", or the neighbour it steps to, "CO 3").
void SetStepCaption(QPushButton* Button, const QString& Text);

// After a multi-edit store replaced Block wholesale and renumbered it: when its text ended up
// as it was Before, it is no edit, so the block keeps its own changed flag and read time.
void KeepUnchangedFlags(TCmdData& Block, const TCmdData& Before);
// The same for each line of a list against the line of Before at its place.
void KeepUnchangedLines(TCmdList& Lines, const TCmdList& Before);

class TProgDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TProgDlg(QWidget* Parent = nullptr);

  // Runs the whole pattern; true when the dialog was closed with OK. Force: the F key was held
  // as the dialog was opened (the opener asks it; the parameter list passes what it saw), so
  // the pre-read reads everything.
  bool Execute(bool Force);

  // The remembered page of a dialog class (its class name, e.g. "TCOprmDlg"); 0 at first.
  static int RememberedPage(const QString& ClassName);
  static void SetRememberedPage(const QString& ClassName, int Page);

 protected:
  TSysData& Store() const;
  bool OnLine() const;

  // The dialog's pages; when set, the remembered page is applied on opening and saved on
  // closing, OK or Cancel.
  void SetPages(QTabWidget* Pages) { fPages = Pages; }
  // The store group whose routines read and upload the dialog's programs.
  void SetGroup(TGroupId Id) { fGroup = Id; }

  TBindingTable& Bindings() { return fBindings; }
  const TBindingTable& Bindings() const { return fBindings; }

  // Hooks, in the order Execute calls them. The defaults work on the group.
  // Pre-read, only when online. Force: F was held as the dialog opened. The result does not
  // stop the dialog.
  virtual void PreRead(bool Force);
  // After the pre-read: take the working copy, set captions and navigation.
  virtual void Prepare() {}
  virtual bool HasData() const;
  // Whether the dialog tells the user when its programs lack actual data.
  virtual bool WarnsNoData() const { return true; }
  virtual void LoadControls();
  virtual void StoreControls();
  // After StoreControls on OK: the working copy goes back into the store.
  virtual void Commit() {}
  virtual bool HasChanges() const;
  virtual bool UploadAll();
  virtual bool UploadChanged();
  // UploadAll or UploadChanged, journaled and backed up as every upload is.
  void GuardedUpload(bool All);

  // Runs a PBX operation of the dialog. The user's abort ends it quietly and any other error
  // is shown: the dialog goes on with what the store holds.
  template <class F>
  static bool Guarded(F&& Fn) {
    try {
      return Fn();
    } catch (...) {
      return HandleFailure();
    }
  }

 private:
  static bool HandleFailure();

  QTabWidget* fPages = nullptr;
  std::optional<TGroupId> fGroup;
  TBindingTable fBindings;
};
