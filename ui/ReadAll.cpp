#include "ReadAll.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include "Errors.h"
#include "Feedback.h"
#include "Session.h"
#include "SysData.h"

namespace {

QIcon StateIcon(TReadAllDlg::TIcon Icon) {
  QStyle* s = QApplication::style();
  switch (Icon) {
    case TReadAllDlg::icWorking: return s->standardIcon(QStyle::SP_MediaPlay);
    case TReadAllDlg::icOk: return s->standardIcon(QStyle::SP_DialogApplyButton);
    case TReadAllDlg::icErrors: return s->standardIcon(QStyle::SP_MessageBoxWarning);
    case TReadAllDlg::icAbort: return s->standardIcon(QStyle::SP_BrowserStop);
    default: return QIcon();
  }
}

}  // namespace

TReadAllDlg::TReadAllDlg(QWidget* Parent, bool Upload)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      fUpload(Upload) {
  setObjectName("ReadAllDlg");
  setWindowTitle(Upload ? "Save PBX configuration" : "Read PBX configuration");
  auto* layout = new QVBoxLayout(this);
  fList = new QListWidget(this);
  fList->setObjectName("StepList");
  fList->setMinimumSize(360, 380);
  layout->addWidget(fList);
  fBar = new QProgressBar(this);
  fBar->setObjectName("StepProgress");
  fBar->setTextVisible(false);
  layout->addWidget(fBar);
  fBackupLbl = new QLabel(this);
  fBackupLbl->setObjectName("BackupLbl");
  fBackupLbl->setWordWrap(true);
  fBackupLbl->setTextInteractionFlags(Qt::TextSelectableByMouse);
  fBackupLbl->hide();
  layout->addWidget(fBackupLbl);
  fStop = new QPushButton("Stop", this);
  fStop->setObjectName("StopBtn");
  connect(fStop, &QPushButton::clicked, this, &TReadAllDlg::Stop);
  layout->addWidget(fStop, 0, Qt::AlignHCenter);
  for (const TGroup& g : Groups()) {
    auto* line = new QListWidgetItem(QString::fromLatin1(g.Title), fList);
    fLines.push_back(line);
  }
  fCommandPaint.setSingleShot(true);
  fCommandPaint.setInterval(150);
  connect(&fCommandPaint, &QTimer::timeout, this, [this] {
    if (fCurrent && !fCommandText.isEmpty()) fCurrent->setText(fCommandText);
  });
}

TReadAllDlg::~TReadAllDlg() {
  PbxComm().SetOnRxLine(nullptr);
  PbxComm().OnCommand = nullptr;
}

void TReadAllDlg::SetLine(QListWidgetItem* Line, const QString& Text, TIcon Icon) {
  Line->setText(Text);
  Line->setIcon(StateIcon(Icon));
  Line->setData(Qt::UserRole, static_cast<int>(Icon));
}

QStringList TReadAllDlg::LineTexts() const {
  QStringList l;
  for (int i = 0; i < fList->count(); ++i) l << fList->item(i)->text();
  return l;
}

TReadAllDlg::TIcon TReadAllDlg::LineIcon(int Row) const {
  const QVariant v = fList->item(Row)->data(Qt::UserRole);
  return v.isValid() ? static_cast<TIcon>(v.toInt()) : icNone;
}

TRunResult TReadAllDlg::Run(TSysData& Store) {
  adjustSize();
  // Over the program's window, where the technician looks; without one, mid-screen.
  if (const QWidget* p = parentWidget())
    move(p->window()->frameGeometry().center() - rect().center());
  else if (const QScreen* s = screen())
    move(s->availableGeometry().center() - rect().center());
  show();
  QCoreApplication::processEvents();
  PbxComm().SetOnRxLine([this] {
    // Fired on the port's watcher thread: the bar moves on the user-interface thread, with
    // every line that came meanwhile at once.
    if (fPendingTicks.fetch_add(1) == 0)
      QMetaObject::invokeMethod(this, &TReadAllDlg::ReceivedLine, Qt::QueuedConnection);
  });
  PbxComm().OnCommand = [this](const std::string& Cmd) { Command(Cmd); };
  TRunEvents ev;
  ev.OnStepStart = [this](const TGroup& G) { StepStart(G); };
  ev.OnStepEnd = [this](const TGroup& G, bool Ok) { StepEnd(G, Ok); };
  // A Stop pressed before the first command is still pending: the first command then aborts.
  TRunResult r;
  try {
    if (!fUpload) {
      r = RunGroups(Store, TRunDirection::Read, ev);
    } else {
      // Before the first write: room, the backup, the journal's entry; what they refuse stops
      // the upload before anything is written.
      TUploadGuard guard(Store);
      fBackupLbl->setText("Making the backup of the PBX's lines..");
      fBackupLbl->show();
      QCoreApplication::processEvents();
      // The backup reads program by program: its bar moves with the lines as any read's does.
      TUploadGuardOptions options = fGuard;
      options.BackupEvents.OnStepStart = [this](const TGroup& G) {
        ReceivedLine();
        fBackupLbl->setText(QString("Making the backup of the PBX's lines: %1..").arg(G.Title));
        fBar->setVisible(true);
        fBar->setRange(0, std::max(G.ReadMax, 1));
        fBar->setValue(0);
        QCoreApplication::processEvents();
      };
      std::string why;
      if (!guard.Begin(fDirection, options, why)) {
        fBackupLbl->setText(QString::fromStdString(why));
        ShowError(why);
        r.Ok = false;
      } else {
        fBackupFile = guard.BackupFile();
        QString said = fBackupFile.empty() ? QString("No backup made")
                                           : "Backup: " + QString::fromStdString(fBackupFile);
        if (fGuard.Differing)
          said += QString("\nLeft alone %1 lines the PBX holds already.").arg(guard.LeftAlone());
        fBackupLbl->setText(said);
        r = RunGroups(Store, fDirection, ev);
        guard.End(r);
        if (!guard.JournalError().empty()) {
          r.Ok = false;
          fBackupLbl->setText(QString::fromStdString(guard.JournalError()));
          ShowError(guard.JournalError());
        }
      }
    }
  } catch (const EAbortOperation&) {
    r.Ok = false;
    r.Aborted = true;
  }
  if (!r.Aborted) PlaySoundCue(Store.Settings, 2);
  PbxComm().SetOnRxLine(nullptr);
  PbxComm().OnCommand = nullptr;
  PbxComm().ClearAbort();
  fCommandPaint.stop();
  ReceivedLine();  // the lines whose call is still queued
  if (r.Aborted) ShowInformation(fUpload ? "Save operation aborted." : "Read operation aborted.");
  hide();
  return r;
}

