// The CO line parameters dialog against the small in-process PBX: reading before editing,
// multi-line editing, the special items (CPC duration, line modes, access codes), navigation,
// and what OK, Cancel and the F key send.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <functional>

#include "COparam.h"
#include "DgtEdit.h"
#include "FKey.h"
#include "PbxModel.h"
#include "RecordingFeedback.h"
#include "SysData.h"

namespace {

// Realistic lines of CO line c, as a PBX holds them after its defaults.
void FillLine(TPbxModel& Pbx, int C) {
  const std::string c = std::to_string(C);
  const char* lines[][2] = {{"400C", "1"}, {"401C", "0"}, {"402C", "0"}, {"403C", ""},
                            {"404C", "1"}, {"414C", "0"}, {"415C", "0"}, {"416C", "0"},
                            {"417C", "1"}, {"418C", "1"}, {"419C", "0"}, {"420C", "01"},
                            {"421C", "0"}, {"422C", "1"}, {"423C", "0"}, {"424C", "0"},
                            {"900C", "1"}, {"910C", "0"}, {"920C", "0"}, {"928C", "0"}};
  for (auto& l : lines) Pbx.SetLine(std::string(l[0]) + c + "/" + l[1] + "/");
}

struct TEnv {
  TRecordingFeedback Fb;
  TPbxModel Pbx;
  bool F = false;

  explicit TEnv(bool Online) {
    for (int c = 1; c <= 6; ++c) FillLine(Pbx, c);
    SysData().ClearData();
    SysData().OnLine = Online;
    SetFKeyQuery([this] { return F; });
    TProgDlg::SetRememberedPage("TCOprmDlg", 0);
  }
  ~TEnv() {
    SetFKeyQuery({});
    SysData().OnLine = false;
    SysData().ClearData();
  }
  // Reads lines into the store as an earlier read-all would have, then forgets the traffic.
  void Preload(const TIntegerList& Lines) {
    SysData().COLines.ReadLines(Lines, false);
    Pbx.Sent.clear();
    Fb.Progress.clear();
  }
  std::vector<std::string> Writes() const {
    std::vector<std::string> w;
    for (const auto& s : Pbx.Sent)
      if (s.size() < 2 || s.compare(s.size() - 2, 2, "//") != 0) w.push_back(s);
    return w;
  }
  std::vector<std::string> Reads() const {
    std::vector<std::string> r;
    for (const auto& s : Pbx.Sent)
      if (s.size() >= 2 && s.compare(s.size() - 2, 2, "//") == 0) r.push_back(s);
    return r;
  }
};

std::string Item(int CO, const char* Code, int ItemNo) {
  return SysData().COLines.Lines(CO).BlockOf(Code).ItemStr(ItemNo);
}

template <class T>
T* Find(QWidget* Dlg, const char* Name) {
  T* w = Dlg->findChild<T*>(Name);
  if (!w) qWarning("no control %s", Name);
  return w;
}

void Click(QWidget* Dlg, const char* Name) {
  if (auto* b = Find<QPushButton>(Dlg, Name)) b->click();
}

// Opens the dialog for Lines and runs Action inside its modal loop. Whatever Action does, the
// dialog is closed afterwards (Cancel) so that a failed check cannot hang the test.
bool Run(const TIntegerList& Lines, std::function<void(TCOprmDlg*)> Action) {
  std::function<void()> poll;
  poll = [&] {
    auto* dlg = qobject_cast<TCOprmDlg*>(QApplication::activeModalWidget());
    if (!dlg) {
      QTimer::singleShot(0, poll);
      return;
    }
    Action(dlg);
    if (dlg->isVisible()) dlg->reject();
  };
  QTimer::singleShot(0, poll);
  return EditCOLines(nullptr, Lines);
}

}  // namespace

class COparamTest : public QObject {
  Q_OBJECT

