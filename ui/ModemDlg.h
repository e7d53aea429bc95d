// The "Modem" dialog: remote administration of a PBX through a Hayes modem.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QComboBox;
class QLineEdit;
class TDgtEdit;

class TModemConnectDlg : public QDialog {
  Q_OBJECT
 public:
  // The session's modem connection: returns the connect result code and the dial result.
  using TModemConnectFn =
      std::function<int(const std::string& InitString, const std::string& DialNumber,
                        int WaitCDtimeout, const std::string& Password, int& DialResult)>;

  TModemConnectDlg(QWidget* Parent, std::string SettingsFile, TModemConnectFn ConnectFn,
                   std::function<void()> OnConnected);
  ~TModemConnectDlg() override;

  // The connection attempt of the Dial button.
  bool ModemConnect(const std::string& InitString, const std::string& DialNumber,
                    int WaitCDtimeout, const std::string& Password);
  void Dial();
  QStringList Numbers() const;
  // Whether the program is connected already: Dial is then refused (a new connection would
  // close the port under the live one).
  void SetIsOnline(std::function<bool()> IsOnline) { fIsOnline = std::move(IsOnline); }

  // The Wait CD field's range, in seconds.
  static constexpr int kMinWaitCD = 1, kMaxWaitCD = 600;

 protected:
  void done(int Result) override;

 private:
  void LoadSettings();
  void SaveSettings();

  std::string fSettingsFile;
  TModemConnectFn fConnect;
  std::function<void()> fOnConnected;
  std::function<bool()> fIsOnline;
  QLineEdit* fInit;
  QLineEdit* fPassword;
  TDgtEdit* fWaitCD;
  QComboBox* fNumbers;
  bool fBusy = false;
  bool fSaved = false;
};

// The error text for a failed modem connection (empty for 0).
std::string ModemConnectMessage(int Result, int DialResult);
