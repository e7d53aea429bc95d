// The core's feedback on a terminal: boxes become lines on standard error, questions are
// answered by --yes, by the user at a terminal, or with No; the progress bar is drawn in place
// on a terminal and replaced by plain lines elsewhere (a log file, a pipe).
#pragma once

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

#include "Feedback.h"

class TTerminalFeedback : public TFeedback {
 public:
  // Out receives every message; Interactive draws bars in place and asks questions at the
  // terminal (normally: Out is a terminal); AssumeYes answers every question with Yes.
  TTerminalFeedback(FILE* Out, bool Interactive, bool AssumeYes);

  void ShowError(const std::string& Text) override;
  // An error this program words itself, with the user's paths in it (a refusal before or
  // during an upload): shown whole, however long a path, where ShowError cuts the long lines
  // that a PBX's answer may bring.
  void ShowOwnError(const std::string& Text);
  bool Confirm(const std::string& Text) override;
  void ShowInformation(const std::string& Text) override;

  // The small progress window (the dump uses it).
  void ProgressShow(const std::string& Caption, int Maximum, bool Hook) override;
  void ProgressAdvance(int N) override;
  void ProgressClose() override;

  // ---- the read and upload run ----
  // A step begins: Text is its step text ("Read Extensions data"), Maximum its line count.
  void StepStart(const std::string& Text, int Maximum);
  // The command being exchanged, already cut to its code ("604E").
  void StepCommand(const std::string& Code);
  // One line arrived from the PBX (any thread).
  void StepTick();
  // The step ended: Line is its final text ("Extensions - Ok").
  void StepEnd(const std::string& Line);
  // Ctrl-C: the current line becomes "Wait for abort.." (any thread).
  void ShowAbortPending();

  // A line of its own on Out, between bars (any thread).
  void Note(const std::string& Text);

  bool Interactive() const { return fInteractive; }

 private:
  void ClearBarLocked();
  void DrawBarLocked(bool Force);
  void WriteLinesLocked(const std::string& Prefix, const std::string& Text, bool Whole = false);

  FILE* fOut;
  const bool fInteractive;
  const bool fAssumeYes;
  std::mutex fLock;
  // The bar of the current step or progress window; none when fBarActive is false.
  bool fBarActive = false;
  std::string fBarText;
  int fMaximum = 0;
  int fPosition = 0;
  int fDrawnCells = -1;
  bool fAbortShown = false;
};

// Text as kxta lets it reach a terminal, on standard output as on standard error: printable
// ASCII as it is, every other byte (control characters, line breaks among them, DEL, bytes
// beyond ASCII) as <XX>, so that no text from a file, a journal or the PBX can move the cursor,
// clear the screen or retitle the window. "<" stays as it is: a clean text prints unchanged.
std::string TerminalText(const std::string& Text);

// A message: "\r" (the boxes' line break), "\r\n" and "\n" all end a line; empty trailing lines
// dropped; each line as TerminalText shows it; at most kMaxMessageLines lines of at most
// kMaxMessageLineChars characters, unless Whole (the program's own messages, never cut).
constexpr size_t kMaxMessageLines = 12;
constexpr size_t kMaxMessageLineChars = 160;
std::string TerminalLines(const std::string& Text, bool Whole = false);