 private slots:
  void TwoLinesThatDifferKeepTheirOwnValuesWhileCommonProgramsReachBoth() {
    TEnv env(true);
    env.Pbx.SetLine("401C2/2/");
    env.Pbx.SetLine("400C2/0/");
    const bool ok = Run({2, 1}, [](TCOprmDlg* d) {
      QCOMPARE(d->windowTitle(), QString("CO 1-2"));
      auto* dial = Find<TRadioGroup>(d, "DialModeRB");
      QCOMPARE(dial->ItemIndex(), -1);
      QVERIFY(!Find<QComboBox>(d, "PulseSpeedCB")->isEnabled());
      QCOMPARE(Find<QCheckBox>(d, "ConnectedCx")->checkState(), Qt::PartiallyChecked);
      QCOMPARE(Find<QComboBox>(d, "PauseTimeCB")->currentIndex(), 1);
      Find<QComboBox>(d, "PauseTimeCB")->setCurrentIndex(3);
      Click(d, "OkBtn");
    });
    QVERIFY(ok);
    // Both lines were read first, under one progress window of 60 steps a line.
    QCOMPARE(env.Reads().size(), size_t(40));
    QCOMPARE(env.Fb.Progress.front().Caption, std::string("Read"));
    QCOMPARE(env.Fb.Progress.front().Maximum, 120);
    QCOMPARE(Item(1, "401C", 1), std::string("0"));
    QCOMPARE(Item(2, "401C", 1), std::string("2"));
    QCOMPARE(Item(1, "400C", 1), std::string("1"));
    QCOMPARE(Item(2, "400C", 1), std::string("0"));
    QCOMPARE(Item(1, "417C", 1), std::string("3"));
    QCOMPARE(Item(2, "417C", 1), std::string("3"));
    // Online, only the two changed blocks go to the PBX, each with its own line number.
    QCOMPARE(env.Writes(), (std::vector<std::string>{"417C1/3/", "417C2/3/"}));
    QCOMPARE(env.Fb.Progress.back().Caption, std::string("Save"));
    QCOMPARE(env.Fb.Progress.back().Maximum, 8);
    QCOMPARE(env.Pbx.Line("417C2"), std::string("417C2/3/"));
    QVERIFY(!SysData().COLines.HasChanges());
    QVERIFY(env.Fb.Infos.empty());
  }

  void CPCdurationIsStoredAsItsCode() {
    TEnv env(false);
    env.Pbx.SetLine("420C1/00/");
    env.Preload({1});
    auto setCPC = [](const QString& Ms) {
      return [Ms](TCOprmDlg* d) {
        auto* cx = Find<QCheckBox>(d, "CPCinCx");
        auto* edit = Find<TDgtEdit>(d, "CPCinEdit");
        cx->setCheckState(Qt::Checked);
        QVERIFY(edit->isEnabled());
        edit->setText(Ms);
        Click(d, "OkBtn");
      };
    };
    QVERIFY(Run({1}, [](TCOprmDlg* d) {
      QCOMPARE(Find<QCheckBox>(d, "CPCinCx")->checkState(), Qt::Unchecked);
      QVERIFY(!Find<TDgtEdit>(d, "CPCinEdit")->isEnabled());
      QCOMPARE(Find<QLabel>(d, "CPCinLbl")->palette().color(QPalette::WindowText),
               QColor(128, 128, 128));
      QCOMPARE(Find<TDgtEdit>(d, "CPCinEdit")->text(), QString("0"));
      Click(d, "OkBtn");
    }));
    QCOMPARE(Item(1, "420C", 1), std::string("00"));
    QVERIFY(!SysData().COLines.Lines(1).BlockOf("420C").Changed);
    QVERIFY(Run({1}, setCPC("10")));
    QCOMPARE(Item(1, "420C", 1), std::string("01"));
    QVERIFY(Run({1}, setCPC("999")));
    QCOMPARE(Item(1, "420C", 1), std::string("75"));
    QVERIFY(Run({1}, [](TCOprmDlg* d) {
      QCOMPARE(Find<TDgtEdit>(d, "CPCinEdit")->text(), QString("614"));
      QCOMPARE(Find<QLabel>(d, "CPCinLbl")->palette().color(QPalette::WindowText),
               QColor(Qt::black));
      Find<QCheckBox>(d, "CPCinCx")->setCheckState(Qt::Unchecked);
      Click(d, "OkBtn");
    }));
    QCOMPARE(Item(1, "420C", 1), std::string("00"));
    QCOMPARE(CPCcodeOfMs(22), 1);
    QCOMPARE(CPCcodeOfMs(614), 75);
    QCOMPARE(CPCmsOfCode(75), 614);
  }

