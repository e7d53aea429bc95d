// Program blocks and block lists: item access, change tracking, PBX exchange, stream records.
#include "CmdData.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "DateTime.h"
#include "Errors.h"
#include "Feedback.h"
#include "PbxPrograms.h"
#include "Session.h"
#include "Stream.h"

namespace {

constexpr const char* kEditPrompt = ";E>";
// SetItemCount never grows a block past what one PBX line can carry.
constexpr int kMaxItemCount = static_cast<int>(kMaxBlockText);

bool HasLineBreak(const std::string& Text) {
  return Text.find_first_of("\r\n") != std::string::npos;
}

// A line as the PBX stores it, for comparing what was sent with what it answered.
std::string StoredForm(const std::string& Line) {
  const size_t first = Line.find('/');
  const size_t last = Line.rfind('/');
  if (first == std::string::npos || last == first) return Line;
  if (Line.find_first_not_of(' ', last + 1) != std::string::npos) return Line;
  std::string out = LowerAscii(Line.substr(0, first)) + "/";
  const std::string items = Line.substr(first + 1, last - first - 1);
  const int n = std::max(1, WordCount(items, ","));
  for (int i = 1; i <= n; ++i) {
    std::string item = TrimBlanks(ExtractWord(items, ",", i));
    if (item == "^") item.clear();
    out += (i > 1 ? "," : "") + item;
  }
  return out + "/";
}

// A data line as the PBX sends it for the program Code (the head, or the start of every head
// of a whole-program query): printable characters only, Code and the rest of the head, then
// the items between two "/"; for a program the program table knows, a head the program has and
// items of the characters it uses. A byte of line noise, a line break inside the line, or a
// stale line of an earlier command that arrives late fails this, so it never becomes block
// text; a list line is judged as strictly as a single block's.
bool SoundDataLine(const std::string& Line, const std::string& Code, bool WholeHead) {
  // The whole line is judged; the block takes at most kMaxBlockText characters of it.
  const size_t marker = Line.find(";=>");
  const std::string Text = marker == std::string::npos ? std::string() : Line.substr(marker + 3);
  for (char c : Text)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e) return false;
  const size_t first = Text.find('/');
  if (first == std::string::npos || first < Code.size() || (WholeHead && first != Code.size()))
    return false;
  if (LowerAscii(Text.substr(0, Code.size())) != LowerAscii(Code)) return false;
  for (size_t i = Code.size(); i < first; ++i)
    if (!std::isalnum(static_cast<unsigned char>(Text[i]))) return false;
  const size_t last = Text.find_last_not_of(' ');
  if (Text.find('/', first + 1) != last) return false;
  return TPbxCatalogue::Get().PlausibleLine(Code, Text.substr(0, first),
                                            Text.substr(first + 1, last - first - 1));
}

// The head a reply must carry: the block's own head, or the query's without its "//".
std::string HeadOf(const std::string& Text) {
  const size_t slash = Text.find('/');
  return slash == std::string::npos ? Text : Text.substr(0, slash);
}

}  // namespace

std::string DataLineText(const std::string& Line) {
  // Data lines begin with ";=>"; taking the text after the marker rather than after the first
  // three characters keeps a stray byte in front of the marker out of the block.
  size_t p = Line.find(";=>");
  size_t from = p == std::string::npos ? 3 : p + 3;
  if (from >= Line.size()) return std::string();
  return Line.substr(from, kMaxBlockText);
}

bool AnswerConfirms(const std::string& Sent, const std::string& Answer) {
  return StoredForm(Sent) == StoredForm(Answer);
}

// ---- TCmdData: text and flags ------------------------------------------------------------

namespace {
TBlockWriteObserver gWriteObserver;
TBlockWriteGate gWriteGate;

void TellWrite(const std::string& Sent, const std::string& Answer, TWriteOutcome Outcome) {
  if (gWriteObserver) gWriteObserver(TBlockWrite{Sent, Answer, Outcome});
}
}  // namespace

void SetBlockWriteObserver(TBlockWriteObserver Observer) { gWriteObserver = std::move(Observer); }
void SetBlockWriteGate(TBlockWriteGate Gate) { gWriteGate = std::move(Gate); }

std::unique_ptr<TCmdData> TCmdData::CreateCopy(const TCmdData& Src) {
  auto b = std::make_unique<TCmdData>();
  b->Assign(Src);
  return b;
}

