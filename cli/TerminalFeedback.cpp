#include "TerminalFeedback.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "Errors.h"
#include "Text.h"

namespace {

int TerminalWidth(FILE* Out) {
  winsize ws{};
  if (::ioctl(::fileno(Out), TIOCGWINSZ, &ws) == 0 && ws.ws_col >= 20) return ws.ws_col;
  return 80;
}

constexpr int kBarCells = 24;

}  // namespace

std::string TerminalText(const std::string& Text) { return EscapeUnprintable(Text); }

std::string TerminalLines(const std::string& Text, bool Whole) {
  TStringList lines = SplitLines(Text);
  while (!lines.empty() && TrimBlanks(lines.back()).empty()) lines.pop_back();
  // Messages carry the PBX's own bytes (a version text, a refused or damaged answer) and
  // quote files: a long answer is cut to a few lines.
  std::string s;
  const size_t shown =
      Whole || lines.size() <= kMaxMessageLines ? lines.size() : kMaxMessageLines - 1;
  for (size_t i = 0; i < shown; ++i) {
    if (i) s += '\n';
    const std::string& line = lines[i];
    if (Whole || line.size() <= kMaxMessageLineChars)
      s += TerminalText(line);
    else
      s += TerminalText(line.substr(0, kMaxMessageLineChars)) + "...";
  }
  if (shown < lines.size()) s += Format("\n... (%zu more lines)", lines.size() - shown);
  return s;
}

TTerminalFeedback::TTerminalFeedback(FILE* Out, bool Interactive, bool AssumeYes)
    : fOut(Out), fInteractive(Interactive), fAssumeYes(AssumeYes) {}

void TTerminalFeedback::ClearBarLocked() {
  if (fInteractive && fBarActive && fDrawnCells >= 0) std::fputs("\r\x1b[K", fOut);
  fDrawnCells = -1;
}

void TTerminalFeedback::DrawBarLocked(bool Force) {
  if (!fInteractive || !fBarActive) return;
  const int cells = fMaximum > 0 ? std::min(kBarCells, fPosition * kBarCells / fMaximum) : 0;
  if (!Force && cells == fDrawnCells) return;
  fDrawnCells = cells;
  std::string text = TerminalText(fBarText);
  std::string bar;
  if (fMaximum > 0) {
    bar = " [" + std::string(static_cast<size_t>(cells), '#') +
          std::string(static_cast<size_t>(kBarCells - cells), '.') + "]";
  }
  // Keep the whole line within the terminal, or it would wrap and break the redraw.
  const size_t width = static_cast<size_t>(TerminalWidth(fOut)) - 1;
  if (text.size() + bar.size() > width) text.resize(width > bar.size() ? width - bar.size() : 0);
  std::fprintf(fOut, "\r\x1b[K%s%s", text.c_str(), bar.c_str());
  std::fflush(fOut);
}

void TTerminalFeedback::WriteLinesLocked(const std::string& Prefix, const std::string& Text,
                                         bool Whole) {
  ClearBarLocked();
  const std::string lines = TerminalLines(Text, Whole);
  std::string out = Prefix;
  for (char c : lines) {
    out += c;
    if (c == '\n') out += std::string(Prefix.size(), ' ');
  }
  std::fprintf(fOut, "%s\n", out.c_str());
  std::fflush(fOut);
  DrawBarLocked(true);
}

void TTerminalFeedback::ShowError(const std::string& Text) {
  std::lock_guard<std::mutex> g(fLock);
  WriteLinesLocked("Error: ", Text);
}

void TTerminalFeedback::ShowOwnError(const std::string& Text) {
  std::lock_guard<std::mutex> g(fLock);
  WriteLinesLocked("Error: ", Text, true);
}

void TTerminalFeedback::ShowInformation(const std::string& Text) {
  std::lock_guard<std::mutex> g(fLock);
  WriteLinesLocked("", Text);
}

void TTerminalFeedback::Note(const std::string& Text) { ShowInformation(Text); }

bool TTerminalFeedback::Confirm(const std::string& Text) {
  std::unique_lock<std::mutex> lock(fLock);
  ClearBarLocked();
  const std::string q = TerminalLines(Text);
  if (fAssumeYes || !fInteractive || !::isatty(STDIN_FILENO)) {
    const bool yes = fAssumeYes;
    std::fprintf(fOut, "%s %s\n", q.c_str(), yes ? "-> yes (--yes)" : "-> no (use --yes to agree)");
    std::fflush(fOut);
    DrawBarLocked(true);
    return yes;
  }
  std::fprintf(fOut, "%s [y/N] ", q.c_str());
  std::fflush(fOut);
  std::string answer;
  lock.unlock();
  const bool got = static_cast<bool>(std::getline(std::cin, answer));
  lock.lock();
  if (!got) std::fputc('\n', fOut);
  answer = TrimBlanks(answer);
  const bool yes = got && (answer == "y" || answer == "Y" || SameTextAscii(answer, "yes"));
  DrawBarLocked(true);
  return yes;
}

void TTerminalFeedback::ProgressShow(const std::string& Caption, int Maximum, bool) {
  StepStart(Caption, Maximum);
}

void TTerminalFeedback::ProgressAdvance(int N) {
  std::lock_guard<std::mutex> g(fLock);
  if (!fBarActive) return;
  fPosition = std::min(fMaximum, fPosition + std::max(0, N));
  DrawBarLocked(false);
}

void TTerminalFeedback::ProgressClose() {
  std::lock_guard<std::mutex> g(fLock);
  if (!fBarActive) return;
  ClearBarLocked();
  if (fInteractive) {
    std::fprintf(fOut, "%s\n", TerminalText(fBarText).c_str());
    std::fflush(fOut);
  }
  fBarActive = false;
}

void TTerminalFeedback::StepStart(const std::string& Text, int Maximum) {
  std::lock_guard<std::mutex> g(fLock);
  ClearBarLocked();
  fBarActive = true;
  fBarText = fAbortShown ? std::string("Wait for abort..") : Text;
  fMaximum = std::max(0, Maximum);
  fPosition = 0;
  if (fInteractive) {
    DrawBarLocked(true);
  } else {
    std::fprintf(fOut, "%s\n", TerminalText(Text).c_str());
    std::fflush(fOut);
  }
}

void TTerminalFeedback::StepCommand(const std::string& Code) {
  std::lock_guard<std::mutex> g(fLock);
  if (!fBarActive || fAbortShown || !fInteractive) return;
  const size_t paren = fBarText.find(" (");
  fBarText = fBarText.substr(0, paren) + " (" + Code + ")";
  DrawBarLocked(true);
}

void TTerminalFeedback::StepTick() {
  std::lock_guard<std::mutex> g(fLock);
  if (!fBarActive) return;
  // The bar stops at its maximum when more lines come than the step expects.
  if (fPosition + 1 <= fMaximum) ++fPosition;
  DrawBarLocked(false);
}

void TTerminalFeedback::StepEnd(const std::string& Line) {
  std::lock_guard<std::mutex> g(fLock);
  ClearBarLocked();
  fBarActive = false;
  std::fprintf(fOut, "%s\n", TerminalText(Line).c_str());
  std::fflush(fOut);
}

void TTerminalFeedback::ShowAbortPending() {
  std::lock_guard<std::mutex> g(fLock);
  if (fAbortShown) return;
  fAbortShown = true;
  if (fInteractive && fBarActive) {
    fBarText = "Wait for abort..";
    DrawBarLocked(true);
  } else {
    ClearBarLocked();
    std::fprintf(fOut, "Wait for abort..\n");
    std::fflush(fOut);
    DrawBarLocked(true);
  }
}
