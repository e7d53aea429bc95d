#include "Check.h"

#include "Errors.h"  // Format
#include "SysData.h"

namespace {

// The extension numbers together, as the upload will judge them before sending any: each line
// may be sound while two ports want one number, or port 1's number and another's belong to no
// one plan. A line whose own problem is listed already is not judged again.
void CheckNumbers(const TCmd009S& List, std::vector<TLineProblem>& Out) {
  for (int i = 0; i < List.Count(); ++i)
    if (List.Items(i).Data().empty()) return;  // the numbers were not read: nothing to judge
  const TPbxCatalogue& catalogue = TPbxCatalogue::Get();
  for (const TCmd009S::TNumberIssue& n : List.NumberIssues()) {
    const int port = n.Kind == TCmd009S::TNumberIssue::Same ? n.Other : n.Port;
    const std::string& line = List.Items(port - 1).Data();
    if (!catalogue.CheckLine(line).empty()) continue;
    const std::string head = line.substr(0, line.find('/'));
    std::string allowed;
    switch (n.Kind) {
      case TCmd009S::TNumberIssue::NoNumber:
        allowed = "an extension number";
        break;
      case TCmd009S::TNumberIssue::NoPlan:
        allowed = "a number of a numbering plan: two digits 10-49 (plan 3) or three digits "
                  "100-499 (plans 1 and 2)";
        break;
      case TCmd009S::TNumberIssue::OtherPlan:
        allowed = Format("a number of one numbering plan with port %d's '%s' (two digits 10-49 "
                         "under plan 3, three digits 100-499 under plans 1 and 2)",
                         n.Other, List.NumberOfJack(n.Other).c_str());
        break;
      case TCmd009S::TNumberIssue::Same:
        allowed = Format("a number of its own: port %d has it too", n.Port);
        break;
    }
    Out.push_back({head, catalogue.NameOfHead(head), 1, List.Items(port - 1).ItemStr(1), allowed,
                   true});
  }
}

}  // namespace

std::vector<TLineProblem> CheckStore(const TSysData& Store) {
  std::vector<TLineProblem> all;
  const TPbxCatalogue& catalogue = TPbxCatalogue::Get();
  ForEachFileBlock(Store, [&](const TCmdData& B) {
    if (B.Data().empty()) return;
    for (TLineProblem& p : catalogue.CheckLine(B.Data())) all.push_back(std::move(p));
  });
  CheckNumbers(Store.Extensions.Cmd009, all);
  return all;
}

std::string ProblemText(const TLineProblem& P) {
  const std::string name = P.Name.empty() ? std::string("unknown program") : P.Name;
  const std::string where = P.Item > 0 ? Format("item %d", P.Item) : std::string("line");
  // A file's bytes are shown, never played to a terminal.
  return Format("%s  %s  %s '%s': %s", EscapeUnprintable(P.Head).c_str(), name.c_str(),
                where.c_str(), EscapeUnprintable(P.Value).c_str(), P.Allowed.c_str());
}
