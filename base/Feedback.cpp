// Default behaviour of the feedback interface and the program-wide slot.
#include "Feedback.h"

#include <atomic>
#include <cstdio>

const char* const kMsgNoData = "No actual data!\rPlease, go On-Line or load saved disk file.";
const char* const kMsgReading = "Reading..";
const char* const kMsgSaving = "Saving..";

bool TFeedback::ShowMsgAgain(const std::string& Text, bool&, bool YesNo) {
  // Without a dialog of its own the warning becomes a plain question or information.
  if (YesNo) return Confirm(Text);
  ShowInformation(Text);
  return false;
}

void TFeedback::ShowTopInfo(const std::string&) {}
void TFeedback::HideTopInfo() {}
void TFeedback::ProgressShow(const std::string&, int, bool) {}
void TFeedback::ProgressAdvance(int) {}
void TFeedback::ProgressClose() {}
void TFeedback::PlaySound(const std::string&) {}

void TFeedback::WaitForActivity(int Ms) {
  std::unique_lock<std::mutex> lock(fWaitLock);
  if (Ms > 0)
    fWaitCond.wait_for(lock, std::chrono::milliseconds(Ms), [this] { return fActivity; });
  fActivity = false;
}

void TFeedback::SignalActivity() {
  {
    std::lock_guard<std::mutex> g(fWaitLock);
    fActivity = true;
  }
  fWaitCond.notify_all();
}

namespace {

// Boxes use "\r" as line break; a terminal wants "\n".
std::string ForTerminal(const std::string& Text) {
  std::string s = Text;
  for (char& c : s)
    if (c == '\r') c = '\n';
  return s;
}

THeadlessFeedback gHeadless;
std::atomic<TFeedback*> gFeedback{nullptr};

}  // namespace

void THeadlessFeedback::ShowError(const std::string& Text) {
  std::fprintf(stderr, "Error: %s\n", ForTerminal(Text).c_str());
}

bool THeadlessFeedback::Confirm(const std::string& Text) {
  std::fprintf(stderr, "Confirm: %s -> No\n", ForTerminal(Text).c_str());
  return false;
}

void THeadlessFeedback::ShowInformation(const std::string& Text) {
  std::fprintf(stderr, "Information: %s\n", ForTerminal(Text).c_str());
}

TFeedback& Feedback() {
  TFeedback* f = gFeedback.load();
  return f ? *f : gHeadless;
}

void SetFeedback(TFeedback* F) { gFeedback.store(F); }

void ShowError(const std::string& Text) { Feedback().ShowError(Text); }
bool Confirm(const std::string& Text) { return Feedback().Confirm(Text); }
void ShowInformation(const std::string& Text) { Feedback().ShowInformation(Text); }
void ShowNoData() { Feedback().ShowInformation(kMsgNoData); }
void ShowTopInfo(const std::string& Text) { Feedback().ShowTopInfo(Text); }
void ShowReading() { Feedback().ShowTopInfo(kMsgReading); }
void ShowSaving() { Feedback().ShowTopInfo(kMsgSaving); }
void HideTopInfo() { Feedback().HideTopInfo(); }
bool ShowMsgAgain(const std::string& Text, bool& Flag, bool YesNo) {
  return Feedback().ShowMsgAgain(Text, Flag, YesNo);
}
void ProgressShow(const std::string& Caption, int Maximum, bool Hook) {
  Feedback().ProgressShow(Caption, Maximum, Hook);
}
void ProgressAdvance(int N) { Feedback().ProgressAdvance(N); }
void ProgressClose() { Feedback().ProgressClose(); }
