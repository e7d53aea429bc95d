// A configuration as text: the program lines "kxta export" prints, one per line, read back into
// a store. Each line goes where a read from the PBX puts it: the block or list of its head in
// the catalogue, the tables or program 009, a list's lines in the order of their keys.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class TCmdData;
class TCmdList;
class TSysData;

// Where a line of a head lives in a store: a block, or a list and the key's position among the
// program's keys (the order a read gives the list's lines).
struct TLinePlace {
  TCmdData* Block = nullptr;
  TCmdList* List = nullptr;
  size_t Key = 0;
};

// The place of the lines of Head ("604E03", "P05BC01", "009S00", "103S"); false when the
// store keeps no line of that head.
bool FindLinePlace(TSysData& Store, const std::string& Head, TLinePlace& Place);

// Something wrong with one line of the text. Line counts from 1; Text says what, without the
// line number ("604E03  Extension name  item 1 ...").
struct TTextProblem {
  int Line = 0;
  std::string Text;
  bool RangeOnly = false;  // the line is well formed; only a value lies outside its range
};

struct TStoreTextLoad {
  std::vector<TTextProblem> Problems;
  int ProgramLines = 0;  // lines of the text that are neither blank nor comments
  int ForcedLines = 0;   // lines taken although a value lies outside its range
  bool Loaded = false;   // the store holds the text now
};

// Reads Text (LF or CR LF, a UTF-8 byte order mark ahead of it dropped; blank lines and lines
// beginning with "#" are skipped) into Store,
// in place of everything it held, as loading a data file does.
// Every line is judged against the program table: a head the PBX does not have, a line not of
// the form head/items/, a character no program line holds, a head given twice, a value the
// PBX refuses. When any line has a problem nothing changes in Store, except that with
// TakeRangeProblems lines whose only problems are values out of range are taken (and still
// reported). The lines taken follow the data file's conventions: changed, actual for ever,
// nothing undefined, the numbering plan line not an edit. A text without any program line
// is refused too.
TStoreTextLoad LoadStoreText(TSysData& Store, const std::string& Text, bool TakeRangeProblems);