  void AccessCodesMoveUpAndSetTheItemCount() {
    TEnv env(false);
    env.Preload({1});
    QCOMPARE(Item(1, "403C", 1), std::string("^"));
    QVERIFY(Run({1}, [](TCOprmDlg* d) {
      auto* grid = Find<QTableWidget>(d, "PbxCodesGrid");
      QCOMPARE(grid->item(0, 0)->text(), QString(" 1"));
      QCOMPARE(grid->item(7, 0)->text(), QString(" 8"));
      QCOMPARE(grid->item(0, 1)->text(), QString());
      grid->item(2, 1)->setText("12");
      grid->item(5, 1)->setText(" 3 ");
      Click(d, "OkBtn");
    }));
    QCOMPARE(SysData().COLines.Lines(1).BlockOf("403C").Data(), std::string("403C1/12,3/"));
    QVERIFY(SysData().COLines.Lines(1).BlockOf("403C").Changed);
    // Emptying every row leaves one empty item.
    QVERIFY(Run({1}, [](TCOprmDlg* d) {
      auto* grid = Find<QTableWidget>(d, "PbxCodesGrid");
      QCOMPARE(grid->item(1, 1)->text(), QString("3"));
      grid->item(0, 1)->setText("");
      grid->item(1, 1)->setText("");
      Click(d, "OkBtn");
    }));
    QCOMPARE(SysData().COLines.Lines(1).BlockOf("403C").Data(), std::string("403C1/^/"));
  }

  void AccessCodeCellsTakeTwoDigitsOnlyTypedOrPasted() {
    TEnv env(false);
    env.Preload({1});
    QVERIFY(Run({1}, [](TCOprmDlg* d) {
      Find<QTabWidget>(d, "PageControl1")->setCurrentIndex(1);
      auto* grid = Find<QTableWidget>(d, "PbxCodesGrid");
      auto edit = [grid](int Row) {
        grid->setCurrentCell(Row, 1);
        grid->editItem(grid->item(Row, 1));
        // Closed editors linger until the event loop deletes them: ask for this cell's.
        return qobject_cast<QLineEdit*>(grid->indexWidget(grid->model()->index(Row, 1)));
      };
      QLineEdit* editor = edit(3);
      QVERIFY(editor);
      QTest::keyClicks(editor, "a1*b2 3");
      QCOMPARE(editor->text(), QString("12"));
      QTest::keyClick(editor, Qt::Key_Backspace);
      QTest::keyClicks(editor, "9");
      QCOMPARE(editor->text(), QString("19"));
      QTest::keyClick(editor, Qt::Key_Return);
      QCoreApplication::processEvents();  // the view commits the editor through a queued call
      QCOMPARE(grid->item(3, 1)->text(), QString("19"));

      // A paste, by the keys or the editor's menu, is taken when the cell can hold all of it.
      struct TPaste {
        int Row;
        const char* Text;
        bool ByKeys;
        const char* Cell;
      } pastes[] = {{0, "7x95", true, ""}, {1, "795", false, ""},  {2, "7\n", true, ""},
                    {4, "79", true, "79"}, {5, "5", false, "5"}};
      for (const TPaste& p : pastes) {
        editor = edit(p.Row);
        QVERIFY(editor);
        QApplication::clipboard()->setText(p.Text);
        if (p.ByKeys)
          QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
        else
          editor->paste();
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(grid->item(p.Row, 1)->text(), QString(p.Cell));
      }
      Click(d, "OkBtn");
    }));
    QCOMPARE(SysData().COLines.Lines(1).BlockOf("403C").Data(), std::string("403C1/19,79,5/"));
  }

