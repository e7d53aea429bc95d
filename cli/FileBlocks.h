// The blocks of a configuration as lines of text: what "kxta export" prints and "kxta diff"
// compares, and the readable form of a difference ("kxta diff --long").
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "SysData.h"  // ForEachFileBlock

// The non-empty block texts of Store in the order of ForEachFileBlock.
std::vector<std::string> FileBlockTexts(const TSysData& Store);

// The head of a program line: its program code and key, the text before the first "/".
std::string BlockHead(const std::string& Text);

// One block whose text differs between two configurations; a side without that block is empty.
struct TBlockDiff {
  std::string A;
  std::string B;
};

// Pairs the lines of A and B by head (the n-th line of a head with the n-th of the same head)
// and returns the pairs whose texts differ: in A's order, then the heads only B has in B's.
std::vector<TBlockDiff> DiffBlockTexts(const std::vector<std::string>& A,
                                       const std::vector<std::string>& B);

// A difference in a technician's words, one line per item that changed, each with the head,
// the program's name, the item and its old and new values:
//   604E03  Extension name  item 1  'Office' -> 'Sales'
// An item only one side has shows as (none); a block only one side has is one line with its
// items ("added  item 1 '123'"), and a line not of the form head/items/ is shown whole.
std::vector<std::string> LongDiffLines(const TBlockDiff& Diff);
