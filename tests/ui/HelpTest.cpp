// The help: every context the dialogs use has a page compiled into the program, every page is
// reached from the contents or by a context and every link leads to a page; ShowHelp and F1
// in real dialogs, modeless and modal, bring the help window to the right page.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTextFrame>
#include <QTextTable>

#include "ARSdlg.h"
#include "COparam.h"
#include "CodeTables.h"
#include "ComSetup.h"
#include "DISAparam.h"
#include "DSSparam.h"
#include "DateDlg.h"
#include "DayNightDlg.h"
#include "HelpContext.h"
#include "HelpWindow.h"
#include "Services.h"
#include "SpeedDial.h"
#include "SystemParam.h"
#include "TimerDlg.h"
#include "WhenModal.h"

namespace {

QString PageText(const QString& File) {
  QFile f(":/help/" + File);
  if (!f.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(f.readAll());
}

// The .md files a page links to.
QStringList LinksOf(const QString& Text) {
  QStringList out;
  static const QRegularExpression link(R"(\]\(([^)#:]+\.md)(#[^)]*)?\))");
  for (auto it = link.globalMatch(Text); it.hasNext();) out << it.next().captured(1);
  return out;
}

QString PageOf(int Context) { return HelpPageUrl(Context).mid(QString("qrc:/help/").size()); }

THelpWindow* Help() { return THelpWindow::Existing(); }

}  // namespace

class HelpTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { ShowHelp(kHelpContents); }  // registers the resources, makes the window

  // The contexts the dialogs declare each have a page of their own, the table and the
  // resource folder hold the same files, every page is reached and every link leads to a page.
  void EveryContextHasAPageAndEveryPageIsReached() {
    const int used[] = {kHelpContents, kHelpDate, kHelpSpeedDial, kHelpDISA, kHelpUCD,
                        CodeListSpec(grAccountCodes).Help, kHelpARS, kHelpARSRoutes,
                        kHelpTollRestriction, CodeListSpec(grEmergencyDial).Help, kHelpDayNight,
                        kHelpTimer, CodeListSpec(grAutoPause).Help,
                        CodeListSpec(grCarrierExcepted).Help, kHelpVoiceMail, kHelpCallHunt,
                        kHelpSMDR, kHelpSystemParams, kHelpComSetup, kHelpSystemSetup, kHelpModem,
                        kHelpCOparams, kHelpDSSparams, kHelpExtensions};
    QSet<QString> tableFiles;
    QSet<int> contexts;
    for (const THelpPage& p : HelpPages()) {
      QVERIFY2(!tableFiles.contains(p.File), p.File);
      tableFiles.insert(p.File);
      if (p.Context >= 0) {
        QVERIFY2(!contexts.contains(p.Context), qPrintable(QString::number(p.Context)));
        contexts.insert(p.Context);
      }
    }
    QSet<QString> pagesOfContexts;
    for (int c : used) {
      QVERIFY2(contexts.contains(c), qPrintable(QString("context %1 has no page").arg(c)));
      pagesOfContexts.insert(PageOf(c));
    }
    QCOMPARE(pagesOfContexts.size(), int(std::size(used)));  // no two contexts share a page

    const QStringList files = QDir(":/help").entryList({"*.md"}, QDir::Files);
    QCOMPARE(QSet<QString>(files.begin(), files.end()), tableFiles);

    const QStringList fromContents = LinksOf(PageText(PageOf(kHelpContents)));
    for (const THelpPage& p : HelpPages()) {
      const QString text = PageText(p.File);
      QVERIFY2(text.startsWith("# "), p.File);  // a title the contents list can show
      QVERIFY2(p.Context == kHelpContents || fromContents.contains(p.File),
               qPrintable(QString("%1 is not linked from the contents").arg(p.File)));
      for (const QString& l : LinksOf(text))
        QVERIFY2(tableFiles.contains(l), qPrintable(QString(p.File) + " links to a missing " + l));
      QVERIFY2(p.Context == kHelpContents || LinksOf(text).contains("index.md"), p.File);
    }
    // The words a technician needs on the pages the brief of each one names.
    QVERIFY(PageText(PageOf(kHelpSystemParams)).contains("4 digits"));
    QVERIFY(PageText(PageOf(kHelpSystemParams)).contains("resets every extension number"));
    QVERIFY(PageText("troubleshooting.md").contains("sudo usermod -aG dialout $USER"));
    QVERIFY(PageText("troubleshooting.md").contains("No DSR signal!"));
  }

