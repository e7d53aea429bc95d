#include "HelpContext.h"

#include <QKeySequence>
#include <QShortcut>
#include <QVariant>
#include <QWidget>

#include "HelpWindow.h"

namespace {

const THelpPage kPages[] = {
    {kHelpContents, "index.md", "Contents"},
    {-1, "getting-started.md", "Getting started"},
    {-1, "offline.md", "Working offline"},
    {-1, "modem-connection.md", "Modem connection"},
    {-1, "network.md", "Network serial server"},
    {-1, "troubleshooting.md", "Troubleshooting"},
    {-1, "command-line.md", "Command-line tool"},
    {-1, "backups-journal.md", "Backups and the upload journal"},
    {-1, "text-configurations.md", "Configurations as text"},
    {300, "date-time.md", "Date and time"},
    {310, "speed-dial.md", "System speed dialling"},
    {320, "disa.md", "DISA"},
    {350, "ucd.md", "UCD"},
    {380, "account-codes.md", "Account codes"},
    {390, "ars.md", "ARS"},
    {392, "ars-routes.md", "ARS routes"},
    {420, "toll-restriction.md", "Toll restriction"},
    {450, "emergency-dial.md", "Emergency dial"},
    {460, "day-night.md", "Day, night and lunch service"},
    {470, "timers.md", "Timers"},
    {480, "auto-pause.md", "Auto pause insertion codes"},
    {490, "carrier-excepted.md", "Carrier excepted codes"},
    {500, "voice-mail.md", "Voice mail integration"},
    {510, "call-hunting.md", "Call hunting"},
    {520, "smdr.md", "SMDR"},
    {530, "system-parameters.md", "System parameters"},
    {kHelpComSetup, "com-port.md", "COM port setup"},
    {kHelpSystemSetup, "system-settings.md", "System settings"},
    {kHelpModem, "modem-dialog.md", "Modem dialling"},
    {kHelpSites, "sites.md", "Sites"},
    {4000, "co-lines.md", "CO line parameters"},
    {4100, "dss-consoles.md", "DSS consoles"},
    {kHelpExtensions, "extensions.md", "Extension parameters"},
};

}  // namespace

std::span<const THelpPage> HelpPages() { return kPages; }

QString HelpPageUrl(int Context) {
  for (const THelpPage& p : kPages)
    if (p.Context == Context) return QString("qrc:/help/%1").arg(p.File);
  return QString("qrc:/help/%1").arg(kPages[0].File);
}

void ShowHelp(int Context) { THelpWindow::Instance()->ShowPage(HelpPageUrl(Context)); }

void SetHelpContext(QWidget* Dialog, int Context) {
  const bool first = !Dialog->property("helpContext").isValid();
  Dialog->setProperty("helpContext", Context);
  if (!first) return;
  auto* f1 = new QShortcut(QKeySequence::HelpContents, Dialog);
  f1->setContext(Qt::WindowShortcut);
  QObject::connect(f1, &QShortcut::activated, Dialog, [Dialog] { ShowDialogHelp(Dialog); });
}

void ShowDialogHelp(QWidget* Dialog) { ShowHelp(Dialog->property("helpContext").toInt()); }
