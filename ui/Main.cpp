#include "Main.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include "About.h"
#include "Check.h"
#include "Compare.h"
#include "CompareDlg.h"
#include "ComSetup.h"
#include "CommKXTA.h"
#include "ConnectText.h"
#include "Factory.h"
#include "Feedback.h"
#include "DataFile.h"
#include "Keyring.h"
#include "SafeFile.h"
#include "SitesDlg.h"
#include "Stream.h"
#include "Groups.h"
#include "HelpContext.h"
#include "Operation.h"
#include "Paths.h"
#include "Profile.h"
#include "ReadAll.h"
#include "SysData.h"
#include "SysSetup.h"
#include "UploadCheck.h"
#include "UploadHistory.h"
#include "UploadGuard.h"
#include "Journal.h"

namespace {

const char* const kDataFilter = "KX-TA data (*.ta);;All files (*)";
const char* const kDumpFilter = "Text files (*.txt);;Log files (*.log);;All files (*)";
const char* const kConnectWarning =
    "Connecting KX-TA PBX will stop all current talks.\rThere wil be not possible to use PBX in "
    "normal mode until the program will disconnect.\r\rContinue?";

// Status panel 0: "OFF LINE" in red or "ON LINE" in green, drawn by the window itself.
class TOnlinePanel : public QLabel {
 public:
  explicit TOnlinePanel(QWidget* Parent) : QLabel(Parent) {
    setObjectName("StatusPanel0");
    SetOnline(false);
  }
  void SetOnline(bool On) {
    fOn = On;
    setText(On ? "ON LINE" : "OFF LINE");  // the text tests and screen readers see
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setPen(fOn ? QColor(0, 128, 0) : QColor(200, 0, 0));
    QFont f = font();
    f.setBold(true);
    p.setFont(f);
    p.drawText(rect().adjusted(2, 1, 0, 0), Qt::AlignLeft | Qt::AlignTop, text());
  }

