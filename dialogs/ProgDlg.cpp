#include "ProgDlg.h"

#include <QApplication>
#include <QBoxLayout>
#include <QHash>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include "Errors.h"
#include "FKey.h"
#include "HelpContext.h"
#include "Feedback.h"
#include "Operation.h"
#include "SysData.h"
#include "UploadGuard.h"

namespace {

QHash<QString, int>& Pages() {
  static QHash<QString, int> pages;
  return pages;
}

// +1 for the chords that turn to the next page (Ctrl+Tab, Ctrl+PgDn), -1 for those that turn
// back (Ctrl+Shift+Tab, Ctrl+PgUp), 0 for any other key.
int PageStep(const QKeyEvent& Key) {
  const Qt::KeyboardModifiers mods = Key.modifiers() & ~Qt::KeypadModifier;
  const bool shift = mods & Qt::ShiftModifier;
  if ((mods & ~Qt::ShiftModifier) != Qt::ControlModifier) return 0;
  switch (Key.key()) {
    case Qt::Key_Tab: return shift ? -1 : 1;
    case Qt::Key_Backtab: return -1;
    case Qt::Key_PageDown: return shift ? 0 : 1;
    case Qt::Key_PageUp: return shift ? 0 : -1;
    default: return 0;
  }
}

// The tabs a chord turns in the dialog of W: a tab row that has the focus itself, else those of
// the innermost page control around W, else the dialog's first tab row (the focus on the
// button row; day/night's tab row stands alone). A row of tabs inside a page (the periods of
// the extension dialog, the routes of ARS) turns with the chords once it has the focus, so that
// from the rest of that page they still turn the pages.
QTabBar* TabsAround(QWidget* W) {
  if (auto* row = qobject_cast<QTabBar*>(W); row && row->count() > 1) return row;
  QWidget* dlg = W->window();
  for (QWidget* w = W; w && w != dlg; w = w->parentWidget())
    if (auto* pages = qobject_cast<QTabWidget*>(w); pages && pages->count() > 1)
      return pages->tabBar();
  for (QTabBar* tabs : dlg->findChildren<QTabBar*>())
    if (tabs->count() > 1 && tabs->isVisible()) return tabs;
  return nullptr;
}

void TurnPage(QTabBar* Tabs, int Step) {
  const int n = Tabs->count();
  for (int i = 1; i < n; ++i) {
    const int page = ((Tabs->currentIndex() + Step * i) % n + n) % n;
    if (Tabs->isTabEnabled(page) && Tabs->isTabVisible(page)) {
      Tabs->setCurrentIndex(page);
      return;
    }
  }
}

// The page chords of every dialog, taken before any control sees them: a combo box would take
// Ctrl+PgDn as its next entry (which OK would then upload), a grid as its last row, a text
// field Ctrl+Tab as a tab, and a QTabWidget turns its pages only for keys no child wanted.
class TPageKeys : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Event->type() != QEvent::KeyPress && Event->type() != QEvent::ShortcutOverride)
      return false;
    const int step = PageStep(*static_cast<QKeyEvent*>(Event));
    auto* w = qobject_cast<QWidget*>(Watched);
    if (step == 0 || !w || !qobject_cast<QDialog*>(w->window())) return false;
    QTabBar* tabs = TabsAround(w);
    if (!tabs) return false;
    // The override asks whether the key is a shortcut: it is ours, delivered as a key press.
    Event->accept();
    if (Event->type() == QEvent::KeyPress) TurnPage(tabs, step);
    return true;
  }
};

}  // namespace

void InstallPageKeys() {
  static QPointer<TPageKeys> keys;
  if (keys || !qApp) return;
  keys = new TPageKeys(qApp);
  qApp->installEventFilter(keys);
}

namespace {

void AddButtonRow(QDialog* Dlg, QBoxLayout* Top, int Help, std::function<void()> Accept,
                  const QString& Noun, QPushButton** Prev, QPushButton** Next) {
  auto* buttons = new QHBoxLayout;
  if (Prev && Next) {
    *Prev = new QPushButton(Dlg);
    (*Prev)->setObjectName("Prev" + Noun);
    SetStepCaption(*Prev, "Prev " + Noun);
    *Next = new QPushButton(Dlg);
    (*Next)->setObjectName("Next" + Noun);
    SetStepCaption(*Next, "Next " + Noun);
    buttons->addWidget(*Prev);
    buttons->addWidget(*Next);
  }
  // Alt letters as the KDE programs have them; no dialog's own controls carry any.
  auto* ok = new QPushButton("&OK", Dlg);
  ok->setObjectName("OkBtn");
  ok->setDefault(true);
  auto* cancel = new QPushButton("&Cancel", Dlg);
  cancel->setObjectName("CancelBtn");
  auto* help = new QPushButton("&Help", Dlg);
  help->setObjectName("HelpBtn");
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  buttons->addWidget(help);
  Top->addLayout(buttons);
  if (Accept)
    QObject::connect(ok, &QPushButton::clicked, Dlg, std::move(Accept));
  else
    QObject::connect(ok, &QPushButton::clicked, Dlg, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, Dlg, &QDialog::reject);
  // Help opens what F1 opens: the dialog's context as it stands (a page change may replace it).
  SetHelpContext(Dlg, Help);
  QObject::connect(help, &QPushButton::clicked, Dlg, [Dlg] { ShowDialogHelp(Dlg); });
}

}  // namespace

