#include "FileBlocks.h"

#include <algorithm>

#include "PbxPrograms.h"

namespace {

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
