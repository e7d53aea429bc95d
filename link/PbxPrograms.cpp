// The program table of the KX-TA624. Every program is one row: its code, its keys, its item
// layout and its factory items; the rows are expanded into the catalogue once.
#include "PbxPrograms.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <stdexcept>

#include "Errors.h"  // Format
#include "Text.h"

namespace {

// The longest line the PBX takes (and a block holds).
constexpr size_t kMaxLineText = 255;

// Key forms: "" a single block; "w:lo-hi" keys of w digits from lo to hi; "L:a,b,c" listed keys.
// Item forms (";" between items): Nlo-hi number, Ww:lo-hi fixed-width number, T<max><set> text,
// B<max> bit field, S<len><max> flag string, H time, Alo-hi "*" or number, X anything.
// Text sets: D digits, S digits * #, X digits * # x, P digits * # P [ ], Q speed-dial digits,
// N names. Defaults: %k is the key as a number, %K the key as written; overrides "keys=items|..".
struct TRow {
  const char* Code;
  char Outer;  // 0, or 'J' for a code repeated per jack ("P%sBC"), 'D' per DSS console
  const char* Keys;
  int MinItems;
  const char* Items;
  const char* Default;
  const char* Overrides;
  TItemCheck Check;
};

constexpr TItemCheck kNone = TItemCheck::None;
#define ONE(code, items, def) {code, 0, "", 1, items, def, "", kNone}
#define JACK(code, items, def) {code, 0, "2:1-24", 1, items, def, "", kNone}
#define CO(code, items, def) {code, 0, "1:1-6", 1, items, def, "", kNone}
#define CO3(code, items, def) {code, 0, "1:1-6", 3, items, def, "", kNone}

const TRow kRows[] = {
    {"001S", 0, "2:0-99", 1, "T32Q", "^", "", kNone},
    ONE("002S", "W4:0-9999", "7392"),
    {"003D", 0, "1:1-2", 1, "W2:0-24", "00", "", kNone},
    {"004D", 0, "1:1-2", 1, "W2:0-24", "00", "", kNone},
    ONE("005S", "N0-1", "0"),
    ONE("006S", "N0-1", "0"),
    {"007S", 0, "1:1-7", 4, "H;H;H;H", "09000,05001,^,^", "", kNone},
    ONE("008S", "W2:1-24", "01"),
    {"009S", 0, "2:1-24", 1, "X", "", "", TItemCheck::Numbering},
    ONE("010S", "N0-1", "0"),
    {"011S", 0, "2:0-99", 1, "T16N", "^", "", kNone},
    {"012S", 0, "2:50-59", 1, "T4S", "^", "", kNone},
    ONE("100S", "B1", "0000 0000"),
    ONE("101S", "B1", "0000 0000"),
    {"102E", 0, "L:07,08,15,16", 1, "N0-1", "0", "", kNone},
    ONE("103S", "N0-1", "0"),
    ONE("104S", "N0-2", "0"),
    ONE("105S", "N0-1", "1"),
    ONE("106S", "N0-1", "0"),
    ONE("107S", "S61", "111111"),
    ONE("108S", "N0-1", "0"),
    ONE("109S", "N0-1", "1"),
    ONE("110S", "N0-1", "0"),
    ONE("111S", "N0-2", "0"),
    ONE("112S", "N0-1", "0"),
    ONE("113S", "N0-3", "1"),
    ONE("114S", "N0-1", "0"),
    ONE("115S", "N0-2", "0"),
    ONE("116S", "N0-3", "0"),
    ONE("117S", "N0-1", "1"),
    ONE("118S", "N0-1", "0"),
    ONE("119S", "N0-1", "0"),
    ONE("120S", "N0-1", "1"),
    ONE("121S", "N0-1", "1"),
    ONE("122S", "N0-1", "1"),
    ONE("123S", "N0-1", "0"),
    ONE("124S", "N0-1", "0"),
    ONE("125S", "N0-1", "0"),
    ONE("126S", "N0-1", "0"),
    ONE("127S", "B1", "0000 0000"),
    ONE("200S", "N0-8", "1"),
    ONE("201S", "N0-3", "1"),
    ONE("202S", "N0-3", "2"),
    ONE("203S", "N0-3", "2"),
    ONE("204S", "W2:0-10", "02"),
    ONE("205S", "W2:1-32", "10"),
    ONE("206S", "N0-6", "0"),
    ONE("207S", "N0-4", "3"),
    ONE("208S", "N0-3", "1"),
    ONE("210S", "N0-1", "0"),
    ONE("211S", "N0-1", "0"),
    ONE("212S", "W2:1-32", "10"),
    ONE("213S", "N0-2", "0"),
    {"300S", 0, "2:1-20", 1, "T10X", "^", "", kNone},
    ONE("301S", "N0-4", "0"),
    {"302S", 0, "2:1-20", 1, "T11X", "^", "", kNone},
    {"303S", 0, "2:1-20", 1, "T11X", "^", "", kNone},
    {"304S", 0, "2:1-20", 1, "T11X", "^", "", kNone},
    {"305S", 0, "2:1-20", 1, "T11X", "^", "", kNone},
    {"306S", 0, "2:1-80", 1, "T11X", "^", "", kNone},
    {"309S", 0, "1:1-5", 1, "T11D", "^", "1=911", kNone},
    {"310S", 0, "2:1-24", 1, "T4D", "^", "", kNone},
    {"311S", 0, "2:1-40", 1, "T7S", "^", "", kNone},
    ONE("312S", "N0-4", "0"),
    {"350C", 0, "1:1-6", 1, "N0-1", "0", "", kNone},
    {"351S", 0, "2:1-80", 1, "T7X", "^", "", kNone},
    {"352S", 0, "2:1-80", 1, "T7X", "^", "", kNone},
    {"353S", 0, "2:1-80", 1, "T7X", "^", "", kNone},
    {"354S", 0, "2:1-80", 1, "T7X", "^", "", kNone},
    {"355S", 0, "2:1-80", 1, "T7X", "^", "", kNone},
    {"356S", 0, "2:1-80", 1, "T7X", "^", "", kNone},
    {"357S", 0, "2:1-80", 1, "T7X", "^", "", kNone},
    {"358S", 0, "2:1-80", 1, "T7X", "^", "", kNone},
    ONE("359S", "T4X", "^"),
    {"360S", 0, "1:1-4", 1, "N0-9", "0", "", kNone},
    {"361S", 0, "1:1-4", 1, "T20X", "^", "", kNone},
    ONE("362S", "N0-3", "1"),
    ONE("363S", "W2:1-20", "05"),
    {"364S", 0, "1:1-4", 1, "A1-6", "*", "", kNone},
    JACK("389E", "X", "0"),
    CO("400C", "N0-1", "1"),
    CO("401C", "N0-2", "0"),
    CO("402C", "N0-1", "0"),
    {"403C", 0, "1:1-6", 1, "T2D;T2D;T2D;T2D;T2D;T2D;T2D;T2D", "^", "", kNone},
    CO("404C", "N1-6", "1"),
    CO3("405C", "B1;B1;B1", "1111 1111,1111 1111,1111 1111"),
    CO3("406C", "B1;B1;B1", "1111 1111,1111 1111,1111 1111"),
    CO3("407C", "B1;B1;B1", "1111 1111,1111 1111,1111 1111"),
    CO3("408C", "B1;B1;B1", "1111 1111,1111 1111,1111 1111"),
    CO3("409C", "B1;B1;B1", "1111 1111,1111 1111,1111 1111"),
    CO3("410C", "B1;B1;B1", "1111 1111,1111 1111,1111 1111"),
    CO3("411C", "B3;B3;B3", "0000 0000,0000 0000,0000 0000"),
    CO3("412C", "B3;B3;B3", "0000 0000,0000 0000,0000 0000"),
    CO3("413C", "B3;B3;B3", "0000 0000,0000 0000,0000 0000"),
    {"414C", 0, "1:1-6", 1, "N0-4;W2:1-24", "0", "", TItemCheck::LineMode},
    {"415C", 0, "1:1-6", 1, "N0-4;W2:1-24", "0", "", TItemCheck::LineMode},
    {"416C", 0, "1:1-6", 1, "N0-4;W2:1-24", "0", "", TItemCheck::LineMode},
    CO("417C", "N0-3", "0"),
    CO("418C", "N0-6", "4"),
    CO("419C", "N0-1", "1"),
    CO("420C", "W2:0-75", "00"),
    CO("421C", "N0-1", "0"),
    CO("422C", "N0-2", "1"),
    CO("423C", "N0-2", "0"),
    CO("424C", "N0-1", "0"),
    ONE("500S", "N0-1", "0"),
    {"501S", 0, "1:0-9", 1, "N0-2;W2:1-24", "0", "", TItemCheck::AutoAttendant},
    ONE("502S", "N0-5", "0"),
    ONE("503S", "W2:0-24", "00"),
    ONE("504S", "N0-3", "1"),
    ONE("505S", "N0-3", "1"),
    ONE("506S", "N0-2", "0"),
    ONE("507S", "N1-2", "2"),
    ONE("508S", "N0-5", "1"),
    ONE("509S", "N0-5", "1"),
    {"510S", 0, "1:1-2", 1, "N0-1", "1", "", kNone},
    ONE("511S", "N0-2", "1"),
    {"512S", 0, "1:1-4", 1, "T10D", "^", "", kNone},
    ONE("513S", "N0-3", "3"),
    ONE("514S", "N0-1", "0"),
    ONE("515S", "N0-2", "0"),
    {"516E", 0, "2:1-24", 1, "N0-1", "1", "", kNone},
    ONE("517S", "N0-4", "1"),
    ONE("518S", "N0-1", "0"),
    ONE("519S", "N0-3", "0"),
    ONE("520S", "N0-7", "0"),
    {"521S", 0, "", 2, "W2:1-59;N0-1", "10,0", "", TItemCheck::UcdBusyTime},
    ONE("522S", "N0-3", "1"),
    ONE("523S", "N0-1", "1"),
    ONE("524S", "N0-1", "1"),
    ONE("525S", "N0-5", "1"),
    ONE("526S", "N0-5", "1"),
    ONE("530S", "N0-6", "0"),
    JACK("600E", "N1-8", "1"),
    JACK("601E", "N1-5", "1"),
    JACK("602E", "N1-5", "1"),
    JACK("603E", "N1-5", "1"),
    JACK("604E", "T10N", "^"),
    JACK("605E", "N0-3", "0"),
    JACK("606E", "N0-1", "1"),
    JACK("607E", "N0-1", "1"),
    JACK("608E", "N0-1", "0"),
    JACK("609E", "N0-1", "0"),
    JACK("610E", "N0-1", "0"),
    JACK("611E", "N0-1", "0"),
    JACK("612E", "N0-1", "0"),
    JACK("613E", "N0-1", "0"),
    JACK("614E", "N0-1", "0"),
    JACK("615E", "N0-3", "0"),
    JACK("617E", "N0-1", "0"),
    JACK("620E", "N0-1", "0"),
    {"700P", 0, "1:1-4", 3, "B1;B1;B1", "1111 1111,1111 1111,1111 1111", "", kNone},
    {"701P", 0, "1:1-4", 3, "B1;B1;B1", "1111 1111,1111 1111,1111 1111", "", kNone},
    {"702P", 0, "1:1-4", 3, "B1;B1;B1", "1111 1111,1111 1111,1111 1111", "", kNone},
    {"703P", 0, "1:1-4", 3, "B1;B1;B1", "1111 1111,1111 1111,1111 1111", "", kNone},
    {"704P", 0, "1:1-4", 3, "B1;B1;B1", "1111 1111,1111 1111,1111 1111", "", kNone},
    {"705P", 0, "1:1-4", 3, "B1;B1;B1", "1111 1111,1111 1111,1111 1111", "", kNone},
    {"801S", 0, "", 2, "W2:4-99;W2:0-95", "66,00", "", kNone},
    {"802S", 0, "", 2, "N0-2;N0-1", "1,1", "", kNone},
    ONE("803S", "N0-1", "0"),
    ONE("805S", "N0-1", "0"),
    ONE("806S", "N0-2", "0"),
    CO("900C", "N0-1", "1"),
    JACK("904E", "N0-1", "0"),
    CO("910C", "N0-1", "0"),
    CO("920C", "N0-1", "0"),
    JACK("925E", "N0-1", "0"),
    CO("928C", "N0-1", "0"),
    {"P%sBM01", 'J', "", 1, "X;X", "5", "", TItemCheck::CoButton},
    {"P%sBC", 'J', "2:1-24", 1, "X;X", "3,", "1-6=0,%k", TItemCheck::CoButton},
    {"P%sBF", 'J', "2:1-24", 1, "T16P", "^", "", kNone},
    {"D0%sBD", 'D', "2:1-32", 1, "X;X", "3,", "1-24=2,%K", TItemCheck::DssButton},
    {"D0%sBF", 'D', "2:1-16", 1, "T16P", "^", "", kNone},
};
// What a technician calls each program: the labels of the dialogs that edit them.
const std::map<std::string, const char*> kNames = {
    {"001S", "Speed dial number"}, {"002S", "System password"},
    {"003D", "DSS console port"}, {"004D", "DSS paired extension"},
    {"005S", "One-Touch Transfer using a DSS button"}, {"006S", "Day/Night service mode"},
    {"007S", "Day/Night/Lunch times"}, {"008S", "Operator jack"},
    {"009S", "Extension number"}, {"010S", "LCD time display"},
    {"011S", "Speed dial name"}, {"012S", "Second feature numbering plan"},
    {"100S", "Call hunting"}, {"101S", "Call hunting type"},
    {"102E", "Voice mail port"}, {"103S", "Voice mail DTMF codes"},
    {"104S", "Hold mode"}, {"105S", "Conference confirmation tone"},
    {"106S", "Paging confirmation tone"}, {"107S", "DTMF receivers"},
    {"108S", "Flash from a station-locked extension"},
    {"109S", "Answer by the flashing CO button"}, {"110S", "Flash signal mode"},
    {"111S", "Hold music"}, {"112S", "DSS button shows FWD/DND"},
    {"113S", "Automatic redial repeat"}, {"114S", "Automatic redial interval"},
    {"115S", "Extension ringing pattern"}, {"116S", "Conference pattern"},
    {"117S", "Call pickup confirmation tone"}, {"118S", "Pulse dialing during a conversation"},
    {"119S", "Redialing after pulse to tone conversion"}, {"120S", "Bell frequency"},
    {"121S", "Automatic CO line access number"}, {"122S", "Automatic CO line rotation"},
    {"123S", "Pulse break ratio"}, {"124S", "SLT ringing mode"},
    {"125S", "Toll restriction check for * and #"}, {"126S", "Intercom call by a DSS button"},
    {"127S", "Call pickup by going off-hook"},
    {"200S", "Hold Recall Time"}, {"201S", "Transfer Recall Time"},
    {"202S", "Call Forwarding Start Time"}, {"203S", "Pickup Dial Delay Time"},
    {"204S", "Call Duration Count Start Time"}, {"205S", "CO-to-CO Line Duration Time Limit"},
    {"206S", "Dialing Start Time"}, {"207S", "Hookswitch Flash Timing Range"},
    {"208S", "Interdigit Time"}, {"210S", "DTMF Time"}, {"211S", "No Dial Disconnection"},
    {"212S", "CO Line Duration Time Limit"}, {"213S", "Bell Off Detection"},
    {"300S", "Carrier excepted code"}, {"301S", "Speed dialing boundary class"},
    {"302S", "Denied code, class 2"}, {"303S", "Denied code, class 3"},
    {"304S", "Denied code, class 4"}, {"305S", "Denied code, class 5"},
    {"306S", "Exception code"}, {"309S", "Emergency number"}, {"310S", "Account code"},
    {"311S", "Automatic pause insertion code"}, {"312S", "Station lock boundary class"},
    {"350C", "ARS enabled for the CO line"}, {"351S", "ARS route 1 leading digits"},
    {"352S", "ARS route 2 leading digits"}, {"353S", "ARS route 3 leading digits"},
    {"354S", "ARS route 4 leading digits"}, {"355S", "ARS route 1 exception code"},
    {"356S", "ARS route 2 exception code"}, {"357S", "ARS route 3 exception code"},
    {"358S", "ARS route 4 exception code"}, {"359S", "ARS 1st carrier selection code"},
    {"360S", "ARS removed digits"}, {"361S", "ARS added number"},
    {"362S", "ARS dial tone pattern"}, {"363S", "ARS interdigit time"},
    {"364S", "ARS CO line group"}, {"389E", "Extension data 389"},
    {"400C", "CO line connected"}, {"401C", "CO dial mode"}, {"402C", "CO pulse speed"},
    {"403C", "Host PBX access codes"}, {"404C", "CO line group"},
    {"405C", "Outgoing CO access, day"}, {"406C", "Outgoing CO access, night"},
    {"407C", "Outgoing CO access, lunch"}, {"408C", "Incoming CO ringing, day"},
    {"409C", "Incoming CO ringing, night"}, {"410C", "Incoming CO ringing, lunch"},
    {"411C", "Incoming CO ring delay, day"}, {"412C", "Incoming CO ring delay, night"},
    {"413C", "Incoming CO ring delay, lunch"}, {"414C", "CO line mode, day"},
    {"415C", "CO line mode, night"}, {"416C", "CO line mode, lunch"},
    {"417C", "CO pause time"}, {"418C", "CO flash time"},
    {"419C", "Automatic designated CO line access"}, {"420C", "CPC signal detection"},
    {"421C", "CPC detection for outgoing calls"}, {"422C", "CO disconnect time"},
    {"423C", "CO ringing pattern"}, {"424C", "Reverse circuit assignment"},
    {"500S", "DISA incoming dialing mode"}, {"501S", "DISA automatic attendant"},
    {"502S", "DISA OGM mode"}, {"503S", "FAX connection"},
    {"504S", "DISA delayed answer time"}, {"505S", "DISA waiting time after OGM"},
    {"506S", "DISA busy mode"}, {"507S", "DISA intercept mode if no answer"},
    {"508S", "DISA ringing time before intercept"}, {"509S", "DISA ringing time after intercept"},
    {"510S", "DISA no dial mode"}, {"511S", "DISA security type"},
    {"512S", "DISA security code"}, {"513S", "Cyclic tone detection"},
    {"514S", "FAX tone detection"}, {"515S", "Intercept time for internal DISA"},
    {"516E", "Extension receiving an outside call"}, {"517S", "DISA AA wait time"},
    {"518S", "DISA tone after the security code"}, {"519S", "DISA OGM mute time"},
    {"520S", "UCD group"}, {"521S", "UCD busy waiting time"},
    {"522S", "UCD OGM message interval time"}, {"523S", "UCD busy mode"},
    {"524S", "UCD intercept mode if no answer"}, {"525S", "UCD ringing time before intercept"},
    {"526S", "UCD ringing time after intercept"}, {"530S", "DISA security code length"},
    {"600E", "Extension group"}, {"601E", "Class of service, day"},
    {"602E", "Class of service, night"}, {"603E", "Class of service, lunch"},
    {"604E", "Extension name"}, {"605E", "Account code mode"},
    {"606E", "Call transfer to a CO line"}, {"607E", "Call forwarding to a CO line"},
    {"608E", "Executive busy override"}, {"609E", "Do not disturb override"},
    {"610E", "Paralleled telephone connection"}, {"611E", "TAM extension"},
    {"612E", "Room monitor assignment"}, {"613E", "CO line duration limit selection"},
    {"614E", "Internal pulse detection"}, {"615E", "LCD language"},
    {"617E", "Wireless port connected"}, {"620E", "LCS record mode"},
    {"700P", "Door phone ringing, day"}, {"701P", "Door phone ringing, night"},
    {"702P", "Door phone ringing, lunch"}, {"703P", "Door opener use, day"},
    {"704P", "Door opener use, night"}, {"705P", "Door opener use, lunch"},
    {"801S", "SMDR page length and perforation skip"}, {"802S", "SMDR printing of calls"},
    {"803S", "SMDR speed dial printing"}, {"805S", "SMDR account code selection"},
    {"806S", "SMDR language"}, {"900C", "Caller ID"}, {"904E", "Caller ID display priority"},
    {"910C", "Caller ID type"}, {"920C", "Pay-tone"}, {"925E", "Charge limit"},
    {"928C", "Pay-tone flash"}, {"P%sBM01", "Message button"}, {"P%sBC", "CO button"},
    {"P%sBF", "PF button"}, {"D0%sBD", "DSS console button"},
    {"D0%sBF", "DSS console PF button"},
};

#undef ONE
#undef JACK
#undef CO
#undef CO3

const char kNameChars[] =
    "1QqZz!?2AaBbCc3DdEeFf4GgHhIi5JjKkLl6MmNnOo7PpRrSs8TtUuVv9WwXxYy0 .':;*\"+-=<>#$%&@()";

std::string CharSet(char Set) {
  switch (Set) {
    case 'D': return "0123456789";
    case 'S': return "0123456789*#";
    case 'X': return "0123456789*#x";
    case 'P': return "0123456789*#P[]";
    case 'Q': return "#*-0123456789FP[]";
    case 'N': return kNameChars;  // the name table without its comma, which splits items
    default: throw std::logic_error(std::string("unknown character set ") + Set);
  }
}

bool ParseRange(const std::string& Text, int& Lo, int& Hi) {
  const size_t dash = Text.find('-');
  return dash != std::string::npos && TryStrToInt(Text.substr(0, dash), Lo) &&
         TryStrToInt(Text.substr(dash + 1), Hi) && Lo <= Hi;
}

TItemSpec ParseItem(const std::string& T) {
  TItemSpec s;
  auto bad = [&]() { return std::logic_error("bad item form " + T); };
  if (T.empty()) throw bad();
  const std::string rest = T.substr(1);
  switch (T[0]) {
    case 'N':
      s.Kind = TItemSpec::Number;
      if (!ParseRange(rest, s.Lo, s.Hi)) throw bad();
      break;
    case 'W': {
      s.Kind = TItemSpec::Fixed;
      const size_t colon = rest.find(':');
      if (colon == std::string::npos || !TryStrToInt(rest.substr(0, colon), s.Width) ||
          !ParseRange(rest.substr(colon + 1), s.Lo, s.Hi))
        throw bad();
      break;
    }
    case 'T':
      s.Kind = TItemSpec::Text;
      if (rest.size() < 2 || !TryStrToInt(rest.substr(0, rest.size() - 1), s.Width)) throw bad();
      s.Chars = CharSet(rest.back());
      break;
    case 'B':
      s.Kind = TItemSpec::Bits;
      if (!TryStrToInt(rest, s.Hi)) throw bad();
      break;
    case 'S':
      s.Kind = TItemSpec::Flags;
      if (rest.size() != 2) throw bad();
      s.Width = rest[0] - '0';
      s.Hi = rest[1] - '0';
      break;
    case 'H': s.Kind = TItemSpec::Time; break;
    case 'A':
      s.Kind = TItemSpec::StarNumber;
      if (!ParseRange(rest, s.Lo, s.Hi)) throw bad();
      break;
    case 'X': s.Kind = TItemSpec::Free; break;
    default: throw bad();
  }
  return s;
}

std::vector<std::string> ParseKeys(const std::string& Form) {
  std::vector<std::string> keys;
  if (Form.empty()) {
    keys.emplace_back();
    return keys;
  }
  if (Form.size() < 3 || Form[1] != ':') throw std::logic_error("bad key form " + Form);
  const std::string rest = Form.substr(2);
  if (Form[0] == 'L') {
    for (int i = 1; i <= WordCount(rest, ","); ++i) keys.push_back(ExtractWord(rest, ",", i));
    return keys;
  }
  int lo = 0, hi = 0;
  const int width = Form[0] - '0';
  if (width < 1 || width > 2 || !ParseRange(rest, lo, hi)) throw std::logic_error("bad key form " + Form);
  for (int k = lo; k <= hi; ++k) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%.*d", width, k);
    keys.emplace_back(buf);
  }
  return keys;
}

