// The programs a simulated KX-TA624 knows: their line heads, item layouts, value ranges and
// factory defaults, built from one declarative table (SimPrograms.cpp).
#pragma once

#include <map>
#include <string>
#include <vector>

// One item of a program line and what the PBX accepts there.
struct TSimItemSpec {
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
enum class TSimCheck { None, CoButton, DssButton, AutoAttendant, LineMode, UcdBusyTime, Numbering };

// One program: every line it has (one for a single block, one per key otherwise).
struct TSimProgram {
  std::string Code;                 // what "*//" follows: "604E", "P05BC", "103S"
  std::vector<std::string> Keys;    // empty key for a single block
  int MinItems = 1;
  std::vector<TSimItemSpec> Items;  // size = the most items a line may have
  TSimCheck Check = TSimCheck::None;
  std::vector<std::string> Defaults;  // factory items text per key (same order as Keys)
  std::string Head(size_t KeyIndex) const { return Code + Keys[KeyIndex]; }
};

class TSimCatalogue {
 public:
  // The whole catalogue, in listing order. Built once; the table is checked while it is built.
  static const TSimCatalogue& Get();

  const std::vector<TSimProgram>& Programs() const { return fPrograms; }
  // The program and key index of a line head ("604E01"); false when no such line exists.
  bool FindHead(const std::string& Head, size_t& Program, size_t& Key) const;
  // The program of a code as used before "*//" ("009S"); -1 when unknown.
  int FindCode(const std::string& Code) const;

  // Checks the items text (between the two "/") against a program's layout; Why gets a reason.
  static bool ValidItems(const TSimProgram& Prog, const std::string& Items, std::string* Why);
  static bool ValidItem(const TSimItemSpec& Spec, const std::string& Item);

 private:
  TSimCatalogue();
  std::vector<TSimProgram> fPrograms;
  std::map<std::string, std::pair<size_t, size_t>> fHeads;
  std::map<std::string, size_t> fCodes;
};

// Items of program 009 (extension numbers) per numbering plan: plan 1 gives 101.., plan 2
// 201.., plan 3 two-digit 10..; the ranges the plan accepts.
std::string SimDefaultNumber(int Plan, int Jack);
void SimPlanRange(int Plan, int& Lo, int& Hi, int& Digits);
