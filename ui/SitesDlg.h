// File, "Sites...": the site book. A site is picked to connect to, added, changed or removed;
// its password goes to the keyring where the desktop has one.
#pragma once

#include <QDialog>
#include <string>

#include "SiteBook.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

class TSitesDlg : public QDialog {
  Q_OBJECT
 public:
  TSitesDlg(QWidget* Parent, const std::string& BookFile, const std::string& Current);
  // After Connect: the site picked.
  const std::string& Picked() const { return fPicked; }
  const TSiteBook& Book() const { return fBook; }

 private:
  void Refill(const std::string& Select);
  void ShowSite(const TSite* Site);
  bool SaveSite();
  void RemoveSite();

  TSiteBook fBook;
  std::string fPicked;
  QListWidget* fList;
  QLineEdit *fName, *fNote, *fPort, *fModem, *fPassword;
  QComboBox *fModel, *fSpeed, *fParity, *fDataBits, *fStopBits;
  QPushButton* fConnect;
};

// The keyring's absence is said once per run of the program, not at every site saved.
bool TakeKeyringNote();
