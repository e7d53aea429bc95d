// The check before an upload: the program lines the PBX would refuse, listed with what it takes
// there, and the choice to cancel the upload (the default) or to send the configuration anyway.
#pragma once

#include <QDialog>
#include <vector>

#include "PbxPrograms.h"  // TLineProblem

class QPushButton;
class QTableWidget;

class TUploadCheckDlg : public QDialog {
  Q_OBJECT
 public:
  TUploadCheckDlg(QWidget* Parent, const std::vector<TLineProblem>& Problems);

  QTableWidget* Table() const { return fTable; }
  QPushButton* CancelButton() const { return fCancel; }
  QPushButton* UploadButton() const { return fUpload; }

 private:
  QTableWidget* fTable;
  QPushButton* fCancel;
  QPushButton* fUpload;
};

// Shows the problems; true when the user chose to upload anyway.
bool UploadDespiteProblems(QWidget* Parent, const std::vector<TLineProblem>& Problems);
