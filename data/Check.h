// The check before an upload: every block of a configuration against the PBX's program table,
// so that a value the PBX would refuse is found before the first command, not as a "Command
// error" in the middle of an upload.
#pragma once

#include <string>
#include <vector>

#include "PbxPrograms.h"

class TSysData;

// The problems of every block the store holds, in data-file order, then those of the extension
// numbers taken together (two ports with one number, numbers of no one plan).
std::vector<TLineProblem> CheckStore(const TSysData& Store);

// One line for a problem: head, name, item and value, and what is allowed.
//   604E03  Extension name  item 1 'Off/ce': a name of at most 10 characters ...
std::string ProblemText(const TLineProblem& P);
