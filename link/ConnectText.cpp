#include "ConnectText.h"

#include "Errors.h"

std::string ConnectResultMessage(int Code) {
  switch (Code) {
    case 0: return std::string();
    case 1: return "Failed do initialize COM-port!\rMay be already used by another program?";
    case 2: return "No PBX reaction!\rPlease, check hardware.";
    case 5:
      return "Bad access password!\rPlease, set correct one in the dialog \"Settings->System\"";
    case 6:
      return "No DSR signal!\rPlease, check hardware or set correct COM-port number in the "
             "dialog \"Settings->COM-port\"";
    case 9: return "Modem carrier is lost - disconnected!";
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