void TCmdData::SetData(const std::string& Text) {
  if (Text == fData) return;
  fData = Text;
  Changed = true;
}

void TCmdData::Assign(const TCmdData& Src) {
  fData = Src.fData;
  Changed = Src.Changed;
  Undefined = Src.Undefined;
  ReadTime = Src.ReadTime;
}

bool TCmdData::AnyUndefined() const {
  for (bool u : Undefined)
    if (u) return true;
  return false;
}

void TCmdData::AssignIfDefined(const TCmdData& Src) {
  if (!Src.AnyUndefined()) Assign(Src);
}

void TCmdData::Clear() {
  fData.clear();
  PbxText.clear();
  PbxTextTime = 0.0;
  Changed = false;
  ReadTime = 0.0;
  Undefined.fill(false);
}

bool TCmdData::IsActual() const { return !fData.empty() && ReadTime > PbxComm().ConnectTime(); }

bool TCmdData::PbxTextActual() const {
  return !PbxText.empty() && PbxTextTime > PbxComm().ConnectTime();
}

void TCmdData::Stamp() { ReadTime = SteadyNow(); }

std::string TCmdData::QueryText() const { return ExtractWord(fData, "/", 1) + "//"; }

// ---- TCmdData: items ---------------------------------------------------------------------

void TCmdData::CheckItemNo(int ItemNo) const {
  if (ItemNo < 1 || ItemNo > 10)
    throw Exception(Format("TCmdData - bad ItemNo! ItemNo=%d fData=%s", ItemNo, fData.c_str()));
}

void TCmdData::CheckBitNo(int BitNo) const {
  if (BitNo < 1 || BitNo > 24)
    throw Exception(Format("TCmdData - bad ItemNo! ItemNo=%d fData=%s", BitNo, fData.c_str()));
}

std::string TCmdData::ItemStr(int ItemNo) const {
  CheckItemNo(ItemNo);
  if (Undefined[ItemNo - 1]) return "???";
  return ExtractWord(ExtractWord(fData, "/", 2), ",", ItemNo);
}

void TCmdData::SetItemStr(int ItemNo, const std::string& Text) {
  CheckItemNo(ItemNo);
  // Such a text would split the item or the line: "A,B" becomes two items and shifts the rest,
  // "x/y" ends the items, a line break makes the PBX take the rest as another command.
  if (Text.find_first_of(kItemBreakers) != std::string::npos)
    throw Exception(Format("Item %d of %s cannot take the text \"%s\": \",\" and \"/\" separate "
                           "the PBX's items and a line break ends its line.",
                           ItemNo, HeadOf(fData).c_str(), EscapeUnprintable(Text).c_str()));
  // A control character would reach the PBX as a key: a backspace rubs out the line before it.
  if (FirstUnprintable(Text) != std::string::npos)
    throw Exception(Format("Item %d of %s cannot take the text \"%s\": the PBX takes printable "
                           "characters only.",
                           ItemNo, HeadOf(fData).c_str(), EscapeUnprintable(Text).c_str()));
  if (AllowUndefined) {
    if (!Text.empty() && Text[0] == '?') {
      Undefined[ItemNo - 1] = true;
      return;
    }
    Undefined[ItemNo - 1] = false;
  }
  const size_t slash = fData.find('/');
  if (slash == std::string::npos || slash + 1 >= fData.size()) return;
  size_t start = slash + 1;
  for (int k = 1; k < ItemNo; ++k) {
    size_t comma = fData.find(',', start);
    if (comma == std::string::npos) return;  // fewer items: writing never adds one
    start = comma + 1;
  }
  if (start > fData.size()) return;
  size_t end = fData.find_first_of(",/", start);
  if (end == std::string::npos) end = fData.size();
  std::string text = fData;
  text.replace(start, end - start, Text);
  SetData(text);
}

int TCmdData::ItemInt(int ItemNo) const {
  CheckItemNo(ItemNo);
  if (Undefined[ItemNo - 1]) return -1;
  return LeadingInt(ItemStr(ItemNo));
}

