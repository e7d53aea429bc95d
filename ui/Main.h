// The frame window: menus, toolbar, status bar, the connection, file handling, the recent
// files, and the routing of Copy / Paste to the active view.
#pragma once

#include <QMainWindow>
#include <QMargins>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ComSetup.h"
#include "LastFile.h"
#include "SiteBook.h"

class QAction;
class QDialog;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class TStream;
class TSysData;

// What the frame needs of the PBX session; the program wires it to the real session, tests
// to a stand-in.
struct TPbxActions {
  // A direct connection with the communication settings and the system password; returns the
  // session's result code.
  std::function<int()> Connect;
  std::function<void()> Disconnect;
  // Writes the PBX's listing to To; false when it is incomplete (the line was lost, the port
  // closed or the listing stopped inside a line).
  std::function<bool(TStream& To)> StoreDump;
  std::function<std::string()> PbxVersion;
  // The device Connect opens ("/dev/ttyUSB0", "demo"), for the upload journal.
  std::function<std::string()> DeviceName;
  // Why the last connection could not open its port, in words a user can act on.
  std::function<std::string()> ConnectErrorText;
  // The log-in line the last failed connect ended at (for its message).
  std::function<std::string()> ConnectStep;
  // The session's carrier-lost slot (set by the modem dialog, cleared on disconnect).
  std::function<void(std::function<void()>)> SetOnCarrierLost;
  // The devices behind the COM entries and those present, for the COM port dialog.
  std::function<TComDevices()> ComDevices;
  // Opens the modem dialog.
  std::function<void(QWidget* Parent)> ModemDialog;
  // Asks the session to stop the operation in progress before its next command.
  std::function<void()> RequestAbort;
  // Whether the user asked to stop (the information panel's Cancel); the request is taken.
  std::function<bool()> TakeAbort;
  // The site whose port, line settings, modem number and password Connect uses from now on;
  // null: the settings' again.
  std::function<void(const TSite* Site, const std::string& Password)> UseSite;
};

