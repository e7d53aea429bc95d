// The stand-alone progress window of reads, uploads and the dump.
#pragma once

#include <QDialog>

class QProgressBar;

class TMyProgressBar : public QDialog {
  Q_OBJECT
 public:
  explicit TMyProgressBar(QWidget* Parent);
  void Start(const QString& Caption, int Maximum);
  void Advance(int N);  // moves the bar and the tick counter by N
  void Tick();          // one received line: counts, and moves the bar unless it is full
  // Runs the bar visibly to its end.
  void Fill();
  int Ticks() const { return fTicks; }
  int Position() const;
  int Maximum() const;

 protected:
  // The window goes when its work has ended, never before: Escape and the window's close
  // button do nothing.
  void reject() override {}
  void closeEvent(QCloseEvent* Event) override;

 private:
  QProgressBar* fBar;
  int fTicks = 0;
};
