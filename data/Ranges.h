// Range lists: sets of numbers written compactly, such as 101,105-108.
#pragma once

#include <memory>
#include <string>

#include "IntList.h"

// Sorts List ascending and writes it with runs as "a-b". Limit is the number of entries to
// cover; a negative Limit covers all of them.
std::string FormatRanges(TIntegerList& List, int Limit = -1);

// Reads a range list; pieces that are not numbers or ranges are dropped. The result is sorted
// ascending and keeps duplicates. A range never yields more than kMaxRangeNumbers numbers in
// all, so a typing slip such as 1-999999999 cannot exhaust memory.
std::unique_ptr<TIntegerList> ParseRanges(const std::string& Text);

constexpr int kMaxRangePieces = 255;
constexpr int kMaxRangeNumbers = 10000;
