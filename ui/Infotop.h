// The borderless information panel that tells which operation is in progress, with a Cancel
// button (and Escape) for the waits that can take long: connecting where no PBX answers, a
// modem's dial, a dump.
#pragma once

#include <QFrame>
#include <functional>

class QLabel;
class QPushButton;

class TTopInfo : public QFrame {
  Q_OBJECT
 public:
  TTopInfo(QWidget* Parent, const QString& Text);
  void setText(const QString& Text);
  QString text() const;
  // Called by Cancel and Escape; the panel itself stays until the operation has ended.
  std::function<void()> OnCancel;

 protected:
  void keyPressEvent(QKeyEvent* Event) override;

 private:
  void Cancel();
  QLabel* fText;
  QPushButton* fCancel;
};
