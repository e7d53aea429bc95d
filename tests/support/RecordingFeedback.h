// Feedback that records every message instead of showing it, and answers questions from a
// queue (No when the queue is empty).
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "Feedback.h"

class TRecordingFeedback : public TFeedback {
 public:
  TRecordingFeedback() { SetFeedback(this); }
  ~TRecordingFeedback() override { SetFeedback(nullptr); }

  void ShowError(const std::string& Text) override { Errors.push_back(Text); }
  bool Confirm(const std::string& Text) override {
    Questions.push_back(Text);
    if (Answers.empty()) return false;
    const bool a = Answers.front();
    Answers.pop_front();
    return a;
  }
  void ShowInformation(const std::string& Text) override { Infos.push_back(Text); }
  // The warning: answered from Answers like Confirm; the check box is left as it was unless
  // ShowAgainAnswers says otherwise.
  bool ShowMsgAgain(const std::string& Text, bool& Flag, bool YesNo) override {
    Warnings.push_back(Text);
    if (!ShowAgainAnswers.empty()) {
      Flag = ShowAgainAnswers.front();
      ShowAgainAnswers.pop_front();
    }
    bool yes = false;
    if (!Answers.empty()) {
      yes = Answers.front();
      Answers.pop_front();
    }
    return YesNo && yes;
  }
  void ShowTopInfo(const std::string& Text) override { TopInfos.push_back(Text); }
  void HideTopInfo() override { ++TopInfoHidden; }
  void ProgressShow(const std::string& Caption, int Maximum, bool Hook) override {
    Progress.push_back({Caption, Maximum, Hook, 0, false});
  }
  void ProgressAdvance(int N) override {
    if (!Progress.empty()) Progress.back().Advanced += N;
  }
  void ProgressClose() override {
    if (!Progress.empty()) Progress.back().Closed = true;
  }
  void PlaySound(const std::string& Path) override { Sounds.push_back(Path); }

  struct TProgress {
    std::string Caption;
    int Maximum;
    bool Hook;
    int Advanced;
    bool Closed;
  };

  std::vector<std::string> Errors, Questions, Infos, TopInfos, Sounds, Warnings;
  std::vector<TProgress> Progress;
  std::deque<bool> Answers;
  std::deque<bool> ShowAgainAnswers;
  int TopInfoHidden = 0;
};
