#include "FakeSession.h"

#include "Errors.h"

TFakeSession::TFakeSession() { SetPbxComm(this); }
TFakeSession::~TFakeSession() { SetPbxComm(nullptr); }

void TFakeSession::AnswerData(const std::vector<std::string>& DataLines) {
  std::string t;
  for (const auto& l : DataLines) t += ";=>" + l + "\r\n";
  Answer(t + ";E>");
}

bool TFakeSession::SendCommand(const std::string& Cmd, TStringList& Lines,
                               const std::string& Prompt) {
  if (fAbortRequested) {
    fAbortRequested = false;
    throw EAbortOperation();
  }
  Lines.clear();
  if (OnCommand) OnCommand(Cmd);
  Sent.push_back(Cmd);
  TReply r;
  if (!fReplies.empty()) {
    r = fReplies.front();
    fReplies.pop_front();
  } else if (EchoWrites && Cmd.size() > 2 && Cmd.compare(Cmd.size() - 2, 2, "//") != 0) {
    r = {true, ";=>" + Cmd + "\r\n;E>"};
  } else {
    r = {false, "Command error\r\n;E>"};
  }
  if (!r.Ok) return false;
  Lines = SplitLines(Cmd + "\r\n" + r.Text);
  (void)Prompt;
  return true;
}
