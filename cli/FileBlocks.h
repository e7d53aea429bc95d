// The blocks of a configuration as lines of text: what "kxta export" prints and "kxta diff"
// compares.
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
