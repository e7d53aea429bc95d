// Program lines read into the store by their heads: the same places a read fills, found from
// the program table's code and key of each head.
#include "StoreText.h"

#include <algorithm>
#include <map>
#include <memory>
#include <utility>

#include "Check.h"
#include "Errors.h"  // Format
#include "PbxPrograms.h"
#include "SysData.h"
#include "Text.h"

namespace {

constexpr const char* kPlanHead = "009S00";

int KeyNumber(const std::string& Key) { return LeadingInt(Key); }

// Places by program code that do not depend on the key: the store's single blocks and lists,
// the extension table's shared lists and program 009.
struct TCodePlace {
  TCmdData* Block = nullptr;
  TCmdList* List = nullptr;
};

bool FindCodePlace(TSysData& S, const std::string& Code, TCodePlace& P) {
  if (Code == "009S") {
    P.List = &S.Extensions.Cmd009;
    return true;
  }
  for (int i = 0; i < TExtensionArray::kSharedListCount; ++i)
    if (Code == TExtensionArray::SharedListCode(i)) {
      P.List = &S.Extensions.SharedList(i);
      return true;
    }
  for (int k = 0; k < kSingleBlockCount; ++k)
    if (Code == BlockCode(static_cast<TBlockId>(k))) {
      P.Block = &S.Block(static_cast<TBlockId>(k));
      return true;
    }
  for (int k = 0; k < kBlockListCount; ++k)
    if (Code == ListCode(static_cast<TListId>(k))) {
      P.List = &S.List(static_cast<TListId>(k));
      return true;
    }
  return false;
}

// "P05BC" -> 5 and "BC"; "D01BD" -> 1 and "BD" (the number of digits after the letter).
bool SplitRecordCode(const std::string& Code, char Lead, size_t Digits, int& Number,
                     std::string& Rest) {
  if (Code.size() <= 1 + Digits || Code[0] != Lead) return false;
  const std::string n = Code.substr(1, Digits);
  if (n.find_first_not_of("0123456789") != std::string::npos) return false;
  Number = LeadingInt(n);
  Rest = Code.substr(1 + Digits);
  return true;
}

std::string HeadAndName(const std::string& Head) {
  const std::string name = TPbxCatalogue::Get().NameOfHead(Head);
  return Head + "  " + (name.empty() ? std::string("unknown program") : name);
}

// A line that passed every check, waiting to be placed.
struct TTaken {
  TLinePlace Place;
  std::string Text;
};

}  // namespace

bool FindLinePlace(TSysData& S, const std::string& Head, TLinePlace& Place) {
  Place = TLinePlace();
  if (Head == kPlanHead) {
    Place.Block = &S.Extensions.Cmd009.PlanBlock;
    return true;
  }
  const TPbxCatalogue& catalogue = TPbxCatalogue::Get();
  size_t p = 0, k = 0;
  if (!catalogue.FindHead(Head, p, k)) return false;
  const TPbxProgram& prog = catalogue.Programs()[p];
  const std::string& code = prog.Code;
  const std::string& key = prog.Keys[k];
  Place.Key = k;

  TCodePlace byCode;
  if (FindCodePlace(S, code, byCode)) {
    // A single block has no key; a list's lines are told apart by theirs.
    if (byCode.Block && !key.empty()) return false;
    Place.Block = byCode.Block;
    Place.List = byCode.List;
    return true;
  }
  // Per-jack blocks "604E05", per-CO-line blocks "400C3", the consoles' "003D1".
  for (int i = 0; i < TExtensionData::kBlockCount; ++i)
    if (i != TExtensionData::eBM01 && code == TExtensionData::kCodes[size_t(i)]) {
      Place.Block = &S.Extensions.Jacks(KeyNumber(key)).Block(i);
      return true;
    }
  for (int i = 0; i < TCOdata::kBlockCount; ++i)
    if (code == TCOdata::kCodes[size_t(i)]) {
      Place.Block = &S.COLines.Lines(KeyNumber(key)).Block(i);
      return true;
    }
  if (code == "003D" || code == "004D") {
    TDSSdata& dss = S.DSSConsoles.Consoles(KeyNumber(key));
    Place.Block = code == "003D" ? &dss.Cmd003D : &dss.Cmd004D;
    return true;
  }
  // A jack's button programs "P05BM01", "P05BC", "P05BF"; a console's "D01BD", "D01BF".
  int n = 0;
  std::string rest;
  if (SplitRecordCode(code, 'P', 2, n, rest) && n >= 1 && n <= TExtensionArray::kJackCount) {
    TExtensionData& jack = S.Extensions.Jacks(n);
    if (rest == "BM01" && key.empty()) Place.Block = &jack.Block(TExtensionData::eBM01);
    else if (rest == "BC") Place.List = &jack.BC;
    else if (rest == "BF") Place.List = &jack.BF;
    return Place.Block || Place.List;
  }
  if (SplitRecordCode(code, 'D', 2, n, rest) && n >= 1 && n <= TDSSarray::kConsoleCount) {
    TDSSdata& dss = S.DSSConsoles.Consoles(n);
    if (rest == "BD") Place.List = &dss.BD;
    else if (rest == "BF") Place.List = &dss.BF;
    return Place.List != nullptr;
  }
  return false;
}

