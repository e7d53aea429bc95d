// Telnet framing and the client's side of RFC 2217, kept to what a serial server needs: binary
// transmission, suppress-go-ahead, the server's echo and the COM-PORT-OPTION; every other
// option is refused.
#include "Telnet.h"

#include "Errors.h"
#include "Text.h"

namespace {

enum : uint8_t {
  kIAC = 255,
  kDONT = 254,
  kDO = 253,
  kWONT = 252,
  kWILL = 251,
  kSB = 250,
  kSE = 240,
};
enum : uint8_t { kOptBinary = 0, kOptSga = 3, kOptComPort = 44 };

bool WeDo(uint8_t Option) {
  return Option == kOptBinary || Option == kOptSga || Option == kOptComPort;
}
// No echo from the server: the PBX echoes every byte itself, and a second echo would be taken
// for the PBX's.
bool HeMay(uint8_t Option) {
  return Option == kOptBinary || Option == kOptSga;
}

std::string Cmd(uint8_t Verb, uint8_t Option) {
  return std::string{char(kIAC), char(Verb), char(Option)};
}

const char* ParityName(uint8_t V) {
  static const char* const kNames[] = {"none", "odd", "even", "mark", "space"};
  return V >= 1 && V <= 5 ? kNames[V - 1] : "unknown";
}

}  // namespace

std::string TTelnetStream::Opening() const {
  return Cmd(kWILL, kOptComPort) + Cmd(kWILL, kOptBinary) + Cmd(kDO, kOptBinary) +
         Cmd(kWILL, kOptSga) + Cmd(kDO, kOptSga);
}

// The opening's requests count as asked; Opening is const so that a caller can show it, the
// owner marks them here once it sends them.
void TTelnetStream::Feed(const char* Bytes, size_t Count, std::string& Data) {
  if (!fOpened) {
    fOpened = true;
    for (uint8_t o : {kOptComPort, kOptBinary, kOptSga}) fUs[o] |= kAsked;
    for (uint8_t o : {kOptBinary, kOptSga}) fHim[o] |= kAsked;
  }
  for (size_t i = 0; i < Count; ++i) {
    const uint8_t c = static_cast<uint8_t>(Bytes[i]);
    switch (fState) {
      case kData:
        if (c == kIAC) {
          fState = kIac;
        } else {
          // Without binary transmission the server pads a lone CR with NUL.
          if (!(c == 0 && fCrSeen && !(fHim[kOptBinary] & kOn))) Data += char(c);
          fCrSeen = c == '\r';
        }
        break;
      case kIac:
        if (c == kIAC) {
          Data += char(c);
          fCrSeen = false;
          fState = kData;
        } else if (c == kSB) {
          fSub.clear();
          fSubOverlong = false;
          fState = kSub;
        } else if (c >= kWILL) {
          fVerb = c;
          fState = kOption;
        } else {
          fState = kData;  // NOP, GA, DM, AYT...: nothing for a serial line
        }
        break;
      case kOption:
        Command(fVerb, c);
        fState = kData;
        break;
      case kSub:
        if (c == kIAC) {
          fState = kSubIac;
        } else if (fSub.size() < kMaxSubnegotiation) {
          fSub += char(c);
        } else {
          fSubOverlong = true;
        }
        break;
      case kSubIac:
        if (c == kIAC) {
          if (fSub.size() < kMaxSubnegotiation)
            fSub += char(c);
          else
            fSubOverlong = true;
          fState = kSub;
        } else if (c == kSE) {
          if (fSubOverlong)
            Note(Format("a Telnet subnegotiation longer than %zu bytes was dropped",
                        kMaxSubnegotiation));
          else
            SubNegotiation();
          fState = kData;
        } else {
          // A command inside a subnegotiation ends it unfinished; the command still counts.
          Note("an unterminated Telnet subnegotiation was dropped");
          fState = kIac;
          --i;
        }
        break;
    }
  }
}

// The server asks one side (DO: this one, WILL: its own) to turn Option on; Allowed says
// whether this side agrees. A request this side made itself is an answer and is not answered.
void TTelnetStream::TurnOn(uint8_t& State, bool Allowed, uint8_t Agree, uint8_t Refuse,
                           uint8_t Option) {
  if (!Allowed) {
    fAnswers += Cmd(Refuse, Option);
  } else if (!(State & kOn)) {
    if (!(State & kAsked)) fAnswers += Cmd(Agree, Option);
    State = kOn;
  }
  State &= ~kAsked;
}

