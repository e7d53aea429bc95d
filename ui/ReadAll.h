// The window of the read-all and upload-all run: one line per group with a state icon, the
// command being exchanged, a progress bar for the current group, and Stop.
#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>
#include <atomic>

#include "Groups.h"
#include "UploadGuard.h"

class QLabel;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QPushButton;

class TReadAllDlg : public QDialog {
  Q_OBJECT
 public:
  enum TIcon { icNone = -1, icWorking = 0, icOk = 1, icErrors = 2, icAbort = 3 };

  TReadAllDlg(QWidget* Parent, bool Upload);
  ~TReadAllDlg() override;

  // Runs every group in order; returns the run's result (the caller posts the data-changed
  // notification after a read, also an aborted one).
  TRunResult Run(TSysData& Store);
  // An upload's backup, journal and direction; set before Run.
  void SetUpload(const TUploadGuardOptions& Guard, TRunDirection Direction) {
    fGuard = Guard;
    fDirection = Direction;
  }
  // The backup made before the upload, as the window names it; empty when none.
  const std::string& BackupFile() const { return fBackupFile; }

  // After a run in which a step ended " - errors!": the window stays, its Stop button
  // turned into Close, until the technician has seen it and closes it.
  void WaitForClose();
  // Whether ReadAll and UploadAll keep a window with errors open; a script that runs the
  // program with nobody at it switches that off.
  static void SetStaysOpenOnErrors(bool On);

  // For tests: the lines as shown, and the current bar.
  QStringList LineTexts() const;
  TIcon LineIcon(int Row) const;
  QProgressBar* Bar() const { return fBar; }
  int Ticks() const { return fTicks; }
  // Called once a step has begun; tests use it to press Stop at a chosen point.
  std::function<void(const TGroup&)> OnStepStarted;

 public slots:
  void Stop();

 private:
  void StepStart(const TGroup& G);
  void StepEnd(const TGroup& G, bool Ok);
  void Command(const std::string& Cmd);
  void ReceivedLine();
  void SetLine(QListWidgetItem* Line, const QString& Text, TIcon Icon);

  bool fUpload;
  TUploadGuardOptions fGuard;
  TRunDirection fDirection = TRunDirection::UploadAll;
  std::string fBackupFile;
  QLabel* fBackupLbl;
  QListWidget* fList;
  QProgressBar* fBar;
  QPushButton* fStop;
  QListWidgetItem* fCurrent = nullptr;
  QString fStepText;
  int fTicks = 0;
  // The line's command text is repainted a few times a second, not once per command: each
  // repaint costs the user-interface thread, which is the one that types the next command.
  QString fCommandText;
  QTimer fCommandPaint;
  // Lines received on the watcher thread and not yet on the bar; one queued call at a time.
  std::atomic<int> fPendingTicks{0};
  std::vector<QListWidgetItem*> fLines;  // by group
};

// The two runs the main window starts. Both return true (the outcome is shown in the window).
bool ReadAll(QWidget* Parent, TSysData& Store);
// The upload makes its backup and journals what it writes (UploadGuard.h); Options say which file
// is uploaded and whether only what the journal does not show confirmed is sent.
bool UploadAll(QWidget* Parent, TSysData& Store, const TUploadGuardOptions& Options = {},
               TRunDirection Direction = TRunDirection::UploadAll);