 private:
  bool fOn = false;
};

QString FilePart(const std::string& Path) {
  return QFileInfo(QString::fromStdString(Path)).fileName();
}

// What the configuration holds, in one number: equal prints, equal texts (as far as a 64-bit
// hash tells).
uint64_t StorePrint(const TSysData& S) {
  uint64_t h = 1469598103934665603ull;
  auto mix = [&h](unsigned char C) {
    h ^= C;
    h *= 1099511628211ull;
  };
  ForEachFileBlock(S, [&](const TCmdData& B) {
    for (char c : B.Data()) mix(static_cast<unsigned char>(c));
    mix(0);
  });
  return h;
}

// What each action does, in the status bar while the pointer or the keyboard is on it.
const struct {
  const char* Action;
  const char* Tip;
} kStatusTips[] = {
    {"NewAct", "Start a new, empty configuration"},
    {"NewFactoryAct",
     "Start a configuration holding what a new PBX of the model chosen in Settings, System holds"},
    {"OpenAct", "Open a configuration data file (.ta)"},
    {"SaveAct", "Save the configuration in its data file"},
    {"SaveAsAct", "Save the configuration in a data file of a new name"},
    {"ReadAct", "Read the whole configuration from the PBX"},
    {"UploadAct", "Send the whole configuration to the PBX"},
    {"UploadDiffAct",
     "Read what the PBX holds and send only the lines of the configuration that differ"},
    {"CompareAct", "List the differences between the configuration and a data file"},
    {"SitesAct", "The site book: pick a PBX by name and connect, add, change or remove one"},
    {"ExitAct", "Quit the program (disconnecting first)"},
    {"CutAct", "Cut the selected text"},
    {"CopyAct", "Copy the selected extension, console or CO line"},
    {"PasteAct", "Copy the copied extension, console or CO line into the selected ones"},
    {"CascadeAct", "Arrange the windows overlapping"},
    {"TileHorAct", "Arrange the windows side by side"},
    {"TileVerAct", "Arrange the windows one above the other"},
    {"MinimizeAllAct", "Minimise every window"},
    {"ArrangeAllAct", "Arrange the minimised windows in a row"},
    {"ConnectAct", "Connect to the PBX on the COM port of the settings"},
    {"ModemAct", "Dial the PBX's remote administration line through a modem"},
    {"DisconnectAct", "End the connection to the PBX"},
    {"StoreDumpAct", "Store the PBX's complete listing in a text file"},
    {"HistoryAct", "Every upload of the journal: when, which PBX, which file, each line written"},
    {"ComPortAct", "Choose the serial port and its line settings"},
    {"SystemAct", "The PBX system password, the PBX model and the connect warning"},
    {"HelpAct", "Open the help"},
    {"AboutAct", "The program's version"},
};

// Where the file choosers start: the folder of the file last opened or saved, else where the
// user keeps documents (never the hidden data folder); a portable copy keeps its files beside
// itself.
QString StartFolder(const TRecentFiles& Recent) {
  if (!Recent.Entries().empty()) {
    const QFileInfo last(QString::fromStdString(Recent.Entries().front()));
    if (last.absoluteDir().exists()) return last.absolutePath();
  }
  if (AppPaths().Portable) return QString::fromStdString(AppPaths().DataDir);
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

bool StoreHasChanges(const TSysData& S) {
  for (const TGroup& g : Groups())
    if (GroupChangedCount(S, g.Id) > 0) return true;
  return false;
}

}  // namespace

TMainForm::TMainForm(TSysData& Store, TPbxActions Actions, bool ShowDumpAction, QWidget* Parent)
    : QMainWindow(Parent),
      fStore(Store),
      fActions(std::move(Actions)),
      fRecent(AppPaths().SettingsFile()) {
  setObjectName("MainForm");
  setWindowTitle(QApplication::applicationDisplayName());
  fMdi = new QMdiArea(this);
  fMdi->setObjectName("MdiArea");
  setCentralWidget(fMdi);
  BuildMenus(ShowDumpAction);
  for (const auto& t : kStatusTips)
    if (QAction* a = Action(t.Action)) a->setStatusTip(t.Tip);
  BuildToolBar();
  BuildStatusBar();
  fRecent.Load();
  RebuildRecentMenu();
  fFolder = StartFolder(fRecent);
  connect(fMdi, &QMdiArea::subWindowActivated, this, [this] { RebuildWindowList(); });
  connect(&TPbxOperations::Instance(), &TPbxOperations::ActiveChanged, this, [this](bool Busy) {
    UpdateOnlineControls();
    // A close asked for during the operation comes now, when it has ended.
    if (!Busy && fCloseWhenIdle) QTimer::singleShot(0, this, &QWidget::close);
  });
  connect(this, &TMainForm::DataChanged, this, &TMainForm::UpdateTitle);
  fStore.OnLine = false;
  MarkClean();
  UpdateOnlineControls();
}

TMainForm::~TMainForm() {
  // The base class's destructor still closes and hides the windows inside, which activates
  // them: nothing of this object may answer by then.
  disconnect(fMdi, nullptr, this, nullptr);
  disconnect(&TPbxOperations::Instance(), nullptr, this, nullptr);
}

QAction* TMainForm::AddAction(QMenu* Menu, const char* Name, const QString& Text,
                              const QKeySequence& Key, void (TMainForm::*Slot)()) {
  auto* a = new QAction(Text, this);
  a->setObjectName(Name);
  if (!Key.isEmpty()) a->setShortcut(Key);
  if (Slot) connect(a, &QAction::triggered, this, Slot);
  Menu->addAction(a);
  return a;
}

void TMainForm::BuildMenus(bool ShowDumpAction) {
  fFileMenu = menuBar()->addMenu("&File");
  AddAction(fFileMenu, "NewAct", "&New", QKeySequence("Ctrl+N"), &TMainForm::New);
  AddAction(fFileMenu, "NewFactoryAct", "New from &factory data", {}, &TMainForm::NewFromFactory);
  AddAction(fFileMenu, "OpenAct", "&Open", QKeySequence("Ctrl+O"), &TMainForm::Open);
  QAction* save = AddAction(fFileMenu, "SaveAct", "&Save", QKeySequence("Ctrl+S"), nullptr);
  connect(save, &QAction::triggered, this, [this] { Save(); });
  QAction* saveAs = AddAction(fFileMenu, "SaveAsAct", "Save &As...", {}, nullptr);
  connect(saveAs, &QAction::triggered, this, [this] { SaveAs(); });
  QAction* compare = AddAction(fFileMenu, "CompareAct", "&Compare with file...", {}, nullptr);
  connect(compare, &QAction::triggered, this, [this] { CompareWithFile(); });
  AddAction(fFileMenu, "SitesAct", "S&ites...", {}, &TMainForm::Sites);
  fFileMenu->addSeparator();
  AddAction(fFileMenu, "ReadAct", "&Read from PBX", QKeySequence("Ctrl+R"), &TMainForm::ReadFromPbx);
  AddAction(fFileMenu, "UploadAct", "&Upload to PBX", QKeySequence("Ctrl+U"), &TMainForm::UploadToPbx);
  AddAction(fFileMenu, "UploadDiffAct", "Upload &differences", {}, &TMainForm::UploadDifferences);
  fFileMenu->addSeparator();
  QAction* exit = AddAction(fFileMenu, "ExitAct", "E&xit", {}, nullptr);
  connect(exit, &QAction::triggered, this, &QWidget::close);

  QMenu* edit = menuBar()->addMenu("&Edit");
  QAction* cut = AddAction(edit, "CutAct", "Cu&t", QKeySequence("Ctrl+X"), nullptr);
  connect(cut, &QAction::triggered, this, [] {
    if (auto* w = QApplication::focusWidget())
      QMetaObject::invokeMethod(w, "cut");  // edit fields have it; others ignore the call
  });
  QAction* copy = AddAction(edit, "CopyAct", "&Copy", QKeySequence("Ctrl+C"), nullptr);
  connect(copy, &QAction::triggered, this, [this] { CopyOrPaste(true); });
  QAction* paste = AddAction(edit, "PasteAct", "&Paste", QKeySequence("Ctrl+V"), nullptr);
  connect(paste, &QAction::triggered, this, [this] { CopyOrPaste(false); });
  // The shortcuts work wherever the focus is in the frame (the views' lists): the actions
  // belong to the window, not only to the menu, which never has the focus.
  for (QAction* a : {cut, copy, paste}) {
    a->setShortcutContext(Qt::WindowShortcut);
    addAction(a);
  }

  fWindowMenu = menuBar()->addMenu("&Window");
  QAction* cascade = AddAction(fWindowMenu, "CascadeAct", "&Cascade", {}, nullptr);
  connect(cascade, &QAction::triggered, this, &TMainForm::CascadeWindows);
  QAction* tileH = AddAction(fWindowMenu, "TileHorAct", "Tile &Horizontally", {}, nullptr);
  connect(tileH, &QAction::triggered, this, [this] { TileWindows(true); });
  QAction* tileV = AddAction(fWindowMenu, "TileVerAct", "Tile &Vertically", {}, nullptr);
  connect(tileV, &QAction::triggered, this, [this] { TileWindows(false); });
  QAction* minAll = AddAction(fWindowMenu, "MinimizeAllAct", "&Minimize All", {}, nullptr);
  connect(minAll, &QAction::triggered, this, [this] {
    for (QMdiSubWindow* w : fMdi->subWindowList()) w->showMinimized();
  });
  QAction* arrange = AddAction(fWindowMenu, "ArrangeAllAct", "&Arrange All", {}, nullptr);
  connect(arrange, &QAction::triggered, this, &TMainForm::ArrangeIcons);
  // Arrange All, a separator, the views, then the list of open windows.
  fWindowMenu->addSeparator()->setObjectName("ViewsSeparator");
  fWindowListSeparator = fWindowMenu->addSeparator();

  QMenu* actions = menuBar()->addMenu("&Actions");
  AddAction(actions, "ConnectAct", "&Connect", QKeySequence("Ctrl+K"), nullptr);
  connect(Action("ConnectAct"), &QAction::triggered, this, [this] { Connect(); });
  QAction* modem = AddAction(actions, "ModemAct", "Connect via &modem", {}, nullptr);
  connect(modem, &QAction::triggered, this, [this] {
    if (fActions.ModemDialog) fActions.ModemDialog(this);
  });
  AddAction(actions, "DisconnectAct", "&Disconnect", QKeySequence("Ctrl+D"), &TMainForm::Disconnect);
  actions->addSeparator();
  AddAction(actions, "HistoryAct", "Upload &history...", {}, &TMainForm::ShowUploadHistory);
  QAction* dumpSep = actions->addSeparator();
  QAction* dump = AddAction(actions, "StoreDumpAct", "Store d&ump", {}, &TMainForm::StoreDump);
  dumpSep->setVisible(ShowDumpAction);
  dump->setVisible(ShowDumpAction);

  QMenu* settings = menuBar()->addMenu("&Settings");
  AddAction(settings, "ComPortAct", "&COM port", {}, &TMainForm::ComPortSetup);
  AddAction(settings, "SystemAct", "&System", {}, &TMainForm::SystemSetup);

  QMenu* help = menuBar()->addMenu("&Help");
  QAction* helpAct = AddAction(help, "HelpAct", "&Help", QKeySequence::HelpContents, nullptr);
  connect(helpAct, &QAction::triggered, this, [] { ShowHelp(0); });
  help->addSeparator();
  QAction* about = AddAction(help, "AboutAct", "&About...", {}, nullptr);
  connect(about, &QAction::triggered, this, [this] {
    TAboutBox box(this);
    box.exec();
  });
}

void TMainForm::BuildToolBar() {
  QToolBar* tb = addToolBar("Main");
  tb->setObjectName("MainToolBar");
  tb->setMovable(false);
  QStyle* s = style();
  auto tool = [&](const char* Name, QStyle::StandardPixmap Icon, const char* Tip,
                  QAction* Same) {
    QAction* a = tb->addAction(s->standardIcon(Icon), Tip);
    a->setObjectName(Name);
    a->setToolTip(Tip);
    connect(a, &QAction::triggered, Same, &QAction::trigger);
    return a;
  };
  tool("OpenBtn", QStyle::SP_DialogOpenButton, "Open", Action("OpenAct"));
  tool("SaveBtn", QStyle::SP_DialogSaveButton, "Save", Action("SaveAct"));
  tb->addSeparator();
  tool("ConnectBtn", QStyle::SP_DriveNetIcon, "Connect PBX", Action("ConnectAct"));
  tool("DisconnectBtn", QStyle::SP_BrowserStop, "Disconnect PBX", Action("DisconnectAct"));
  tb->addSeparator();
  tool("ReadBtn", QStyle::SP_ArrowDown, "Read data from PBX", Action("ReadAct"));
  tool("UploadBtn", QStyle::SP_ArrowUp, "Upload data to PBX", Action("UploadAct"));
  auto* gap = new QWidget(tb);
  gap->setFixedWidth(40);
  tb->addWidget(gap);
  tool("ExitBtn", QStyle::SP_DialogCloseButton, "Exit", Action("ExitAct"));
}

void TMainForm::BuildStatusBar() {
  fPanels[0] = new TOnlinePanel(statusBar());
  for (int i = 1; i < 5; ++i) {
    fPanels[i] = new QLabel(statusBar());
    fPanels[i]->setObjectName(QString("StatusPanel%1").arg(i));
  }
  // Wide enough for what they show in the font in use: the state in bold, the longest version
  // text the PBX gives (16 characters), a file name of a usual length.
  QFont bold = fPanels[0]->font();
  bold.setBold(true);
  const int pad = 12;
  fPanels[0]->setFixedWidth(
      std::max(QFontMetrics(bold).horizontalAdvance("OFF LINE"),
               QFontMetrics(bold).horizontalAdvance("ON LINE")) + pad);
  const QFontMetrics fm(fPanels[1]->font());
  fPanels[1]->setMinimumWidth(fm.horizontalAdvance(" Y581M KX-TA624 V2.10") + pad);
  fPanels[2]->setMinimumWidth(fm.horizontalAdvance("a site configuration.ta") + pad);
  fPanels[3]->setMinimumWidth(fm.horizontalAdvance("99999 changes") + pad);
  fPanels[3]->setToolTip("Program lines changed and not yet uploaded to the PBX");
  fPanels[4]->setToolTip("The site of the site book in use (File, Sites...)");
  for (QLabel* p : fPanels) statusBar()->addWidget(p);
}

QAction* TMainForm::Action(const char* ObjectName) const {
  return findChild<QAction*>(ObjectName);
}

QString TMainForm::StatusText(int Panel) const {
  return Panel >= 0 && Panel < 5 ? fPanels[Panel]->text() : QString();
}

void TMainForm::SetOnline(bool State) {
  if (fStore.OnLine == State) return;
  fStore.OnLine = State;
  UpdateOnlineControls();
}

void TMainForm::UpdateOnlineControls() {
  const bool State = fStore.OnLine;
  // While an operation talks to the PBX, nothing may start another or close the port, and
  // nothing may replace the configuration it reads into or sends from.
  const bool busy = TPbxOperations::Instance().Active();
  for (const char* n : {"ConnectAct", "ModemAct", "ConnectBtn", "SitesAct"})
    Action(n)->setEnabled(!State && !busy);
  for (const char* n : {"DisconnectAct", "DisconnectBtn", "ReadAct", "UploadAct", "UploadDiffAct", "ReadBtn",
                        "UploadBtn", "StoreDumpAct"})
    Action(n)->setEnabled(State && !busy);
  for (const char* n : {"NewAct", "NewFactoryAct", "OpenAct", "OpenBtn", "CompareAct"})
    Action(n)->setEnabled(!busy);
  for (QAction* a : fRecentActions) a->setEnabled(!busy);
  static_cast<TOnlinePanel*>(fPanels[0])->SetOnline(State);
  fPanels[1]->setText(State && fActions.PbxVersion
                          ? " " + QString::fromStdString(fActions.PbxVersion())
                          : QString());
  statusBar()->update();
}

bool TMainForm::RefuseWhileBusy() {
  if (!TPbxOperations::Instance().Active()) return false;
  QApplication::beep();
  ShowStatus(BusyMessage());
  return true;
}

void TMainForm::ShowStatus(const QString& Text) { statusBar()->showMessage(Text, 6000); }

bool TMainForm::Connect() {
  if (RefuseWhileBusy()) return false;
  if (fStore.Settings.ShowConnectWarn &&
      !ShowMsgAgain(kConnectWarning, fStore.Settings.ShowConnectWarn, true))
    return false;
  TPbxOperation op("Connecting");
  ShowTopInfo("Connecting..");
  const int r = fActions.Connect ? fActions.Connect() : 1;
  if (r == 0) {
    SetOnline(true);
    fStore.Version.SetModel(fActions.PbxVersion ? fActions.PbxVersion() : std::string());
  } else if (r == TKXTAcomm::kResultAborted) {
    ShowStatus(QString::fromStdString(ConnectResultMessage(r)));  // the user's own choice
  } else {
    std::string msg = ConnectResultMessage(r, TConnectAudience::Desktop,
                                           fActions.ConnectStep ? fActions.ConnectStep() : "");
    const std::string why = fActions.ConnectErrorText ? fActions.ConnectErrorText() : "";
    if (r == 1 && !why.empty()) msg += "\r\r" + why;
    ShowError(msg);
  }
  PlaySoundCue(fStore.Settings, 2);
  HideTopInfo();
  return r == 0;
}

void TMainForm::Disconnect() {
  if (RefuseWhileBusy()) return;
  TPbxOperation op("Disconnecting");
  ShowTopInfo("Disconnecting..");
  if (fActions.SetOnCarrierLost) fActions.SetOnCarrierLost(nullptr);
  if (fActions.Disconnect) fActions.Disconnect();
  PlaySoundCue(fStore.Settings, 1);
  SetOnline(false);
  HideTopInfo();
}

void TMainForm::CarrierLost() {
  if (fActions.SetOnCarrierLost) fActions.SetOnCarrierLost(nullptr);
  SetOnline(false);
  ShowError("Modem carrier is lost - disconnected!");
}

void TMainForm::PostDataChanged() {
  QMetaObject::invokeMethod(this, &TMainForm::DataChanged, Qt::QueuedConnection);
}

void TMainForm::New() {
  if (RefuseWhileBusy() || !KeepOrDropUnsavedWork("starting a new configuration")) return;
  fStore.ClearData();
  SetCurrentFileName(std::string());
  MarkClean();
  PostDataChanged();
}

void TMainForm::NewFromFactory() {
  if (RefuseWhileBusy() || !KeepOrDropUnsavedWork("starting a new configuration")) return;
  // Prepared at the desk, uploaded on site: every line as a loaded file's, to be sent.
  if (!LoadFactoryConfiguration(fStore, fStore.Settings.PBXtype)) {
    ShowError("The factory configuration could not be built.");
    return;
  }
  SetCurrentFileName(std::string());
  MarkClean();
  PostDataChanged();
  static const char* const kNames[] = {"KX-TA308", "KX-TA616", "KX-TA624"};
  ShowStatus(QString("The factory configuration of a %1: nothing of it was read from a PBX.")
                 .arg(kNames[fStore.Settings.PBXtype <= 2 ? fStore.Settings.PBXtype : 2]));
}

bool TMainForm::HasUnsavedWork() const {
  // Changes confirmed by the PBX are not lost with the window; a loaded file that is marked
  // for upload throughout is still what its file holds.
  return StorePrint(fStore) != fCleanPrint && StoreHasChanges(fStore);
}

void TMainForm::MarkClean() {
  fCleanPrint = StorePrint(fStore);
  UpdateTitle();
}

void TMainForm::UpdateTitle() {
  QString title = QApplication::applicationDisplayName();
  if (!fSite.Name.empty()) title = QString::fromStdString(fSite.Name) + " - " + title;
  if (!fFileName.empty()) title = FilePart(fFileName) + " - " + title;
  if (HasUnsavedWork()) title = "*" + title;
  setWindowTitle(title);
  const int changes = PendingChanges();
  fPanels[3]->setText(changes == 0   ? QString("No changes")
                      : changes == 1 ? QString("1 change")
                                     : QString("%1 changes").arg(changes));
  emit PendingChangesShown(changes);
}

int TMainForm::PendingChanges() const { return PendingChangeCount(fStore); }

void TMainForm::changeEvent(QEvent* Event) {
  // Back from a dialog, a view's paste or anything else that may have edited the store.
  if (Event->type() == QEvent::ActivationChange) UpdateTitle();
  QMainWindow::changeEvent(Event);
}

TMainForm::TUnsavedChoice TMainForm::AskUnsavedWork(const QString& Question) {
  QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), Question,
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
  box.setDefaultButton(QMessageBox::Save);
  // Alt letters, as KDE gives them; the plain Qt theme names these three without any.
  box.button(QMessageBox::Save)->setText("&Save");
  box.button(QMessageBox::Discard)->setText("&Discard");
  box.button(QMessageBox::Cancel)->setText("&Cancel");
  switch (box.exec()) {
    case QMessageBox::Save: return ucSave;
    case QMessageBox::Discard: return ucDiscard;
    default: return ucCancel;
  }
}

