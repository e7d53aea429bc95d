// The core's only way to the user and to the event loop: message boxes, the information panel,
// the progress window, sound cues, and waiting for activity. The desktop program implements it
// with Qt, the command-line tool with the terminal, tests with a recorder.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

class TFeedback {
 public:
  virtual ~TFeedback() = default;

  // Message boxes. Texts use "\r" as line break and are shown unchanged.
  virtual void ShowError(const std::string& Text) = 0;             // "Error", OK
  virtual bool Confirm(const std::string& Text) = 0;               // "Confirm", Yes / No
  virtual void ShowInformation(const std::string& Text) = 0;       // "Information", OK
  // The warning with its "Show this warning next time again" check box, bound to Flag.
  // YesNo asks Yes / No, otherwise a single Close button. True only for Yes.
  virtual bool ShowMsgAgain(const std::string& Text, bool& Flag, bool YesNo);

  // The information panel telling which operation runs.
  virtual void ShowTopInfo(const std::string& Text);
  virtual void HideTopInfo();

  // The small progress window. With Hook the window counts the session's received lines.
  virtual void ProgressShow(const std::string& Caption, int Maximum, bool Hook);
  virtual void ProgressAdvance(int N);
  virtual void ProgressClose();

  // Plays a sound file asynchronously; a missing or broken file is silent.
  virtual void PlaySound(const std::string& Path);

  // Blocks until activity is signalled, a user-interface event arrives, or Ms milliseconds pass,
  // whichever comes first. Returns at once when activity was signalled since the last wait.
  // The desktop program dispatches window events while it waits.
  virtual void WaitForActivity(int Ms);
  // Wakes a waiting WaitForActivity. Safe from any thread (the port's watcher calls it).
  virtual void SignalActivity();

 private:
  std::mutex fWaitLock;
  std::condition_variable fWaitCond;
  bool fActivity = false;
};

// Writes messages to standard error and answers every question with No: a core without a user
// never agrees to anything on its own.
class THeadlessFeedback : public TFeedback {
 public:
  void ShowError(const std::string& Text) override;
  bool Confirm(const std::string& Text) override;
  void ShowInformation(const std::string& Text) override;
};

// The program-wide feedback. A headless one stands in until the program installs its own.
TFeedback& Feedback();
void SetFeedback(TFeedback* F);  // nullptr restores the stand-in; the caller keeps ownership

// The free operations every Part uses.
void ShowError(const std::string& Text);
bool Confirm(const std::string& Text);
void ShowInformation(const std::string& Text);
void ShowNoData();
void ShowTopInfo(const std::string& Text);
void ShowReading();
void ShowSaving();
void HideTopInfo();
bool ShowMsgAgain(const std::string& Text, bool& Flag, bool YesNo);
void ProgressShow(const std::string& Caption, int Maximum, bool Hook);
void ProgressAdvance(int N);
void ProgressClose();

// Message texts shared by several callers.
extern const char* const kMsgNoData;     // 65235
extern const char* const kMsgReading;    // 65264
extern const char* const kMsgSaving;     // 65265
