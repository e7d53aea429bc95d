// Actions, "Upload history...": the uploads of the journal, newest first, and every line the
// selected one wrote.
#pragma once

#include <QDialog>
#include <vector>

#include "Journal.h"

class QListWidget;
class QPlainTextEdit;

class TUploadHistoryDlg : public QDialog {
  Q_OBJECT
 public:
  TUploadHistoryDlg(QWidget* Parent, std::vector<TJournalRun> Runs);
  QListWidget* Runs() const { return fList; }
  QPlainTextEdit* Details() const { return fDetails; }

 private:
  std::vector<TJournalRun> fRuns;
  QListWidget* fList;
  QPlainTextEdit* fDetails;
};
