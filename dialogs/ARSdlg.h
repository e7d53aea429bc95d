// Automatic route selection: on which CO lines it works (350C), the first carrier code (359S),
// the dial tone pattern (362S) and interdigit time (363S), and four routes of 80 selection and
// 80 exception codes each (351S to 358S), with the digits removed (360S), a number added
// (361S) and the CO line group used (364S).
#pragma once

#include <QString>
#include <array>
#include <string>

#include "ProgDlg.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QTabBar;
class QTabWidget;
class QTableWidget;

constexpr int kHelpARS = 390;
constexpr int kHelpARSRoutes = 392;
constexpr int kARSRoutes = 4;
constexpr int kARSCodes = 80;
constexpr int kARSCodeLength = 7;
constexpr int kARSAddedLength = 20;

// A code as the grid shows it: "^" is empty; the x padding at its end is taken off (a code of
// nothing but x stays as it is); at most 7 characters.
QString ARSCodeShown(const std::string& Item);
// A code as the PBX keeps it: padded with x to 7 characters; empty is "^".
std::string ARSCodeItem(const QString& Code);

// What one route holds while the dialog is open; the controls show one route at a time.
struct TARSRoute {
  std::array<QString, kARSCodes> Lead, Except;
  int LeadRows = 0, ExceptRows = 0;  // codes the route's lists have blocks for
  int RemoveDigits = -1;             // the entry of "0" to "9"; -1 none
  QString Added;
  int Group = -1;  // 0 "All", 1 to 6 the group; -1 none
};

class TARSDlg : public TProgDlg {
  Q_OBJECT
 public:
  explicit TARSDlg(QWidget* Parent);

  QTabBar* RouteTabs() const { return fTabs; }

 protected:
  void LoadControls() override;
  void StoreControls() override;

 private:
  void ShowRoute(int Route);
  void SaveRoute(int Route);

  QTabWidget* fPages;
  QListWidget* fLines;
  QLineEdit *fCarrier, *fAdded;
  QTabBar* fTabs;
  QTableWidget *fLead, *fExcept;
  QComboBox *fRemove, *fGroup;
  std::array<TARSRoute, kARSRoutes> fRoutes;
  int fShownRoute = 0;
  // The three lists of the routes each hold one block per route: the routes are loaded and
  // stored; otherwise their controls stay empty and nothing of them is written.
  bool fUseRoutes = false;
};

void EditARS(QWidget* Parent, bool Force);