std::string Substitute(const std::string& Pattern, const std::string& Key) {
  std::string out;
  for (size_t i = 0; i < Pattern.size(); ++i) {
    if (Pattern[i] == '%' && i + 1 < Pattern.size() && (Pattern[i + 1] == 'k' || Pattern[i + 1] == 'K')) {
      out += Pattern[i + 1] == 'k' ? std::to_string(LeadingInt(Key)) : Key;
      ++i;
    } else {
      out += Pattern[i];
    }
  }
  return out;
}

bool AllDigits(const std::string& S) {
  if (S.empty()) return false;
  for (char c : S)
    if (c < '0' || c > '9') return false;
  return true;
}

bool NumberIn(const std::string& S, int Lo, int Hi) {
  if (!AllDigits(S) || S.size() > 5) return false;
  const int v = LeadingInt(S);
  return v >= Lo && v <= Hi;
}

bool EmptyItem(const std::string& S) { return S.empty() || S == "^"; }

// Item 2 of a button line for the codes that take one.
bool ValidButtonParam(char Code, const std::string& P, bool Dss) {
  static const TItemSpec kNumber{TItemSpec::Text, 0, 0, 16, "0123456789*#P[]"};
  switch (Code) {
    case '0': return !Dss && NumberIn(P, 1, 6);
    case '1': return !Dss && NumberIn(P, 1, 5);
    case '2': return P.size() == 2 && NumberIn(P, 1, 24);
    case '3': return TPbxCatalogue::ValidItem(kNumber, P);
    case '6': return Dss ? P.size() == 2 && NumberIn(P, 1, 24) : EmptyItem(P);
    default: return EmptyItem(P);
  }
}

