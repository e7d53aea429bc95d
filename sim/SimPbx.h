// A simulated Panasonic KX-TA624 programming port: the PBX as a byte-level state machine, with
// an optional Hayes modem in front of it and switchable faults. No threads and no timers: the
// caller feeds bytes and takes the answer from OnOutput (TSimRunner adds pacing and timing).
#pragma once

#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <vector>

class TSimPbx {
 public:
  // Modem-line numbers of OnLineChange and LineState, as seen from the PC.
  enum { LineCts = 1, LineDsr = 2, LineRing = 3, LineCarrier = 4 };
  enum class TMode { Asleep, Idle, Password, Edit, Show, Dump };
  enum class TDialAnswer { Connect, Busy, NoCarrier, NoDialtone, Silent };

  TSimPbx();  // factory configuration of a KX-TA624

  void Receive(const char* Data, size_t Count);
  std::function<void(const std::string& Bytes)> OnOutput;
  std::function<void(int Line, bool On)> OnLineChange;

  // One edit-mode command as typed, without "\r"; returns what follows the echoed command line
  // (data lines, then ";E>"; or "Command error" and ";E>"). Needs no login.
  std::string ExecuteEditCommand(const std::string& Cmd);

  std::string Line(const std::string& Head) const;  // stored text of "604E01", "" if none
  bool SetLine(const std::string& Text);           // validated like a written line
  std::vector<std::string> AllLines() const;        // listing order, "009S00/%d/" included
  bool LoadState(const std::string& File);          // program lines, one per line
  bool SaveState(const std::string& File) const;
  void ResetToFactory();

  // Login. The system password is item 1 of program 002S.
  std::string Password() const;
  bool SetPassword(const std::string& Password);
  void SetAskPasswordAtWakeUp(bool On) { fAskAtWakeUp = On; }
  void SetVersionText(const std::string& Text) { fVersion = Text; }
  const std::string& VersionText() const { return fVersion; }
  TMode Mode() const { return fMode; }
  int NumberingPlan() const { return fPlan; }

  // The clock of program 000S runs as the host clock plus an offset set by writing 000S.
  std::function<std::time_t()> Clock;

  // Faults. SilentAfter: after that many command lines the PBX answers nothing more (-1 off).
  // A refused command is any line beginning with the given text (letter case ignored).
  void SetSilentAfter(int Commands) { fSilentAfter = Commands; }
  void AddRefusedCommand(const std::string& Prefix);
  // CutAfter: the line breaks after that many bytes sent in all (-1 off): the byte stream ends
  // there, wherever it is, and the PBX hears nothing more.
  void SetCutAfterBytes(long Bytes) { fCutAfter = Bytes; }
  // Whether the dump-mode prompt follows a listing (on by default; a PBX may simply fall
  // silent after its last line).
  void SetDumpPrompt(bool On) { fDumpPrompt = On; }
  bool LineCut() const { return fCutAfter >= 0 && fSentBytes >= fCutAfter; }
  long SentBytes() const { return fSentBytes; }
  // The reply to a line beginning with Prefix repeats its data lines until it holds more than
  // Bytes bytes (a listing larger than any receive buffer), then ends with the prompt as usual.
  void SetOversizedReply(const std::string& Prefix, size_t Bytes);
  void ClearFaults();
  int CommandCount() const { return fCommands; }

  // Modem lines. Dropping DSR also makes the PBX deaf and mute, as a pulled cable would.
  bool LineState(int LineNo) const;
  void SetDsr(bool On);
  void DropCarrier();  // the modem reports "DISCONNECTED"; the PBX forgets the login
  void SetHostDtr(bool On);  // the PC dropping DTR hangs the modem up

  // Hayes modem in front of the PBX. Dialled numbers 000, 111, 222 and 333 answer NO DIALTONE,
  // BUSY, NO CARRIER and nothing; any other number connects unless set otherwise.
  void SetModemEnabled(bool On);
  bool ModemEnabled() const { return fModem; }
  void SetDialAnswer(const std::string& Number, TDialAnswer Answer) { fDialAnswers[Number] = Answer; }
  void SetConnectText(const std::string& Text) { fConnectText = Text; }

 private:
  void Send(const std::string& Bytes);
  void SetLineState(int LineNo, bool On);
  void HandleLine(const std::string& Raw);
  void HandleModemLine(const std::string& Raw);
  std::string Prompt() const;
  std::string EditCommand(const std::string& Cmd, bool ReadOnly, const std::string& Prompt);
  std::string QueryAll(const std::string& Code) const;
  std::string WriteLine(const std::string& Text, std::string* Why);
  bool StoreLine(const std::string& Text, std::string* Why, bool CheckTaken = true);
  bool StoreNumber(size_t Key, const std::string& Items, std::string* Why, bool CheckTaken);
  void ResetNumbers(int Plan);
  std::string ClockText() const;
  bool SetClock(const std::string& Items);
  bool Refused(const std::string& Cmd) const;
  std::string Oversized(const std::string& Reply) const;
  void GoToSleep();

  std::vector<std::vector<std::string>> fText;  // per catalogue program, per key: the line
  int fPlan = 1;
  std::string fVersion;
  bool fAskAtWakeUp = false;
  bool fAuthorised = false;
  TMode fMode = TMode::Asleep;
  TMode fAfterPassword = TMode::Idle;
  bool fWakeUpPassword = false;  // the password being typed was asked at wake-up
  TMode fPending = TMode::Idle;  // what "INT" enters after "EDT" or "SHW"
  std::string fInput;
  bool fOverflow = false;
  long fClockOffset = 0;

  int fSilentAfter = -1;
  int fCommands = 0;
  std::vector<std::string> fRefused;
  long fCutAfter = -1;
  bool fDumpPrompt = true;
  long fSentBytes = 0;
  std::string fOversizePrefix;
  size_t fOversizeBytes = 0;

  bool fLines[5] = {false, true, true, false, false};
  bool fModem = false;
  bool fHostDtr = true;
  std::map<std::string, TDialAnswer> fDialAnswers;
  std::string fConnectText = "CONNECT 9600";
};
