// The face of the PBX session that program blocks, lists and the data layer talk to.
// TKXTAcomm is the real session over a serial port; tests plug in scripted sessions.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "Text.h"

class TPbxSession {
 public:
  using TCommandEvent = std::function<void(const std::string& Cmd)>;
  using TRxLineEvent = std::function<void()>;

  virtual ~TPbxSession() = default;

  // Sends one command and waits for Prompt. Lines receives the reply (echo included), one line
  // per entry. A refused or unanswered command has been reported to the user and logged by the
  // time this returns false. Raises EAbortOperation when an abort was requested.
  virtual bool SendCommand(const std::string& Cmd, TStringList& Lines,
                           const std::string& Prompt) = 0;

  // Mode changes for the few exchanges that leave edit mode (the PBX clock is read in show
  // mode). A session without modes does nothing and refuses them.
  virtual void EndMode() {}
  virtual bool EnterShowMode() { return false; }
  virtual bool EnterEditMode() { return false; }

  // Date-time of the last successful connection, 0 before the first.
  virtual double ConnectTime() const = 0;
  virtual bool LoggedIn() const { return false; }
  virtual std::string PbxVersion() const { return "???"; }
  // Whether the last SendCommand put its command on the line (false when it was refused unsent:
  // a lost line, a command while another waits).
  virtual bool LastCommandSent() const { return true; }

  // Index of the first and last line containing ";=>" (-1 when none); true when both exist.
  static bool ExtractDataLines(const TStringList& Lines, int& First, int& Last);

  // The abort request: set by a Stop button, consumed by the next SendCommand.
  void RequestAbort() { fAbortRequested = true; }
  bool AbortRequested() const { return fAbortRequested; }
  void ClearAbort() { fAbortRequested = false; }

  // The command callback, called with each command before it is sent (UI thread only).
  TCommandEvent OnCommand;

  // The progress callback, fired once per received carriage return. Set and cleared on the UI
  // thread but fired on the port's watcher thread, hence the lock.
  void SetOnRxLine(TRxLineEvent Handler);
  bool HasOnRxLine() const;
  void FireRxLine();

 protected:
  std::atomic<bool> fAbortRequested{false};

 private:
  mutable std::mutex fRxLineLock;
  TRxLineEvent fOnRxLine;
};

// The one session of the program. Until one is installed an offline session stands in: it has
// never connected and refuses every command.
TPbxSession& PbxComm();
// Installs Session as the program's session (nullptr restores the offline stand-in). The caller
// keeps ownership and must uninstall it before destroying it.
void SetPbxComm(TPbxSession* Session);
