// The programs of a KX-TA PBX (the KX-TA624, the largest, which holds the other models'): their
// line heads, item layouts, value ranges and factory values, built from one declarative table
// (PbxPrograms.cpp). The block layer judges received lines by it, and the simulated PBX
// answers from it.
#pragma once

#include <map>
#include <string>
#include <vector>

// One item of a program line and what the PBX accepts there.
struct TItemSpec {
  enum TKind {
    Number,      // decimal digits, any count, value in Lo..Hi
    Fixed,       // exactly Width digits, value in Lo..Hi ("%.2d" items)
    Text,        // up to Width characters of Chars; "^" or empty allowed
    Bits,        // "dddd dddd": four digits, a blank, four digits, each 0..Hi
    Flags,       // exactly Width digits, each 0..Hi, no separator
    Time,        // hhmmp (12-hour clock, p = 1 for PM) or "^"
    StarNumber,  // "*" or a number in Lo..Hi
    Free         // anything without "/" and ","
  };
  TKind Kind = Free;
  int Lo = 0, Hi = 0, Width = 0;
  std::string Chars;
};

// Extra rules where one item's range depends on another.
enum class TItemCheck { None, CoButton, DssButton, AutoAttendant, LineMode, UcdBusyTime, Numbering };

// One program: every line it has (one for a single block, one per key otherwise).
struct TPbxProgram {
  std::string Code;                 // what "*//" follows: "604E", "P05BC", "103S"
  std::string Name;                 // as a technician knows it: "Extension name"
  std::vector<std::string> Keys;    // empty key for a single block
  int MinItems = 1;
  std::vector<TItemSpec> Items;  // size = the most items a line may have
  TItemCheck Check = TItemCheck::None;
  std::vector<std::string> Defaults;  // factory items text per key (same order as Keys)
  std::string Head(size_t KeyIndex) const { return Code + Keys[KeyIndex]; }
};

// One thing wrong with a program line, in a technician's words.
struct TLineProblem {
  std::string Head;     // "604E03"; the line itself when it has no head
  std::string Name;     // "Extension name"; empty for a head the PBX does not have
  int Item = 0;         // 1 to 10; 0 for the line as a whole (its head, form or item count)
  std::string Value;    // the item as it stands, or the items of the line
  std::string Allowed;  // what the PBX takes there
  bool RangeOnly = false;  // the line is well formed and only a value lies outside its range
};

// What an item of a layout may hold, in words ("a number from 0 to 8").
std::string AllowedText(const TItemSpec& Spec);

class TPbxCatalogue {
 public:
  // The whole catalogue, in listing order. Built once; the table is checked while it is built.
  static const TPbxCatalogue& Get();

  const std::vector<TPbxProgram>& Programs() const { return fPrograms; }
  // The program and key index of a line head ("604E01"); false when no such line exists.
  bool FindHead(const std::string& Head, size_t& Program, size_t& Key) const;
  // The program of a code as used before "*//" ("009S"); -1 when unknown.
  int FindCode(const std::string& Code) const;

  // Checks the items text (between the two "/") against a program's layout; Why gets a reason.
  static bool ValidItems(const TPbxProgram& Prog, const std::string& Items, std::string* Why);
  static bool ValidItem(const TItemSpec& Spec, const std::string& Item);

  // Whether a received line can be the PBX's: a head of a known program must be one of its
  // lines, and each item may hold only characters the PBX uses there (values and item counts
  // are not judged: a line is refused for damage, not for a setting). Code is the program a
  // whole-program query asked for, or the head a single query asked for. A head of a program
  // the table does not know passes.
  bool PlausibleLine(const std::string& Code, const std::string& Head,
                     const std::string& Items) const;

  // Everything the PBX would refuse in a program line ("604E03/Office/"): a head it does not
  // have, a line not of the form head/items/, an item count outside the program's, and each
  // item outside its layout, range or the program's own rules. Empty when the line passes.
  // The numbering plan line "009S00/p/" is known too (plans 1 to 3).
  std::vector<TLineProblem> CheckLine(const std::string& Line) const;
  // The name of the program a head belongs to; empty when the PBX has no such line.
  std::string NameOfHead(const std::string& Head) const;

 private:
  TPbxCatalogue();
  std::vector<TPbxProgram> fPrograms;
  std::map<std::string, std::pair<size_t, size_t>> fHeads;
  std::map<std::string, size_t> fCodes;
};

// Why Line must never go to the PBX as a write, whatever its program: a byte that is no
// printable ASCII (the PBX takes a control character as a key: a backspace rubs out what came
// before it, so that the rest of the line becomes another command), a line longer than a PBX
// line, items that hold no value at all (the PBX takes "604E01//" as a query and keeps what it
// holds), or an item that is "???", the mark of values that differed among selected records.
// Empty when none of these; Item gets the item concerned (0 for the line as a whole).
std::string UnsendableReason(const std::string& Line, int* Item = nullptr);

// Items of program 009 (extension numbers) per numbering plan: the numbers a plan line leaves
// (101.. under plans 1 and 2, two-digit 11.. under plan 3); the ranges the plan accepts.
std::string DefaultNumber(int Plan, int Jack);
void PlanRange(int Plan, int& Lo, int& Hi, int& Digits);
