// Helpers for operations that run many PBX exchanges in a row (tables, groups): each exchange
// is tried on its own so that one failure does not stop the others; only the user's abort
// ends the run.
#pragma once

#include <string>

#include "Errors.h"
#include "Feedback.h"

// Runs one exchange. A misuse or bad-reply error is shown and counts as a failed exchange;
// EAbortOperation passes through.
template <class F>
bool TryExchange(F&& Fn) {
  try {
    return Fn();
  } catch (const EAbortOperation&) {
    throw;
  } catch (const Exception& e) {
    ShowError(e.what());
    return false;
  }
}

// Shows the small progress window for its lifetime when Show is set, hooked to the session's
// received lines; closed also when an abort unwinds the operation.
class TProgressScope {
 public:
  TProgressScope(bool Show, const std::string& Caption, int Maximum) : fShown(Show) {
    if (fShown) ProgressShow(Caption, Maximum, true);
  }
  ~TProgressScope() {
    if (fShown) ProgressClose();
  }
  TProgressScope(const TProgressScope&) = delete;
  TProgressScope& operator=(const TProgressScope&) = delete;

 private:
  bool fShown;
};
