#include "Compare.h"

#include <algorithm>
#include <map>
#include <utility>

#include "PbxPrograms.h"
#include "SysData.h"
#include "Text.h"

namespace {

std::string HeadOf(const std::string& Line) { return Line.substr(0, Line.find('/')); }

// The items between the line's two "/"; false for a line not of the form head/items/.
bool SplitItems(const std::string& Line, std::vector<std::string>& Items) {
  const size_t first = Line.find('/');
  if (first == std::string::npos || first == 0 || Line.size() < first + 2 || Line.back() != '/' ||
      Line.find('/', first + 1) != Line.size() - 1)
    return false;
  const std::string items = Line.substr(first + 1, Line.size() - first - 2);
  Items.clear();
  const int n = std::max(1, WordCount(items, ","));
  for (int i = 1; i <= n; ++i) Items.push_back(ExtractWord(items, ",", i));
  return true;
}

// The differences of one pair of lines of the same head, both present.
void ComparePair(const std::string& Head, const std::string& Name, const std::string& Old,
                 const std::string& New, std::vector<TItemDiff>& Out) {
  if (Old == New) return;
  std::vector<std::string> a, b;
  const size_t before = Out.size();
  if (SplitItems(Old, a) && SplitItems(New, b)) {
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

std::vector<TItemDiff> CompareLines(const std::vector<std::string>& Old,
                                    const std::vector<std::string>& New) {
  // Key: head and occurrence, so that repeated heads pair up in order instead of collapsing.
  using TKey = std::pair<std::string, int>;
  auto keyed = [](const std::vector<std::string>& Lines) {
    std::vector<TKey> keys;
    std::map<std::string, int> seen;
    keys.reserve(Lines.size());
    for (const std::string& l : Lines) {
      std::string head = HeadOf(l);
      const int n = seen[head]++;
      keys.emplace_back(std::move(head), n);
    }
    return keys;
  };
  const std::vector<TKey> ka = keyed(Old), kb = keyed(New);
  std::map<TKey, size_t> inNew, inOld;
  for (size_t i = 0; i < New.size(); ++i) inNew.emplace(kb[i], i);
  for (size_t i = 0; i < Old.size(); ++i) inOld.emplace(ka[i], i);

  const TPbxCatalogue& catalogue = TPbxCatalogue::Get();
  std::vector<TItemDiff> out;
  for (size_t i = 0; i < Old.size(); ++i) {
    const std::string& head = ka[i].first;
    const auto it = inNew.find(ka[i]);
    if (it == inNew.end())
      out.push_back({head, catalogue.NameOfHead(head), 0, Old[i], std::string()});
    else if (New[it->second] != Old[i])
      ComparePair(head, catalogue.NameOfHead(head), Old[i], New[it->second], out);
  }
  for (size_t i = 0; i < New.size(); ++i)
    if (inOld.find(kb[i]) == inOld.end())
      out.push_back({kb[i].first, catalogue.NameOfHead(kb[i].first), 0, std::string(), New[i]});
  return out;
}

std::vector<TItemDiff> CompareStores(const TSysData& Old, const TSysData& New) {
  auto texts = [](const TSysData& S) {
    std::vector<std::string> lines;
    ForEachFileBlock(S, [&](const TCmdData& B) {
      if (!B.Data().empty()) lines.push_back(B.Data());
    });
    return lines;
  };
  return CompareLines(texts(Old), texts(New));
}