  void LineModesCarryTheDILjackOnlyInDILmode() {
    TEnv env(false);
    env.Pbx.SetLine("414C1/1,05/");
    env.Preload({1});
    QVERIFY(Run({1}, [](TCOprmDlg* d) {
      auto* day = Find<QComboBox>(d, "LineModeDay");
      auto* dilDay = Find<QComboBox>(d, "DILday");
      auto* dilNight = Find<QComboBox>(d, "DILnight");
      QCOMPARE(day->currentIndex(), 1);
      QVERIFY(!dilDay->isHidden());
      QCOMPARE(dilDay->currentText(), QString("Jack 05"));
      QVERIFY(dilNight->isHidden());
      day->setCurrentIndex(0);  // "Normal"
      QVERIFY(dilDay->isHidden());
      Find<QComboBox>(d, "LineModeNight")->setCurrentIndex(1);  // "DIL"
      QVERIFY(!dilNight->isHidden());
      QCOMPARE(dilNight->currentText(), QString("Jack 01"));
      Find<QComboBox>(d, "LineModeLunch")->setCurrentIndex(1);
      Find<QComboBox>(d, "DILlunch")->setCurrentIndex(23);
      Click(d, "OkBtn");
    }));
    QCOMPARE(SysData().COLines.Lines(1).BlockOf("414C").Data(), std::string("414C1/0/"));
    QCOMPARE(SysData().COLines.Lines(1).BlockOf("415C").Data(), std::string("415C1/1,01/"));
    QCOMPARE(SysData().COLines.Lines(1).BlockOf("416C").Data(), std::string("416C1/1,24/"));
  }

  void LinesWithDifferentFurtherItemsKeepThemUnlessSet() {
    TEnv env(false);
    env.Pbx.SetLine("403C1/9,81/");
    env.Pbx.SetLine("403C2/9,82,7/");
    env.Pbx.SetLine("414C1/1,05/");
    env.Pbx.SetLine("414C2/1,07/");
    env.Pbx.SetLine("415C1/1,03/");
    env.Pbx.SetLine("415C2/1,04/");
    env.Preload({1, 2});
    QVERIFY(Run({1, 2}, [](TCOprmDlg* d) {
      auto* grid = Find<QTableWidget>(d, "PbxCodesGrid");
      QCOMPARE(grid->item(0, 1)->text(), QString("9"));
      QCOMPARE(grid->item(1, 1)->text(), QString("???"));
      QCOMPARE(grid->item(2, 1)->text(), QString("???"));
      // Return on the mark of differing codes closes the cell and leaves each line its own.
      Find<QTabWidget>(d, "PageControl1")->setCurrentIndex(1);
      grid->setCurrentCell(1, 1);
      grid->editItem(grid->item(1, 1));
      QPointer<QLineEdit> editor =
          qobject_cast<QLineEdit*>(grid->indexWidget(grid->model()->index(1, 1)));
      QVERIFY(editor && editor->isVisible());
      QTest::keyClick(editor, Qt::Key_Return);
      QCoreApplication::processEvents();
      QVERIFY(!editor || !editor->isVisible());
      QCOMPARE(grid->item(1, 1)->text(), QString("???"));
      QCOMPARE(Find<QComboBox>(d, "LineModeDay")->currentIndex(), 1);
      auto* dilDay = Find<QComboBox>(d, "DILday");
      QVERIFY(!dilDay->isHidden());
      QCOMPARE(dilDay->currentIndex(), -1);                // differing jacks: none chosen for them
      Find<QComboBox>(d, "DILnight")->setCurrentIndex(9);  // chosen: both lines take it
      Find<QComboBox>(d, "PauseTimeCB")->setCurrentIndex(0);
      Click(d, "OkBtn");
    }));
    QCOMPARE(Item(1, "417C", 1), std::string("0"));
    QCOMPARE(Item(2, "417C", 1), std::string("0"));
    QCOMPARE(SysData().COLines.Lines(1).BlockOf("403C").Data(), std::string("403C1/9,81/"));
    QCOMPARE(SysData().COLines.Lines(2).BlockOf("403C").Data(), std::string("403C2/9,82,7/"));
    QCOMPARE(SysData().COLines.Lines(1).BlockOf("414C").Data(), std::string("414C1/1,05/"));
    QCOMPARE(SysData().COLines.Lines(2).BlockOf("414C").Data(), std::string("414C2/1,07/"));
    QCOMPARE(SysData().COLines.Lines(1).BlockOf("415C").Data(), std::string("415C1/1,10/"));
    QCOMPARE(SysData().COLines.Lines(2).BlockOf("415C").Data(), std::string("415C2/1,10/"));
    QCOMPARE(SysData().COLines.ChangedCount(), 4);  // 417C and 415C of both lines
  }

