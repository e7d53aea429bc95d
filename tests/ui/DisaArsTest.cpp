// The DISA, UCD and ARS dialogs over their store groups: the automatic attendant's encoding,
// the security codes' length rule, the UCD busy time in minutes or seconds, the ARS routes
// kept through the tabs with their x padding, and what typing and pasting may put in a field.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>
#include <functional>
#include <memory>
#include <tuple>

#include "ARSdlg.h"
#include "DISAparam.h"
#include "FKey.h"
#include "PbxModel.h"
#include "RecordingFeedback.h"
#include "SysData.h"
#include "TestMainForm.h"

namespace {

std::string Key2(int N) { return QString::asprintf("%.2d", N).toStdString(); }

struct TEnv {
  TTempDir Dir;
  TRecordingFeedback Fb;
  TPbxModel Pbx;
  std::unique_ptr<TTestMainForm> Main;
  TEnv() {
    FreshProgramState(Dir);
    Main = std::make_unique<TTestMainForm>(SysData(), TPbxActions{}, false);
    SysData().OnLine = true;
    SetFKeyQuery([] { return false; });
    for (const char* l : {"500S/1/", "502S/1/", "503S/05/", "504S/2/", "505S/1/", "506S/0/",
                          "507S/2/", "508S/3/", "509S/4/", "511S/1/", "513S/0/", "514S/1/",
                          "515S/2/", "517S/3/", "518S/1/", "519S/0/", "530S/2/"})
      Pbx.SetLine(l);
    std::vector<std::string> aa, codes, incoming;
    for (int d = 0; d < 10; ++d)
      aa.push_back("501S" + std::to_string(d) + (d == 1 ? "/1,03/" : d == 2 ? "/2,08/" : "/0/"));
    Pbx.SetList("501S*", aa);
    Pbx.SetList("510S*", {"510S1/0/", "510S2/1/"});
    Pbx.SetList("512S*", {"512S1/123456/", "512S2//", "512S3//", "512S4//"});
    for (int j = 1; j <= 24; ++j) incoming.push_back("516E" + Key2(j) + (j == 1 ? "/1/" : "/0/"));
    Pbx.SetList("516E*", incoming);
  }
  ~TEnv() {
    SetFKeyQuery({});
    SysData().OnLine = false;
    SysData().ClearData();
    SysData().Settings.PBXtype = 2;
  }
  std::vector<std::string> Writes() const {
    std::vector<std::string> w;
    for (const auto& s : Pbx.Sent)
      if (s.size() < 2 || s.compare(s.size() - 2, 2, "//") != 0) w.push_back(s);
    return w;
  }
  QString Status() const { return Main->statusBar()->currentMessage(); }
};

// Runs Open with Action inside the first modal dialog; the dialog is closed afterwards.
void Run(const std::function<void()>& Open, const std::function<void(QDialog*)>& Action) {
  std::function<void()> poll;
  poll = [&] {
    auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dlg) {
      QTimer::singleShot(0, poll);
      return;
    }
    Action(dlg);
    if (dlg->isVisible()) dlg->reject();
  };
  QTimer::singleShot(0, poll);
  Open();
}

template <class T>
T* Find(QWidget* Dlg, const QString& Name) {
  T* w = Dlg->findChild<T*>(Name);
  if (!w) qWarning("no control %s", qPrintable(Name));
  return w;
}

void Choose(QWidget* Dlg, const char* Combo, const QString& Entry) {
  auto* cb = Find<QComboBox>(Dlg, Combo);
  const int i = cb->findText(Entry);
  QVERIFY2(i >= 0, qPrintable(Entry));
  cb->setCurrentIndex(i);
}

// Opens the editor of a cell; the line edit it gives.
QLineEdit* EditCell(QTableWidget* Grid, int Row, int Col) {
  Grid->setCurrentCell(Row, Col);
  Grid->editItem(Grid->item(Row, Col));
  return Grid->findChild<QLineEdit*>();
}

void Paste(QLineEdit* Edit, const QString& Text) {
  QApplication::clipboard()->setText(Text);
  QTest::keyClick(Edit, Qt::Key_V, Qt::ControlModifier);
}

}  // namespace

class DisaArsTest : public QObject {
  Q_OBJECT

