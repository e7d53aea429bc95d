// A scripted PBX session for unit tests: answers each command from a queue of replies and
// records what was sent.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "Session.h"

class TFakeSession : public TPbxSession {
 public:
  struct TReply {
    bool Ok;
    std::string Text;  // the reply as the PBX would send it, lines ended by "\r\n"
  };

  TFakeSession();
  ~TFakeSession() override;

  // Queues a reply to the next command.
  void Answer(const std::string& Text, bool Ok = true) { fReplies.push_back({Ok, Text}); }
  // Queues the usual answer of the PBX to a command: echo, data lines, edit prompt.
  void AnswerData(const std::vector<std::string>& DataLines);
  void Refuse() { Answer("Command error\r\n;E>", false); }

  bool SendCommand(const std::string& Cmd, TStringList& Lines, const std::string& Prompt) override;
  double ConnectTime() const override { return fConnectTime; }
  void SetConnectTime(double T) { fConnectTime = T; }

  std::vector<std::string> Sent;
  // When the queue is empty, a write is answered by echoing the written line back as data
  // (what a PBX that accepts everything does); a read is refused.
  bool EchoWrites = true;

 private:
  std::deque<TReply> fReplies;
  double fConnectTime = 0.0;
  std::string fLastCmd;
};
