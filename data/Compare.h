// Two configurations compared item by item: which program lines differ, and in which of their
// items. The desktop program's "Compare with file" shows this list; the command-line tool can
// print the same.
#pragma once

#include <string>
#include <vector>

class TSysData;

// One difference. For an item (Item 1 to 10, or more for a line longer than the PBX's) Old and
// New are that item's text on each side, empty where the line has no such item. For a whole
// block (Item 0: a block only one side holds, or a pair of lines that cannot be split into
// items) Old and New are the blocks' texts, empty on the side without the block.
struct TItemDiff {
  std::string Head;  // "604E03": the line's text before its first "/"
  std::string Name;  // "Extension name"; empty for a head the PBX does not have
  int Item = 0;
  std::string Old;
  std::string New;
};

// Pairs the lines of Old and New by head (the n-th line of a head with the n-th line of the
// same head in the other list) and lists, for each pair whose texts differ, the items that
// differ; then the lines one side holds alone as whole blocks. In Old's order, the lines only
// New holds after them in New's order.
std::vector<TItemDiff> CompareLines(const std::vector<std::string>& Old,
                                    const std::vector<std::string>& New);

// The same over every non-empty block of two stores, in data-file order (ForEachFileBlock).
std::vector<TItemDiff> CompareStores(const TSysData& Old, const TSysData& New);