bool TMainForm::KeepOrDropUnsavedWork(const QString& Before) {
  UpdateTitle();
  if (!HasUnsavedWork()) return true;
  const QString what =
      fFileName.empty() ? QString("The configuration") : "\"" + FilePart(fFileName) + "\"";
  switch (AskUnsavedWork(what + " holds changes that are neither saved nor uploaded to the "
                                "PBX.\nSave them before " + Before + "?")) {
    case ucSave: return Save();
    case ucDiscard: return true;
    default: return false;
  }
}

QString TMainForm::ChooseOpenFile() {
  return QFileDialog::getOpenFileName(this, "Open", fFolder, kDataFilter);
}

QString TMainForm::ChooseSaveFile() {
  QFileDialog dlg(this, "Save As", fFolder, kDataFilter);
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setDefaultSuffix("ta");
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return QString();
  return dlg.selectedFiles().front();
}

QString TMainForm::ChooseCompareFile() {
  return QFileDialog::getOpenFileName(this, "Compare with file", fFolder, kDataFilter);
}

QString TMainForm::ChooseDumpFile() {
  QFileDialog dlg(this, "Store dump", fFolder, kDumpFilter);
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setDefaultSuffix("log");
  dlg.selectNameFilter("Log files (*.log)");
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return QString();
  return dlg.selectedFiles().front();
}

