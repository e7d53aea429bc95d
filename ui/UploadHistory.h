// Actions, "Upload history...": the uploads of the journal, newest first, and every line the
// selected one changed (every line written on request); all of them or those of one site.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "Journal.h"

class QCheckBox;
class QComboBox;
class QListWidget;
class QPlainTextEdit;

class TUploadHistoryDlg : public QDialog {
  Q_OBJECT
 public:
  // Site: the site whose uploads are shown first; empty: all.
  TUploadHistoryDlg(QWidget* Parent, std::vector<TJournalRun> Runs, const std::string& Site = {});
  QListWidget* Runs() const { return fList; }
  QPlainTextEdit* Details() const { return fDetails; }
  QComboBox* SiteFilter() const { return fSites; }
  QCheckBox* AllLines() const { return fAllLines; }

 private:
  void Fill();
  void ShowDetails();
  std::vector<TJournalRun> fRuns;
  std::vector<size_t> fShown;  // the runs listed, newest first
  QComboBox* fSites;
  QListWidget* fList;
  QPlainTextEdit* fDetails;
  QCheckBox* fAllLines = nullptr;
};