  void CaptionsAndNavigationAtTheEnds() {
    TEnv env(false);
    env.Preload({1, 2, 3, 4, 5, 6});
    QVERIFY(!Run({5, 1, 3, 2}, [](TCOprmDlg* d) {
      QCOMPARE(d->windowTitle(), QString("CO 1-3,5"));
      auto* prev = Find<QPushButton>(d, "PrevCO");
      auto* next = Find<QPushButton>(d, "NextCO");
      QVERIFY(!prev->isEnabled());
      QCOMPARE(prev->text(), QString("&Prev CO"));
      QVERIFY(next->isEnabled());
      QCOMPARE(next->text(), QString("CO 6"));
      next->click();
      QCOMPARE(d->windowTitle(), QString("CO 6"));
      QVERIFY(!next->isEnabled());
      QCOMPARE(next->text(), QString("&Next CO"));
      QCOMPARE(prev->text(), QString("CO 5"));
    }));
  }

  void NavigationKeepsEditsInTheWorkingCopyUntilOK() {
    TEnv env(false);
    env.Preload({2, 3});
    QVERIFY(Run({2}, [](TCOprmDlg* d) {
      Find<QCheckBox>(d, "PayToneCx")->setCheckState(Qt::Checked);
      Click(d, "NextCO");
      QCOMPARE(d->windowTitle(), QString("CO 3"));
      QCOMPARE(Find<QCheckBox>(d, "PayToneCx")->checkState(), Qt::Unchecked);
      QCOMPARE(d->WorkingCopy().Lines(2).BlockOf("920C").Data(), std::string("920C2/1/"));
      QCOMPARE(Item(2, "920C", 1), std::string("0"));  // the store is still untouched
      Find<QComboBox>(d, "RingPatternCB")->setCurrentIndex(2);
      Click(d, "PrevCO");
      QCOMPARE(Find<QCheckBox>(d, "PayToneCx")->checkState(), Qt::Checked);
      Click(d, "OkBtn");
    }));
    QCOMPARE(Item(2, "920C", 1), std::string("1"));
    QCOMPARE(Item(3, "423C", 1), std::string("2"));
    QCOMPARE(Item(3, "920C", 1), std::string("0"));
    // Offline: nothing sent, the edits wait for an upload.
    QVERIFY(env.Pbx.Sent.empty());
    QCOMPARE(SysData().COLines.ChangedCount(), 2);
    QVERIFY(env.Fb.Infos.empty());
  }

  void NavigationOnlineReadsATargetWithoutData() {
    TEnv env(true);
    env.Preload({1});
    QVERIFY(!Run({1}, [&env](TCOprmDlg* d) {
      QVERIFY(env.Pbx.Sent.empty());  // line 1 has actual data
      env.Pbx.SetLine("423C2/2/");
      Click(d, "NextCO");
      QCOMPARE(env.Reads().size(), size_t(20));
      QCOMPARE(env.Reads().front(), std::string("400C2//"));
      QCOMPARE(Find<QComboBox>(d, "RingPatternCB")->currentText(), QString("Triple"));
      Click(d, "CancelBtn");
    }));
    QVERIFY(env.Fb.Infos.empty());
  }

