// An ordered list of integers: the jack, CO line or console numbers of a selection.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <vector>

class TIntegerList {
 public:
  TIntegerList() = default;
  TIntegerList(std::initializer_list<int> Values) : fItems(Values) {}

  void Add(int Value) { fItems.push_back(Value); }
  void Sort();
  int IndexOf(int Value) const;  // -1 when absent
  int First() const { return fItems.empty() ? 0 : fItems.front(); }
  int Last() const { return fItems.empty() ? 0 : fItems.back(); }
  int Count() const { return static_cast<int>(fItems.size()); }
  void Clear() { fItems.clear(); }
  void Assign(const TIntegerList& Other) { fItems = Other.fItems; }
  int operator[](int Index) const { return fItems.at(static_cast<size_t>(Index)); }
  const std::vector<int>& Values() const { return fItems; }
  bool operator==(const TIntegerList&) const = default;

 private:
  std::vector<int> fItems;
};
