#include "HelpWindow.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextCursor>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include "HelpContext.h"

namespace {

QPointer<THelpWindow> gHelp;

}  // namespace

// The pages live in the ui library's resources; a static library's resources are registered
// by hand.
static void InitHelpResources() { Q_INIT_RESOURCE(help); }

THelpWindow* THelpWindow::Instance() {
  if (!gHelp) {
    InitHelpResources();
    gHelp = new THelpWindow;
  }
  return gHelp;
}

THelpWindow* THelpWindow::Existing() { return gHelp; }

THelpWindow::THelpWindow(QWidget* Parent) : QWidget(Parent, Qt::Window) {
  setObjectName("HelpWindow");
  // Ending in the program's name, which the window system would otherwise add a second time.
  setWindowTitle("Help - KX-TA Configurator");
  setAttribute(Qt::WA_DeleteOnClose, false);
  resize(900, 640);

  auto* top = new QVBoxLayout(this);
  auto* bar = new QToolBar(this);
  bar->setObjectName("HelpToolBar");
  QAction* back = bar->addAction("Back");
  back->setObjectName("HelpBackAct");
  back->setShortcut(QKeySequence::Back);
  QAction* forward = bar->addAction("Forward");
  forward->setObjectName("HelpForwardAct");
  forward->setShortcut(QKeySequence::Forward);
  QAction* contents = bar->addAction("Contents");
  contents->setObjectName("HelpContentsAct");
  bar->addSeparator();
  bar->addWidget(new QLabel("Find: ", bar));
  fFind = new QLineEdit(bar);
  fFind->setObjectName("HelpFindEdit");
  fFind->setPlaceholderText("text in this page");
  fFind->setClearButtonEnabled(true);
  fFind->setMaximumWidth(240);
  bar->addWidget(fFind);
  QAction* next = bar->addAction("Find next");
  next->setObjectName("HelpFindNextAct");
  top->addWidget(bar);

  auto* split = new QSplitter(this);
  fContents = new QListWidget(split);
  fContents->setObjectName("HelpContentsList");
  for (const THelpPage& p : HelpPages()) {
    auto* item = new QListWidgetItem(p.Title, fContents);
    item->setData(Qt::UserRole, QString("qrc:/help/%1").arg(p.File));
  }
  fBrowser = new QTextBrowser(split);
  fBrowser->setObjectName("HelpBrowser");
  fBrowser->setOpenLinks(true);
  fBrowser->setOpenExternalLinks(true);
  split->addWidget(fContents);
  split->addWidget(fBrowser);
  split->setStretchFactor(1, 1);
  split->setSizes({220, 680});
  top->addWidget(split, 1);

  back->setEnabled(false);
  forward->setEnabled(false);
  connect(back, &QAction::triggered, fBrowser, &QTextBrowser::backward);
  connect(forward, &QAction::triggered, fBrowser, &QTextBrowser::forward);
  connect(fBrowser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
  connect(fBrowser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
  connect(contents, &QAction::triggered, this, [this] { fBrowser->setSource(QUrl(HelpPageUrl(kHelpContents))); });
  connect(fBrowser, &QTextBrowser::sourceChanged, this, &THelpWindow::SyncContents);
  connect(fContents, &QListWidget::itemActivated, this, [this](QListWidgetItem* Item) {
    fBrowser->setSource(QUrl(Item->data(Qt::UserRole).toString()));
  });
  connect(fContents, &QListWidget::itemClicked, this, [this](QListWidgetItem* Item) {
    fBrowser->setSource(QUrl(Item->data(Qt::UserRole).toString()));
  });
  connect(fFind, &QLineEdit::returnPressed, this, [this] { FindInPage(fFind->text()); });
  connect(next, &QAction::triggered, this, [this] { FindInPage(fFind->text()); });
  auto* findKey = new QAction(this);
  findKey->setShortcut(QKeySequence::Find);
  addAction(findKey);
  connect(findKey, &QAction::triggered, this, [this] {
    fFind->setFocus();
    fFind->selectAll();
  });
}

void THelpWindow::SyncContents(const QUrl& Url) {
  const QString page = Url.adjusted(QUrl::RemoveFragment).toString();
  for (int i = 0; i < fContents->count(); ++i)
    if (fContents->item(i)->data(Qt::UserRole).toString() == page) {
      const QSignalBlocker block(fContents);
      fContents->setCurrentRow(i);
      return;
    }
}

// A window outside a running modal dialog takes no input: the help then becomes a window of
// that dialog, and returns to standing alone when the dialog finishes.
void THelpWindow::FollowModal() {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == this) return;
  if (!modal) {
    if (parentWidget()) setParent(nullptr, Qt::Window);
    return;
  }
  if (parentWidget() == modal) return;
  const QByteArray geometry = saveGeometry();
  setParent(modal, Qt::Window);
  restoreGeometry(geometry);
  if (auto* dlg = qobject_cast<QDialog*>(modal))
    connect(dlg, &QDialog::finished, this, [this, dlg] {
      if (parentWidget() != dlg) return;
      const bool visible = isVisible();
      setParent(nullptr, Qt::Window);
      if (visible) show();
    }, Qt::SingleShotConnection);
}

void THelpWindow::ShowPage(const QString& Url) {
  FollowModal();
  const QUrl url(Url);
  if (fBrowser->source() != url) fBrowser->setSource(url);
  SyncContents(url);
  show();
  raise();
  activateWindow();
}

QString THelpWindow::CurrentPage() const {
  return fBrowser->source().adjusted(QUrl::RemoveFragment).toString();
}

bool THelpWindow::FindInPage(const QString& Text) {
  if (Text.isEmpty()) return false;
  if (fBrowser->find(Text)) return true;
  QTextCursor c = fBrowser->textCursor();
  c.movePosition(QTextCursor::Start);
  fBrowser->setTextCursor(c);
  return fBrowser->find(Text);
}
