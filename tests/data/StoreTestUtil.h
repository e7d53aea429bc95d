// Shared pieces of the store tests: a PBX model holding every program the store and its
// tables read, and the expected command orders written out by hand.
#pragma once

#include <string>
#include <vector>

#include "support/PbxModel.h"

class TSysData;

// Every single block of the catalogue as "<code>/<n>/" and every list as two lines
// "<code>01/<n>/", "<code>02/<n>/", plus everything the three tables read.
void FillStorePrograms(TPbxModel& Pbx);

// The lines the model answers to Query ("103S//", "001S*//").
std::vector<std::string> ModelAnswer(const TPbxModel& Pbx, const std::string& Query);

// What each group of the store reads, in order, as the queries the PBX receives; with the
// default capability flags (names on, no program 123).
std::vector<std::string> ExpectedReads(int Group);

// All blocks the store holds, as text, in catalogue order (for "nothing changed" checks).
std::string StoreImage(TSysData& Store);