bool ValidButton(const std::vector<std::string>& It, bool Dss, std::string* Why) {
  const std::string codes = Dss ? "0123456789A" : "01234567A";
  if (It[0].size() != 1 || codes.find(It[0][0]) == std::string::npos) {
    if (Why) *Why = "unknown button function";
    return false;
  }
  const char c = It[0][0];
  const bool needsParam = c == '0' || c == '1' || c == '2' || (Dss && c == '6');
  if (It.size() < 2) {
    if (needsParam && Why) *Why = "button function needs a parameter";
    return !needsParam;
  }
  if (!ValidButtonParam(c, It[1], Dss)) {
    if (Why) *Why = "button parameter out of range";
    return false;
  }
  return true;
}

}  // namespace

const TPbxCatalogue& TPbxCatalogue::Get() {
  static const TPbxCatalogue catalogue;
  return catalogue;
}

TPbxCatalogue::TPbxCatalogue() {
  for (const TRow& row : kRows) {
    std::vector<std::string> outers;
    if (row.Outer == 'J')
      outers = ParseKeys("2:1-24");
    else if (row.Outer == 'D')
      outers = ParseKeys("1:1-2");
    else
      outers.emplace_back();
    for (const std::string& outer : outers) {
      TPbxProgram p;
      p.Code = row.Code;
      if (row.Outer) p.Code.replace(p.Code.find("%s"), 2, outer);
      p.Keys = ParseKeys(row.Keys);
      p.MinItems = row.MinItems;
      const std::string items = row.Items;
      for (int i = 1; i <= WordCount(items, ";"); ++i) p.Items.push_back(ParseItem(ExtractWord(items, ";", i)));
      if (p.Items.empty() || p.Items.size() > 10 || p.MinItems < 1 || p.MinItems > int(p.Items.size()))
        throw std::logic_error("bad item layout of " + p.Code);
      p.Check = row.Check;
      const auto name = kNames.find(row.Code);
      if (name == kNames.end()) throw std::logic_error("no name for program " + p.Code);
      p.Name = name->second;
      for (const std::string& key : p.Keys) p.Defaults.push_back(Substitute(row.Default, key));
      const std::string over = row.Overrides;
      for (int i = 1; i <= WordCount(over, "|"); ++i) {
        const std::string entry = ExtractWord(over, "|", i);
        const size_t eq = entry.find('=');
        int lo = 0, hi = 0;
        const std::string keys = entry.substr(0, eq);
        if (eq == std::string::npos || (!ParseRange(keys, lo, hi) && !TryStrToInt(keys, lo)))
          throw std::logic_error("bad default override of " + p.Code);
        if (keys.find('-') == std::string::npos) hi = lo;
        for (size_t k = 0; k < p.Keys.size(); ++k) {
          const int key = LeadingInt(p.Keys[k]);
          if (key >= lo && key <= hi) p.Defaults[k] = Substitute(entry.substr(eq + 1), p.Keys[k]);
        }
      }
      fPrograms.push_back(std::move(p));
    }
  }
  for (size_t i = 0; i < fPrograms.size(); ++i) {
    const TPbxProgram& p = fPrograms[i];
    if (!fCodes.emplace(p.Code, i).second) throw std::logic_error("duplicate program " + p.Code);
    for (size_t k = 0; k < p.Keys.size(); ++k)
      if (!fHeads.emplace(p.Head(k), std::make_pair(i, k)).second)
        throw std::logic_error("ambiguous line head " + p.Head(k));
  }
}

