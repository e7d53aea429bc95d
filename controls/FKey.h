// Whether the F key is held down. Holding F while a programming dialog opens forces a fresh
// read of its programs; holding it while OK is pressed uploads all of them. Qt has no query
// for the state of a single key, so an application-wide event filter follows its presses and
// releases; tests replace the query.
//
// Held as the force key, F must not also change what the dialog will upload: a combo box would
// jump to an entry beginning with F, a list to a caption beginning with F. The filter therefore
// keeps the key's presses and releases (auto-repeat included) from every widget but those where
// typing "f" is the point (FKeyReaches); Ctrl, Alt and Meta with F are shortcuts and pass.
#pragma once

#include <QObject>
#include <functional>

class QWidget;

class TFKeyTracker : public QObject {
  Q_OBJECT
 public:
  explicit TFKeyTracker(QObject* Parent = nullptr) : QObject(Parent) {}
  bool Held() const { return fHeld; }

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  bool fHeld = false;
};

// Whether the tracker lets F reach the widget that has the focus: text fields (line edits, an
// editable combo box, text edits, spin boxes), where names are typed with F, menus, and the
// cells of a grid given to LetFKeyTypeInto while its current cell can be edited.
bool FKeyReaches(const QWidget* Widget);

class QAbstractItemView;
// A grid whose cells take F as text (speed dial numbers and names): a key typed on a cell that
// is selected but not yet open opens its editor with that key, so F must reach the grid as it
// reaches a text field. Grids of codes that hold no F keep it from their cells.
void LetFKeyTypeInto(QAbstractItemView* View);

// Installs the tracker on the application once (the first call after the QApplication exists;
// later calls do nothing).
void InstallFKeyTracker();

// The F key state at this moment: the injected query when one is set, else the tracker (false
// when none is installed).
bool FKeyHeld();
// Replaces the query; an empty function restores the tracker.
void SetFKeyQuery(std::function<bool()> Query);
