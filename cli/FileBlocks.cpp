#include "FileBlocks.h"

#include <map>
#include <utility>

#include "SysData.h"

namespace {

void VisitList(const TCmdList& List, const std::function<void(const TCmdData&)>& Visit) {
  for (int i = 0; i < List.Count(); ++i) Visit(List.Items(i));
}

}  // namespace

// Mirrors the SaveToStream chain of the store and its tables; the read-then-export test
// against the simulator catches a block this walk leaves out.
void ForEachFileBlock(const TSysData& Store, const std::function<void(const TCmdData&)>& Visit) {
  const TExtensionArray& ext = Store.Extensions;
  for (int j = 1; j <= TExtensionArray::kJackCount; ++j) {
    const TExtensionData& jack = ext.Jacks(j);
    for (int b = 0; b < TExtensionData::kBlockCount; ++b) Visit(jack.Block(b));
    VisitList(jack.BC, Visit);
    VisitList(jack.BF, Visit);
  }
  VisitList(ext.Cmd009, Visit);
  Visit(ext.Cmd009.PlanBlock);
  for (int i = 0; i < TExtensionArray::kSharedListCount; ++i) VisitList(ext.SharedList(i), Visit);

  for (int c = 1; c <= TCOarray::kLineCount; ++c) {
    const TCOdata& line = Store.COLines.Lines(c);
    for (int b = 0; b < TCOdata::kBlockCount; ++b) Visit(line.Block(b));
  }
  for (int n = 1; n <= TDSSarray::kConsoleCount; ++n) {
    const TDSSdata& dss = Store.DSSConsoles.Consoles(n);
    Visit(dss.Cmd003D);
    Visit(dss.Cmd004D);
    VisitList(dss.BD, Visit);
    VisitList(dss.BF, Visit);
  }
  for (int k = 0; k < kSingleBlockCount; ++k) Visit(Store.Block(static_cast<TBlockId>(k)));
  for (int k = 0; k < kBlockListCount; ++k) VisitList(Store.List(static_cast<TListId>(k)), Visit);
}

std::vector<std::string> FileBlockTexts(const TSysData& Store) {
  std::vector<std::string> texts;
  ForEachFileBlock(Store, [&](const TCmdData& B) {
    if (!B.Data().empty()) texts.push_back(B.Data());
  });
  return texts;
}

std::string BlockHead(const std::string& Text) { return Text.substr(0, Text.find('/')); }

std::vector<TBlockDiff> DiffBlockTexts(const std::vector<std::string>& A,
                                       const std::vector<std::string>& B) {
  // Key: head and occurrence, so that repeated heads pair up in order instead of collapsing.
  using TKey = std::pair<std::string, int>;
  auto keyed = [](const std::vector<std::string>& Lines) {
    std::vector<TKey> keys;
    std::map<std::string, int> seen;
    keys.reserve(Lines.size());
    for (const std::string& l : Lines) {
      const std::string head = BlockHead(l);
      keys.emplace_back(head, seen[head]++);
    }
    return keys;
  };
  const std::vector<TKey> ka = keyed(A), kb = keyed(B);
  std::map<TKey, size_t> inB;
  for (size_t i = 0; i < B.size(); ++i) inB.emplace(kb[i], i);
  std::map<TKey, size_t> inA;
  for (size_t i = 0; i < A.size(); ++i) inA.emplace(ka[i], i);

  std::vector<TBlockDiff> diffs;
  for (size_t i = 0; i < A.size(); ++i) {
    auto it = inB.find(ka[i]);
    if (it == inB.end())
      diffs.push_back({A[i], std::string()});
    else if (B[it->second] != A[i])
      diffs.push_back({A[i], B[it->second]});
  }
  for (size_t i = 0; i < B.size(); ++i)
    if (inA.find(kb[i]) == inA.end()) diffs.push_back({std::string(), B[i]});
  return diffs;
}
