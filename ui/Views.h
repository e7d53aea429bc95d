// The three views of the store inside the main window: the stations window (extensions and
// DSS consoles), the trunks window (CO lines) and the parameter window (the tree of system
// programming dialogs). None holds configuration data; every caption comes from the store.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "Factory.h"  // ModelJackCount, ModelCOCount
#include "IntList.h"
#include "Main.h"

class QListWidget;
class QListWidgetItem;
class QMenu;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class TSysData;

constexpr int kParamEntryCount = 18;

// The programming dialogs the views open. A dialog attaches itself here when it exists; an
// empty entry means the view's Edit (or the tree entry) does nothing.
struct TViewDialogs {
  // Opened for a sorted list of jack / console / CO numbers; true when the user accepted
  // changes (the stations window then refreshes its captions).
  using TListDialog = std::function<bool(QWidget* Parent, const TIntegerList& List)>;
  // A system programming dialog of the parameter tree; Force is set when F was held down.
  using TParamDialog = std::function<void(QWidget* Parent, bool Force)>;

  TListDialog Extensions;
  TListDialog DSSConsoles;
  TListDialog COLines;
  // By position in the whole tree; the two group entries (6 and 9) never open anything.
  std::array<TParamDialog, kParamEntryCount> Params;
};
TViewDialogs& ViewDialogs();


// Caption of jack j's entry and of DSS console d's entry, from the store.
QString ExtensionCaption(const TSysData& Store, int Jack);
QString DSSCaption(const TSysData& Store, int DSS);

// Closing a view only minimises it, so the Window menu can always bring it back.
class TViewWindow : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;

 protected:
  void closeEvent(QCloseEvent* Event) override;
};

class TStationsWnd : public TViewWindow, public TCopyPasteTarget {
  Q_OBJECT
 public:
  enum TSortKind { sortByName, sortByExtension, sortByPortId };

  explicit TStationsWnd(TSysData& Store, QWidget* Parent = nullptr);

  // Clears and refills both lists; selection and order go, the copy sources stay.
  void Rebuild();
  void RefreshExtCaptions();
  void RefreshDSSCaptions();
  // Bold for the extensions (their own blocks, button lists and number) and the consoles that
  // hold changes not yet uploaded.
  void RefreshMarks();

  // The Edit menu's Copy / Paste act on the current page.
  void CopyItems() override;
  void PasteItems() override;

  void EditExtensions();
  void CopyExtension();
  void PasteExtension();
  void EditDSS();
  void CopyDSS();
  void PasteDSS();
  void SelectAll();
  void Arrange();
  void Sort(TSortKind Kind);

  // The pop-up menus with the enabled states they get when they open.
  QMenu* ExtMenu();
  QMenu* DSSMenu();
  void UpdateExtMenu();
  void UpdateDSSMenu();

  QTabWidget* Pages() const { return fPages; }
  QListWidget* ExtList() const { return fExtList; }
  QListWidget* DSSList() const { return fDSSList; }
  bool ExtPageActive() const;
  int ExtCopySource() const { return fExtSource; }
  int DSSCopySource() const { return fDSSSource; }

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  TSysData& fStore;
  QTabWidget* fPages;
  QListWidget* fExtList;
  QListWidget* fDSSList;
  QMenu* fExtMenu;
  QMenu* fDSSMenu;
  int fExtSource = 0;
  int fDSSSource = 0;
};

class TTrunksWnd : public TViewWindow, public TCopyPasteTarget {
  Q_OBJECT
 public:
  enum TSortKind { sortByName, sortByPort };

  explicit TTrunksWnd(TSysData& Store, QWidget* Parent = nullptr);

  void Rebuild();
  // Bold for the CO lines whose blocks hold changes not yet uploaded.
  void RefreshMarks();
  void CopyItems() override { CopyCO(); }
  void PasteItems() override { PasteCO(); }

  void EditCO();
  void CopyCO();
  void PasteCO();
  void SelectAll();
  void Arrange();
  void Sort(TSortKind Kind);

  QMenu* COMenu();
  void UpdateCOMenu();

  QListWidget* COList() const { return fCOList; }
  int COCopySource() const { return fCOSource; }

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  TSysData& fStore;
  QTabWidget* fPages;
  QListWidget* fCOList;
  QMenu* fCOMenu;
  int fCOSource = 0;
};

class TParamWnd : public TViewWindow {
  Q_OBJECT
 public:
  explicit TParamWnd(QWidget* Parent = nullptr);
  ~TParamWnd() override;

  // Position of Item counted over the whole tree from the top, children included whether or
  // not their parent is expanded; -1 for no item.
  int EntryIndex(const QTreeWidgetItem* Item) const;
  // Opens the dialog of the selected entry.
  void OpenSelected(bool Force);

  QTreeWidget* Tree() const { return fTree; }

 private:
  QTreeWidget* fTree;
};

struct TViews {
  TParamWnd* Params = nullptr;
  TTrunksWnd* Trunks = nullptr;
  TStationsWnd* Stations = nullptr;
};

// Creates the three views in the main window (parameter window, trunks window, stations
// window), registers them in its Window menu and rebuilds them on its data-changed
// notification.
TViews CreateViews(TMainForm& Main);
TViews CreateViews(TMainForm& Main, TSysData& Store);