  void FKeyForcesTheReadAndTheFullUpload() {
    TEnv env(true);
    env.Preload({3, 4});
    env.F = true;
    QVERIFY(Run({4, 3}, [&env](TCOprmDlg* d) {
      // Both lines were read again although they held actual data.
      QCOMPARE(env.Reads().size(), size_t(40));
      env.Pbx.Sent.clear();
      Click(d, "OkBtn");
    }));
    // Nothing was changed, yet every block of both lines went to the PBX.
    const auto w = env.Writes();
    QCOMPARE(w.size(), size_t(40));
    QCOMPARE(w.front(), std::string("400C3/1/"));
    QCOMPARE(w.back(), std::string("928C4/0/"));
    QCOMPARE(env.Fb.Progress.back().Caption, std::string("Save"));
    QCOMPARE(env.Fb.Progress.back().Maximum, 40);

    // Without F nothing is read again and an unchanged dialog sends nothing.
    env.F = false;
    env.Pbx.Sent.clear();
    QVERIFY(Run({3}, [](TCOprmDlg* d) { Click(d, "OkBtn"); }));
    QVERIFY(env.Pbx.Sent.empty());
  }

  void FKeyOnOKIsAskedWhenOKisPressed() {
    TEnv env(true);
    env.Preload({1});
    QVERIFY(Run({1}, [&env](TCOprmDlg* d) {
      QVERIFY(env.Pbx.Sent.empty());
      env.F = true;
      Click(d, "OkBtn");
    }));
    QCOMPARE(env.Writes().size(), size_t(20));
  }

  void CancelLeavesTheStoreUntouched() {
    TEnv env(true);
    env.Pbx.SetLine("401C2/1/");
    env.Preload({1, 2, 3, 4, 5, 6});
    std::vector<std::string> before;
    for (int c = 1; c <= 6; ++c)
      for (int i = 0; i < TCOdata::kBlockCount; ++i)
        before.push_back(SysData().COLines.Lines(c).Block(i).Data());
    const bool ok = Run({1, 2}, [](TCOprmDlg* d) {
      Find<TRadioGroup>(d, "DialModeRB")->Button(2)->click();
      Find<QCheckBox>(d, "CIDcx")->setCheckState(Qt::Unchecked);
      QVERIFY(!Find<QComboBox>(d, "CIDtypeCb")->isEnabled());
      Find<QTableWidget>(d, "PbxCodesGrid")->item(0, 1)->setText("55");
      Click(d, "NextCO");
      Click(d, "CancelBtn");
    });
    QVERIFY(!ok);
    std::vector<std::string> after;
    for (int c = 1; c <= 6; ++c)
      for (int i = 0; i < TCOdata::kBlockCount; ++i)
        after.push_back(SysData().COLines.Lines(c).Block(i).Data());
    QCOMPARE(after, before);
    QVERIFY(!SysData().COLines.HasChanges());
    QVERIFY(env.Writes().empty());
  }

  void OfflineWithoutDataWarnsAndStillOpens() {
    TEnv env(false);
    bool opened = false;
    QVERIFY(Run({1}, [&opened](TCOprmDlg* d) {
      opened = true;
      Click(d, "OkBtn");
    }));
    QVERIFY(opened);
    QCOMPARE(
        env.Fb.Infos,
        (std::vector<std::string>{"No actual data!\rPlease, go On-Line or load saved disk file."}));
    QVERIFY(env.Pbx.Sent.empty());
    QVERIFY(!SysData().COLines.HasChanges());  // empty blocks take no items
  }

  void ThePageIsRememberedAcrossOpenings() {
    TEnv env(false);
    env.Preload({1});
    TProgDlg::SetRememberedPage("TCOprmDlg", 0);
    QVERIFY(!Run({1}, [](TCOprmDlg* d) {
      auto* pages = Find<QTabWidget>(d, "PageControl1");
      QCOMPARE(pages->tabText(0), QString("Main"));
      QCOMPARE(pages->tabText(1), QString("Extra"));
      QCOMPARE(pages->currentIndex(), 0);
      pages->setCurrentIndex(1);
      Click(d, "CancelBtn");
    }));
    QCOMPARE(TProgDlg::RememberedPage("TCOprmDlg"), 1);
    QVERIFY(Run({1}, [](TCOprmDlg* d) {
      QCOMPARE(Find<QTabWidget>(d, "PageControl1")->currentIndex(), 1);
      Click(d, "OkBtn");
    }));
    TProgDlg::SetRememberedPage("TCOprmDlg", 0);
  }
};

QTEST_MAIN(COparamTest)
#include "COparamTest.moc"