void TMainForm::Open() {
  if (RefuseWhileBusy() || !KeepOrDropUnsavedWork("opening another file")) return;
  const QString name = ChooseOpenFile();
  if (!name.isEmpty()) OpenFile(name.toStdString());
}

bool TMainForm::OpenFile(const std::string& Path) {
  if (!fStore.LoadFromFile(Path)) return false;  // the store has said why
  fResumeSource.clear();
  const std::string source = AbsoluteFilePath(Path);
  if (HasUnfinishedUpload(ReadJournal(JournalFile()), source) &&
      Confirm("The last upload of\r" + Path +
              "\rdid not end: the program stopped or the line was lost before the PBX had "
              "confirmed every line.\rWhen you upload it, send only the lines the PBX has not "
              "confirmed?"))
    fResumeSource = source;
  SetCurrentFileName(Path);
  MarkClean();
  RememberFolder(Path);
  fRecent.Add(Path);
  RebuildRecentMenu();
  PostDataChanged();
  return true;
}

bool TMainForm::OpenFromCommandLine(const std::string& Arg) {
  return OpenFile(QFileInfo(QString::fromStdString(Arg)).absoluteFilePath().toStdString());
}

void TMainForm::OpenRecent(const std::string& Path) {
  if (RefuseWhileBusy()) return;
  if (QFileInfo::exists(QString::fromStdString(Path))) {
    if (!KeepOrDropUnsavedWork("opening another file")) return;
    OpenFile(Path);
    return;
  }
  ShowError("File \r" + Path + "\r not exists!");
  fRecent.Remove(Path);
  RebuildRecentMenu();
}