void TCmdData::WriteNumber(int ItemNo, int Value, bool TwoDigits) {
  CheckItemNo(ItemNo);
  if (AllowUndefined) {
    if (Value < 0) {
      Undefined[ItemNo - 1] = true;
      return;
    }
    Undefined[ItemNo - 1] = false;
  }
  char buf[24];
  if (TwoDigits)
    std::snprintf(buf, sizeof buf, "%.2d", Value);
  else
    std::snprintf(buf, sizeof buf, "%d", Value);
  SetItemStr(ItemNo, buf);
}

void TCmdData::SetItemInt(int ItemNo, int Value) { WriteNumber(ItemNo, Value, false); }

void TCmdData::SetItem2d(int ItemNo, int Value) { WriteNumber(ItemNo, Value, true); }

int TCmdData::ItemIndex(int ItemNo) const {
  int v = ItemInt(ItemNo);
  return v >= 1 ? v - 1 : v;
}

void TCmdData::SetItemIndex(int ItemNo, int Value) {
  CheckItemNo(ItemNo);
  if (AllowUndefined) Undefined[ItemNo - 1] = Value < 0;
  if (Value >= 0) SetItemInt(ItemNo, Value + 1);
}

int TCmdData::CheckState() const {
  switch (ItemInt(1)) {
    case -1: return 2;
    case 1: return 1;
    default: return 0;
  }
}

void TCmdData::SetCheckState(int State) { SetItemInt(1, State == 0 ? 0 : State == 1 ? 1 : -1); }

namespace {

// Item and character position (1-based) of a bit; character 5 of an item is the separator.
void BitPosition(int BitNo, int& ItemNo, size_t& Pos) {
  ItemNo = (BitNo - 1) / 8 + 1;
  Pos = static_cast<size_t>((BitNo - 1) % 8 + 1);
  if (Pos > 4) ++Pos;
}

}  // namespace

int TCmdData::Bit(int BitNo) const {
  CheckBitNo(BitNo);
  int item;
  size_t pos;
  BitPosition(BitNo, item, pos);
  const std::string s = ItemStr(item);
  if (pos > s.size()) return 0;
  return LeadingInt(s.substr(pos - 1, 1));
}

void TCmdData::SetBit(int BitNo, int Value) {
  CheckBitNo(BitNo);
  int item;
  size_t pos;
  BitPosition(BitNo, item, pos);
  std::string s = ItemStr(item);
  if (s.size() < 9) return;
  // A negative value leaves the bit out of a multi-selection update: nothing to write.
  if (Value < 0 || Value > 9) return;
  s[pos - 1] = static_cast<char>('0' + Value);
  SetItemStr(item, s);
}

void TCmdData::MarkDifferent(const TCmdData& Other, int ItemNo) {
  CheckItemNo(ItemNo);
  if (!Undefined[ItemNo - 1] && ItemStr(ItemNo) != Other.ItemStr(ItemNo))
    Undefined[ItemNo - 1] = true;
}

void TCmdData::SetItemCount(int N) {
  if (N < 1) N = 1;
  if (N > kMaxItemCount) N = kMaxItemCount;
  const std::string items = ExtractWord(fData, "/", 2);
  const int count = WordCount(items, ",");
  if (items.empty() || N == count) return;
  if (N < count) {
    std::string text = ExtractWord(fData, "/", 1) + "/";
    for (int i = 1; i <= N; ++i) {
      if (i > 1) text += ',';
      text += ExtractWord(items, ",", i);
    }
    fData = text + "/";
  } else {
    if (!fData.empty() && fData.back() == '/') fData.pop_back();
    fData.append(static_cast<size_t>(N - count), ',');
    fData += '/';
  }
  Changed = true;
}

// ---- TCmdData: PBX exchange --------------------------------------------------------------

bool TCmdData::TakeReply(const TStringList& Lines, const std::string& Head,
                         const char* NoDataMessage) {
  int first, last;
  if (!TPbxSession::ExtractDataLines(Lines, first, last)) throw Exception(NoDataMessage);
  const std::string text = DataLineText(Lines[static_cast<size_t>(first)]);
  if (!SoundDataLine(Lines[static_cast<size_t>(first)], Head, true))
    throw Exception("The PBX's answer for " + Head + " is damaged and was not taken: " + text);
  SetData(text);
  return true;
}

