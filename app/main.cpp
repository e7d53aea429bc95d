// The desktop program: start-up and shut-down in the order the rest of the program relies on.
#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "COparam.h"
#include "CommKXTA.h"
#include "DemoLine.h"
#include "FKey.h"
#include "Main.h"
#include "Paths.h"
#include "QtFeedback.h"
#include "SessionActions.h"
#include "Settings.h"
#include "SysData.h"
#include "Text.h"
#include "Views.h"

namespace {

bool HasArg(int Argc, char** Argv, const char* Name) {
  for (int i = 1; i < Argc; ++i)
    if (SameTextAscii(Argv[i], Name)) return true;
  return false;
}

// The word after option Name, or "" when the option is not given.
std::string ArgValue(int Argc, char** Argv, const char* Name) {
  for (int i = 1; i + 1 < Argc; ++i)
    if (SameTextAscii(Argv[i], Name)) return Argv[i + 1];
  return std::string();
}

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

}  // namespace

int main(int argc, char** argv) {
  InitAppPaths(argc > 0 ? argv[0] : nullptr);
  EnsureAppDirs();
  // Hooks for scripts (scripts/screenshot): "--autorun read" connects and reads everything
  // once the window is up; "--screenshot FILE" then saves the window as a picture and quits.
  const std::string autorun = ArgValue(argc, argv, "--autorun");
  const std::string screenshot = ArgValue(argc, argv, "--screenshot");
  if (!autorun.empty() && !SameTextAscii(autorun, "read")) {
    std::fprintf(stderr, "kxta-config: --autorun knows only \"read\"\n");
    return 2;
  }
  // The session exists before anything else and goes last.
  TKXTAcomm comm;
  comm.SetErrorLogFile(AppPaths().ErrorLogFile());
  SetPbxComm(&comm);
  const bool demo = HasArg(argc, argv, "--demo");
  if (demo) RegisterDemoLine();

  QApplication app(argc, argv);
  QApplication::setApplicationName("kxta-config");
  QApplication::setApplicationDisplayName("KX-TA Configurator");
  QApplication::setApplicationVersion("1.00.02");
  TQtFeedback feedback;
  SetFeedback(&feedback);
  InstallFKeyTracker();

  TSysData& store = SysData();
  LoadSettings(store.Settings);
  LoadComSettings(store.Settings.Com);

  TPbxActions actions = SessionActions(comm, store, demo ? "demo" : "");

  // "dump" as the first argument shows the Store dump action.
  const bool showDump = argc > 1 && SameTextAscii(argv[1], "dump");
  TMainForm main(store, std::move(actions), showDump);
  feedback.SetMainWindow(&main);
  store.OnDataChanged = [&main] { main.PostDataChanged(); };
  ViewDialogs().COLines = [](QWidget* Parent, const TIntegerList& Lines) {
    return EditCOLines(Parent, Lines);
  };
  CreateViews(main);
  main.resize(900, 640);
  main.show();

  int hookResult = 0;
  if (!autorun.empty() || !screenshot.empty())
    QTimer::singleShot(200, &main, [&] {
      if (!autorun.empty()) {
        if (main.Connect())
          main.ReadFromPbx();
        else
          hookResult = 1;
        std::printf("autorun: %s\n", hookResult == 0 ? "read done" : "connect failed");
        std::fflush(stdout);
      }
      if (screenshot.empty()) return;
      // Let the views rebuild and paint before the picture is taken.
      QTimer::singleShot(500, &main, [&] {
        if (!SaveScreenshot(main, QString::fromStdString(screenshot))) hookResult = 1;
        main.close();
      });
    });
  int rc = app.exec();
  if (rc == 0) rc = hookResult;

  SaveSettings(store.Settings);
  SetFeedback(nullptr);
  SetPbxComm(nullptr);
  return rc;
}
