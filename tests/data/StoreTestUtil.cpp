#include "StoreTestUtil.h"

#include "Groups.h"
#include "PbxPrograms.h"
#include "Stream.h"
#include "SysData.h"

namespace {

std::vector<std::string> Range(int From, int To, const char* Suffix) {
  std::vector<std::string> v;
  for (int i = From; i <= To; ++i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.3d%s", i, Suffix);
    v.push_back(buf);
  }
  return v;
}

std::vector<std::string> operator+(std::vector<std::string> A, const std::vector<std::string>& B) {
  A.insert(A.end(), B.begin(), B.end());
  return A;
}

}  // namespace

void FillStorePrograms(TPbxModel& Pbx) {
  Pbx.FillTables();
  const TPbxCatalogue& catalogue = TPbxCatalogue::Get();
  for (int i = 0; i < kSingleBlockCount; ++i) {
    const std::string code = BlockCode(static_cast<TBlockId>(i));
    // A bit-field program answers with a bit field; the others with a digit.
    const int p = catalogue.FindCode(code);
    const bool bits = p >= 0 && catalogue.Programs()[size_t(p)].Items[0].Kind == TItemSpec::Bits;
    const std::string d = std::to_string(i % 2);
    Pbx.SetLine(code + "/" + (bits ? "000" + d + " 000" + d : std::to_string(i % 7)) + "/");
  }
  // Two lines of every list, under the first two keys the program has.
  for (int i = 0; i < kBlockListCount; ++i) {
    const std::string code = ListCode(static_cast<TListId>(i));
    const TPbxProgram& prog = catalogue.Programs()[size_t(catalogue.FindCode(code))];
    Pbx.SetList(code + "*", {prog.Head(0) + "/" + std::to_string(i % 5) + "/",
                             prog.Head(1) + "/" + std::to_string(i % 3 + 5) + "/"});
  }
}

std::vector<std::string> ModelAnswer(const TPbxModel& Pbx, const std::string& Query) {
  const std::string head = Query.substr(0, Query.size() - 2);
  if (!head.empty() && head.back() == '*') return Pbx.List(head);
  return {Pbx.Line(head)};
}

std::vector<std::string> ExpectedReads(int Group) {
  switch (Group) {
    case grSpeedDials: return {"001S*//", "011S*//"};
    case grDISA:
      return {"500S//", "502S//", "503S//", "504S//", "505S//", "506S//", "507S//",
              "508S//", "509S//", "511S//", "513S//", "514S//", "515S//", "517S//",
              "518S//", "519S//", "530S//", "501S*//", "510S*//", "512S*//", "516E*//"};
    case grUCD: return Range(520, 526, "S//");
    case grTimer: return Range(200, 208, "S//") + Range(210, 213, "S//");
    case grAccountCodes: return {"310S*//"};
    case grAutoPause: return {"311S*//"};
    case grCarrierExcepted: return {"300S*//"};
    case grTollRestriction:
      return std::vector<std::string>{"125S//", "301S//", "312S//"} + Range(302, 306, "S*//");
    case grEmergencyDial: return {"309S*//"};
    case grARS:
      return std::vector<std::string>{"359S//", "362S//", "363S//", "350C*//"} +
             Range(351, 358, "S*//") + std::vector<std::string>{"360S*//", "361S*//", "364S*//"};
    case grVoiceMail: return {"102E*//", "103S//"};
    case grCallHunting: return {"100S//", "101S//"};
    case grSMDR: return {"801S//", "802S//", "803S//", "805S//", "806S//"};
    case grSystemParams:
      return std::vector<std::string>{"002S//", "005S//", "008S//", "010S//"} +
             Range(104, 122, "S//") +
             std::vector<std::string>{"124S//", "126S//", "127S//", "012S*//", "009S*//"};
    case grDayNight: return {"007S*//", "006S//"};
    default: return {};
  }
}

std::string StoreImage(TSysData& Store) {
  TMemoryStream s;
  Store.Extensions.SaveToStream(s);
  Store.COLines.SaveToStream(s);
  Store.DSSConsoles.SaveToStream(s);
  std::string image = s.AsString() + std::to_string(Store.Extensions.ChangedCount()) + "," +
                      std::to_string(Store.COLines.ChangedCount()) + "," +
                      std::to_string(Store.DSSConsoles.ChangedCount()) + "\n";
  for (int i = 0; i < kSingleBlockCount; ++i) {
    const TCmdData& b = Store.Block(static_cast<TBlockId>(i));
    image += b.Data() + (b.Changed ? "+" : "-") + std::to_string(b.ReadTime) + "\n";
  }
  for (int i = 0; i < kBlockListCount; ++i) {
    const TCmdList& l = Store.List(static_cast<TListId>(i));
    for (int k = 0; k < l.Count(); ++k)
      image += l.Items(k).Data() + (l.Items(k).Changed ? "+" : "-") + "\n";
    image += "|\n";
  }
  image += std::to_string(Store.Version.ExtendedSpeedDial) +
           std::to_string(Store.Version.Skip123S) + (Store.HaveFileData ? "F" : "f");
  return image;
}
