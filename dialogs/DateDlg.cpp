#include "DateDlg.h"

#include <QDateEdit>
#include <QFormLayout>
#include <QLocale>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "Feedback.h"
#include "FormParts.h"
#include "HelpContext.h"
#include "Operation.h"
#include "PbxClock.h"
#include "ProgDlg.h"
#include "SysData.h"

namespace {

QDateTime ToDateTime(const TPbxClock& C) {
  return QDateTime(QDate(C.Year, C.Month, C.Day), QTime(C.Hour, C.Minute));
}

TPbxClock ToClock(const QDateTime& T) {
  TPbxClock c;
  c.Year = T.date().year();
  c.Month = T.date().month();
  c.Day = T.date().day();
  c.Hour = T.time().hour();
  c.Minute = T.time().minute();
  return c;
}

// A PBX operation that reports its own failure and lets the user's abort end it quietly.
template <class F>
bool Exchange(F&& Fn) {
  try {
    return Fn();
  } catch (const EAbortOperation&) {
    return false;
  } catch (const std::exception& e) {
    ShowError(e.what());
    return false;
  }
}

}  // namespace

QString TimeFormatWithoutSeconds() {
  QString f = QLocale().timeFormat(QLocale::ShortFormat);
  f.remove(QStringLiteral(":ss"));
  f.remove(QStringLiteral(":s"));
  return f;
}

TDateDlg::TDateDlg(QWidget* Parent) : QDialog(Parent) {
  setObjectName("DateDlg");
  setWindowTitle("Time and Date");
  auto* top = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  top->addLayout(form);
  fTime = new TTimeField(this);
  fTime->setObjectName("TimePicker");
  fTime->setDisplayFormat(TimeFormatWithoutSeconds());
  fDate = new QDateEdit(this);
  fDate->setObjectName("DatePicker");
  fDate->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
  fDate->setCalendarPopup(true);
  form->addRow("Time:", fTime);
  form->addRow("Date:", fDate);
  AddOkCancelHelp(this, top, kHelpDate);
}

QDateTime TDateDlg::Value() const {
  return QDateTime(fDate->date(), QTime(fTime->time().hour(), fTime->time().minute()));
}

void TDateDlg::SetValue(const QDateTime& Value) {
  fDate->setDate(Value.date());
  fTime->setTime(Value.time());
}

bool EditPbxClock(QWidget* Parent, bool) {
  if (!SysData().OnLine) {
    ShowInformation("This feature is available On-Line only!");
    return false;
  }
  TPbxOperation op("The dialog \"Time and Date\"");
  TDateDlg dlg(Parent);
  TPbxClock clock;
  bool decoded = false;
  // After a failed read the dialog shows the computer's clock, so that OK sets a sensible
  // time rather than whatever the pickers started with.
  QDateTime value = QDateTime::currentDateTime();
  value.setTime(QTime(value.time().hour(), value.time().minute()));
  bool fromPbx = false;
  if (!Exchange([&] { return ReadPbxClock(clock, decoded); })) {
    ShowError("Failed to read date and time!");
  } else if (decoded && ValidClock(clock)) {
    value = ToDateTime(clock);
    fromPbx = true;
  } else {
    ShowError("Bad time - use current value!");
  }
  dlg.SetValue(value);
  if (dlg.exec() != QDialog::Accepted) return false;
  // The PBX's own time given back unchanged would only set its clock back by the seconds the
  // dialog stood open. The computer's time, shown after a failed read, is meant to be set.
  if (fromPbx && dlg.Value() == value) return true;
  Exchange([&] { return WritePbxClock(ToClock(dlg.Value())); });
  return true;
}
