#include "FileBlocks.h"

#include <map>
#include <utility>

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
