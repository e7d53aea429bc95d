// Reply parsing on untrusted PBX replies: the data lines of a reply, a list's reply, a block's
// read and write reply, and the version text with the firmware family. The input is a reply as
// it came over the line; it is split into lines the way the session does.
#include <exception>

#include "CmdData.h"
#include "CommKXTA.h"
#include "FuzzSupport.h"
#include "Session.h"
#include "Text.h"
#include "Version.h"

namespace {

// A session that answers every command with the fuzzed reply.
class TReplySession final : public TPbxSession {
 public:
  TStringList Reply;
  bool SendCommand(const std::string&, TStringList& Lines, const std::string&) override {
    Lines = Reply;
    return true;
  }
  double ConnectTime() const override { return 1.0; }
};

bool HasMarker(const std::string& Line) { return Line.find(";=>") != std::string::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static TReplySession session;
  static const bool once = (InstallQuietFeedback(), SetPbxComm(&session), true);
  (void)once;
  const std::string reply = AsText(Data, Size);
  session.Reply = SplitLines(reply);
  const TStringList& lines = session.Reply;
  const int n = static_cast<int>(lines.size());

  int first = -2, last = -2;
  const bool found = TPbxSession::ExtractDataLines(lines, first, last);
  if (found) {
    FUZZ_CHECK(first >= 0 && first <= last && last < n, reply);
    FUZZ_CHECK(HasMarker(lines[size_t(first)]) && HasMarker(lines[size_t(last)]), reply);
    for (int i = 0; i < first; ++i) FUZZ_CHECK(!HasMarker(lines[size_t(i)]), reply);
    for (int i = last + 1; i < n; ++i) FUZZ_CHECK(!HasMarker(lines[size_t(i)]), reply);
  } else {
    FUZZ_CHECK(first == -1 && last == -1, reply);
    for (const auto& l : lines) FUZZ_CHECK(!HasMarker(l), reply);
  }

  // A list takes every line from the first to the last data line, each cut to 255 characters,
  // or refuses a reply with a damaged line whole and keeps what it held.
  TCmdList list;
  list.Add().SetData("001S01/old/");
  try {
    FUZZ_CHECK(list.ReadPBX("001S*//"), reply);
    FUZZ_CHECK(list.Count() == (found ? last - first + 1 : 0), reply);
    for (int i = 0; i < list.Count(); ++i) {
      const std::string& text = list.Items(i).Data();
      FUZZ_CHECK(text.size() <= kMaxBlockText, reply);
      FUZZ_CHECK(text.find_first_of("\r\n") == std::string::npos, reply);
      FUZZ_CHECK(!list.Items(i).Changed, reply);
    }
  } catch (const std::exception&) {
    FUZZ_CHECK(found, "a list refused a reply without data lines: " + reply);
    FUZZ_CHECK(list.Count() == 1 && list.Items(0).Data() == "001S01/old/", reply);
  }

  // A block read takes the first data line or throws, and leaves the block unchanged then.
  for (const char* start : {"", "103S/1,2/"}) {
    TCmdData block;
    block.SetData(start);
    try {
      FUZZ_CHECK(block.ReadPBX("103S//"), reply);
      FUZZ_CHECK(found, "a block took a reply without data line: " + reply);
      FUZZ_CHECK(block.Data() == DataLineText(lines[size_t(first)]), reply);
      FUZZ_CHECK(!block.Changed && block.IsActual() == !block.Data().empty(), reply);
    } catch (const std::exception&) {
      // No data line, or a damaged one: the block keeps its text.
      FUZZ_CHECK(block.Data() == start, reply);
    }
  }
  {
    TCmdData block;
    block.SetData("103S/1,2/");
    try {
      FUZZ_CHECK(block.WritePBX(), reply);
      FUZZ_CHECK(found && !block.Changed, reply);
      FUZZ_CHECK(block.Data() == DataLineText(lines[size_t(first)]), reply);
    } catch (const std::exception&) {
      FUZZ_CHECK(block.Changed && block.Data() == "103S/1,2/", reply);
    }
  }

  // The version text is at most 16 characters of one line.
  const std::string version = TKXTAcomm::VersionText(reply);
  FUZZ_CHECK(version.size() <= 16, reply);
  FUZZ_CHECK(version.find_first_of("\r\n") == std::string::npos, reply);
  FUZZ_CHECK(HasMarker(reply) || version.empty(), reply);
  TVersion v;
  v.SetModel(version);
  FUZZ_CHECK(v.ExtendedSpeedDial == 1 && v.Skip123S == 1, reply);
  FUZZ_CHECK(TVersion::FamilyOf(reply) <= TVersion::famY581, reply);
  return 0;
}
