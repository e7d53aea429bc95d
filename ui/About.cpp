#include "About.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMouseEvent>
#include <QUrl>
#include <QVBoxLayout>

#include "HelpContext.h"
#include "Paths.h"

namespace {

// The notes for users an installed program ships (PREFIX/share/doc/kxta-config/README.md);
// empty when the program runs from its build folder.
QString UserReadme() {
  const std::string& share = AppPaths().ShareDir;  // PREFIX/share/kxta-config/
  if (share.empty()) return QString();
  const QString readme = QString::fromStdString(share + "../doc/kxta-config/README.md");
  return QFileInfo::exists(readme) ? QFileInfo(readme).canonicalFilePath() : QString();
}

// The contact label opens the README on a double click, or the help when there is none.
class TContactLabel : public QLabel {
 public:
  using QLabel::QLabel;

 protected:
  void mouseDoubleClickEvent(QMouseEvent*) override {
    if (const QString readme = UserReadme(); !readme.isEmpty())
      QDesktopServices::openUrl(QUrl::fromLocalFile(readme));
    else
      ShowHelp(0);
  }
};

}  // namespace

TAboutBox::TAboutBox(QWidget* Parent) : QDialog(Parent) {
  setObjectName("AboutBox");
  setWindowTitle("About");
  auto* layout = new QVBoxLayout(this);
  auto* icon = new QLabel(this);
  icon->setPixmap(windowIcon().pixmap(48, 48));
  layout->addWidget(icon, 0, Qt::AlignHCenter);
  auto* product = new QLabel("<b>KX-TA Configurator</b><br>for Panasonic KX-TA308, KX-TA616 "
                             "and KX-TA624",
                             this);
  product->setObjectName("ProductLabel");
  product->setAlignment(Qt::AlignCenter);
  layout->addWidget(product);
  auto* version = new QLabel("Version 1.00.02", this);
  version->setObjectName("VersionLabel");
  version->setAlignment(Qt::AlignCenter);
  layout->addWidget(version);
  // The label the program has always shown, and the build: what kxta-config --version, kxta
  // --version and the package say.
  auto* build = new QLabel("Package version " KXTA_VERSION, this);
  build->setObjectName("BuildLabel");
  build->setAlignment(Qt::AlignCenter);
  layout->addWidget(build);
  const QString readme = UserReadme();
  auto* contact = new TContactLabel(
      readme.isEmpty() ? QString("Support and contact: the help (F1)")
                       : "Support and contact: the help (F1) and " + readme, this);
  contact->setObjectName("ContactLabel");
  contact->setAlignment(Qt::AlignCenter);
  contact->setToolTip("Double-click to open");
  layout->addWidget(contact);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}
