// The small pieces every programming dialog builds its pages from: combo boxes that start with
// no choice (a value the PBX has not given shows as none), check boxes and labels with their
// buddies, each with the object name by which tests and the remembered layout find it.
#pragma once

#include <QString>
#include <QStringList>
#include <QTimeEdit>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QListWidget;
class QTableWidget;
class QWidget;

QComboBox* Combo(const char* Name, const QStringList& Entries, QWidget* Parent);
// A combo box in a row of Form with its label (returned in LabelOut when asked for).
QComboBox* Combo(QFormLayout* Form, const char* Name, const char* Label,
                 const QStringList& Entries, QLabel** LabelOut = nullptr);
QCheckBox* Check(const char* Name, const char* Caption, QWidget* Parent);
QLabel* Label(const QString& Caption, QWidget* Buddy, QWidget* Parent);
// Gives a table at least the height of its column header and Rows rows and the width of its
// columns; a table of more rows scrolls and grows with its dialog.
void ShowRows(QTableWidget* Table, int Rows);
// Makes a list exactly as high as its entries, so that it neither scrolls nor leaves empty rows.
void FitRows(QListWidget* List);

// The time field of every dialog. A QTimeEdit whose text is selected beyond one section (Ctrl+A,
// a drag) refuses a typed digit, since the text it would leave ("0") fits no time, and keeps
// its old time without a sign; this one starts the typing over in the first section, so that
// typing 0930 over the selection gives 09:30.
class TTimeField : public QTimeEdit {
 public:
  explicit TTimeField(QWidget* Parent = nullptr) : QTimeEdit(Parent) {}

 protected:
  void keyPressEvent(QKeyEvent* Event) override;
};
