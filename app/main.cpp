// The desktop program: start-up and shut-down in the order the rest of the program relies on.
#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <cstring>

#include "CommDevice.h"
#include "COparam.h"
#include "CommKXTA.h"
#include "DemoLine.h"
#include "FKey.h"
#include "Main.h"
#include "ModemDlg.h"
#include "Paths.h"
#include "QtFeedback.h"
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

}  // namespace

int main(int argc, char** argv) {
  InitAppPaths(argc > 0 ? argv[0] : nullptr);
  EnsureAppDirs();
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

  TPbxActions actions;
  const auto& com = store.Settings.Com;
  actions.Connect = [&] {
    int dialResult = 0;
    const std::string device = demo ? std::string("demo") : Format("COM%d", com.ComNumber());
    return comm.ConnectDevice(device, com.Speed, com.StopBits, com.WordLen, com.Parity,
                              store.Settings.PbxPassword, 0, false, "", "", 0, dialResult);
  };
  actions.Disconnect = [&] { comm.Disconnect(); };
  actions.StoreDump = [&](TStream& S) { comm.StoreDump("ALL", S); };
  actions.PbxVersion = [&] { return comm.PbxVersion(); };
  actions.ConnectErrorText = [&] { return comm.ConnectErrorText(); };
  actions.SetOnCarrierLost = [&](std::function<void()> F) { comm.OnCarrierLost = std::move(F); };

  TMainForm* mainWindow = nullptr;  // the modem dialog's parent and online switch
  actions.ModemDialog = [&](QWidget* Parent) {
    TModemConnectDlg dlg(
        Parent, AppPaths().SettingsFile(),
        [&](const std::string& Init, const std::string& Number, int WaitCD,
            const std::string& Password, int& DialResult) {
          const std::string device =
              demo ? std::string("demo") : Format("COM%d", com.ComNumber());
          // A modem connection always runs without parity.
          return comm.ConnectDevice(device, com.Speed, com.StopBits, com.WordLen, 0, Password, 0,
                                    true, Init, Number, WaitCD, DialResult);
        },
        [&] {
          comm.OnCarrierLost = [&] { mainWindow->CarrierLost(); };
          mainWindow->SetOnline(true);
          store.Version.SetModel(comm.PbxVersion());
        });
    dlg.exec();
  };

  // "dump" as the first argument shows the Store dump action.
  const bool showDump = argc > 1 && SameTextAscii(argv[1], "dump");
  TMainForm main(store, std::move(actions), showDump);
  mainWindow = &main;
  feedback.SetMainWindow(&main);
  store.OnDataChanged = [&main] { main.PostDataChanged(); };
  ViewDialogs().COLines = [](QWidget* Parent, const TIntegerList& Lines) {
    return EditCOLines(Parent, Lines);
  };
  CreateViews(main);
  main.resize(900, 640);
  main.show();
  const int rc = app.exec();

  SaveSettings(store.Settings);
  SetFeedback(nullptr);
  SetPbxComm(nullptr);
  return rc;
}
