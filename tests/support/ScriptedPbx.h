// A small scripted PBX on an in-memory line, for session tests: echoes every character, answers
// the wake-up line, VER, EDT with its password, INT, END, SHW, DMP/ALL and edit-mode queries,
// with switches for silence, refusals, a password at wake-up, split replies and a Hayes modem.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "MemoryLine.h"

class TScriptedPbx : public TMemoryPeer {
 public:
  TScriptedPbx();
  ~TScriptedPbx() override;

  TMemoryLine Line{this};

  // ---- behaviour (set before connecting) ----
  std::string Password = "1234";
  std::string Version = "KX-TA624 V2.01";
  bool Silent = false;            // answers nothing, not even the echo
  int SilentAfterLines = -1;      // goes silent after this many complete lines (-1: never)
  bool PasswordAtWakeup = false;  // asks "Password :" at the wake-up line
  bool StartInEditMode = false;   // still in edit mode from an earlier session
  bool Modem = false;             // a Hayes modem sits in front until the carrier is up
  std::string HangUpAt;           // the modem loses the carrier when this line comes
  size_t PieceSize = 0;           // answers in pieces of this many bytes (0: whole)
  int PieceGapMs = 0;             // pause before each piece
  std::set<std::string> Refuse;   // edit-mode lines answered "Command error"
  std::map<std::string, std::string> Replies;  // edit-mode lines answered with this raw text
  std::map<std::string, std::string> Data;     // edit-mode queries: line -> data text
  std::vector<std::string> DumpLines;          // the listing of "ALL" in dump mode
  std::string DumpEnd = ";P>";                 // what follows the listing's last line end

  // ---- what happened ----
  std::vector<std::string> Received() const;  // complete lines, without their line end
  int Opens() const;
  int Closes() const;
  // Times from sending an echo to the arrival of the next typed character, in microseconds.
  std::vector<double> EchoTurnarounds() const;

  void HostWrite(const char* Data, size_t Count) override;
  void HostOpen() override;
  void HostClose() override;

 private:
  enum TMode { mIdle, mEdit, mShow, mDump };
  enum TAwait { aNone, aWakePassword, aEditPassword };
  void Send(const std::string& Bytes, bool Echo = false);
  void Answer(const std::string& Bytes);
  void Line_(const std::string& L);
  void ModemLine(const std::string& L);
  void Run();

  mutable std::mutex fLock;
  std::condition_variable fCond;
  struct TOut {
    std::string Bytes;
    int GapMs;
    bool Echo;
  };
  std::deque<TOut> fOut;
  bool fStop = false;
  std::string fPartial;
  std::vector<std::string> fReceived;
  TMode fMode = mIdle;
  TAwait fAwait = aNone;
  bool fAuthed = false;
  bool fPendingEdt = false;
  bool fPendingShw = false;
  bool fInitDone = false;
  bool fCarrier = false;
  int fOpens = 0, fCloses = 0;
  bool fEchoOutstanding = false;
  std::chrono::steady_clock::time_point fEchoSent;
  std::vector<double> fTurnarounds;
  std::thread fThread;
};