 private slots:
  // Every kind of DISA control read and written back: an index stored two-digit, a 1-based
  // index, the tenth block (509), the attendant's none / group / jack both ways, a no-dial
  // mode, a code, an extension taking outside calls; only what was changed is sent.
  void DisaControlsLoadAndStoreByTheirConventions() {
    TEnv env;
    Run([&] { EditDISA(env.Main.get(), false); }, [](QDialog* d) {
      for (const auto& [name, text] : std::vector<std::pair<const char*, QString>>{
               {"FaxJackCb", "Jack 5"}, {"IRNAmodeCb", "Intercept"}, {"RingAfterCb", "60 sec"},
               {"CodeLenCb", "6 digits"}, {"AAcb0", "none"}, {"AAcb1", "Jack 3"},
               {"AAcb2", "EXG 8"}, {"NoDialMode2Cb", "Intercept"}, {"AAtimeCb", "4 sec"}})
        QCOMPARE(Find<QComboBox>(d, name)->currentText(), text);
      QVERIFY(Find<QCheckBox>(d, "SecurityToneCx")->isChecked());
      auto* codes = Find<QTableWidget>(d, "CodesGrid");
      QCOMPARE(codes->item(0, 1)->text(), QString("123456"));
      QCOMPARE(codes->item(1, 1)->text(), QString());  // the PBX's blank, as "^"
      auto* incoming = Find<QListWidget>(d, "IncomingCxl");
      QCOMPARE(incoming->count(), 24);
      QCOMPARE(incoming->item(0)->checkState(), Qt::Checked);
      Choose(d, "AAcb0", "Jack 3");
      Choose(d, "AAcb1", "EXG 8");
      Choose(d, "AAcb2", "none");
      Choose(d, "FaxJackCb", "Jack 12");
      Choose(d, "IRNAmodeCb", "Disconnect");
      Choose(d, "RingAfterCb", "120 sec");
      Choose(d, "NoDialMode1Cb", "Intercept");
      codes->item(1, 1)->setText("654321");
      incoming->item(1)->setCheckState(Qt::Checked);
      Find<QPushButton>(d, "OkBtn")->click();
      QVERIFY(!d->isVisible());
    });
    QCOMPARE(env.Writes(),
             (std::vector<std::string>{"503S/12/", "507S/1/", "509S/5/", "501S0/1,03/",
                                       "501S1/2,08/", "501S2/0/", "510S1/1/", "512S2/654321/",
                                       "516E02/1/"}));
    QCOMPARE(env.Fb.Progress.front().Maximum, 99);
    QCOMPARE(env.Fb.Progress.back().Maximum, 3 * 9);
  }

  // OK takes codes of exactly the chosen length or none at all, typing stops at that length,
  // and a longer code pasted is still refused on OK, naming the length.
  void DisaSecurityCodesKeepToTheirLength() {
    TEnv env;
    const std::string six = "Each of security codes must consist from 6 digits (or be empty)!";
    const std::string four = "Each of security codes must consist from 4 digits (or be empty)!";
    for (const auto& [length, code, refusal] :
         std::vector<std::tuple<QString, QString, std::string>>{
             {"6 digits", "654321", ""}, {"6 digits", "", ""}, {"6 digits", "12345", six},
             {"4 digits", "654321", four}, {"4 digits", "4321", ""}}) {
      env.Fb.Infos.clear();
      SysData().ClearData();
      Run([&] { EditDISA(env.Main.get(), false); }, [&](QDialog* d) {
        Choose(d, "CodeLenCb", length);
        Find<QTableWidget>(d, "CodesGrid")->item(2, 1)->setText(code);
        if (length == "4 digits")  // the 6-digit code loaded in row 1 must go too
          Find<QTableWidget>(d, "CodesGrid")->item(0, 1)->setText("");
        Find<QPushButton>(d, "OkBtn")->click();
        QCOMPARE(d->isVisible(), !refusal.empty());
      });
      QCOMPARE(env.Fb.Infos, refusal.empty() ? std::vector<std::string>{}
                                             : std::vector<std::string>{refusal});
    }

    SysData().ClearData();
    env.Pbx.Sent.clear();
    Run([&] { EditDISA(env.Main.get(), false); }, [&](QDialog* d) {
      Choose(d, "CodeLenCb", "6 digits");
      auto* codes = Find<QTableWidget>(d, "CodesGrid");
      QLineEdit* edit = EditCell(codes, 1, 1);
      QVERIFY(edit);
      QTest::keyClicks(edit, "12a3 45678");
      QCOMPARE(edit->text(), QString("123456"));  // letters and blanks dropped, six at most
      QVERIFY(env.Status().isEmpty());
      edit->clear();
      Paste(edit, "98,76 5432101234");
      QCOMPARE(edit->text(), QString("9876543210"));  // the item's ten digits at most
      QVERIFY(env.Status().startsWith("Not all of the pasted text was taken"));
      env.Fb.Infos.clear();
      Find<QPushButton>(d, "OkBtn")->click();  // the open editor is taken, and refused
      QVERIFY(d->isVisible());
      QCOMPARE(env.Fb.Infos, std::vector<std::string>{six});
      QCOMPARE(codes->item(1, 1)->text(), QString("9876543210"));
    });
    QVERIFY(env.Writes().empty());
  }

