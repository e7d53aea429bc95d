// Two configurations compared: their block texts (what "kxta export" prints), the pairs of
// lines that differ (what "kxta diff" prints) and, item by item, which items of those lines
// differ (the desktop program's "Compare with file").
#pragma once

#include <string>
#include <vector>

class TSysData;

// The non-empty block texts of Store in the order of ForEachFileBlock.
std::vector<std::string> FileBlockTexts(const TSysData& Store);

// The head of a program line: its program code and key, the text before the first "/".
std::string BlockHead(const std::string& Text);

// The items of a line head/items/, empty items kept ("1,,3" is three); false, with Items
// empty, for a line of another form.
bool LineItems(const std::string& Line, std::vector<std::string>& Items);

// One block whose text differs between two configurations; a side without that block is empty.
struct TBlockDiff {
  std::string A;
  std::string B;
};

// Pairs the lines of A and B by head (the n-th line of a head with the n-th of the same head)
// and returns the pairs whose texts differ: in A's order, then the heads only B has in B's.
std::vector<TBlockDiff> DiffBlockTexts(const std::vector<std::string>& A,
                                       const std::vector<std::string>& B);

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