void SetStepCaption(QPushButton* Button, const QString& Text) {
  const bool prev = Button->objectName().startsWith("Prev");
  const QString word = prev ? "Prev" : "Next";
  if (Text.startsWith(word)) {
    Button->setText("&" + Text);
  } else {
    // A caption naming the neighbour ("CO 3") has no P or N to underline; the key stays.
    Button->setText(Text);
    Button->setShortcut(QKeySequence(prev ? "Alt+P" : "Alt+N"));
  }
}

void AddOkCancelHelp(QDialog* Dlg, QBoxLayout* Top, int Help, std::function<void()> Accept) {
  AddButtonRow(Dlg, Top, Help, std::move(Accept), QString(), nullptr, nullptr);
}

void AddPrevNextOkCancelHelp(QDialog* Dlg, QBoxLayout* Top, int Help, const QString& Noun,
                             QPushButton*& Prev, QPushButton*& Next) {
  AddButtonRow(Dlg, Top, Help, {}, Noun, &Prev, &Next);
}

TProgDlg::TProgDlg(QWidget* Parent) : QDialog(Parent) {
  InstallFKeyTracker();
  InstallPageKeys();
}

int TProgDlg::RememberedPage(const QString& ClassName) {
  return Pages().value(ClassName, 0);
}

void TProgDlg::SetRememberedPage(const QString& ClassName, int Page) {
  Pages()[ClassName] = Page;
}

TSysData& TProgDlg::Store() const {
  return SysData();
}

bool TProgDlg::OnLine() const {
  return SysData().OnLine;
}

bool TProgDlg::HandleFailure() {
  try {
    throw;
  } catch (const EAbortOperation&) {
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
  return false;
}

void KeepUnchangedFlags(TCmdData& Block, const TCmdData& Before) {
  if (Block.Data() == Before.Data()) {
    Block.Changed = Before.Changed;
    Block.ReadTime = Before.ReadTime;
  } else {
    Block.Changed = true;
  }
}

void KeepUnchangedLines(TCmdList& Lines, const TCmdList& Before) {
  for (int i = 0; i < Lines.Count() && i < Before.Count(); ++i)
    KeepUnchangedFlags(Lines.Items(i), Before.Items(i));
}

bool TProgDlg::Execute(bool Force) {
  // The dialog's read and upload are PBX operations: the frame starts no other meanwhile.
  TPbxOperation op(windowTitle().isEmpty() ? QString("A programming dialog")
                                           : "The dialog \"" + windowTitle() + "\"");
  const QString cls = metaObject()->className();
  if (OnLine()) PreRead(Force);
  Prepare();
  if (WarnsNoData() && !HasData()) ShowNoData();
  if (fPages) {
    const int page = RememberedPage(cls);
    fPages->setCurrentIndex(page >= 0 && page < fPages->count() ? page : 0);
  }
  LoadControls();
  const int result = exec();
  if (fPages) SetRememberedPage(cls, fPages->currentIndex());
  if (result != QDialog::Accepted) return false;
  StoreControls();
  Commit();
  if (OnLine()) {
    // The key is asked now, as OK is pressed, not when the dialog opened.
    const bool all = FKeyHeld();
    if (all || HasChanges()) GuardedUpload(all);
  }
  return true;
}

void TProgDlg::GuardedUpload(bool All) {
  // A dialog's upload is an upload like any other: journaled line by line, with a backup of the
  // lines it writes, taken from what the dialog read as it opened.
  TUploadGuard guard(Store());
  TUploadGuardOptions options;
  options.BackupAtWrite = true;
  options.Mode = "dialog \"" + windowTitle().toStdString() + "\"";
  std::string why;
  if (!Guarded([&] { return guard.Begin(All ? TRunDirection::UploadAll : TRunDirection::UploadChanged,
                                        options, why); })) {
    if (!why.empty()) ShowError(why);
    return;
  }
  TRunResult run;
  try {
    run.Ok = All ? UploadAll() : UploadChanged();
  } catch (const EAbortOperation&) {
    run.Ok = false;
    run.Aborted = true;
  } catch (...) {
    run.Ok = false;
    guard.End(run);
    HandleFailure();
    return;
  }
  guard.End(run);
  if (!guard.JournalError().empty()) ShowError(guard.JournalError());
}

void TProgDlg::PreRead(bool Force) {
  if (!fGroup) return;
  if (Force || !HasData()) Guarded([this] { return Group(*fGroup).Read(Store(), true); });
}

bool TProgDlg::HasData() const {
  return fGroup ? GroupHasData(Store(), *fGroup) : true;
}

namespace {

// The store's blocks by program code, for dialogs whose programs are single blocks.
TCmdData& StoreBlock(TSysData& S, const std::string& Code) {
  for (int i = 0; i < kSingleBlockCount; ++i)
    if (Code == BlockCode(static_cast<TBlockId>(i))) return S.Block(static_cast<TBlockId>(i));
  throw Exception("No store block " + Code);
}

}  // namespace

void TProgDlg::LoadControls() {
  fBindings.Load(
      [this](const std::string& Code) -> TCmdData& { return StoreBlock(Store(), Code); });
}

void TProgDlg::StoreControls() {
  fBindings.Store(
      [this](const std::string& Code) -> TCmdData& { return StoreBlock(Store(), Code); });
}

bool TProgDlg::HasChanges() const {
  return fGroup ? GroupChangedCount(Store(), *fGroup) > 0 : false;
}

bool TProgDlg::UploadAll() {
  return fGroup ? Group(*fGroup).UploadAll(Store(), true) : true;
}

bool TProgDlg::UploadChanged() {
  return fGroup ? Group(*fGroup).UploadChanged(Store(), true) : true;
}