bool TMainForm::Save() {
  if (fFileName.empty()) return SaveAs();
  if (!fStore.SaveToFile(fFileName)) return false;
  MarkClean();
  return true;
}

bool TMainForm::SaveAs() {
  const QString name = ChooseSaveFile();
  if (name.isEmpty()) return false;
  const std::string path = name.toStdString();
  if (!fStore.SaveToFile(path)) return false;
  SetCurrentFileName(path);
  MarkClean();
  RememberFolder(path);
  fRecent.Add(path);
  RebuildRecentMenu();
  return true;
}

void TMainForm::SetCurrentFileName(const std::string& Name) {
  if (Name == fFileName) return;
  fFileName = Name;
  fPanels[2]->setText(FilePart(Name));
  UpdateTitle();
}

void TMainForm::RememberFolder(const std::string& Path) {
  fFolder = QFileInfo(QString::fromStdString(Path)).absolutePath();
}

void TMainForm::ReadFromPbx() {
  if (RefuseWhileBusy()) return;
  if (fStore.HaveFileData && !Confirm("Already have actual data!\rWould you like to re-read them?"))
    return;
  if (!KeepOrDropUnsavedWork("reading from the PBX")) return;
  bool ok = false;
  {
    TPbxOperation op("Reading from the PBX");
    ok = ReadAll(this, fStore);
  }
  // A site's whole reads are kept with it: the next one can be compared with it.
  if (ok && !fSite.Name.empty()) {
    std::string file, why;
    if (KeepRead(SiteBackupsDir(fSite), fStore.Version.Model(),
                 DataFileImage(fStore, fStore.Settings.PackedFile), file, why))
      ShowStatus(QString::fromStdString("Kept in the site's backups: " + file));
    else
      ShowError(why + ".");
  }
  // What was read is what the PBX holds: nothing of it is lost with the window.
  MarkClean();
  PostDataChanged();
}

void TMainForm::UploadDifferences() { Upload(true); }

void TMainForm::UploadToPbx() { Upload(false); }

namespace {

QString AboutTime(double Seconds) {
  const int s = static_cast<int>(Seconds + 0.5);
  if (s < 120) return QString("about %1 seconds").arg(std::max(5, (s + 2) / 5 * 5));
  return QString("about %1 minutes").arg(QString::number(std::round(Seconds / 30.0) / 2.0));
}

QString LinesText(int N) { return N == 1 ? QString("1 line") : QString("%1 lines").arg(N); }

}  // namespace

