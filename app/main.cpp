// The desktop program: start-up and shut-down in the order the rest of the program relies on.
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QMessageBox>
#include <QEvent>
#include <QIcon>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ARSdlg.h"
#include "COparam.h"
#include "CodeTables.h"
#include "CommKXTA.h"
#include "DateDlg.h"
#include "DayNightDlg.h"
#include "DSSparam.h"
#include "DISAparam.h"
#include "DemoLine.h"
#include "DialogNames.h"
#include "EXTparam.h"
#include "FKey.h"
#include "Groups.h"
#include "Main.h"
#include "Measure.h"
#include "Paths.h"
#include "QtFeedback.h"
#include "ReadAll.h"
#include "SafeFile.h"
#include "Services.h"
#include "SessionActions.h"
#include "Settings.h"
#include "SpeedDial.h"
#include "StartArgs.h"
#include "SystemParam.h"
#include "SysData.h"
#include "Text.h"
#include "TimerDlg.h"
#include "ValueNames.h"
#include "Views.h"

namespace {

// The frame as the screen shows it (the window system's pixels where it gives them, else
// Qt's own rendering), saved as a picture file.
bool SaveScreenshot(QWidget& Window, const QString& File) {
  QPixmap shot;
  if (QScreen* s = Window.screen()) {
    const QRect r = Window.frameGeometry();
    shot = s->grabWindow(0, r.x(), r.y(), r.width(), r.height());
  }
  if (shot.isNull()) shot = Window.grab();
  return shot.save(File);
}

// A read takes minutes on a real line, so a measurement file that could never be written is
// refused before the program connects. Why Path cannot be written; empty when it can.
std::string WriteProblem(const std::string& Path) {
  struct stat st {};
  if (::stat(Path.c_str(), &st) == 0) {
    // What the writer refuses (NotAFile), said before anything runs.
    if (const std::string kind = NotAFile(Path); !kind.empty()) return kind;
    return ::access(Path.c_str(), W_OK) == 0 ? std::string() : std::strerror(errno);
  }
  if (errno != ENOENT) return std::strerror(errno);
  const size_t slash = Path.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string(".") : slash == 0 ? "/" : Path.substr(0, slash);
  if (::access(folder.c_str(), W_OK | X_OK) == 0) return std::string();
  return "the folder \"" + folder + "\": " + std::strerror(errno);
}

// With --quit nobody sits at the program, and a box would wait for ever: messages go to
// standard error and every question is answered No, as kxta does without a terminal.
class TUnattendedFeedback : public TQtFeedback {
 public:
  void ShowError(const std::string& Text) override { Print("", Text); }
  bool Confirm(const std::string& Text) override {
    Print("answered No: ", Text);
    return false;
  }
  void ShowInformation(const std::string& Text) override { Print("", Text); }
  bool ShowMsgAgain(const std::string& Text, bool&, bool YesNo) override {
    Print(YesNo ? "answered No: " : "", Text);
    return false;
  }

 private:
  static void Print(const char* Lead, std::string Text) {
    for (char& c : Text)
      if (c == '\r') c = '\n';
    std::fprintf(stderr, "kxta-config: %s%s\n", Lead, Text.c_str());
  }
};

// Follows the run window of the autorun read. The run tells its steps to that window alone;
// the window's step hook (OnStepStarted) and the icons of its lines say when a step begins and
// how the one before it ended. A step is thus taken from its own start to the start of the
// next (the window's work in between falls into the step before), the last one to the window's
// hiding. Watches the whole application's events: the window exists only inside the read.
class TReadSteps : public QObject {
 public:
  explicit TReadSteps(TRunMeasure* Measure) : fMeasure(Measure) {}

  int Done() const { return fDone; }
  int Failed() const { return fFailed; }

  bool eventFilter(QObject* Object, QEvent* Event) override {
    if (Event->type() == QEvent::Show && !fRun) {
      if (auto* run = qobject_cast<TReadAllDlg*>(Object)) {
        fRun = run;
        run->OnStepStarted = [this](const TGroup& G) {
          EndStep();
          fStep = &G;
          if (fMeasure) fMeasure->Begin();
        };
      }
    } else if (Event->type() == QEvent::Hide && fRun && Object == fRun.data()) {
      EndStep();
      fRun->OnStepStarted = nullptr;
      fRun = nullptr;
    }
    return false;
  }

 private:
  void EndStep() {
    if (!fStep || !fRun) return;
    const bool ok = fRun->LineIcon(static_cast<int>(fStep->Id)) == TReadAllDlg::icOk;
    if (fMeasure) fMeasure->End("step", static_cast<int>(fStep->Id), fStep->Title, ok);
    ++fDone;
    if (!ok) ++fFailed;
    fStep = nullptr;
  }

