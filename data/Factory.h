// The configuration of a new PBX, for preparing an installation at the desk: every line a read
// of a PBX fresh from the factory gives, with the factory values of the program table.
#pragma once

#include <string>

class TSysData;

// Jacks and CO lines of a model (PBXtype 0 KX-TA308, 1 KX-TA616, 2 KX-TA624); any other type
// counts as the largest model.
int ModelJackCount(int PBXtype);
int ModelCOCount(int PBXtype);

// Whether a PBX of the model has the line of Head: the lines of a jack or a CO line it lacks
// are not there.
bool ModelHasLine(const std::string& Head, int PBXtype);

// Store holds, in place of everything it held, what a new PBX of the model holds (the numbers
// of plan 1, the plan line itself not an edit), the lines the store's capabilities leave out
// of a read left out here too. Nothing of it was read from a PBX: every line is as loaded from
// a data file, changed and without a PBX text, so that an upload sends it all. False (and
// Store unchanged) only when the program table itself holds a line the store cannot place.
bool LoadFactoryConfiguration(TSysData& Store, int PBXtype);
