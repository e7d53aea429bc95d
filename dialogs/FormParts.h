// The small pieces every programming dialog builds its pages from: combo boxes that start with
// no choice (a value the PBX has not given shows as none), check boxes and labels with their
// buddies, each with the object name by which tests and the remembered layout find it.
#pragma once

#include <QString>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QWidget;

QComboBox* Combo(const char* Name, const QStringList& Entries, QWidget* Parent);
// A combo box in a row of Form with its label (returned in LabelOut when asked for).
QComboBox* Combo(QFormLayout* Form, const char* Name, const char* Label,
                 const QStringList& Entries, QLabel** LabelOut = nullptr);
QCheckBox* Check(const char* Name, const char* Caption, QWidget* Parent);
QLabel* Label(const QString& Caption, QWidget* Buddy, QWidget* Parent);
