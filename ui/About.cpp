#include "About.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMouseEvent>
#include <QUrl>
#include <QVBoxLayout>

#include "Paths.h"

namespace {

// The project's own pages ship beside the program; they say where to ask for help.
QString ContactFile() {
  return QString::fromStdString(AppPaths().ResolveProgramFile("README.md"));
}

// The contact label opens the contact page on a double click.
class TContactLabel : public QLabel {
 public:
  using QLabel::QLabel;

 protected:
  void mouseDoubleClickEvent(QMouseEvent*) override {
    if (QFileInfo::exists(ContactFile()))
      QDesktopServices::openUrl(QUrl::fromLocalFile(ContactFile()));
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
  auto* contact = new TContactLabel("Support and contact: README.md beside the program", this);
  contact->setObjectName("ContactLabel");
  contact->setAlignment(Qt::AlignCenter);
  contact->setToolTip("Double-click to open");
  layout->addWidget(contact);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}
