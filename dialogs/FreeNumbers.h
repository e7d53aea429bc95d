// The extension number of the extension dialog: the numbers no jack uses and the dialog that
// offers them in place of the number field's drop-down.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "ExtData.h"

class QCheckBox;
class QTableWidget;

// The extension numbers the free-number dialog offers for Jack: the plan's range without the
// numbers of the table's program 009, the jack's own number added back, sorted as text. Plan is
// that of the plan block when it holds actual data, else the one detected from the numbers;
// Detected is false when neither tells it (plan 1 is then used unless UsePlan2 is set).
std::vector<std::string> FreeExtensionNumbers(const TExtensionArray& Table, int Jack,
                                              bool UsePlan2, bool* Detected = nullptr);

// A combo box whose drop-down is replaced by a dialog of the owner's (OnDropDown).
class TDropDownCombo : public QComboBox {
  Q_OBJECT
 public:
  using QComboBox::QComboBox;
  std::function<void()> OnDropDown;
  void showPopup() override;
};

// "Free Extension numbers": a grid of 10 columns of the numbers no jack uses.
class TFreeDNdlg : public QDialog {
  Q_OBJECT
 public:
  // Current: the number shown now (selected when offered); Jack's own number is offered too.
  TFreeDNdlg(int Jack, const TExtensionArray& Table, const QString& Current,
             QWidget* Parent = nullptr);
  // Modal at Pos (screen coordinates); true with a number chosen.
  bool Execute(const QPoint& Pos);
  QString Chosen() const { return fChosen; }

  QTableWidget* Grid() const { return fGrid; }
  QCheckBox* Plan2Box() const { return fPlan2; }

  void accept() override;

 private:
  void Fill();

  int fJack;
  const TExtensionArray& fTable;
  QString fCurrent, fChosen;
  QTableWidget* fGrid;
  QCheckBox* fPlan2;
};

