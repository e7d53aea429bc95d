// The integer list of selections.
#include "IntList.h"

#include <algorithm>

void TIntegerList::Sort() { std::sort(fItems.begin(), fItems.end()); }

int TIntegerList::IndexOf(int Value) const {
  auto it = std::find(fItems.begin(), fItems.end(), Value);
  return it == fItems.end() ? -1 : static_cast<int>(it - fItems.begin());
}