bool TPbxCatalogue::FindHead(const std::string& Head, size_t& Program, size_t& Key) const {
  auto it = fHeads.find(Head);
  if (it == fHeads.end()) return false;
  Program = it->second.first;
  Key = it->second.second;
  return true;
}

int TPbxCatalogue::FindCode(const std::string& Code) const {
  auto it = fCodes.find(Code);
  return it == fCodes.end() ? -1 : int(it->second);
}

namespace {

std::string Upper(std::string S) {
  for (char& c : S)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return S;
}

bool Digit(char C) { return C >= '0' && C <= '9'; }

// The characters the PBX puts into an item of a kind (the empty marker and blanks apart). An
// item past the layout is judged as a free one. A free item of a program whose items nobody
// here knows the meaning of holds whatever printable characters the PBX took for it: a line
// the PBX stored must read back, or every later read of it would fail.
bool ItemChar(const TItemSpec* Spec, TItemCheck Check, char C) {
  if (C == ',' || C == '/' || !PrintableAscii(C)) return false;
  switch (Spec ? Spec->Kind : TItemSpec::Free) {
    case TItemSpec::Number:
    case TItemSpec::Fixed:
    case TItemSpec::Flags:
    case TItemSpec::Bits:
    case TItemSpec::Time: return Digit(C);
    case TItemSpec::StarNumber: return Digit(C) || C == '*';
    case TItemSpec::Text: return Spec->Chars.find(C) != std::string::npos;
    case TItemSpec::Free:
      if (Spec && Check == TItemCheck::None) return true;
      break;
  }
  // Free items of buttons and numbers hold numbers, button function codes (0-9, A) and dial
  // strings.
  return Digit(C) || std::string("*#AP[]").find(C) != std::string::npos;
}

// An item as the PBX prints it: empty, blank or "^" for an empty one (never "^" beside other
// characters), a bit field as four digits, a blank, four digits, else characters of its kind
// (names hold blanks).
bool PlausibleItem(const TItemSpec* Spec, TItemCheck Check, const std::string& Item) {
  const size_t from = Item.find_first_not_of(' ');
  if (from == std::string::npos) return true;
  const std::string core = Item.substr(from, Item.find_last_not_of(' ') - from + 1);
  if (core == "^") return true;
  if (Spec && Spec->Kind == TItemSpec::Bits)
    return Item.size() == 9 && Item[4] == ' ' && Item.substr(0, 4).find_first_not_of("0123456789") ==
                                                     std::string::npos &&
           Item.substr(5).find_first_not_of("0123456789") == std::string::npos;
  for (char c : core)
    if (!(c == ' ' && Spec && Spec->Kind == TItemSpec::Text) && !ItemChar(Spec, Check, c))
      return false;
  return true;
}

}  // namespace

