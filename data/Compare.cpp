#include "Compare.h"

#include <algorithm>
#include <map>
#include <utility>

#include "PbxPrograms.h"
#include "SysData.h"

namespace {

// The differences of one pair of lines of the same head, both present.
void ComparePair(const std::string& Head, const std::string& Name, const std::string& Old,
                 const std::string& New, std::vector<TItemDiff>& Out) {
  if (Old == New) return;
  std::vector<std::string> a, b;
  const size_t before = Out.size();
  if (LineItems(Old, a) && LineItems(New, b)) {
    const size_t n = std::max(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
      const std::string oldItem = i < a.size() ? a[i] : std::string();
      const std::string newItem = i < b.size() ? b[i] : std::string();
      if (oldItem != newItem) Out.push_back({Head, Name, static_cast<int>(i + 1), oldItem, newItem});
    }
  }
  // Lines that cannot be split, or that differ only in an empty item one of them lacks
  // ("1,2," and "1,2"): the whole texts, so that no differing pair goes unlisted.
  if (Out.size() == before) Out.push_back({Head, Name, 0, Old, New});
}

}  // namespace

bool LineItems(const std::string& Line, std::vector<std::string>& Items) {
  Items.clear();
  const size_t first = Line.find('/');
  if (first == std::string::npos || first == 0 || Line.size() < first + 2 || Line.back() != '/' ||
      Line.find('/', first + 1) != Line.size() - 1)
    return false;
  const std::string items = Line.substr(first + 1, Line.size() - first - 2);
  for (size_t at = 0;;) {
    const size_t comma = items.find(',', at);
    Items.push_back(items.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
    if (comma == std::string::npos) return true;
    at = comma + 1;
  }
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

std::vector<TItemDiff> CompareLines(const std::vector<std::string>& Old,
                                    const std::vector<std::string>& New) {
  const TPbxCatalogue& catalogue = TPbxCatalogue::Get();
  std::vector<TItemDiff> out;
  for (const TBlockDiff& d : DiffBlockTexts(Old, New)) {
    const std::string head = BlockHead(d.A.empty() ? d.B : d.A);
    if (d.A.empty() || d.B.empty())
      out.push_back({head, catalogue.NameOfHead(head), 0, d.A, d.B});
    else
      ComparePair(head, catalogue.NameOfHead(head), d.A, d.B, out);
  }
  return out;
}

std::vector<TItemDiff> CompareStores(const TSysData& Old, const TSysData& New) {
  return CompareLines(FileBlockTexts(Old), FileBlockTexts(New));
}