TStoreTextLoad LoadStoreText(TSysData& Store, const std::string& Text, bool TakeRangeProblems) {
  TStoreTextLoad result;
  const TPbxCatalogue& catalogue = TPbxCatalogue::Get();
  // Places are found in a scratch store, which replaces the store's content only at the end.
  auto scratch = std::make_unique<TSysData>();
  std::vector<TTaken> taken;
  std::map<std::string, int> firstLine;  // head -> line number of its first line
  bool refused = false;

  auto report = [&](int Line, const std::string& Why, bool RangeOnly) {
    result.Problems.push_back({Line, Why, RangeOnly});
    if (!RangeOnly || !TakeRangeProblems) refused = true;
  };

  int number = 0;
  // Editors on Windows may begin a UTF-8 text with its byte order mark.
  const size_t start = Text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  for (size_t at = start; at < Text.size();) {
    const size_t end = std::min(Text.find('\n', at), Text.size());
    std::string line = Text.substr(at, end - at);
    at = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (TrimBlanks(line).empty() || line[0] == '#') continue;
    ++result.ProgramLines;

    const std::vector<TLineProblem> problems = catalogue.CheckLine(line);
    bool rangeOnly = true;
    for (const TLineProblem& p : problems) {
      report(number, ProblemText(p), p.RangeOnly);
      rangeOnly = rangeOnly && p.RangeOnly;
    }
    if (!rangeOnly) continue;  // unknown head or not a program line: no head to place
    const std::string head = line.substr(0, line.find('/'));
    const auto [first, isNew] = firstLine.emplace(head, number);
    if (!isNew) {
      report(number, Format("%s  line given twice: first at line %d", HeadAndName(head).c_str(),
                            first->second),
             false);
      continue;
    }
    TTaken t;
    if (!FindLinePlace(*scratch, head, t.Place)) {
      report(number, HeadAndName(head) + "  line: the configuration keeps no line of this head",
             false);
      continue;
    }
    t.Text = line;
    taken.push_back(std::move(t));
    if (!problems.empty()) ++result.ForcedLines;
  }
  if (result.ProgramLines == 0) report(0, "holds no program line", false);
  if (refused) {
    result.ForcedLines = 0;
    return result;
  }

  // A list gets its lines in key order, as the PBX lists them.
  std::map<TCmdList*, std::vector<const TTaken*>> lists;
  for (const TTaken& t : taken) {
    if (t.Place.Block)
      t.Place.Block->TakeLoaded(t.Text);
    else
      lists[t.Place.List].push_back(&t);
  }
  for (auto& [list, lines] : lists) {
    std::sort(lines.begin(), lines.end(),
              [](const TTaken* A, const TTaken* B) { return A->Place.Key < B->Place.Key; });
    for (const TTaken* t : lines) list->Add().TakeLoaded(t->Text);
  }
  // The plan line is the plan the numbers were read under, not an edit to send.
  scratch->Extensions.Cmd009.PlanBlock.Changed = false;

  Store.AssignData(*scratch);
  Store.HaveFileData = true;
  result.Loaded = true;
  return result;
}
