#include "ConnectText.h"

#include "Errors.h"

namespace {

std::string StepText(const std::string& Step) {
  if (Step.empty()) return "a line of the log-in";
  return Step.rfind("the ", 0) == 0 ? Step : "\"" + Step + "\"";
}

}  // namespace

std::string ConnectResultMessage(int Code, TConnectAudience For, const std::string& Step) {
  const bool cli = For == TConnectAudience::CommandLine;
  const std::string support = Format("Connection failed (Error=%d)!\r", Code);
  switch (Code) {
    case 0: return std::string();
    case 1:
      return std::string("Failed do initialize COM-port!\rMay be already used by another program?") +
             (cli ? " Check the device given with --port." : "");
    case 2: return "No PBX reaction!\rPlease, check hardware.";
    case 5:
      return cli ? "Bad access password!\rPlease, give the right one with --password (or "
                   "PbxPassword in the [System] section of the settings file)."
                 : "Bad access password!\rPlease, set correct one in the dialog \"Settings->System\"";
    case 6:
      return cli ? "No DSR signal!\rPlease, check hardware or give the right port with --port."
                 : "No DSR signal!\rPlease, check hardware or set correct COM-port number in the "
                   "dialog \"Settings->COM-port\"";
    case 7:
      return support + "The PBX stopped answering at " + StepText(Step) +
             " of the log-in. Please, check the cable and that no other program uses the line.";
    case 8:
      return support + "The PBX refused " + StepText(Step) + " of the log-in (\"Command error\").";
    case 9: return "Modem carrier is lost - disconnected!";
    case 10:
      return support + "The PBX's answer to " + StepText(Step) +
             " of the log-in was longer than the receive buffer.";
    case 11: return "Connecting aborted.";
    default: return Format("Connection failed (Error=%d)!", Code);
  }
}

std::string DialResultMessage(int DialResult) {
  switch (DialResult) {
    case 0: return std::string();
    case 1: return "No modem response!";
    case 2: return "No carrier was detected!";
    case 3: return "Timeouted.";
    case 4: return "Line is busy, please try later again.";
    case 5: return "No dial.";
    default: return Format("Connection failed (Error=%d)!", DialResult);
  }
}
