// The PBX clock: read as the dialog opens, written on OK, online only. Nothing is kept in the
// store.
#pragma once

#include <QDateTime>
#include <QDialog>

class QDateEdit;
class QTimeEdit;

constexpr int kHelpDate = 300;

// The locale's short time format without its seconds, for the time pickers.
QString TimeFormatWithoutSeconds();

class TDateDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TDateDlg(QWidget* Parent);
  QDateTime Value() const;
  void SetValue(const QDateTime& Value);

 private:
  QTimeEdit* fTime;
  QDateEdit* fDate;
};

// The parameter list's "Date and time" entry; true when the clock was set (OK pressed).
bool EditPbxClock(QWidget* Parent, bool Force);
