// The 100 system speed dials 00 to 99: the number to dial (list 001S) and, on models that have
// them, a name (list 011S); lines can be inserted and deleted and the grid exported to and
// imported from a text file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ProgDlg.h"

class QTableWidget;

constexpr int kHelpSpeedDial = 310;
constexpr int kSpeedDialCount = 100;

// One line of the speed dial text file: the number, then ';' and the name in double quotes
// (each quote inside doubled) when names are kept.
std::string SpeedDialLine(const std::string& Number, const std::string* Name);
// Reads a line back. The number is everything before the first ';'; the name field is read as
// a quoted string, so a ';' inside the quotes belongs to the name; a field that does not begin
// with a quote gives an empty name.
void ParseSpeedDialLine(const std::string& Line, std::string& Number, std::string& Name);

class TSpeedDialDlg : public TProgDlg {
  Q_OBJECT
 public:
  explicit TSpeedDialDlg(QWidget* Parent);

  bool HasNames() const { return fNames; }
  QTableWidget* Grid() const { return fGrid; }

  void InsertLine();
  void DeleteLine();
  // Fill the grid from a file / write the grid to a file; false (and the reason shown) when
  // the file cannot be read or written. The grid changes only on a successful import.
  bool Import(const std::string& Path);
  bool Export(const std::string& Path);

  // Asks for the file to import (Save false) or to export to; the native dialogs by default.
  // An empty answer means the user cancelled.
  static std::function<QString(QWidget* Parent, bool Save)>& FileChooser();

 protected:
  void PreRead(bool Force) override;
  void LoadControls() override;
  void StoreControls() override;

 private:
  void ClearRow(int Row);
  QString Cell(int Row, int Col) const;
  void SetCell(int Row, int Col, const QString& Text);

  bool fNames;
  QTableWidget* fGrid;
};

void EditSpeedDials(QWidget* Parent, bool Force);
