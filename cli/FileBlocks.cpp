#include "FileBlocks.h"

#include <algorithm>
#include <map>
#include <utility>

#include "PbxPrograms.h"

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

namespace {

// The items of a line head/items/, empty items kept; false for a line of another form.
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

std::string Quoted(const std::string& S) { return "'" + S + "'"; }

// A whole block of one side: its items, or the line itself when it has no items.
std::string BlockItemsText(const std::string& Line) {
  std::vector<std::string> items;
  if (!LineItems(Line, items)) return "line " + Quoted(Line);
  std::string out;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) out += ", ";
    out += "item " + std::to_string(i + 1) + " " + Quoted(items[i]);
  }
  return out;
}

}  // namespace

std::vector<std::string> LongDiffLines(const TBlockDiff& D) {
  const std::string head = BlockHead(D.A.empty() ? D.B : D.A);
  const std::string name = TPbxCatalogue::Get().NameOfHead(head);
  const std::string lead = head + "  " + (name.empty() ? std::string("unknown program") : name) + "  ";
  if (D.B.empty()) return {lead + "removed  " + BlockItemsText(D.A)};
  if (D.A.empty()) return {lead + "added  " + BlockItemsText(D.B)};
  std::vector<std::string> a, b, out;
  if (!LineItems(D.A, a) || !LineItems(D.B, b)) {
    out.push_back(lead + "line  " + Quoted(D.A) + " -> " + Quoted(D.B));
    return out;
  }
  const auto side = [](const std::vector<std::string>& Items, size_t I) {
    return I < Items.size() ? Quoted(Items[I]) : std::string("(none)");
  };
  for (size_t i = 0; i < std::max(a.size(), b.size()); ++i)
    if (i >= a.size() || i >= b.size() || a[i] != b[i])
      out.push_back(lead + "item " + std::to_string(i + 1) + "  " + side(a, i) + " -> " +
                    side(b, i));
  return out;
}
