#include "SessionActions.h"

#include "CommKXTA.h"
#include "Errors.h"
#include "ModemDlg.h"
#include "Paths.h"
#include "SysData.h"

TPbxActions SessionActions(TKXTAcomm& Comm, TSysData& Store, const std::string& Device) {
  const TComSettings& com = Store.Settings.Com;
  auto device = [&com, Device] {
    return Device.empty() ? Format("COM%d", com.ComNumber()) : Device;
  };
  TPbxActions a;
  a.DeviceName = device;
  a.Connect = [&Comm, &Store, device] {
    const TComSettings& c = Store.Settings.Com;
    int dialResult = 0;
    return Comm.ConnectDevice(device(), c.Speed, c.StopBits, c.WordLen, c.Parity,
                              Store.Settings.PbxPassword, 0, false, "", "", 0, dialResult);
  };
  a.Disconnect = [&Comm] { Comm.Disconnect(); };
  a.RequestAbort = [&Comm] { Comm.RequestAbort(); };
  a.TakeAbort = [&Comm] {
    const bool asked = Comm.AbortRequested();
    Comm.ClearAbort();
    return asked;
  };
  a.StoreDump = [&Comm](TStream& S) { return Comm.StoreDump("ALL", S); };
  a.PbxVersion = [&Comm] { return Comm.PbxVersion(); };
  a.ConnectErrorText = [&Comm] { return Comm.ConnectErrorText(); };
  a.ConnectStep = [&Comm] { return Comm.ConnectStep(); };
  a.SetOnCarrierLost = [&Comm](std::function<void()> F) { Comm.OnCarrierLost = std::move(F); };
  a.ComDevices = [Device] {
    TComDevices d = MachineComDevices();
    if (!Device.empty()) {
      // Every entry connects to the fixed device; the mapping is not edited meanwhile.
      d.DeviceOf = [Device](int) { return Device; };
      d.Editable = false;
    }
    return d;
  };
  a.ModemDialog = [&Comm, &Store, device](QWidget* Parent) {
    auto* frame = qobject_cast<TMainForm*>(Parent);
    TModemConnectDlg dlg(
        Parent, AppPaths().SettingsFile(),
        [&Comm, &Store, device](const std::string& Init, const std::string& Number, int WaitCD,
                                const std::string& Password, int& DialResult) {
          const TComSettings& c = Store.Settings.Com;
          // A modem connection always runs without parity.
          return Comm.ConnectDevice(device(), c.Speed, c.StopBits, c.WordLen, 0, Password, 0, true,
                                    Init, Number, WaitCD, DialResult);
        },
        [&Comm, &Store, frame] {
          if (!frame) return;
          Comm.OnCarrierLost = [frame] { frame->CarrierLost(); };
          frame->SetOnline(true);
          Store.Version.SetModel(Comm.PbxVersion());
        });
    dlg.SetIsOnline([&Store] { return Store.OnLine; });
    dlg.exec();
  };
  return a;
}