bool TPbxCatalogue::ValidItem(const TItemSpec& Spec, const std::string& Item) {
  // What the PBX would not print back is no value it takes: the characters are judged as the
  // received lines are, then the value.
  if (!PlausibleItem(&Spec, TItemCheck::None, Item)) return false;
  switch (Spec.Kind) {
    case TItemSpec::Number: return NumberIn(Item, Spec.Lo, Spec.Hi);
    case TItemSpec::Fixed: return int(Item.size()) == Spec.Width && NumberIn(Item, Spec.Lo, Spec.Hi);
    case TItemSpec::Text:
      if (EmptyItem(Item)) return true;
      if (int(Item.size()) > Spec.Width) return false;
      for (char c : Item)
        if (Spec.Chars.find(c) == std::string::npos) return false;
      return true;
    case TItemSpec::Bits:
      if (Item.size() != 9 || Item[4] != ' ') return false;
      for (size_t i = 0; i < 9; ++i)
        if (i != 4 && (Item[i] < '0' || Item[i] > '0' + Spec.Hi)) return false;
      return true;
    case TItemSpec::Flags:
      if (int(Item.size()) != Spec.Width) return false;
      for (char c : Item)
        if (c < '0' || c > '0' + Spec.Hi) return false;
      return true;
    case TItemSpec::Time: {
      if (Item == "^") return true;
      if (Item.size() != 5 || !AllDigits(Item)) return false;
      const int hh = LeadingInt(Item.substr(0, 2)), mm = LeadingInt(Item.substr(2, 2));
      return hh >= 1 && hh <= 12 && mm <= 59 && (Item[4] == '0' || Item[4] == '1');
    }
    case TItemSpec::StarNumber: return Item == "*" || NumberIn(Item, Spec.Lo, Spec.Hi);
    case TItemSpec::Free: return Item.size() <= 32;
  }
  return false;
}

