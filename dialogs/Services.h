// Three small service dialogs: the voice mail ports, the hunting type of the extension groups
// and the SMDR printout.
#pragma once

#include "ProgDlg.h"

class QCheckBox;
class QComboBox;
class QListWidget;
class QSpinBox;

constexpr int kHelpVoiceMail = 500;
constexpr int kHelpCallHunt = 510;
constexpr int kHelpSMDR = 520;

// The digit of extension group 1..8 in a "dddd dddd" item: positions 0-3, then 5-8.
size_t GroupDigitAt(int Group);

class TVoiceMailDlg : public TProgDlg {
  Q_OBJECT
 public:
  explicit TVoiceMailDlg(QWidget* Parent);

 protected:
  void LoadControls() override;
  void StoreControls() override;

 private:
  QListWidget* fJacks;
};

class TCallHuntDlg : public TProgDlg {
  Q_OBJECT
 public:
  explicit TCallHuntDlg(QWidget* Parent);

 protected:
  void LoadControls() override;
  void StoreControls() override;

 private:
  bool Readable() const;
  QComboBox* fGroups[8];
};

class TSMDRdlg : public TProgDlg {
  Q_OBJECT
 public:
  explicit TSMDRdlg(QWidget* Parent);
};

void EditVoiceMail(QWidget* Parent, bool Force);
void EditCallHunting(QWidget* Parent, bool Force);
void EditSMDR(QWidget* Parent, bool Force);
