// The settings dialogs and the recent-files list.
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "ComSetup.h"
#include "LastFile.h"
#include "Profile.h"
#include "SysSetup.h"
#include "TempDir.h"

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
  }

  void ComSetupLabelsEntriesFromFirstComNumber() {
    TComSettings c;
    c.FirstCOMno = 3;
    TComSetupDlg dlg(nullptr, c, [](int n) { return n == 4 ? std::string("/dev/ttyUSB0") : ""; });
    QCOMPARE(dlg.windowTitle(), QString("COM port setup"));
    QCOMPARE(dlg.findChild<QRadioButton*>("ComPortRG_0")->text(), QString("COM3"));
    QCOMPARE(dlg.findChild<QRadioButton*>("ComPortRG_1")->text(), QString("COM4  (/dev/ttyUSB0)"));
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
