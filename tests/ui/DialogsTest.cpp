// The settings dialogs and the recent-files list.
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "ComSetup.h"
#include "LastFile.h"
#include "Paths.h"
#include "Profile.h"
#include "SysSetup.h"
#include "TempDir.h"
#include "WhenModal.h"

namespace {

// Runs Checks on an open dialog, then presses OK, or Cancel when a check failed.
void ClickAfter(QWidget* Dialog, const std::function<void(QWidget*)>& Checks) {
  Checks(Dialog);
  auto* box = Dialog->findChild<QDialogButtonBox*>();
  const auto which = QTest::currentTestFailed() ? QDialogButtonBox::Cancel : QDialogButtonBox::Ok;
  box->button(which)->click();
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void SystemSetupCutsThePasswordAndReportsModelChanges() {
    TSettings s;
    TSystemSetup dlg(nullptr, s);
    QCOMPARE(dlg.windowTitle(), QString("System Setup"));
    auto* pw = dlg.findChild<QLineEdit*>("PasswordEdit");
    auto* model = dlg.findChild<QComboBox*>("ModelCB");
    QVERIFY(pw && model);
    QCOMPARE(pw->text(), QString("7392"));
    QCOMPARE(model->currentText(), QString("KX-TA624"));
    pw->setText("12345678901234567890");
    QVERIFY(!dlg.Store(s));
    QCOMPARE(s.PbxPassword, std::string("1234567890123456"));
    model->setCurrentIndex(0);
    QVERIFY(dlg.Store(s));
    QCOMPARE(int(s.PBXtype), 0);

    // The connect warning, once switched off in its own box, can be switched on here.
    s.ShowConnectWarn = false;
    TSystemSetup again(nullptr, s);
    auto* warn = again.findChild<QCheckBox*>("ConnectWarnCB");
    QVERIFY(warn && !warn->isChecked());
    warn->setChecked(true);
    again.Store(s);
    QVERIFY(s.ShowConnectWarn);
  }

  void ComSetupLabelsEntriesFromFirstComNumber() {
    TComSettings c;
    c.FirstCOMno = 3;
    TComDevices devices;
    devices.DeviceOf = [](int n) { return n == 4 ? std::string("/dev/ttyUSB0") : ""; };
    TComSetupDlg dlg(nullptr, c, devices);
    QCOMPARE(dlg.windowTitle(), QString("COM port setup"));
    QCOMPARE(dlg.findChild<QRadioButton*>("ComPortRG_0")->text(), QString("COM3"));
    QCOMPARE(dlg.findChild<QRadioButton*>("ComPortRG_1")->text(), QString("COM4"));
    QCOMPARE(dlg.findChild<QLabel*>("ComDeviceLbl_1")->text(), QString("/dev/ttyUSB0"));
    auto* none = dlg.findChild<QLabel*>("NoDeviceLbl");  // no device present: said so
    QVERIFY(none && none->text().startsWith("No serial device was found"));
    QCOMPARE(dlg.findChild<QRadioButton*>("ComPortRG_3")->text(), QString("COM6"));
    QVERIFY(dlg.findChild<QRadioButton*>("ParityRG_3")->isChecked());  // mark by default
    QVERIFY(dlg.findChild<QRadioButton*>("SpeedRG_3")->isChecked());
    dlg.findChild<QRadioButton*>("ComPortRG_1")->setChecked(true);
    dlg.findChild<QRadioButton*>("ParityRG_0")->setChecked(true);
    dlg.Store(c);
    QCOMPARE(c.ComNumber(), 4);
    QCOMPARE(c.Parity, 0);
    QCOMPARE(c.FirstCOMno, 3);
  }

  // The chooser edits the device of the selected entry; OK writes only the entries changed
  // into [Devices], beside the communication keys, and leaves the other lines alone.
  void ComSetupMapsEntriesToDevicesPresent() {
    TTempDir d;
    TAppPaths p;
    p.ProgramDir = p.ConfigDir = p.StateDir = p.DataDir = d.Path();
    SetAppPaths(p);
    d.Write("TALVEN.INI", "; kept\n[Devices]\nCOM2=/dev/ttyACM0\nCOM3=/dev/ttyUSB3\n");
    TComDevices devices = MachineComDevices();
    devices.Present = {{"/dev/serial/by-id/usb-FTDI-port0", "/dev/ttyUSB0"}, {"/dev/ttyUSB0", ""}};
    TComSettings c;
    c.ComPort = 1;

    auto lbl = [](QWidget* w, int i) {
      return w->findChild<QLabel*>(QString("ComDeviceLbl_%1").arg(i));
    };
    auto drive = [&](QWidget* w) {
      auto* cb = w->findChild<QComboBox*>("ComDeviceCB");
      QCOMPARE(lbl(w, 0)->text(), QString("/dev/ttyS0"));  // unmapped: the default
      QCOMPARE(lbl(w, 1)->text(), QString("/dev/ttyACM0"));
      QCOMPARE(cb->currentText(), QString("/dev/ttyACM0"));  // the selected entry's device
      QCOMPARE(cb->count(), 2);
      cb->setCurrentIndex(0);  // a stable name for COM2
      QCOMPARE(lbl(w, 1)->text(), QString("/dev/serial/by-id/usb-FTDI-port0"));
      // The keyboard: the arrow moves to COM3, whose device is blanked back to the default.
      auto* com2 = w->findChild<QRadioButton*>("ComPortRG_1");
      w->activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(w));
      com2->setFocus();
      QTest::keyClick(com2, Qt::Key_Down);
      QVERIFY(w->findChild<QRadioButton*>("ComPortRG_2")->isChecked());
      QCOMPARE(cb->currentText(), QString("/dev/ttyUSB3"));
      cb->lineEdit()->clear();
      QCOMPARE(lbl(w, 2)->text(), QString("/dev/ttyS2"));
      QCOMPARE(lbl(w, 1)->text(), QString("/dev/serial/by-id/usb-FTDI-port0"));
    };
    WhenModal([&](QWidget* w) { ClickAfter(w, drive); });
    QVERIFY(ComSetupDialog(nullptr, c, devices));
    QVERIFY(!QTest::currentTestFailed());
    QCOMPARE(c.ComNumber(), 3);
    const std::string ini = d.Read("TALVEN.INI");
    QVERIFY2(ini.rfind("; kept\n[Devices]\nCOM2=/dev/serial/by-id/usb-FTDI-port0\n", 0) == 0,
             ini.c_str());
    QVERIFY(ini.find("COM3") == std::string::npos);
    QVERIFY(ini.find("COM1") == std::string::npos);
    QVERIFY(ini.find("ComPort=2") != std::string::npos);

    // Shown only (the demo program): a changed text is not stored.
    devices.Editable = false;
    WhenModal([&](QWidget* w) {
      ClickAfter(w, [](QWidget* dlg) {
        auto* cb = dlg->findChild<QComboBox*>("ComDeviceCB");
        QVERIFY(!cb->isEnabled());
        cb->setEditText("/dev/ttyUSB9");
      });
    });
    QVERIFY(ComSetupDialog(nullptr, c, devices));
    QCOMPARE(d.Read("TALVEN.INI"), ini);
  }