bool TPbxCatalogue::PlausibleLine(const std::string& Code, const std::string& Head,
                                  const std::string& Items) const {
  size_t p = 0, k = 0;
  if (!FindHead(Upper(Head), p, k)) return FindCode(Upper(Code)) < 0;
  const TPbxProgram& prog = fPrograms[p];
  const int n = WordCount(Items, ",");
  for (int i = 1; i <= n; ++i) {
    const TItemSpec* spec =
        static_cast<size_t>(i) <= prog.Items.size() ? &prog.Items[size_t(i - 1)] : nullptr;
    if (!PlausibleItem(spec, prog.Check, ExtractWord(Items, ",", i))) return false;
  }
  return true;
}

bool TPbxCatalogue::ValidItems(const TPbxProgram& Prog, const std::string& Items, std::string* Why) {
  std::vector<std::string> it;
  const int n = std::max(1, WordCount(Items, ","));
  for (int i = 1; i <= n; ++i) it.push_back(ExtractWord(Items, ",", i));
  if (n < Prog.MinItems || n > int(Prog.Items.size())) {
    if (Why) *Why = Format("%d items, program %s takes %d to %d", n, Prog.Code.c_str(), Prog.MinItems,
                           int(Prog.Items.size()));
    return false;
  }
  if (Prog.Check == TItemCheck::CoButton || Prog.Check == TItemCheck::DssButton)
    return ValidButton(it, Prog.Check == TItemCheck::DssButton, Why);
  for (int i = 0; i < n; ++i) {
    // An optional trailing item left empty is how a shortened line reads (DIL jack, AA target).
    if (i >= Prog.MinItems && it[i].empty() && Prog.Check != TItemCheck::None) continue;
    if (!ValidItem(Prog.Items[i], it[i])) {
      if (Why) *Why = Format("item %d out of range", i + 1);
      return false;
    }
  }
  auto fail = [Why](const char* Reason) {
    if (Why) *Why = Reason;
    return false;
  };
  const bool second = n == 2 && !it[1].empty();
  switch (Prog.Check) {
    case TItemCheck::LineMode:
      if (second && it[0] != "1") return fail("a jack is given only for DIL");
      return true;
    case TItemCheck::AutoAttendant:
      if (it[0] == "0") return second ? fail("no target for 'none'") : true;
      if (!second) return fail("missing target");
      if (it[0] == "2" && LeadingInt(it[1]) > 8) return fail("extension group out of range");
      return true;
    case TItemCheck::UcdBusyTime:
      if (it[1] == "0" && LeadingInt(it[0]) > 32) return fail("more than 32 minutes");
      return true;
    default: return true;
  }
}

