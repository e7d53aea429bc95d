#include "HelpContext.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include "Paths.h"

void ShowHelp(int Context) {
  // The help is a folder of HTML pages beside the program, one page per context.
  const std::string dir = AppPaths().ResolveProgramFile("help");
  const QString page = QString::fromStdString(dir) +
                       (Context ? QString("/%1.html").arg(Context) : QString("/index.html"));
  if (QFileInfo::exists(page)) QDesktopServices::openUrl(QUrl::fromLocalFile(page));
}
