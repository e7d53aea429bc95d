#include "QtFeedback.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QScreen>
#include <QSoundEffect>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include "Infotop.h"
#include "Progress.h"
#include "Session.h"
#include "ShowWarn.h"

QString BoxText(const std::string& Text) {
  QString s = QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size()));
  s.replace("\r\n", "\n");
  s.replace('\r', '\n');
  return s;
}

TQtFeedback::TQtFeedback(QObject* Parent) : QObject(Parent) {}

TQtFeedback::~TQtFeedback() {
  if (fProgress) PbxComm().SetOnRxLine(nullptr);
  delete fProgress;
}

namespace {

// The window a question belongs to: the uppermost of the run window, the progress window and
// the program's window. A box owned by the program's window would open underneath a run or
// progress window that stays on top, out of sight, with the run waiting for its answer.
QWidget* BoxOwner(QWidget* Main, QWidget* Progress) {
  if (Progress && Progress->isVisible()) return Progress;
  if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible()) return modal;
  return Main;
}

int Box(QWidget* Parent, QMessageBox::Icon Icon, const char* Caption, const std::string& Text,
        QMessageBox::StandardButtons Buttons) {
  QMessageBox box(Icon, Caption, BoxText(Text), Buttons, Parent);
  box.setObjectName(QString("MsgBox") + Caption);
  // Over an owner that stays on top, the box must too, or the window manager may keep it below.
  if (Parent && Parent->window()->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  box.raise();
  box.activateWindow();
  return box.exec();
}

}  // namespace

void TQtFeedback::ShowError(const std::string& Text) {
  Box(BoxOwner(fMainWindow, fProgress), QMessageBox::Critical, "Error", Text, QMessageBox::Ok);
}

bool TQtFeedback::Confirm(const std::string& Text) {
  return Box(BoxOwner(fMainWindow, fProgress), QMessageBox::Question, "Confirm", Text,
             QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void TQtFeedback::ShowInformation(const std::string& Text) {
  Box(BoxOwner(fMainWindow, fProgress), QMessageBox::Information, "Information", Text,
      QMessageBox::Ok);
}

bool TQtFeedback::ShowMsgAgain(const std::string& Text, bool& Flag, bool YesNo) {
  TShowMsgAgain dlg(BoxOwner(fMainWindow, fProgress), BoxText(Text), Flag, YesNo);
  const bool yes = dlg.exec() == QDialog::Accepted;
  Flag = dlg.ShowAgain();  // whatever the answer, also when closed by the window's button
  return yes && YesNo;
}

void TQtFeedback::ShowTopInfo(const std::string& Text) {
  if (!fMainWindow) return;
  if (!fTopInfo) {
    fTopInfo = new TTopInfo(fMainWindow, BoxText(Text));
    // The session honours the request at its next wait: a connect, a dial or a dump ends.
    fTopInfo->OnCancel = [this] {
      PbxComm().RequestAbort();
      SignalActivity();
    };
  }
  fTopInfo->setText(BoxText(Text));
  // Below the menu and the toolbar, over the windows' area, so that neither is covered.
  QPoint at(13, 45);
  if (auto* main = qobject_cast<QMainWindow*>(fMainWindow.data()); main && main->centralWidget())
    at = main->centralWidget()->geometry().topLeft() + QPoint(13, 8);
  fTopInfo->move(at);
  fTopInfo->raise();
  fTopInfo->show();
  fTopInfo->setFocus();
  QCoreApplication::processEvents();
}

void TQtFeedback::HideTopInfo() {
  if (!fTopInfo) return;
  delete fTopInfo;
  QCoreApplication::processEvents();
}

void TQtFeedback::ProgressShow(const std::string& Caption, int Maximum, bool Hook) {
  if (!fProgress) fProgress = new TMyProgressBar(fMainWindow);
  fProgress->Start(BoxText(Caption), Maximum);
  if (Hook) {
    // Fired on the watcher thread: hand the tick to the user-interface thread.
    PbxComm().SetOnRxLine([this] {
      QMetaObject::invokeMethod(this, &TQtFeedback::OnReceivedLine, Qt::QueuedConnection);
    });
  }
  fProgress->adjustSize();
  // Over the program's window, where the technician looks; without one, mid-screen.
  if (fMainWindow)
    fProgress->move(fMainWindow->window()->frameGeometry().center() - fProgress->rect().center());
  else if (const QScreen* s = fProgress->screen())
    fProgress->move(s->availableGeometry().center() - fProgress->rect().center());
  fProgress->show();
  QCoreApplication::processEvents();
}

void TQtFeedback::OnReceivedLine() {
  if (fProgress) fProgress->Tick();
}

void TQtFeedback::ProgressAdvance(int N) {
  if (fProgress) fProgress->Advance(N);
}

void TQtFeedback::ProgressClose() {
  if (!fProgress) return;
  fProgress->Fill();
  PbxComm().SetOnRxLine(nullptr);
  QCoreApplication::processEvents();
  delete fProgress;
}

void TQtFeedback::PlaySound(const std::string& Path) {
  // Played asynchronously; a missing or broken file just ends silently.
  auto* effect = new QSoundEffect(this);
  connect(effect, &QSoundEffect::playingChanged, effect, [effect] {
    if (!effect->isPlaying()) effect->deleteLater();
  });
  connect(effect, &QSoundEffect::statusChanged, effect, [effect] {
    if (effect->status() == QSoundEffect::Error) effect->deleteLater();
    if (effect->status() == QSoundEffect::Ready) effect->play();
  });
  effect->setSource(QUrl::fromLocalFile(QString::fromStdString(Path)));
}

void TQtFeedback::WaitForActivity(int Ms) {
  if (!qApp || QThread::currentThread() != qApp->thread()) {
    TFeedback::WaitForActivity(Ms);
    return;
  }
  if (fActivity.exchange(false) || Ms <= 0) {
    QCoreApplication::processEvents();
    return;
  }
  // The timer's event ends the wait at the deadline; SignalActivity posts an event that ends
  // it at once; any window event ends it too. Nothing spins in between.
  QTimer deadline;
  deadline.setSingleShot(true);
  deadline.start(Ms);
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  fActivity = false;
}

void TQtFeedback::SignalActivity() {
  TFeedback::SignalActivity();  // a waiter on another thread
  if (!fActivity.exchange(true))
    QMetaObject::invokeMethod(this, [] {}, Qt::QueuedConnection);
}
