// Small pieces shared by the three tables.
#pragma once

#include <string>

#include "CmdData.h"
#include "Exchange.h"

namespace table_util {

// Writes the lines of List one by one, so that a line whose answer cannot be used does not
// keep the following lines from being sent.
inline bool WriteLines(TCmdList& List, bool ChangedOnly) {
  bool ok = true;
  for (int i = 0; i < List.Count(); ++i) {
    TCmdData& b = List.Items(i);
    if (ChangedOnly && !b.Changed) continue;
    if (!TryExchange([&] { return b.WritePBX(); })) ok = false;
  }
  return ok;
}

inline bool WriteBlock(TCmdData& Block, bool ChangedOnly) {
  if (ChangedOnly && !Block.Changed) return true;
  return TryExchange([&] { return Block.WritePBX(); });
}

inline bool ReadBlock(TCmdData& Block, const std::string& Query) {
  return TryExchange([&] { return Block.ReadPBX(Query); });
}

inline bool ReadList(TCmdList& List, const std::string& Query) {
  return TryExchange([&] { return List.ReadPBX(Query); });
}

inline void SetMultiEdit(TCmdList& List, bool B) {
  for (int i = 0; i < List.Count(); ++i) List.Items(i).AllowUndefined = B;
}

// Replaces Digits.size() characters of Block's text from Pos (0-based) when the text reaches
// that far; a shorter text is left alone.
inline void PutText(TCmdData& Block, size_t Pos, const std::string& Digits) {
  if (Block.Data().size() < Pos + Digits.size()) return;
  std::string t = Block.Data();
  t.replace(Pos, Digits.size(), Digits);
  Block.SetData(t);
}

inline void PutText(TCmdList& List, size_t Pos, const std::string& Digits) {
  for (int i = 0; i < List.Count(); ++i) PutText(List.Items(i), Pos, Digits);
}

inline void MarkLines(TCmdList& List, const TCmdList& Other, int Items) {
  const int n = List.Count() < Other.Count() ? List.Count() : Other.Count();
  for (int i = 0; i < n; ++i)
    for (int k = 1; k <= Items; ++k) List.Items(i).MarkDifferent(Other.Items(i), k);
}

}  // namespace table_util