TMainForm::TUploadChoice TMainForm::AskUpload(const QString& Info, int Differing) {
  QMessageBox box(QMessageBox::Question, "Confirm", "Upload data to PBX?",
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setObjectName("MsgBoxConfirm");
  box.setInformativeText(Info);
  QPushButton* differing = nullptr;
  if (Differing > 0) {
    differing = box.addButton(QString("Upload &differences only (%1)").arg(Differing),
                              QMessageBox::AcceptRole);
    differing->setObjectName("UploadDiffBtn");
  }
  const int answer = box.exec();
  if (differing && box.clickedButton() == differing) return upDiffering;
  return answer == QMessageBox::Yes ? upYes : upNo;
}

void TMainForm::Upload(bool Differing) {
  if (RefuseWhileBusy()) return;
  // Every step would report Ok having sent nothing.
  if (fStore.HoldsNoBlock()) {
    ShowError((fFileName.empty() ? std::string("The configuration") : fFileName) +
              " holds no PBX data: nothing to upload.");
    return;
  }
  // The journal names the file only while the window holds it as it was loaded or saved:
  // a resume must send that file's lines and nothing else.
  std::string source;
  if (!fFileName.empty() && !HasUnsavedWork()) source = AbsoluteFilePath(fFileName);
  const bool resume = !fResumeSource.empty() && fResumeSource == source;
  // What the PBX would refuse is found here, before the first command; with such values the
  // list's choice is the question.
  const std::vector<TLineProblem> problems = CheckStore(fStore);
  if (!problems.empty()) {
    if (!UploadDespiteProblems(this, problems)) return;
  } else {
    // A whole upload takes minutes at the port's speed: the question says how long, and where
    // the PBX's lines were read in this connection, how few of them it would have to take.
    const TComSettings& com = fStore.Settings.Com;
    const TUploadPreview all = PreviewUpload(fStore, TRunDirection::UploadAll);
    QString info;
    int offer = 0;
    if (resume) {
      info = "It resumes the last upload of this file: only the lines the PBX has not "
             "confirmed are written.";
    } else if (Differing && all.Unknown == 0 && all.Differing == 0) {
      info = "The PBX holds every line already, as read in this connection: none needs writing.";
    } else if (Differing && all.Unknown == 0) {
      info = QString("It writes the %1 that differ from what the PBX holds (read in this "
                     "connection), %2.")
                 .arg(LinesText(all.Differing),
                      AboutTime(UploadSeconds(all.Differing, all.DifferingChars, com)));
    } else if (Differing) {
      info = QString("It reads what the PBX holds in %1 first (not read in this connection), "
                     "then writes only the lines that differ.")
                 .arg(LinesText(all.Unknown));
    } else {
      static const int kRates[] = {1200, 2400, 4800, 9600};
      info = QString("It writes all %1 of the configuration, %2 at %3 bit/s.")
                 .arg(LinesText(all.Lines), AboutTime(UploadSeconds(all.Lines, all.Chars, com)))
                 .arg(kRates[com.Speed >= 0 && com.Speed <= 3 ? com.Speed : 3]);
      if (all.Unknown > 0) {
        info += QString("\nWhat the PBX holds in %1 is not known in this connection; \"Upload "
                        "differences\" in the File menu reads it first and writes only the "
                        "lines that differ.")
                    .arg(LinesText(all.Unknown));
      } else if (all.Differing == 0) {
        info += "\nThe PBX holds every one of them already, as read in this connection.";
      } else {
        offer = all.Differing;
        info += QString("\n%1 differ from what the PBX holds (read in this connection); "
                        "\"Upload differences only\" writes just those, %2.")
                    .arg(all.Differing)
                    .arg(AboutTime(UploadSeconds(all.Differing, all.DifferingChars, com)));
      }
    }
    const TUploadChoice choice = AskUpload(info, offer);
    if (choice == upNo) return;
    if (choice == upDiffering) Differing = true;
  }
  {
    TPbxOperation op("Uploading to the PBX");
    TUploadGuardOptions guard;
    if (!source.empty()) {
      guard.Source = source;
      guard.SourceHash = BytesHash(ReadWholeFile(fFileName));
    }
    guard.Device = fActions.DeviceName ? fActions.DeviceName() : std::string();
    guard.Mode = Differing ? "differing" : "all";
    guard.Site = fSite.Name;
    if (!fSite.Name.empty()) guard.BackupsDir = SiteBackupsDir(fSite);
    guard.Differing = Differing;
    TRunDirection direction = Differing ? TRunDirection::UploadChanged : TRunDirection::UploadAll;
    if (resume) {
      std::string why;
      int confirmed = 0;
      const std::string version = fActions.PbxVersion ? fActions.PbxVersion() : std::string();
      if (!PrepareResume(fStore, ReadJournal(JournalFile()), guard.Source, guard.SourceHash,
                         guard.Device, version, why, confirmed)) {
        ShowError(why);
        return;
      }
      guard.Mode = "resume";
      direction = TRunDirection::UploadChanged;
    }
    fResumeSource.clear();
    UploadAll(this, fStore, guard, direction);
  }
  UpdateTitle();
}

void TMainForm::ShowUploadHistory() {
  std::vector<TJournalRun> runs;
  std::string why;
  // A journal that is not one (a folder, garbage) is said so, not shown as "no upload".
  if (ReadJournal(JournalFile(), runs, why) == TJournalState::Failed) {
    ShowError(why);
    return;
  }
  TUploadHistoryDlg dlg(this, std::move(runs), fSite.Name);
  dlg.exec();
}

void TMainForm::CompareWithFile() {
  if (RefuseWhileBusy()) return;
  const QString name = ChooseCompareFile();
  if (!name.isEmpty()) CompareWithFile(name.toStdString());
}

bool TMainForm::CompareWithFile(const std::string& Path) {
  // A store of its own: the window's configuration, its file name and its changed flags stay.
  auto other = std::make_unique<TSysData>();
  if (!other->LoadFromFile(Path)) return false;  // the loader has said why
  RememberFolder(Path);
  const std::vector<TItemDiff> diffs = CompareStores(fStore, *other);
  if (diffs.empty()) {
    ShowInformation("The configuration in the window and the file\r" + Path +
                    "\rhold the same program lines: no difference.");
    return true;
  }
  delete fCompareWnd.data();  // one comparison window at a time: the newest
  auto* wnd = new TCompareDlg(this, diffs, QString::fromStdString(Path));
  wnd->setAttribute(Qt::WA_DeleteOnClose);
  fCompareWnd = wnd;
  wnd->show();
  return true;
}

void TMainForm::StoreDump() {
  if (RefuseWhileBusy()) return;
  const QString name = ChooseDumpFile();
  if (name.isEmpty() || !fActions.StoreDump) return;
  TPbxOperation op("Storing the dump");
  // Written beside the chosen file and renamed over it, so an earlier dump of that name stays
  // whole until the new one is complete.
  TFileStream out;
  if (!out.Create(name.toStdString())) {
    ShowError("Cannot create the dump file\r" + name.toStdString() + "\r" + out.ErrorText());
    return;
  }
  ShowTopInfo("Storing the dump..");  // its Cancel ends the dump
  const bool complete = fActions.StoreDump(out);
  HideTopInfo();
  if (fActions.TakeAbort && fActions.TakeAbort()) {
    out.Abandon();
    ShowStatus("Dump aborted; nothing was saved.");
    return;
  }
  if (!complete) {
    out.Abandon();
    ShowError("The PBX's listing is incomplete: the connection was lost, or the listing stopped "
              "inside a line.\rNothing was written to\r" + name.toStdString() +
              "\r(an earlier dump there is kept). Check the cable, connect again and store the "
              "dump once more.");
    return;
  }
  if (!out.Commit()) ShowError("The dump file could not be written completely:\r" +
                              name.toStdString() + "\r" + out.ErrorText());
}

void TMainForm::ComPortSetup() {
  ComSetupDialog(this, fStore.Settings.Com,
                 fActions.ComDevices ? fActions.ComDevices() : TComDevices());
}

void TMainForm::SystemSetup() {
  bool modelChanged = false;
  if (SystemSetupDialog(this, fStore.Settings, modelChanged) && modelChanged) PostDataChanged();
}

void TMainForm::Sites() {
  if (RefuseWhileBusy()) return;
  TSitesDlg dlg(this, SiteBookFile(), fSite.Name);
  const bool pick = dlg.exec() == QDialog::Accepted && !dlg.Picked().empty();
  std::string why;
  const TSite* site = pick ? dlg.Book().Find(dlg.Picked(), why) : nullptr;
  if (site && ChooseSite(site)) Connect();
}

bool TMainForm::ChooseSite(const TSite* Site) {
  std::string password, why;
  if (Site && !SitePassword(*Site, password, why)) {
    ShowError(why);
    return false;
  }
  if (fActions.UseSite) fActions.UseSite(Site, password);
  // The site's model shapes the views while it is in use; TALVEN.INI keeps its own.
  // A model chosen in System settings meanwhile is the user's and stays.
  if (fSettingsModel >= 0 && fStore.Settings.PBXtype == fSite.Model)
    fStore.Settings.PBXtype = static_cast<uint8_t>(fSettingsModel);
  fSettingsModel = -1;
  if (Site && Site->Model >= 0) {
    fSettingsModel = fStore.Settings.PBXtype;
    fStore.Settings.PBXtype = static_cast<uint8_t>(Site->Model);
  }
  fSite = Site ? *Site : TSite();
  // The programming dialogs' uploads go to the site's journal entries and backups too.
  SetSiteInUse(fSite.Name, fSite.Name.empty() ? std::string() : SiteBackupsDir(fSite));
  fPanels[4]->setText(fSite.Name.empty() ? QString() : QString::fromStdString("Site " + fSite.Name));
  UpdateTitle();
  PostDataChanged();
  return true;
}

void TMainForm::RebuildRecentMenu() {
  for (QAction* a : fRecentActions) {
    fFileMenu->removeAction(a);
    delete a;
  }
  fRecentActions.clear();
  const auto& entries = fRecent.Entries();
  if (entries.empty()) return;
  // Before the separator and "Exit" at the end of the menu.
  const QList<QAction*> all = fFileMenu->actions();
  QAction* before = all.at(all.size() - 2);
  auto* sep = new QAction(this);
  sep->setSeparator(true);
  fFileMenu->insertAction(before, sep);
  fRecentActions << sep;
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string path = entries[i];
    auto* a = new QAction(FilePart(path), this);
    a->setObjectName(QString("RecentFile%1").arg(i + 1));
    a->setData(QString::fromStdString(path));
    a->setStatusTip(QString::fromStdString(path));
    connect(a, &QAction::triggered, this, [this, path] { OpenRecent(path); });
    fFileMenu->insertAction(before, a);
    fRecentActions << a;
  }
}