bool TCmdData::ReadPBX(const std::string& Query) {
  if (fData.empty() && Query.empty()) throw Exception("Call ReadPBX for an empty cmd!");
  const std::string cmd = fData.empty() ? Query : QueryText();
  TStringList lines;
  const bool ok = PbxComm().SendCommand(cmd, lines, kEditPrompt);
  if (ok) {
    TakeReply(lines, HeadOf(cmd), "Cant't extract data (1)!");
    Stamp();
    Changed = false;
    PbxText = fData;
    PbxTextTime = ReadTime;
  }
  return ok;
}

bool TCmdData::WritePBX() {
  if (fData.empty()) return true;
  bool ok = false;
  const std::string sent = fData;
  if (const std::string why = UnsendableReason(sent); !why.empty()) {
    // It would make the PBX do something else than store it: run the rest as another command,
    // or answer a query and keep what it holds.
    ShowError("Error in cmd: \r" + EscapeUnprintable(sent) + "\rThis line was not sent: " + why +
              ".");
    TellWrite(sent, std::string(), TWriteOutcome::NotSent);
  } else if (gWriteGate && !gWriteGate(*this)) {
    TellWrite(sent, std::string(), TWriteOutcome::NotSent);
  } else {
    TStringList lines;
    std::string answer;
    try {
      if (PbxComm().SendCommand(sent, lines, kEditPrompt)) {
        TCmdData reply;
        reply.TakeReply(lines, HeadOf(sent), "Cant't extract data (2)!");
        answer = reply.fData;
      }
    } catch (const EAbortOperation&) {
      // The abort comes before the command goes out.
      TellWrite(sent, std::string(), TWriteOutcome::NotSent);
      throw;
    } catch (...) {
      // Sent, perhaps taken, but not confirmed: the observer must not count it as written.
      TellWrite(sent, std::string(), TWriteOutcome::NoAnswer);
      throw;
    }
    if (answer.empty()) {
      TellWrite(sent, std::string(),
                PbxComm().LastCommandSent() ? TWriteOutcome::NoAnswer : TWriteOutcome::NotSent);
    } else if (AnswerConfirms(sent, answer)) {
      // The PBX's own form of the line becomes the block's text.
      SetData(answer);
      Changed = false;
      PbxText = answer;
      PbxTextTime = SteadyNow();
      ok = true;
      TellWrite(sent, answer, TWriteOutcome::Confirmed);
    } else {
      // Noise on the way may have changed what the PBX stored: it holds the answer, not the
      // line, which stays to be sent again.
      PbxText = answer;
      PbxTextTime = SteadyNow();
      ShowError("Error in cmd: \r" + sent + "\rThe PBX answered " + answer +
                ": it did not store the line as it was sent. The line stays to be uploaded "
                "again.");
      TellWrite(sent, answer, TWriteOutcome::Differs);
    }
  }
  if (!ok) ReadTime = 0.0;
  return ok;
}

// ---- TCmdData: stream record -------------------------------------------------------------

bool TCmdData::LoadFromStream(TStream& Stream) {
  int32_t len;
  if (!Stream.ReadInt32(len) || len < 0) return false;
  std::string text;
  if (!Stream.ReadBytes(text, static_cast<size_t>(len))) return false;
  if (HasLineBreak(text)) return false;
  TakeLoaded(std::move(text));
  return true;
}

void TCmdData::TakeLoaded(std::string Text) {
  fData = std::move(Text);
  Changed = true;
  ReadTime = kLoadedFromFile;
  Undefined.fill(false);
}

bool TCmdData::SaveToStream(TStream& Stream) const {
  return Stream.WriteInt32(static_cast<int32_t>(fData.size())) &&
         Stream.WriteExact(fData.data(), fData.size());
}

// ---- TCmdList ----------------------------------------------------------------------------

TCmdData& TCmdList::Add(std::unique_ptr<TCmdData> Block) {
  fItems.push_back(std::move(Block));
  return *fItems.back();
}

TCmdData& TCmdList::Add() { return Add(std::make_unique<TCmdData>()); }

void TCmdList::Clear() { fItems.clear(); }

void TCmdList::Assign(const TCmdList& Other) {
  if (&Other == this) return;
  // Line i stays the PBX's line i of this list (lists hold their lines in key order): it keeps
  // what the PBX is known to hold there, whatever text it takes.
  std::vector<std::unique_ptr<TCmdData>> items;
  for (size_t i = 0; i < Other.fItems.size(); ++i) {
    items.push_back(TCmdData::CreateCopy(*Other.fItems[i]));
    if (i < fItems.size()) {
      items.back()->PbxText = fItems[i]->PbxText;
      items.back()->PbxTextTime = fItems[i]->PbxTextTime;
    }
  }
  fItems = std::move(items);
}