void TReadAllDlg::StepStart(const TGroup& G) {
  fCommandPaint.stop();
  fCommandText.clear();
  ReceivedLine();  // the last step's lines stay on its bar
  fCurrent = fLines[static_cast<size_t>(G.Id)];
  fStepText = QString(fUpload ? "Save %1 data" : "Read %1 data").arg(G.Title);
  SetLine(fCurrent, fStepText, icWorking);
  fList->setCurrentItem(fCurrent);
  fList->scrollToItem(fCurrent);
  fStepText += " (%s)";
  const int max = fUpload ? G.UploadMax : G.ReadMax;
  fBar->setVisible(max >= 1);
  fBar->setRange(0, std::max(max, 1));
  fBar->setValue(0);
  QCoreApplication::processEvents();
  fTicks = 0;
  if (OnStepStarted) OnStepStarted(G);
}

void TReadAllDlg::StepEnd(const TGroup& G, bool Ok) {
  fCommandPaint.stop();
  fCommandText.clear();
  SetLine(fLines[static_cast<size_t>(G.Id)],
          QString(G.Title) + (Ok ? " - Ok" : " - errors!"), Ok ? icOk : icErrors);
  // The bar's length is the program's expected lines; a step that ended well is whole, however
  // many lines it really took.
  ReceivedLine();
  if (Ok) fBar->setValue(fBar->maximum());
  QCoreApplication::processEvents();
}

void TReadAllDlg::Command(const std::string& Cmd) {
  if (!fStepText.contains("%s") || !fCurrent) return;
  size_t cut = Cmd.find('*');
  if (cut == std::string::npos) cut = Cmd.find('/');
  const QString code = QString::fromStdString(Cmd.substr(0, cut));
  fCommandText = fStepText;
  fCommandText.replace("%s", code);
  // Painted by the session's own wait for the answer; no event loop here, on the line's path.
  if (!fCommandPaint.isActive()) {
    fCurrent->setText(fCommandText);
    fCommandPaint.start();
  }
}

void TReadAllDlg::ReceivedLine() {
  const int n = fPendingTicks.exchange(0);
  if (n <= 0) return;
  fTicks += n;
  fBar->setValue(std::min(fBar->maximum(), fBar->value() + n));
}

void TReadAllDlg::Stop() {
  if (PbxComm().AbortRequested()) return;
  if (!fCurrent) {
    fCurrent = new QListWidgetItem(fList);
  }
  fStepText = "Wait for abort..";
  SetLine(fCurrent, fStepText, icAbort);
  QCoreApplication::processEvents();
  PbxComm().RequestAbort();
}

void TReadAllDlg::WaitForClose() {
  fStop->disconnect(this);
  fStop->setText("Close");
  fStop->setObjectName("CloseBtn");
  fStop->setDefault(true);
  connect(fStop, &QPushButton::clicked, this, &QDialog::accept);
  exec();
}

namespace {

bool gStaysOpenOnErrors = true;

bool RunWindow(QWidget* Parent, TSysData& Store, bool Upload,
               const TUploadGuardOptions& Options = {},
               TRunDirection Direction = TRunDirection::UploadAll) {
  TReadAllDlg dlg(Parent, Upload);
  dlg.SetUpload(Options, Direction);
  const TRunResult r = dlg.Run(Store);
  // A run with every step Ok closes by itself; one with errors stays until it has been seen.
  if (!r.Ok && !r.Aborted && gStaysOpenOnErrors) dlg.WaitForClose();
  return true;
}

}  // namespace

void TReadAllDlg::SetStaysOpenOnErrors(bool On) { gStaysOpenOnErrors = On; }

bool ReadAll(QWidget* Parent, TSysData& Store) { return RunWindow(Parent, Store, false); }

bool UploadAll(QWidget* Parent, TSysData& Store, const TUploadGuardOptions& Options,
               TRunDirection Direction) {
  return RunWindow(Parent, Store, true, Options, Direction);
}