  // Catches the network choice stored into the COM keys or not at all, a mode or port taken
  // from the wrong control, and a session still sent to the COM port.
  void ComSetupNetworkChoiceGoesToItsOwnSection() {
    TTempDir d;
    TAppPaths p;
    p.ProgramDir = p.ConfigDir = p.StateDir = p.DataDir = d.Path();
    SetAppPaths(p);
    d.Write("TALVEN.INI", "[Communications]\nComPort=1\nSpeed=2\n");
    TComSettings c;
    LoadComSettings(c);
    WhenModal([&](QWidget* w) {
      ClickAfter(w, [](QWidget* dlg) {
        dlg->findChild<QGroupBox*>("NetworkGB")->setChecked(true);
        QTest::keyClicks(dlg->findChild<QLineEdit*>("NetHostEd"), "pbx-gw.example.org");
        dlg->findChild<QSpinBox*>("NetPortSE")->setValue(4001);
        dlg->findChild<QComboBox*>("NetModeCB")->setCurrentIndex(1);
      });
    });
    QVERIFY(ComSetupDialog(nullptr, c, TComDevices()));
    QCOMPARE(d.Read("TALVEN.INI"), std::string("[Communications]\nComPort=1\nSpeed=2\n"
                                               "FirstCOMno=1\nWordLen=1\nStopBits=0\n"
                                               "Parity=3\n[Network]\nUse=1\nMode=tcp\n"
                                               "Host=pbx-gw.example.org\nPort=4001\n"));
    TComSettings back;
    LoadComSettings(back);
    QCOMPARE(back.PortName(), std::string("tcp://pbx-gw.example.org:4001"));
    QCOMPARE(back.ComNumber(), 2);
  }

  void RecentFilesSwapAddDropAndLimit() {
    TTempDir d;
    const std::string ini = d.File("TALVEN.INI");
    TRecentFiles r(ini);
    r.Load();
    QCOMPARE(r.MaxNumItems(), 3);
    r.Add("/s/A.ta");
    r.Add("/s/B.ta");
    r.Add("/s/C.ta");
    QCOMPARE(r.Entries(), (std::vector<std::string>{"/s/C.ta", "/s/B.ta", "/s/A.ta"}));
    r.Add("/s/A.ta");  // the third of [C, B, A] trades places with the first
    QCOMPARE(r.Entries(), (std::vector<std::string>{"/s/A.ta", "/s/B.ta", "/s/C.ta"}));
    r.Add("/s/A.ta");
    QCOMPARE(r.Entries().front(), std::string("/s/A.ta"));
    r.Add("/s/D.ta");
    QCOMPARE(r.Entries(), (std::vector<std::string>{"/s/D.ta", "/s/A.ta", "/s/B.ta"}));

    TRecentFiles back(ini);
    back.Load();
    QCOMPARE(back.Entries(), r.Entries());
    back.Remove("/s/A.ta");
    QCOMPARE(back.Entries(), (std::vector<std::string>{"/s/D.ta", "/s/B.ta"}));

    TIniFile(ini).WriteInteger("LastFiles", "MaxNumItems", 25);
    TIniFile(ini).WriteInteger("LastFiles", "NumItems", 25);
    TRecentFiles big(ini);
    big.Load();
    QCOMPARE(big.MaxNumItems(), 10);
    QCOMPARE(int(big.Entries().size()), 10);
    QCOMPARE(big.Entries()[5], std::string("?"));
  }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