  // The busy waiting time in minutes or seconds, loaded and stored: whole minutes drop the
  // seconds, less than a minute is seconds, nothing is one second, more than 32 minutes is 32.
  void UcdBusyTimeInMinutesOrSeconds() {
    TEnv env;
    for (const char* l : {"520S/3/", "522S/1/", "523S/0/", "524S/1/", "525S/2/", "526S/5/"})
      env.Pbx.SetLine(l);
    for (const auto& [item, shown, set, written] :
         std::vector<std::tuple<std::string, QTime, QTime, std::string>>{
             {"45,1", QTime(0, 0, 45), QTime(0, 2, 30), "521S/02,0/"},
             {"02,0", QTime(0, 2, 0), QTime(0, 0, 45), "521S/45,1/"},
             {"32,0", QTime(0, 32, 0), QTime(0, 0, 0), "521S/01,1/"},
             {"01,1", QTime(0, 0, 1), QTime(0, 40, 0), "521S/32,0/"}}) {
      env.Pbx.SetLine("521S/" + item + "/");
      env.Pbx.Sent.clear();
      SysData().ClearData();
      Run([&] { EditUCD(env.Main.get(), false); }, [&](QDialog* d) {
        QCOMPARE(Find<QComboBox>(d, "EXGcb")->currentText(), QString("EXG 4"));
        QCOMPARE(Find<QComboBox>(d, "AfterTimeCb")->currentText(), QString("120 sec"));
        auto* picker = Find<QTimeEdit>(d, "BusyTimePk");
        QCOMPARE(picker->time(), shown);
        picker->setTime(set);
        Find<QPushButton>(d, "OkBtn")->click();
      });
      QCOMPARE(env.Writes(), std::vector<std::string>{written});
    }
  }