// A view that takes the Edit menu's Copy and Paste.
class TCopyPasteTarget {
 public:
  virtual ~TCopyPasteTarget() = default;
  virtual void CopyItems() = 0;
  virtual void PasteItems() = 0;
};

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  enum TUnsavedChoice { ucSave, ucDiscard, ucCancel };
  enum TUploadChoice { upNo, upYes, upDiffering };

  TMainForm(TSysData& Store, TPbxActions Actions, bool ShowDumpAction,
            QWidget* Parent = nullptr);
  ~TMainForm() override;

  // Called by the modem dialog after a modem connection, and by Connect / Disconnect.
  void SetOnline(bool State);
  void CarrierLost();

  bool Connect();
  void Disconnect();
  void New();
  // A configuration of what a new PBX of the settings' model holds.
  void NewFromFactory();
  void Open();
  bool OpenFile(const std::string& Path);
  // The data file named on the command line: a name without a folder is in the current folder
  // (not the data folder, as for names the program keeps).
  bool OpenFromCommandLine(const std::string& Arg);
  void OpenRecent(const std::string& Path);
  bool Save();
  bool SaveAs();
  void ReadFromPbx();
  // Checks the configuration against the PBX's program table first: values the PBX would
  // refuse are listed, with Cancel (the default) and "Upload anyway".
  void UploadToPbx();
  // Reads what the PBX holds and sends only the lines that differ.
  void UploadDifferences();
  // File, "Compare with file...": a data file loaded into a store of its own (the window's
  // configuration stays as it is) and its differences listed item by item.
  void CompareWithFile();
  bool CompareWithFile(const std::string& Path);
  void StoreDump();
  void ComPortSetup();
  void SystemSetup();
  // File, "Sites...": the site book; the site picked there is connected to.
  void Sites();
  // Works with Site from now on (its connection, password, backups and history); null: none.
  // False when its password cannot be had (said).
  bool ChooseSite(const TSite* Site);
  const TSite& CurrentSite() const { return fSite; }

  // The data-changed notification: queued, so views rebuild after the current action.
  void PostDataChanged();

  // The three views register here so that the Window menu can show them.
  void AddView(QWidget* View, const QString& MenuCaption);
  QMdiArea* MdiArea() const { return fMdi; }

  const std::string& CurrentFileName() const { return fFileName; }
  // Where Open, Save As and the other file choosers start.
  const QString& FileDialogFolder() const { return fFolder; }
  // The configuration holds changes that are neither saved nor uploaded.
  bool HasUnsavedWork() const;
  // Actions, "Upload history...".
  void ShowUploadHistory();
  // The title: the program, the data file's name, and "*" while there is unsaved work; and the
  // pending changes panel, after which PendingChangesShown tells the views to mark their
  // changed entries. Called after every load, read, save and upload, on the data-changed
  // notification, and by the views after a dialog or a paste.
  void UpdateTitle();
  // Program lines changed and not yet uploaded to the PBX (PendingChangeCount).
  int PendingChanges() const;
  // Shows Text in the status bar for a few seconds.
  void ShowStatus(const QString& Text);
  const TRecentFiles& RecentFiles() const { return fRecent; }
  QAction* Action(const char* ObjectName) const;
  QString StatusText(int Panel) const;

 signals:
  void DataChanged();
  void PendingChangesShown(int Count);

 protected:
  void closeEvent(QCloseEvent* Event) override;
  void changeEvent(QEvent* Event) override;
  void showEvent(QShowEvent* Event) override;
  // File choosers; tests answer them without a dialog.
  virtual QString ChooseOpenFile();
  virtual QString ChooseSaveFile();
  virtual QString ChooseDumpFile();
  virtual QString ChooseCompareFile();
  // Save / Discard / Cancel for unsaved work; tests answer without a box.
  virtual TUnsavedChoice AskUnsavedWork(const QString& Question);
  // "Upload data to PBX?", Yes / No, with Info beneath; with Differing > 0 also the button
  // "Upload differences only (N)" (object name "UploadDiffBtn"). Tests answer without a box.
  virtual TUploadChoice AskUpload(const QString& Info, int Differing);

 private:
  void Upload(bool Differing);
  void BuildMenus(bool ShowDumpAction);
  void BuildToolBar();
  void BuildStatusBar();
  void UpdateOnlineControls();
  void RebuildRecentMenu();
  void RebuildWindowList();
  void SetCurrentFileName(const std::string& Name);
  void RememberFolder(const std::string& Path);
  void CopyOrPaste(bool Copy);
  // Window menu: the shown windows side by side (or one above the other), the minimised
  // ones in a row.
  void TileWindows(bool SideBySide);
  void CascadeWindows();
  void ArrangeIcons();
  // The frame's and the views' places, kept in the [Windows] section of the settings file;
  // never larger than the screen.
  void RestoreLayout();
  void SaveLayout() const;
  // How far the window manager's frame reaches beyond the inside (none before it is shown).
  QMargins FrameMargins() const;
  // Before work that replaces the configuration: Save / Discard / Cancel when it holds unsaved
  // work; false when the user cancels (or saving failed).
  bool KeepOrDropUnsavedWork(const QString& Before);
  // The configuration as it stands now is what the file or the PBX holds.
  void MarkClean();
  // A PBX operation is in progress: the status bar says so and true is returned.
  bool RefuseWhileBusy();
  QAction* AddAction(QMenu* Menu, const char* Name, const QString& Text,
                     const QKeySequence& Key, void (TMainForm::*Slot)());

  TSysData& fStore;
  TPbxActions fActions;
  QMdiArea* fMdi;
  QMenu* fFileMenu = nullptr;
  QMenu* fWindowMenu = nullptr;
  QAction* fWindowListSeparator = nullptr;
  QList<QAction*> fRecentActions;
  QList<QAction*> fWindowListActions;
  QList<QAction*> fViewActions;
  QList<QPair<QString, QMdiSubWindow*>> fViews;  // settings key, window
  bool fLayoutRestored = false;
  QLabel* fPanels[5] = {};
  std::string fFileName;
  TSite fSite;           // no name: no site
  int fSettingsModel = -1;  // the settings' model while a site's is in use
  // The opened file whose unfinished upload the user chose to finish on the next upload.
  std::string fResumeSource;
  QString fFolder;
  TRecentFiles fRecent;
  uint64_t fCleanPrint = 0;
  bool fCloseWhenIdle = false;
  QPointer<QDialog> fCompareWnd;
};
