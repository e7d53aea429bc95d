#include "ProgDlg.h"

#include <QBoxLayout>
#include <QHash>
#include <QPushButton>
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

}  // namespace

namespace {

void AddButtonRow(QDialog* Dlg, QBoxLayout* Top, int Help, std::function<void()> Accept,
                  const QString& Noun, QPushButton** Prev, QPushButton** Next) {
  auto* buttons = new QHBoxLayout;
  if (Prev && Next) {
    *Prev = new QPushButton("Prev " + Noun, Dlg);
    (*Prev)->setObjectName("Prev" + Noun);
    *Next = new QPushButton("Next " + Noun, Dlg);
    (*Next)->setObjectName("Next" + Noun);
    buttons->addWidget(*Prev);
    buttons->addWidget(*Next);
  }
  auto* ok = new QPushButton("OK", Dlg);
  ok->setObjectName("OkBtn");
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", Dlg);
  cancel->setObjectName("CancelBtn");
  auto* help = new QPushButton("Help", Dlg);
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

void AddOkCancelHelp(QDialog* Dlg, QBoxLayout* Top, int Help, std::function<void()> Accept) {
  AddButtonRow(Dlg, Top, Help, std::move(Accept), QString(), nullptr, nullptr);
}

void AddPrevNextOkCancelHelp(QDialog* Dlg, QBoxLayout* Top, int Help, const QString& Noun,
                             QPushButton*& Prev, QPushButton*& Next) {
  AddButtonRow(Dlg, Top, Help, {}, Noun, &Prev, &Next);
}

TProgDlg::TProgDlg(QWidget* Parent) : QDialog(Parent) {
  InstallFKeyTracker();
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

bool TProgDlg::Execute() {
  // The dialog's read and upload are PBX operations: the frame starts no other meanwhile.
  TPbxOperation op(windowTitle().isEmpty() ? QString("A programming dialog")
                                           : "The dialog \"" + windowTitle() + "\"");
  const QString cls = metaObject()->className();
  if (OnLine()) PreRead(FKeyHeld());
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
