#include "Progress.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

TMyProgressBar::TMyProgressBar(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint) {
  setObjectName("MyProgressBar");
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(new QLabel("0%", this));
  fBar = new QProgressBar(this);
  fBar->setObjectName("ProgressBar");
  fBar->setTextVisible(false);
  fBar->setMinimumWidth(260);
  layout->addWidget(fBar);
  layout->addWidget(new QLabel("100%", this));
  setModal(false);
}

void TMyProgressBar::Start(const QString& Caption, int Maximum) {
  setWindowTitle(Caption);
  fTicks = 0;
  fBar->setRange(0, Maximum > 0 ? Maximum : 1);
  fBar->setValue(0);
}

void TMyProgressBar::Advance(int N) {
  fTicks += N;
  fBar->setValue(std::min(fBar->maximum(), fBar->value() + N));
}

void TMyProgressBar::Tick() {
  ++fTicks;
  if (fBar->value() < fBar->maximum()) fBar->setValue(fBar->value() + 1);
}

void TMyProgressBar::Fill() {
  while (fBar->value() < fBar->maximum()) {
    fBar->setValue(fBar->value() + 1);
    // Let the step paint before the next one, so that the bar visibly runs to its end.
    for (int i = 0; i < 101; ++i) QCoreApplication::processEvents();
  }
}

int TMyProgressBar::Position() const { return fBar->value(); }
int TMyProgressBar::Maximum() const { return fBar->maximum(); }

void TMyProgressBar::closeEvent(QCloseEvent* Event) { Event->ignore(); }