  TRunMeasure* fMeasure;
  QPointer<TReadAllDlg> fRun;
  const TGroup* fStep = nullptr;
  int fDone = 0, fFailed = 0;
};

// Gives a dialog, as it is first shown, the width its window manager's title bar needs for its
// title and the program's name after it, besides the icon and the buttons of the bar, so that
// the title is not cut ("Time and D... Configurator"); never wider than most of its screen.
class TTitleRoom : public QObject {
 public:
  bool eventFilter(QObject* Object, QEvent* Event) override {
    if (Event->type() != QEvent::Show) return false;
    auto* dlg = qobject_cast<QDialog*>(Object);
    if (!dlg || qobject_cast<QMessageBox*>(Object) || dlg->property("kxtaTitleRoom").isValid())
      return false;
    dlg->setProperty("kxtaTitleRoom", true);
    QFont bold = dlg->font();
    bold.setBold(true);
    const QString title = dlg->windowTitle() + QString(" ") + QChar(0x2014) + QString(" ") +
                          QApplication::applicationDisplayName();
    constexpr int kBarExtras = 170;  // the icon, three buttons and the margins of a title bar
    int wanted = QFontMetrics(bold).horizontalAdvance(title) + kBarExtras;
    if (const QScreen* screen = dlg->screen())
      wanted = std::min(wanted, screen->availableGeometry().width() * 4 / 5);
    if (dlg->width() < wanted && dlg->maximumWidth() >= wanted)
      dlg->resize(wanted, dlg->height());
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  // Answered before Qt looks for a display, so that they work in any terminal.
  if (AsksHelpOrVersion(argc, argv)) {
    std::vector<std::string> words(argv + 1, argv + argc);
    if (ParseStartArgs(words).Help)
      std::fputs(kStartUsage, stdout);
    else
      std::printf("kxta-config %s\n", KXTA_VERSION);
    return 0;
  }
  InitAppPaths(argc > 0 ? argv[0] : nullptr);
  EnsureAppDirs();
  // The session exists before anything else and goes last.
  TKXTAcomm comm;
  comm.SetErrorLogFile(AppPaths().ErrorLogFile());
  SetPbxComm(&comm);

  QApplication app(argc, argv);
  // Qt has taken its own options out of argv by now.
  const TStartArgs args = ParseStartArgs(std::vector<std::string>(argv + 1, argv + argc));
  if (!args.Error.empty()) {
    std::fprintf(stderr, "kxta-config: %s\n%s", args.Error.c_str(), kStartUsage);
    return 2;
  }
  // Hooks for scripts (scripts/screenshot, the benchmark): "--autorun read" connects and reads
  // everything once the window is up; "--screenshot FILE" then saves the window as a picture
  // and quits; "--quit" says goodbye to the PBX and quits, with no box waiting for a person;
  // "--measure FILE" writes the connection, each step and the goodbye as kxta does.
  const std::string& autorun = args.Autorun;
  const std::string& screenshot = args.Screenshot;
  const bool quit = args.Quit;
  const std::string& measureFile = args.Measure;
  if (!measureFile.empty()) {
    if (const std::string why = WriteProblem(measureFile); !why.empty()) {
      std::fprintf(stderr, "kxta-config: cannot write --measure \"%s\": %s\n",
                   measureFile.c_str(), why.c_str());
      return 2;
    }
  }
  const bool demo = args.Demo;
  if (demo) RegisterDemoLine();

  QApplication::setApplicationName("kxta-config");
  QApplication::setApplicationDisplayName("KX-TA Configurator");
  QApplication::setApplicationVersion(KXTA_VERSION);
  // The icon of the windows and the task bar; the desktop entry names the same icon for menus.
  QApplication::setDesktopFileName("kxta-config");
  QIcon icon;
  for (const int size : {16, 32, 48, 64, 128, 256})
    icon.addFile(QString(":/icons/kxta-config-%1.png").arg(size), QSize(size, size));
  QApplication::setWindowIcon(icon);
  const std::unique_ptr<TQtFeedback> feedbackOwner =
      quit ? std::make_unique<TUnattendedFeedback>() : std::make_unique<TQtFeedback>();
  TQtFeedback& feedback = *feedbackOwner;
  SetFeedback(&feedback);
  InstallFKeyTracker();
  TTitleRoom titleRoom;
  app.installEventFilter(&titleRoom);
  // Nobody is there to close a run window that shows errors.
  if (quit) TReadAllDlg::SetStaysOpenOnErrors(false);

  TSysData& store = SysData();
  LoadSettings(store.Settings);
  LoadComSettings(store.Settings.Com);

  TPbxActions actions = SessionActions(comm, store, demo ? "demo" : "");

  TMainForm main(store, std::move(actions), args.ShowDump);
  feedback.SetMainWindow(&main);
  store.OnDataChanged = [&main] { main.PostDataChanged(); };
  SetValueNamesSource(NameValuesFromDialogs);
  ViewDialogs().COLines = [](QWidget* Parent, const TIntegerList& Lines) {
    return EditCOLines(Parent, Lines);
  };
  // The parameter list's entries by their position in the tree.
  ViewDialogs().Params[0] = [](QWidget* Parent, bool Force) { EditPbxClock(Parent, Force); };
  ViewDialogs().Params[1] = EditSpeedDials;
  ViewDialogs().Params[4] = EditAccountCodes;
  ViewDialogs().Params[7] = EditTollRestriction;
  ViewDialogs().Params[8] = EditEmergencyCodes;
  ViewDialogs().Params[2] = EditDISA;
  ViewDialogs().Params[3] = EditUCD;
  ViewDialogs().Params[5] = EditARS;
  ViewDialogs().Params[10] = EditDayNight;
  ViewDialogs().Params[11] = EditTimers;
  ViewDialogs().Params[12] = EditAutoPauseCodes;
  ViewDialogs().Params[13] = EditCarrierExceptedCodes;
  ViewDialogs().Params[14] = EditVoiceMail;
  ViewDialogs().Params[15] = EditCallHunting;
  ViewDialogs().Params[16] = EditSMDR;
  ViewDialogs().Params[17] = EditSystemParams;
  ViewDialogs().Extensions = [](QWidget* Parent, const TIntegerList& Jacks) {
    return EditExtensions(Parent, Jacks);
  };
  ViewDialogs().DSSConsoles = [](QWidget* Parent, const TIntegerList& Consoles) {
    return EditDSSConsoles(Parent, Consoles);
  };
  CreateViews(main);
  main.resize(900, 640);
  main.show();

  // The file a file manager (the desktop entry's %f) or a terminal names, once the window is
  // up, so that a box about a bad file stands over it; before the autorun, which reads into it.
  if (!args.File.empty())
    QTimer::singleShot(0, &main, [&main, &args] { main.OpenFromCommandLine(args.File); });

  int hookResult = 0;
  const std::unique_ptr<TRunMeasure> measure =
      measureFile.empty() ? nullptr : std::make_unique<TRunMeasure>(comm);
  // After the autorun (and the picture): the goodbye, the measurements, the end.
  const auto finish = [&] {
    if (quit && store.OnLine) {
      if (measure) measure->Begin();
      main.Disconnect();
      if (measure) measure->End("disconnect", 0, "Disconnect", true);
    }
    std::string error;
    if (measure && !measure->Write(measureFile, error)) {
      std::fprintf(stderr, "kxta-config: Cannot write the measurements: %s\n", error.c_str());
      hookResult = 1;
    }
    main.close();
  };
  if (!autorun.empty() || !screenshot.empty())
    QTimer::singleShot(200, &main, [&] {
      if (!autorun.empty()) {
        if (measure) measure->Begin();
        const bool connected = main.Connect();
        if (measure) measure->End("connect", 0, "Connect", connected);
        TReadSteps steps(measure.get());
        if (connected) {
          app.installEventFilter(&steps);
          main.ReadFromPbx();
          app.removeEventFilter(&steps);
        }
        const bool allOk = steps.Done() == kGroupCount && steps.Failed() == 0;
        if (!allOk) hookResult = 1;
        if (!connected)
          std::printf("autorun: connect failed\n");
        else if (allOk)
          std::printf("autorun: read done\n");
        else
          std::printf("autorun: read ended with errors (%d of %d steps Ok)\n",
                      steps.Done() - steps.Failed(), static_cast<int>(kGroupCount));
        std::fflush(stdout);
      }
      if (screenshot.empty()) {
        if (quit) finish();
        return;
      }
      // Let the views rebuild and paint before the picture is taken.
      QTimer::singleShot(500, &main, [&] {
        if (!SaveScreenshot(main, QString::fromStdString(screenshot))) hookResult = 1;
        finish();
      });
    });
  int rc = app.exec();
  if (rc == 0) rc = hookResult;

  SaveSettings(store.Settings);
  SetFeedback(nullptr);
  SetPbxComm(nullptr);
  return rc;
}