void TMainForm::AddView(QWidget* View, const QString& MenuCaption) {
  QMdiSubWindow* sub = qobject_cast<QMdiSubWindow*>(View->parentWidget());
  if (!sub) sub = fMdi->addSubWindow(View);
  fViews << qMakePair(QString(MenuCaption).replace(' ', '_'), sub);
  // Large enough to show a useful part of its list.
  sub->resize(sub->sizeHint().expandedTo(QSize(320, 380)));
  auto* a = new QAction(MenuCaption, this);
  a->setObjectName(QString("ShowView_%1").arg(MenuCaption).replace(' ', '_'));
  connect(a, &QAction::triggered, this, [this, sub] {
    if (sub->isMinimized()) sub->showNormal();
    sub->show();
    fMdi->setActiveSubWindow(sub);
  });
  fWindowMenu->insertAction(fWindowListSeparator, a);
  fViewActions << a;
  sub->show();
  RebuildWindowList();
}

void TMainForm::RebuildWindowList() {
  for (QAction* a : fWindowListActions) {
    fWindowMenu->removeAction(a);
    delete a;
  }
  fWindowListActions.clear();
  if (fViewActions.isEmpty()) {
    fWindowListSeparator->setVisible(false);
    return;
  }
  fWindowListSeparator->setVisible(true);
  auto* sep = fWindowMenu->addSeparator();
  fWindowListActions << sep;
  int n = 1;
  for (QMdiSubWindow* w : fMdi->subWindowList()) {
    auto* a = fWindowMenu->addAction(QString("&%1 %2").arg(n++).arg(w->windowTitle()));
    a->setCheckable(true);
    a->setChecked(w == fMdi->activeSubWindow());
    connect(a, &QAction::triggered, this, [this, w] { fMdi->setActiveSubWindow(w); });
    fWindowListActions << a;
  }
}

void TMainForm::TileWindows(bool SideBySide) {
  QList<QMdiSubWindow*> shown;
  for (QMdiSubWindow* w : fMdi->subWindowList())
    if (w->isVisible() && !w->isMinimized()) shown << w;
  if (shown.isEmpty()) return;
  const QRect area = fMdi->viewport()->rect();
  const int n = static_cast<int>(shown.size());
  for (int i = 0; i < n; ++i) {
    QMdiSubWindow* w = shown[i];
    if (w->isMaximized()) w->showNormal();
    // Spread the rounding over the windows so that together they fill the area exactly.
    if (SideBySide) {
      const int x0 = area.width() * i / n, x1 = area.width() * (i + 1) / n;
      w->setGeometry(x0, 0, x1 - x0, area.height());
    } else {
      const int y0 = area.height() * i / n, y1 = area.height() * (i + 1) / n;
      w->setGeometry(0, y0, area.width(), y1 - y0);
    }
  }
}

void TMainForm::CascadeWindows() {
  // Each window a title bar lower and to the right of the one before, all as large as the area
  // leaves them: the views are tables and want their room.
  QList<QMdiSubWindow*> shown;
  for (QMdiSubWindow* w : fMdi->subWindowList())
    if (w->isVisible() && !w->isMinimized()) shown << w;
  if (shown.isEmpty()) return;
  const QRect area = fMdi->viewport()->rect();
  const int step = style()->pixelMetric(QStyle::PM_TitleBarHeight) + 4;
  const int n = static_cast<int>(shown.size());
  const QSize size(std::max(area.width() - (n - 1) * step, area.width() * 2 / 3),
                   std::max(area.height() - (n - 1) * step, area.height() * 2 / 3));
  for (int i = 0; i < n; ++i) {
    QMdiSubWindow* w = shown[i];
    if (w->isMaximized()) w->showNormal();
    const int off = std::min(i * step, std::min(area.width() - size.width(), area.height() - size.height()));
    w->setGeometry(QRect(QPoint(off, off), size));
    w->raise();
  }
}

void TMainForm::ArrangeIcons() {
  // The minimised windows in a row along the bottom, left to right.
  const QRect area = fMdi->viewport()->rect();
  int x = 0;
  for (QMdiSubWindow* w : fMdi->subWindowList()) {
    if (!w->isMinimized()) continue;
    const QSize s = w->size();
    if (x > 0 && x + s.width() > area.width()) x = 0;
    w->move(x, area.height() - s.height());
    x += s.width();
  }
}