  // The KX-TA308 lists three CO lines and stores only their blocks; a code padded with x shows
  // without it and goes back as it came; route 2's edits survive a visit to route 3, and OK on
  // route 3 stores both; "*" is "All" both ways; typed and pasted text keeps to the items.
  void ArsRoutesThroughTheTabs() {
    TEnv env;
    SysData().Settings.PBXtype = 0;
    for (const char* l : {"359S/^/", "362S/1/", "363S/05/"}) env.Pbx.SetLine(l);
    env.Pbx.SetList("350C*", {"350C1/1/", "350C2/0/", "350C3/0/", "350C4/1/", "350C5/0/",
                              "350C6/0/"});
    for (int list = 351; list <= 358; ++list) {
      std::vector<std::string> codes;
      for (int i = 1; i <= 80; ++i) {
        std::string item = "^";
        if (i == 1 && list == 351) item = "123xxxx";
        if (i == 1 && list == 352) item = "9xxxxxx";
        if (i == 2 && list == 356) item = "xxxxxxx";
        codes.push_back(std::to_string(list) + "S" + Key2(i) + "/" + item + "/");
      }
      env.Pbx.SetList(std::to_string(list) + "S*", codes);
    }
    env.Pbx.SetList("360S*", {"360S1/0/", "360S2/1/", "360S3/2/", "360S4/0/"});
    env.Pbx.SetList("361S*", {"361S1//", "361S2/^/", "361S3/55/", "361S4/^/"});
    // Group 0 is "All" as "*" is (a group of no number would show no choice and leave it).
    env.Pbx.SetList("364S*", {"364S1/*/", "364S2/2/", "364S3/3/", "364S4/0/"});

    Run([&] { EditARS(env.Main.get(), false); }, [&](QDialog* dlg) {
      auto* d = qobject_cast<TARSDlg*>(dlg);
      auto* lines = Find<QListWidget>(d, "COcxl");
      QCOMPARE(lines->count(), 3);
      QCOMPARE(lines->item(0)->checkState(), Qt::Checked);
      lines->item(1)->setCheckState(Qt::Checked);
      QCOMPARE(Find<QComboBox>(d, "InterDgtTimeCb")->currentText(), QString("5"));
      auto* carrier = Find<QLineEdit>(d, "Carrier1stEdit");
      QCOMPARE(carrier->text(), QString());
      Paste(carrier, "9X*#12");
      QCOMPARE(carrier->text(), QString("9*#1"));
      QVERIFY(env.Status().startsWith("Not all of the pasted text was taken"));

      auto* lead = Find<QTableWidget>(d, "LeadGrid");
      auto* except = Find<QTableWidget>(d, "ExceptGrid");
      auto* remove = Find<QComboBox>(d, "RemoveDigitsCb");
      auto* added = Find<QLineEdit>(d, "AddNumEdit");
      auto* group = Find<QComboBox>(d, "COgroupCb");
      QTabBar* tabs = d->RouteTabs();
      QCOMPARE(tabs->tabText(3), QString("Route 4 "));
      QCOMPARE(lead->item(79, 0)->text(), QString(" 80"));
      QCOMPARE(lead->item(0, 1)->text(), QString("123"));
      QCOMPARE(group->currentText(), QString("All"));

      tabs->setCurrentIndex(1);
      QCOMPARE(lead->item(0, 1)->text(), QString("9"));
      QCOMPARE(except->item(1, 1)->text(), QString("xxxxxxx"));
      QCOMPARE(remove->currentText(), QString("1"));
      QCOMPARE(group->currentText(), QString("2"));
      // Typed into a cell left open as the tab changes: x, *, # and digits, seven at most.
      QLineEdit* cell = EditCell(lead, 1, 1);
      QVERIFY(cell);
      QTest::keyClicks(cell, "5X5x*#a123");
      QCOMPARE(cell->text(), QString("55x*#12"));
      remove->setCurrentIndex(3);
      QTest::keyClicks(added, "1#a");
      QCOMPARE(added->text(), QString("1#"));
      group->setCurrentIndex(0);

      tabs->setCurrentIndex(2);
      QCOMPARE(lead->item(1, 1)->text(), QString());
      QCOMPARE(added->text(), QString("55"));
      lead->item(0, 1)->setText("77");
      group->setCurrentIndex(4);
      QLineEdit* pasted = EditCell(except, 2, 1);
      Paste(pasted, "1a2,3 4567890");
      QCOMPARE(pasted->text(), QString("1234567"));

      tabs->setCurrentIndex(1);
      QCOMPARE(lead->item(1, 1)->text(), QString("55x*#12"));
      QCOMPARE(remove->currentText(), QString("3"));
      QCOMPARE(added->text(), QString("1#"));
      QCOMPARE(group->currentText(), QString("All"));
      tabs->setCurrentIndex(2);
      QCOMPARE(except->item(2, 1)->text(), QString("1234567"));
      QCOMPARE(group->currentText(), QString("4"));
      tabs->setCurrentIndex(3);
      QCOMPARE(group->currentText(), QString("All"));
      Find<QPushButton>(d, "OkBtn")->click();
    });
    QCOMPARE(env.Writes(),
             (std::vector<std::string>{"359S/9*#1/", "350C2/1/", "352S02/55x*#12/",
                                       "353S01/77xxxxx/", "357S03/1234567/", "360S2/3/",
                                       "361S2/1#/", "364S2/*/", "364S3/4/", "364S4/*/"}));
    QCOMPARE(env.Fb.Progress.front().Maximum, 691);
  }
};

QTEST_MAIN(DisaArsTest)
#include "DisaArsTest.moc"
