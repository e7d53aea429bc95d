// What the programming dialogs call the values their choice lists show, for the windows that
// list item values outside the dialogs (the check before an upload, the comparison with a
// file). One table, filled from the dialogs' own combo boxes and radio groups as their binding
// tables declare them, so that a choice is named in one place only.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>

// Program Code's ("200S", "401C") item Item: value First + i is named Names[i]. The first
// registration of an item stands.
void AddValueNames(const std::string& Code, int Item, const QStringList& Names, int First);
// What fills the table, run once before the first look-up (the dialogs' layer: it builds each
// dialog once); empty: no names.
void SetValueNamesSource(std::function<void()> Fill);
// The names of the item of the program of the line head Head ("200S", "401C2"); empty when no
// dialog names its values. First receives the value of the first name.
QStringList ValueNames(const std::string& Head, int Item, int* First = nullptr);
// Value as a window shows it: the dialog's name with the raw code beside it ("6 min  [8]"), the
// empty item "^" as "(empty)  [^]", any other value as it is.
QString NamedValue(const std::string& Head, int Item, const QString& Value);