void TMainForm::CopyOrPaste(bool Copy) {
  QMdiSubWindow* sub = fMdi->activeSubWindow();
  if (!sub) return;
  if (auto* target = dynamic_cast<TCopyPasteTarget*>(sub->widget())) {
    if (Copy)
      target->CopyItems();
    else
      target->PasteItems();
  }
}

namespace {

const char* const kWindowsSection = "Windows";

QString RectText(const QRect& R) {
  return QString("%1,%2,%3,%4").arg(R.x()).arg(R.y()).arg(R.width()).arg(R.height());
}

bool ParseRect(const std::string& Text, QRect& R) {
  const QStringList p = QString::fromStdString(Text).split(',');
  if (p.size() != 4) return false;
  int v[4];
  for (int i = 0; i < 4; ++i) {
    bool ok = false;
    v[i] = p[i].trimmed().toInt(&ok);
    if (!ok) return false;
  }
  if (v[2] <= 0 || v[3] <= 0) return false;
  R = QRect(v[0], v[1], v[2], v[3]);
  return true;
}

// R moved and cut so that it lies within Area.
QRect Within(QRect R, const QRect& Area) {
  R.setSize(R.size().boundedTo(Area.size()));
  if (R.right() > Area.right()) R.moveRight(Area.right());
  if (R.bottom() > Area.bottom()) R.moveBottom(Area.bottom());
  if (R.left() < Area.left()) R.moveLeft(Area.left());
  if (R.top() < Area.top()) R.moveTop(Area.top());
  return R;
}

}  // namespace

void TMainForm::showEvent(QShowEvent* Event) {
  if (!fLayoutRestored) {
    fLayoutRestored = true;
    RestoreLayout();
  }
  QMainWindow::showEvent(Event);
}

void TMainForm::RestoreLayout() {
  const TIniFile ini(AppPaths().SettingsFile());
  const QScreen* sc = screen() ? screen() : QGuiApplication::primaryScreen();
  const QRect avail = sc ? sc->availableGeometry() : QRect(0, 0, 1024, 768);
  // The window's inside is kept, not its frame: before the first show the frame has no size
  // yet, so a frame saved and given back would grow and climb by the frame on every start.
  QRect r;
  QRect framed;
  const bool hasFramed = ParseRect(ini.ReadString(kWindowsSection, "Main", ""), framed);
  if (ParseRect(ini.ReadString(kWindowsSection, "MainInside", ""), r)) {
    // The frame is as wide as it was last time, or as the platform says now: the whole window,
    // title bar included, must be within the screen.
    QMargins frame(r.left() - framed.left(), r.top() - framed.top(), framed.right() - r.right(),
                   framed.bottom() - r.bottom());
    const auto plausible = [](const QMargins& m) {
      return std::min({m.left(), m.top(), m.right(), m.bottom()}) >= 0 &&
             std::max({m.left(), m.top(), m.right(), m.bottom()}) <= 200;
    };
    if (!hasFramed || !plausible(frame)) frame = FrameMargins();
    setGeometry(Within(r, avail.marginsRemoved(frame)));
  } else if (hasFramed) {
    // Saved by an earlier version as the frame's place.
    setGeometry(Within(framed, avail).marginsRemoved(FrameMargins()));
  } else {
    // First start: the usual size, but never more than nine tenths of the screen.
    r = QRect(QPoint(), size().expandedTo(QSize(900, 640)).boundedTo(avail.size() * 9 / 10));
    r.moveCenter(avail.center());
    setGeometry(r);
  }
  if (ini.ReadBool(kWindowsSection, "MainMaximized", false)) setWindowState(Qt::WindowMaximized);
  bool placed = false;
  for (const auto& [key, sub] : fViews) {
    QRect v;
    if (ParseRect(ini.ReadString(kWindowsSection, key.toStdString(), ""), v)) {
      sub->setGeometry(v);
      placed = true;
    }
    if (ini.ReadBool(kWindowsSection, (key + "_Minimized").toStdString(), false))
      sub->showMinimized();
  }
  // First start: the views side by side, each wholly in sight, once the frame has its size.
  if (!placed && !fViews.isEmpty()) QTimer::singleShot(0, this, [this] { TileWindows(true); });
}

QMargins TMainForm::FrameMargins() const {
  const QRect f = frameGeometry(), g = geometry();
  return QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(),
                  f.bottom() - g.bottom());
}

void TMainForm::SaveLayout() const {
  TIniFile ini(AppPaths().SettingsFile());
  ini.BeginUpdate();
  const bool maximized = isMaximized();
  // The inside as it is when not maximized; the frame's place only for earlier versions.
  const QRect inside = maximized ? normalGeometry() : geometry();
  ini.WriteString(kWindowsSection, "MainInside", RectText(inside).toStdString());
  ini.WriteString(kWindowsSection, "Main", RectText(inside.marginsAdded(FrameMargins())).toStdString());
  ini.WriteBool(kWindowsSection, "MainMaximized", maximized);
  for (const auto& [key, sub] : fViews) {
    const bool minimized = sub->isMinimized();
    if (!minimized)
      ini.WriteString(kWindowsSection, key.toStdString(), RectText(sub->geometry()).toStdString());
    ini.WriteBool(kWindowsSection, (key + "_Minimized").toStdString(), minimized);
  }
  ini.EndUpdate();
}

void TMainForm::closeEvent(QCloseEvent* Event) {
  if (TPbxOperations::Instance().Active()) {
    // The operation ends cleanly first (its goodbye included); the window closes after it.
    Event->ignore();
    if (fCloseWhenIdle) return;
    if (!Confirm(BusyMessage().toStdString() + "\rStop it and quit the program?")) return;
    fCloseWhenIdle = true;
    if (fActions.RequestAbort) fActions.RequestAbort();
    return;
  }
  fCloseWhenIdle = false;
  if (!KeepOrDropUnsavedWork("quitting")) {
    Event->ignore();
    return;
  }
  if (isVisible()) SaveLayout();
  if (fStore.OnLine) Disconnect();
  // The settings are saved after the window: they keep their model, not the site's.
  if (!fSite.Name.empty()) ChooseSite(nullptr);
  Event->accept();
  // Leaving the program closes every window it opened: the help stands alone, and would keep
  // the program running after its frame.
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w != this && w->isVisible()) w->close();
}