std::string AllowedText(const TItemSpec& S) {
  switch (S.Kind) {
    case TItemSpec::Number: return Format("a number from %d to %d", S.Lo, S.Hi);
    case TItemSpec::Fixed:
      return Format("%d digits from %0*d to %0*d", S.Width, S.Width, S.Lo, S.Width, S.Hi);
    case TItemSpec::Text:
      if (S.Chars == CharSet('N'))
        return Format("a name of at most %d characters (letters, digits, blank and .':;*\"+-=<>#$%%&@()!?), "
                      "or ^ for none",
                      S.Width);
      return Format("at most %d of %s, or ^ for none", S.Width, S.Chars.c_str());
    case TItemSpec::Bits: return Format("four digits 0 to %d, a blank, four digits 0 to %d", S.Hi, S.Hi);
    case TItemSpec::Flags: return Format("%d digits 0 to %d", S.Width, S.Hi);
    case TItemSpec::Time: return "a time hhmmp (hour 01-12, minute, p 1 for PM), or ^ for none";
    case TItemSpec::StarNumber: return Format("* or a number from %d to %d", S.Lo, S.Hi);
    case TItemSpec::Free: return "at most 32 characters";
  }
  return std::string();
}

std::string TPbxCatalogue::NameOfHead(const std::string& Head) const {
  if (Head == "009S00") return "Numbering plan";
  size_t p = 0, k = 0;
  return FindHead(Head, p, k) ? fPrograms[p].Name : std::string();
}

