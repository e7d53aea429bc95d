// The Telnet side of a network serial server (RFC 854 framing, RFC 2217 COM-PORT-OPTION): the
// bytes of the line with Telnet's commands taken out, the answers to the server's option
// requests, and what the server tells of its serial port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// RFC 2217 codes as the client sends them; the server answers with the code + 100.
enum TComPortCode : uint8_t {
  kCpSignature = 0,
  kCpSetBaudRate = 1,
  kCpSetDataSize = 2,
  kCpSetParity = 3,
  kCpSetStopSize = 4,
  kCpSetControl = 5,
  kCpNotifyLineState = 6,
  kCpNotifyModemState = 7,
  kCpFlowSuspend = 8,
  kCpFlowResume = 9,
  kCpSetLineStateMask = 10,
  kCpSetModemStateMask = 11,
  kCpPurgeData = 12,
};

// Bits of the server's modem state (NOTIFY-MODEMSTATE).
enum : uint8_t {
  kMsCts = 0x10,
  kMsDsr = 0x20,
  kMsRing = 0x40,
  kMsCd = 0x80,
};
// Bits of the server's line state (NOTIFY-LINESTATE).
enum : uint8_t {
  kLsOverrun = 0x02,
  kLsParity = 0x04,
  kLsFraming = 0x08,
  kLsBreak = 0x10,
};

// One Telnet connection's state, fed with what the socket delivers. Not thread-safe: its
// owner keeps it under one lock.
class TTelnetStream {
 public:
  // A subnegotiation longer than this is no COM-PORT-OPTION message: it is dropped whole.
  static constexpr size_t kMaxSubnegotiation = 64;

  // The client's opening: the options it offers and asks for.
  std::string Opening() const;
  // Takes Count received bytes: the line's bytes are appended to Data, Telnet commands are
  // acted on (answers pile up in Answers()).
  void Feed(const char* Bytes, size_t Count, std::string& Data);
  // What must go back to the server, taken out.
  std::string TakeAnswers();
  // Bytes of the line as Telnet carries them: IAC doubled, and a lone CR followed by NUL while
  // the server has not agreed to binary transmission.
  std::string Escape(const char* Bytes, size_t Count) const;
  // A COM-PORT-OPTION message with Value (IACs in it doubled).
  static std::string ComPort(TComPortCode Code, const std::string& Value);

  bool ComPortAgreed() const { return fComPortAgreed; }
  // The server refused the COM-PORT-OPTION (DONT): it is no RFC 2217 server.
  bool ComPortRefused() const { return fComPortRefused; }
  // The last modem and line state the server reported, and whether it has reported one.
  uint8_t ModemState() const { return fModemState; }
  bool ModemStateKnown() const { return fModemStateKnown; }
  uint8_t TakeLineState();
  // The server asked the client to stop sending (FLOWCONTROL-SUSPEND) and has not resumed.
  bool Suspended() const { return fSuspended; }
  // What the server reported beyond data (its confirmed line settings, dropped input), for
  // the line trace; taken out.
  std::vector<std::string> TakeNotes();

 private:
  enum TState { kData, kIac, kOption, kSub, kSubIac };
  void Command(uint8_t Verb, uint8_t Option);
  void TurnOn(uint8_t& State, bool Allowed, uint8_t Agree, uint8_t Refuse, uint8_t Option);
  void TurnOff(uint8_t& State, uint8_t Confirm, uint8_t Option);
  void SubNegotiation();
  void Note(std::string Text);

  TState fState = kData;
  bool fOpened = false;  // the opening's requests are marked as asked
  uint8_t fVerb = 0;
  bool fCrSeen = false;  // the last data byte was CR (a NUL after it is padding)
  bool fSubOverlong = false;
  std::string fSub;
  std::string fAnswers;
  std::vector<std::string> fNotes;
  // Per option, for this side ("us") and the server ("him"): on, and asked by this side and
  // not answered yet, so that an answer is never answered again (RFC 1143).
  enum : uint8_t { kOn = 1, kAsked = 2 };
  uint8_t fUs[256] = {};
  uint8_t fHim[256] = {};
  bool fComPortAgreed = false, fComPortRefused = false;
  uint8_t fModemState = 0;
  bool fModemStateKnown = false;
  uint8_t fLineState = 0;
  bool fSuspended = false;
};
