#include "SessionActions.h"

#include <memory>

#include "CommKXTA.h"
#include "Errors.h"
#include "ModemDlg.h"
#include "Paths.h"
#include "Profile.h"
#include "SysData.h"

TPbxActions SessionActions(TKXTAcomm& Comm, TSysData& Store, const std::string& Device) {
  // The site in use, shared by the actions: its connection replaces the settings' until the
  // frame chooses none again.
  struct TSiteInUse {
    bool Active = false;
    TSite Site;
    std::string Password;
  };
  auto inUse = std::make_shared<TSiteInUse>();
  const TComSettings& com = Store.Settings.Com;
  auto device = [&com, Device, inUse] {
    if (!Device.empty()) return Device;
    if (inUse->Active && !inUse->Site.Port.empty()) return inUse->Site.Port;
    return com.PortName();
  };
  TPbxActions a;
  a.DeviceName = device;
  a.UseSite = [inUse](const TSite* Site, const std::string& Password) {
    inUse->Active = Site != nullptr;
    inUse->Site = Site ? *Site : TSite();
    inUse->Password = Password;
  };
  a.Connect = [&Comm, &Store, device, inUse] {
    TSettings s = Store.Settings;
    if (inUse->Active) ApplySiteSettings(inUse->Site, s);
    const TComSettings& c = s.Com;
    const std::string password =
        inUse->Active && !inUse->Password.empty() ? inUse->Password : s.PbxPassword;
    int dialResult = 0;
    if (inUse->Active && !inUse->Site.ModemNumber.empty()) {
      // A site behind a modem is dialled with the modem settings, without parity, as the
      // modem dialog does.
      const TIniFile ini(AppPaths().SettingsFile());
      return Comm.ConnectDevice(device(), c.Speed, c.StopBits, c.WordLen, 0, password, 0, true,
                                ini.ReadString("Remote Administration", "InitModem", ""),
                                inUse->Site.ModemNumber,
                                ini.ReadInteger("Remote Administration", "WaitCDtimeout", 60),
                                dialResult);
    }
    return Comm.ConnectDevice(device(), c.Speed, c.StopBits, c.WordLen, c.Parity, password, 0,
                              false, "", "", 0, dialResult);
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
