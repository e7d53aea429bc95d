// The differences between the configuration in the window and a data file, one line per item
// that differs (a block only one side holds as one line with its whole text); sortable by any
// column. Not modal: the technician keeps it open beside the views.
#pragma once

#include <QDialog>
#include <vector>

#include "Compare.h"

class QLabel;
class QTableWidget;

class TCompareDlg : public QDialog {
  Q_OBJECT
 public:
  enum TColumn { colProgram, colName, colItem, colWindow, colFile, kColumnCount };

  // Diffs: the window's configuration as Old, the file's as New.
  TCompareDlg(QWidget* Parent, const std::vector<TItemDiff>& Diffs, const QString& FileName);

  QTableWidget* Table() const { return fTable; }
  QString Summary() const;

 private:
  QLabel* fSummary;
  QTableWidget* fTable;
};
