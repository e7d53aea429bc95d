#include "Factory.h"

#include "PbxPrograms.h"
#include "StoreText.h"
#include "SysData.h"
#include "Text.h"

int ModelJackCount(int PBXtype) {
  switch (PBXtype) {
    case 0: return 8;
    case 1: return 16;
    default: return 24;
  }
}

int ModelCOCount(int PBXtype) { return PBXtype == 0 ? 3 : 6; }

bool ModelHasLine(const std::string& Head, int PBXtype) {
  size_t p = 0, k = 0;
  if (!TPbxCatalogue::Get().FindHead(Head, p, k)) return true;
  const TPbxProgram& prog = TPbxCatalogue::Get().Programs()[p];
  const std::string& code = prog.Code;
  const int key = LeadingInt(prog.Keys[k]);
  // A jack's own programs (and its button lists "P05BC"), its extension number, and the ports
  // a list keys by jack (voice mail ports, DISA's extensions); a CO line's programs.
  int jack = 0, line = 0;
  if (code.size() == 5 && code[0] == 'P')
    jack = LeadingInt(code.substr(1, 2));
  else if (code.back() == 'E' || code == "009S")
    jack = key;
  else if (code.back() == 'C')
    line = key;
  if (jack > ModelJackCount(PBXtype)) return false;
  return line <= ModelCOCount(PBXtype);
}

bool LoadFactoryConfiguration(TSysData& Store, int PBXtype) {
  std::string text;
  for (const TPbxProgram& p : TPbxCatalogue::Get().Programs()) {
    // What a read leaves out.
    if (p.Code == "123S" && Store.Version.Skip123S) continue;
    if (p.Code == "011S" && !Store.Version.ExtendedSpeedDial) continue;
    for (size_t k = 0; k < p.Keys.size(); ++k) {
      const std::string head = p.Head(k);
      if (!ModelHasLine(head, PBXtype)) continue;
      const std::string items =
          p.Check == TItemCheck::Numbering ? DefaultNumber(1, int(k) + 1) : p.Defaults[k];
      text += head + "/" + items + "/\n";
    }
  }
  TSysData scratch;
  scratch.Version = Store.Version;
  if (!LoadStoreText(scratch, text, false).Loaded) return false;
  Store.AssignData(scratch);
  Store.HaveFileData = true;
  return true;
}
