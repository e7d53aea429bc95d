// The capability record: what the connected PBX model offers beyond the common programs.
// Stored in the data file, set anew from the PBX's version text at every connection.
#pragma once

#include <cstdint>
#include <string>

class TVersion {
 public:
  // Firmware families told apart by the version code at the start of the PBX's version text.
  enum TFamily { famUnknown = 0, famY501 = 1, famY581 = 2 };

  uint8_t ExtendedSpeedDial = 1;  // speed dials carry names (list 011S), 204 entries
  uint8_t Skip123S = 1;           // the PBX has no program 123S: never read nor upload it

  // Called after every successful connection with the PBX's version text. Both flags end at 1
  // for every text: no family is known to lack the speed-dial names or to have program 123S,
  // and a wrong guess would hide data or send a program the PBX refuses. The family is kept
  // for display only.
  void SetModel(const std::string& Model);

  TFamily Family() const { return fFamily; }
  const std::string& Model() const { return fModel; }

  // The family of a version text: its first five characters matched against the codes of each
  // family ("?" in a code matching any character), else characters 2-4 against "551" / "581".
  static TFamily FamilyOf(const std::string& VersionText);

 private:
  TFamily fFamily = famUnknown;
  std::string fModel;
};
