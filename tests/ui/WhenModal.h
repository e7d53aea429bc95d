// Answers modal windows from inside their exec(): Action runs on the next modal widget that
// opens.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

inline void WhenModal(std::function<void(QWidget*)> Action) {
  QTimer::singleShot(0, [Action] {
    QWidget* w = QApplication::activeModalWidget();
    if (!w) {
      WhenModal(Action);
      return;
    }
    Action(w);
  });
}
