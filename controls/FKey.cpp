#include "FKey.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>

namespace {

QPointer<TFKeyTracker> gTracker;
std::function<bool()> gQuery;

}  // namespace

bool TFKeyTracker::eventFilter(QObject* Watched, QEvent* Event) {
  switch (Event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      auto* k = static_cast<QKeyEvent*>(Event);
      // Auto-repeat sends release/press pairs while the key stays down.
      if (k->key() == Qt::Key_F && !k->isAutoRepeat()) fHeld = Event->type() == QEvent::KeyPress;
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