  // ShowHelp opens the one window at the context's page, rendered from Markdown; the contents
  // list follows and back returns to the page before.
  void ShowHelpOpensTheContextsPage() {
    ShowHelp(kHelpContents);
    THelpWindow* w = Help();
    QVERIFY(w);
    ShowHelp(kHelpSystemParams);
    QCOMPARE(Help(), w);
    QVERIFY(w->isVisible());
    QCOMPARE(w->CurrentPage(), QString("qrc:/help/system-parameters.md"));
    const QString shown = w->Browser()->toPlainText();
    QVERIFY(shown.startsWith("System parameters"));  // the heading, without its "#"
    QVERIFY(shown.contains("System password"));
    QVERIFY(!shown.contains("**"));
    QVERIFY(w->Browser()->isBackwardAvailable());
    w->Browser()->backward();
    QCOMPARE(w->CurrentPage(), QString("qrc:/help/index.md"));
    QVERIFY(w->FindInPage("Troubleshooting"));
    QVERIFY(w->Browser()->textCursor().hasSelection());
    QVERIFY(!w->FindInPage("no such words on this page"));
    // A link of the contents, as the browser resolves it; the connect messages in a table.
    w->Browser()->setSource(w->Browser()->source().resolved(QUrl("troubleshooting.md")));
    QCOMPARE(w->CurrentPage(), QString("qrc:/help/troubleshooting.md"));
    bool table = false;
    for (QTextFrame* f : w->Browser()->document()->rootFrame()->childFrames())
      table = table || qobject_cast<QTextTable*>(f);
    QVERIFY(table);
  }

  // F1 in the timer dialog, shown modeless, and in the COM port dialog and the ARS dialog's
  // routes page, each running modally: the help window shows their pages and takes input while
  // the modal dialog runs, then stands alone again.
  void F1InDialogsShowsTheirPages() {
    {
      TTimerDlg dlg(nullptr);
      dlg.show();
      dlg.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&dlg));
      QTest::keyClick(&dlg, Qt::Key_F1);
      QCOMPARE(Help()->CurrentPage(), QString("qrc:/help/timers.md"));
    }

    ShowHelp(kHelpContents);
    TComSettings c;
    bool active = false;
    QWidget* helpParent = nullptr;
    QWidget* modal = nullptr;
    QString page;
    WhenModal([&](QWidget* d) {
      d->activateWindow();
      active = QTest::qWaitForWindowActive(d);
      if (active) QTest::keyClick(d, Qt::Key_F1);
      helpParent = Help() ? Help()->parentWidget() : nullptr;
      page = Help() ? Help()->CurrentPage() : QString();
      modal = d;
      qobject_cast<QDialog*>(d)->reject();
    });
    QVERIFY(!ComSetupDialog(nullptr, c));
    QVERIFY(active);
    // A help window outside the modal dialog would take no input while it runs.
    QVERIFY(helpParent && helpParent == modal);
    QCOMPARE(page, QString("qrc:/help/com-port.md"));
    QVERIFY(!QTest::currentTestFailed());
    QVERIFY(Help());
    QVERIFY(!Help()->parentWidget());
    QVERIFY(Help()->isVisible());

    TARSDlg ars(nullptr);
    ars.show();
    ars.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&ars));
    ars.findChild<QTabWidget*>("PageControl1")->setCurrentIndex(1);
    QTest::keyClick(&ars, Qt::Key_F1);
    QCOMPARE(Help()->CurrentPage(), QString("qrc:/help/ars-routes.md"));
    ShowHelp(kHelpContents);
    ars.findChild<QPushButton*>("HelpBtn")->click();  // the button follows the page as F1 does
    QCOMPARE(Help()->CurrentPage(), QString("qrc:/help/ars-routes.md"));
    ars.findChild<QTabWidget*>("PageControl1")->setCurrentIndex(0);
    ars.activateWindow();  // the help window took the focus
    QVERIFY(QTest::qWaitForWindowActive(&ars));
    QTest::keyClick(&ars, Qt::Key_F1);
    QCOMPARE(Help()->CurrentPage(), QString("qrc:/help/ars.md"));
  }
};

QTEST_MAIN(HelpTest)
#include "HelpTest.moc"
