#include "Check.h"

#include "Errors.h"  // Format
#include "SysData.h"

std::vector<TLineProblem> CheckStore(const TSysData& Store) {
  std::vector<TLineProblem> all;
  const TPbxCatalogue& catalogue = TPbxCatalogue::Get();
  ForEachFileBlock(Store, [&](const TCmdData& B) {
    if (B.Data().empty()) return;
    for (TLineProblem& p : catalogue.CheckLine(B.Data())) all.push_back(std::move(p));
  });
  return all;
}

std::string ProblemText(const TLineProblem& P) {
  const std::string name = P.Name.empty() ? std::string("unknown program") : P.Name;
  const std::string where = P.Item > 0 ? Format("item %d", P.Item) : std::string("line");
  return Format("%s  %s  %s '%s': %s", P.Head.c_str(), name.c_str(), where.c_str(),
                P.Value.c_str(), P.Allowed.c_str());
}
