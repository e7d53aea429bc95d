// The modem dialog: remembered settings, numbers kept most recent first, the keys that dial
// and close, messages by result.
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "DgtEdit.h"
#include "ModemDlg.h"
#include "Profile.h"
#include "RecordingFeedback.h"
#include "TempDir.h"

class ModemDlgTest : public QObject {
  Q_OBJECT

 private slots:
  void SettingsAreReadAtOpeningAndWrittenAtClosing() {
    TTempDir d;
    const std::string ini = d.File("TALVEN.INI");
    d.Write("TALVEN.INI",
            "[Remote Administration]\nInitModem=&f\nDial1=555\nDial2=\nDial3=777\nDial4=888\n");
    {
      TModemConnectDlg dlg(nullptr, ini, nullptr, nullptr);
      QCOMPARE(dlg.findChild<QLineEdit*>("InitEdit")->text(), QString("&f"));
      QCOMPARE(dlg.findChild<QLineEdit*>("PasswordEdit")->text(), QString("7392"));
      QCOMPARE(dlg.findChild<TDgtEdit*>("WaitCDedit")->IValue(), 60);
      QCOMPARE(dlg.Numbers(), (QStringList{"555", "777", "888"}));
      QCOMPARE(dlg.findChild<QComboBox*>("DialNumCB")->currentText(), QString("555"));
      dlg.findChild<QLineEdit*>("PasswordEdit")->setText("1111");
      dlg.reject();
    }
    const TIniFile f(ini);
    QCOMPARE(f.ReadString("Remote Administration", "PbxPassword", ""), std::string("1111"));
    QCOMPARE(f.ReadString("Remote Administration", "Dial2", ""), std::string("777"));
    QCOMPARE(f.ReadString("Remote Administration", "Dial4", ""), std::string("888"));  // beyond the list: old value kept
  }

  void NumbersAreRememberedOnlyAfterAConnection() {
    TTempDir d;
    TRecordingFeedback fb;
    int result = 4, dial = 4;
    std::string dialled;
    int connected = 0;
    TModemConnectDlg dlg(
        nullptr, d.File("TALVEN.INI"),
        [&](const std::string&, const std::string& N, int, const std::string&, int& D) {
          dialled = N;
          D = dial;
          return result;
        },
        [&] { ++connected; });
    auto* cb = dlg.findChild<QComboBox*>("DialNumCB");
    cb->setEditText(" 123 ");
    dlg.Dial();
    QCOMPARE(fb.Errors.back(), std::string("Line is busy, please try later again."));
    QVERIFY(dlg.Numbers().isEmpty());
    result = 0;
    dlg.Dial();
    QCOMPARE(connected, 1);
    QCOMPARE(dlg.Numbers(), QStringList{"123"});
    cb->setEditText("999");
    dlg.Dial();
    QCOMPARE(dlg.Numbers(), (QStringList{"999", "123"}));
    cb->setCurrentIndex(1);
    dlg.Dial();
    QCOMPARE(dlg.Numbers(), (QStringList{"999", "123"}));  // a known number keeps the order
    QCOMPARE(fb.TopInfos.back(), std::string("Connecting.."));
  }

  void DialIsRefusedWhileOnlineAndTheWaitKeptInRange() {
    TTempDir d;
    TRecordingFeedback fb;
    bool online = true;
    int calls = 0, waited = -1;
    TModemConnectDlg dlg(
        nullptr, d.File("TALVEN.INI"),
        [&](const std::string&, const std::string&, int W, const std::string&, int&) {
          ++calls;
          waited = W;
          return 0;
        },
        nullptr);
    dlg.SetIsOnline([&] { return online; });
    auto* wait = dlg.findChild<TDgtEdit*>("WaitCDedit");
    dlg.Dial();
    QCOMPARE(calls, 0);
    QVERIFY(fb.Errors.back().find("Already connected") != std::string::npos);
    online = false;
    wait->clear();
    QTest::keyClicks(wait, "99999999");
    QCOMPARE(wait->text(), QString("999"));
    dlg.Dial();
    QCOMPARE(calls, 1);
    QCOMPARE(waited, TModemConnectDlg::kMaxWaitCD);
    QCOMPARE(wait->IValue(), TModemConnectDlg::kMaxWaitCD);
  }

  void EnterInTheWaitFieldDialsAndEscapeCloses() {
    TTempDir d;
    TRecordingFeedback fb;
    int calls = 0;
    TModemConnectDlg dlg(
        nullptr, d.File("TALVEN.INI"),
        [&](const std::string&, const std::string&, int, const std::string&, int& D) {
          ++calls;
          D = 4;
          return 4;
        },
        nullptr);
    dlg.show();
    dlg.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    auto* wait = dlg.findChild<TDgtEdit*>("WaitCDedit");
    wait->setFocus();
    QTest::keyClick(wait, Qt::Key_Return);
    QCOMPARE(calls, 1);
    QVERIFY(dlg.isVisible());  // a failed dial leaves the dialog open
    QTest::keyClick(wait, Qt::Key_Escape);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
  }

  void MessagesByResult() {
    QCOMPARE(ModemConnectMessage(4, 1), std::string("No modem response!"));
    QCOMPARE(ModemConnectMessage(4, 2), std::string("No carrier was detected!"));
    QCOMPARE(ModemConnectMessage(4, 3), std::string("Timeouted."));
    QCOMPARE(ModemConnectMessage(4, 5), std::string("No dial."));
    QCOMPARE(ModemConnectMessage(4, 9), std::string("Connection failed (Error=9)!"));
    QCOMPARE(ModemConnectMessage(9, 0), std::string("Modem carrier is lost - disconnected!"));
    QCOMPARE(ModemConnectMessage(8, 0).rfind("Connection failed (Error=8)!\rThe PBX refused", 0),
             size_t(0));
    QCOMPARE(ModemConnectMessage(6, 0),
             std::string("No DSR signal!\rPlease, check hardware or set correct COM-port number "
                         "in the dialog \"Settings->COM-port\""));
  }
};

QTEST_MAIN(ModemDlgTest)
#include "ModemDlgTest.moc"
