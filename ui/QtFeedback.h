// The desktop program's side of the core's feedback interface: Qt message boxes, the
// information panel, the progress window, sound cues, and waiting that keeps the windows alive.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <memory>

#include "Feedback.h"
#include "Infotop.h"
#include "Progress.h"

struct ca_context;

class TQtFeedback : public QObject, public TFeedback {
  Q_OBJECT
 public:
  explicit TQtFeedback(QObject* Parent = nullptr);
  ~TQtFeedback() override;

  // Boxes and the information panel belong to this window (the main window).
  void SetMainWindow(QWidget* W) { fMainWindow = W; }
  QWidget* MainWindow() const { return fMainWindow; }

  void ShowError(const std::string& Text) override;
  bool Confirm(const std::string& Text) override;
  void ShowInformation(const std::string& Text) override;
  bool ShowMsgAgain(const std::string& Text, bool& Flag, bool YesNo) override;
  void ShowTopInfo(const std::string& Text) override;
  void HideTopInfo() override;
  void ProgressShow(const std::string& Caption, int Maximum, bool Hook) override;
  void ProgressAdvance(int N) override;
  void ProgressClose() override;
  void PlaySound(const std::string& Path) override;
  // On the user-interface thread: dispatches window events while it waits, and returns after
  // the first batch of events once something happened (bytes arrived, a window event, the
  // deadline). On any other thread it waits like the core's default.
  void WaitForActivity(int Ms) override;
  void SignalActivity() override;

  // For tests and the views: the current progress window and information panel, if any.
  TMyProgressBar* ProgressWindow() const { return fProgress; }
  TTopInfo* TopInfo() const { return fTopInfo; }

 private:
  void OnReceivedLine();  // queued from the watcher thread
  struct TSoundContextEnd {
    void operator()(ca_context* C) const;
  };

  QPointer<QWidget> fMainWindow;
  QPointer<TMyProgressBar> fProgress;
  QPointer<TTopInfo> fTopInfo;
  std::atomic<bool> fActivity{false};
  // The sound cues' connection to the sound system, opened with the first cue.
  std::unique_ptr<ca_context, TSoundContextEnd> fSound;
};

// "\r" line breaks of the core's texts as Qt shows them.
QString BoxText(const std::string& Text);
