// The readable form of a difference of two configurations' block texts ("kxta diff --long");
// the texts and their pairing are the core's (Compare.h).
#pragma once

#include <string>
#include <vector>

#include "Compare.h"  // TBlockDiff, DiffBlockTexts, FileBlockTexts

// A difference in a technician's words, one line per item that changed, each with the head,
// the program's name, the item and its old and new values:
//   604E03  Extension name  item 1  'Office' -> 'Sales'
// An item only one side has shows as (none); a block only one side has is one line with its
// items ("added  item 1 '123'"), and a line not of the form head/items/ is shown whole.
std::vector<std::string> LongDiffLines(const TBlockDiff& Diff);