void TTelnetStream::TurnOff(uint8_t& State, uint8_t Confirm, uint8_t Option) {
  if (State & kOn) fAnswers += Cmd(Confirm, Option);
  State = 0;
}

void TTelnetStream::Command(uint8_t Verb, uint8_t Option) {
  switch (Verb) {
    case kDO:
      TurnOn(fUs[Option], WeDo(Option), kWILL, kWONT, Option);
      if (Option == kOptComPort && (fUs[Option] & kOn)) fComPortAgreed = true;
      break;
    case kDONT:
      TurnOff(fUs[Option], kWONT, Option);
      if (Option == kOptComPort) {
        fComPortAgreed = false;
        fComPortRefused = true;
      }
      break;
    case kWILL:
      TurnOn(fHim[Option], HeMay(Option), kDO, kDONT, Option);
      break;
    case kWONT:
      TurnOff(fHim[Option], kDONT, Option);
      break;
  }
}

void TTelnetStream::SubNegotiation() {
  if (fSub.empty() || static_cast<uint8_t>(fSub[0]) != kOptComPort) return;  // not ours
  if (fSub.size() < 2) {
    Note("a COM-PORT-OPTION message without its code was dropped");
    return;
  }
  const uint8_t code = static_cast<uint8_t>(fSub[1]);
  const std::string v = fSub.substr(2);
  auto need = [&](size_t N) {
    if (v.size() >= N) return true;
    Note(Format("the server's COM-PORT-OPTION message %u was %zu bytes short and was dropped",
                code, N - v.size()));
    return false;
  };
  auto byte = [&](size_t I) { return static_cast<uint8_t>(v[I]); };
  switch (code) {
    case 100 + kCpSignature:
      Note("the server is " + EscapeUnprintable(v));
      break;
    case 100 + kCpSetBaudRate:
      if (need(4))
        Note(Format("the server set %u bit/s", (unsigned(byte(0)) << 24) |
                                                   (unsigned(byte(1)) << 16) |
                                                   (unsigned(byte(2)) << 8) | byte(3)));
      break;
    case 100 + kCpSetDataSize:
      if (need(1)) Note(Format("the server set %u data bits", byte(0)));
      break;
    case 100 + kCpSetParity:
      if (need(1)) Note(Format("the server set parity %s", ParityName(byte(0))));
      break;
    case 100 + kCpSetStopSize:
      if (need(1))
        Note(Format("the server set %s stop bits",
                    byte(0) == 1 ? "1" : byte(0) == 2 ? "2" : byte(0) == 3 ? "1.5" : "unknown"));
      break;
    case 100 + kCpSetControl:
      if (need(1)) Note(Format("the server set control %u", byte(0)));
      break;
    case 100 + kCpNotifyLineState:
      if (need(1)) fLineState |= byte(0);
      break;
    case 100 + kCpNotifyModemState:
      if (need(1)) {
        fModemState = byte(0);
        fModemStateKnown = true;
      }
      break;
    case 100 + kCpFlowSuspend:
      fSuspended = true;
      break;
    case 100 + kCpFlowResume:
      fSuspended = false;
      break;
    default:
      break;  // the masks' and purge's confirmations tell nothing new
  }
}

std::string TTelnetStream::TakeAnswers() {
  std::string a;
  a.swap(fAnswers);
  return a;
}

uint8_t TTelnetStream::TakeLineState() {
  const uint8_t s = fLineState;
  fLineState = 0;
  return s;
}

std::vector<std::string> TTelnetStream::TakeNotes() {
  std::vector<std::string> n;
  n.swap(fNotes);
  return n;
}

void TTelnetStream::Note(std::string Text) {
  // A server that floods the trace with notes must not grow memory without end.
  if (fNotes.size() < 256) fNotes.push_back(std::move(Text));
}

std::string TTelnetStream::Escape(const char* Bytes, size_t Count) const {
  const bool binary = fUs[kOptBinary] & kOn;
  std::string out;
  out.reserve(Count + 2);
  for (size_t i = 0; i < Count; ++i) {
    const char c = Bytes[i];
    out += c;
    if (static_cast<uint8_t>(c) == kIAC) out += c;
    if (c == '\r' && !binary && (i + 1 == Count || Bytes[i + 1] != '\n')) out += '\0';
  }
  return out;
}

std::string TTelnetStream::ComPort(TComPortCode Code, const std::string& Value) {
  std::string m{char(kIAC), char(kSB), char(kOptComPort), char(Code)};
  for (char c : Value) {
    m += c;
    if (static_cast<uint8_t>(c) == kIAC) m += c;
  }
  m += char(kIAC);
  m += char(kSE);
  return m;
}