void TCmdList::AssignDefined(const TCmdList& Other) {
  const size_t n = std::min(fItems.size(), Other.fItems.size());
  for (size_t i = 0; i < n; ++i) fItems[i]->AssignIfDefined(*Other.fItems[i]);
}

bool TCmdList::IsActual(int MinCount) const {
  if (Count() < MinCount) return false;
  for (const auto& b : fItems)
    if (!b->IsActual()) return false;
  return true;
}

int TCmdList::ChangedCount() const {
  int n = 0;
  for (const auto& b : fItems)
    if (b->Changed) ++n;
  return n;
}

int TCmdList::PendingCount() const {
  int n = 0;
  for (const auto& b : fItems)
    if (b->Pending()) ++n;
  return n;
}

void TCmdList::FillEmptyItems(int ItemNo) {
  for (auto& b : fItems) {
    if (!TrimBlanks(b->ItemStr(ItemNo)).empty()) continue;
    const bool changed = b->Changed;
    b->SetItemStr(ItemNo, "^");
    b->Changed = changed;
  }
}

void TCmdList::ParseReply(const TStringList& Lines) {
  Clear();
  int first, last;
  if (!TPbxSession::ExtractDataLines(Lines, first, last)) return;
  const double t = SteadyNow();
  for (int i = first; i <= last; ++i) {
    TCmdData& b = Add();
    b.fData = DataLineText(Lines[static_cast<size_t>(i)]);
    b.ReadTime = t;
    b.PbxText = b.fData;
    b.PbxTextTime = t;
  }
}

void TCmdList::MarkNotActual() {
  for (auto& b : fItems) b->ReadTime = 0.0;
}

bool TCmdList::ReadPBX(const std::string& Query) {
  // A failed read keeps what the list held, as a block keeps its text, instead of losing it to
  // a fault on the line; but none of it is actual any more, whenever it was read: the PBX may
  // hold something else now (a plan line taken just before resets program 009).
  TStringList lines;
  const bool ok = PbxComm().SendCommand(Query, lines, kEditPrompt);
  if (!ok) {
    MarkNotActual();
    return false;
  }
  // Every line must belong to the program asked for; one damaged line fails the whole list
  // rather than leaving it with a line missing or wrong.
  const std::string code = Query.substr(0, Query.find_first_of("*/"));
  int first, last;
  if (TPbxSession::ExtractDataLines(lines, first, last))
    for (int i = first; i <= last; ++i) {
      const std::string& line = lines[static_cast<size_t>(i)];
      if (!SoundDataLine(line, code, false)) {
        MarkNotActual();
        throw Exception("The PBX's answer for " + Query + " is damaged and was not taken: " +
                        DataLineText(line));
      }
    }
  ParseReply(lines);  // clears the list first
  return true;
}

bool TCmdList::WriteAll() {
  bool ok = true;
  for (auto& b : fItems)
    if (!b->WritePBX()) ok = false;
  return ok;
}

bool TCmdList::WriteChanged() {
  bool ok = true;
  for (auto& b : fItems)
    if (b->Changed && !b->WritePBX()) ok = false;
  return ok;
}

bool TCmdList::LoadFromStream(TStream& Stream) {
  int32_t n;
  if (!Stream.ReadInt32(n) || n < 0) return false;
  // Every block record takes at least its four length bytes: a count the stream cannot hold is
  // garbage, and must not become an allocation.
  const int64_t remaining = Stream.Remaining();
  if (remaining >= 0 && static_cast<int64_t>(n) * 4 > remaining) return false;
  Clear();
  bool ok = true;
  for (int32_t i = 0; i < n; ++i) {
    TCmdData& b = Add();
    if (ok && !b.LoadFromStream(Stream)) ok = false;
    if (!ok && remaining < 0) break;  // unknown size: stop growing on garbage
  }
  return ok;
}

bool TCmdList::SaveToStream(TStream& Stream) const {
  if (!Stream.WriteInt32(static_cast<int32_t>(fItems.size()))) return false;
  for (const auto& b : fItems)
    if (!b->SaveToStream(Stream)) return false;
  return true;
}
