#include "FKey.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>

namespace {

QPointer<TFKeyTracker> gTracker;
std::function<bool()> gQuery;
constexpr const char* kTypesF = "kxtaFKeyTypes";

// A typed key opens the editor of the current cell and goes into it.
bool CellTakesTypedKey(const QAbstractItemView* View) {
  const QModelIndex current = View->currentIndex();
  return View->property(kTypesF).toBool() && current.isValid() &&
         (current.flags() & Qt::ItemIsEditable) &&
         View->editTriggers().testFlag(QAbstractItemView::AnyKeyPressed);
}

}  // namespace

void LetFKeyTypeInto(QAbstractItemView* View) {
  if (View) View->setProperty(kTypesF, true);
}

bool FKeyReaches(const QWidget* Widget) {
  if (qobject_cast<const QLineEdit*>(Widget) || qobject_cast<const QTextEdit*>(Widget) ||
      qobject_cast<const QPlainTextEdit*>(Widget) || qobject_cast<const QAbstractSpinBox*>(Widget))
    return true;
  if (auto* view = qobject_cast<const QAbstractItemView*>(Widget)) return CellTakesTypedKey(view);
  if (auto* combo = qobject_cast<const QComboBox*>(Widget)) return combo->isEditable();
  // Menus hold no setting, and F is the letter of the File menu.
  return qobject_cast<const QMenu*>(Widget) || qobject_cast<const QMenuBar*>(Widget);
}

bool TFKeyTracker::eventFilter(QObject* Watched, QEvent* Event) {
  switch (Event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      auto* k = static_cast<QKeyEvent*>(Event);
      if (k->key() != Qt::Key_F) break;
      // Auto-repeat sends release/press pairs while the key stays down.
      if (!k->isAutoRepeat()) fHeld = Event->type() == QEvent::KeyPress;
      // The window gets the key before its focus widget does: the widget decides.
      auto* widget = qobject_cast<QWidget*>(Watched);
      const bool shortcut =
          k->modifiers().testAnyFlags(Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
      if (widget && !shortcut && !FKeyReaches(widget)) return true;
      break;
    }
    case QEvent::ApplicationDeactivate:
      // A release that happens in another program's window never reaches us.
      fHeld = false;
      break;
    default:
      break;
  }
  return QObject::eventFilter(Watched, Event);
}

void InstallFKeyTracker() {
  if (gTracker || !qApp) return;
  gTracker = new TFKeyTracker(qApp);
  qApp->installEventFilter(gTracker);
}

bool FKeyHeld() {
  if (gQuery) return gQuery();
  return gTracker && gTracker->Held();
}

void SetFKeyQuery(std::function<bool()> Query) {
  gQuery = std::move(Query);
}