std::string UnsendableReason(const std::string& Line, int* Item) {
  if (Item) *Item = 0;
  if (const size_t at = FirstUnprintable(Line); at != std::string::npos)
    return Format("the line holds the byte 0x%02X at column %zu, which is no printable "
                  "character: the PBX would take it as a key pressed, not as part of the line",
                  static_cast<unsigned>(static_cast<unsigned char>(Line[at])), at + 1);
  if (Line.size() > kMaxLineText)
    return Format("the line is %zu characters long: a PBX line holds at most %zu", Line.size(),
                  kMaxLineText);
  const size_t first = Line.find('/');
  const size_t last = Line.rfind('/');
  if (first == std::string::npos || last == first) return std::string();
  const std::string items = Line.substr(first + 1, last - first - 1);
  if (items.find_first_not_of(" ,") == std::string::npos)
    return "no item holds a value: the PBX takes such a line as a query and keeps what it "
           "holds (\"^\" is the PBX's empty value)";
  for (int i = 1; i <= WordCount(items, ","); ++i)
    if (TrimBlanks(ExtractWord(items, ",", i)) == "???") {
      if (Item) *Item = i;
      return "\"???\" marks values that differed among the records edited together; it is no "
             "value the PBX takes";
    }
  return std::string();
}

std::vector<TLineProblem> TPbxCatalogue::CheckLine(const std::string& Line) const {
  std::vector<TLineProblem> out;
  const size_t first = Line.find('/');
  int unsendableItem = 0;
  if (const std::string why = UnsendableReason(Line, &unsendableItem); !why.empty()) {
    // Named by its head where it has one; the value as it stands, for the user to find it.
    const std::string head = Line.substr(0, std::min(first, kMaxLineText));
    const std::string items = first == std::string::npos ? Line : ExtractWord(Line, "/", 2);
    out.push_back({head, NameOfHead(head), unsendableItem,
                   unsendableItem ? ExtractWord(items, ",", unsendableItem) : Line, why});
    return out;
  }
  const bool formed = first != std::string::npos && first > 0 && Line.size() >= first + 2 &&
                      Line.back() == '/' && Line.find('/', first + 1) == Line.size() - 1;
  if (!formed) {
    // The head, when there is one, still tells which program the broken line was meant for.
    const std::string head = first == std::string::npos ? Line : Line.substr(0, first);
    out.push_back({head, NameOfHead(head), 0, Line, "a line head/items/"});
    return out;
  }
  const std::string head = Line.substr(0, first);
  const std::string items = Line.substr(first + 1, Line.size() - first - 2);
  if (head == "009S00") {
    if (!NumberIn(items, 1, 3)) out.push_back({head, "Numbering plan", 1, items, "a plan from 1 to 3", true});
    return out;
  }
  size_t p = 0, k = 0;
  if (!FindHead(head, p, k)) {
    out.push_back({head, "", 0, Line, "a line head the PBX has"});
    return out;
  }
  const TPbxProgram& prog = fPrograms[p];
  std::vector<std::string> it;
  const int n = std::max(1, WordCount(items, ","));
  for (int i = 1; i <= n; ++i) it.push_back(ExtractWord(items, ",", i));
  if (n < prog.MinItems || n > int(prog.Items.size())) {
    out.push_back({head, prog.Name, 0, items,
                   prog.MinItems == int(prog.Items.size())
                       ? Format("%d item%s", prog.MinItems, prog.MinItems == 1 ? "" : "s")
                       : Format("%d to %d items", prog.MinItems, int(prog.Items.size()))});
    return out;
  }
  const bool buttons = prog.Check == TItemCheck::CoButton || prog.Check == TItemCheck::DssButton;
  if (!buttons)
    for (int i = 0; i < n; ++i) {
      if (i >= prog.MinItems && it[size_t(i)].empty() && prog.Check != TItemCheck::None) continue;
      if (!ValidItem(prog.Items[size_t(i)], it[size_t(i)])) {
        // Characters of another kind are damage or a typing error; a value of the right kind
        // outside its range is only a range problem.
        const bool kind = PlausibleItem(&prog.Items[size_t(i)], prog.Check, it[size_t(i)]);
        out.push_back({head, prog.Name, i + 1, it[size_t(i)], AllowedText(prog.Items[size_t(i)]), kind});
      }
    }
  // An extension number: two digits 10-49 (plan 3) or three digits 100-499 (plans 1 and 2);
  // which plan the PBX is on is judged by the upload, not here.
  if (out.empty() && prog.Check == TItemCheck::Numbering) {
    const std::string& number = it[0];
    if (!EmptyItem(number) && !((number.size() == 2 && NumberIn(number, 10, 49)) ||
          (number.size() == 3 && NumberIn(number, 100, 499))))
      out.push_back({head, prog.Name, 1, number, "an extension number 10-49 or 100-499",
                     AllDigits(number)});
  }
  std::string why;
  if (out.empty() && !ValidItems(prog, items, &why)) out.push_back({head, prog.Name, 0, items, why, true});
  return out;
}

std::string DefaultNumber(int Plan, int Jack) {
  // A plan line resets the numbers: 101.. under plans 1 and 2 alike, 11.. under plan 3.
  return std::to_string((Plan == 3 ? 10 : 100) + Jack);
}

void PlanRange(int Plan, int& Lo, int& Hi, int& Digits) {
  switch (Plan) {
    case 2: Lo = 100, Hi = 499, Digits = 3; break;
    case 3: Lo = 10, Hi = 49, Digits = 2; break;
    default: Lo = 100, Hi = 199, Digits = 3; break;
  }
}
