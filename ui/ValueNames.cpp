#include "ValueNames.h"

#include <map>
#include <utility>

namespace {

struct TNames {
  QStringList Names;
  int First = 0;
};

std::map<std::pair<std::string, int>, TNames>& Table() {
  static std::map<std::pair<std::string, int>, TNames> table;
  return table;
}

std::function<void()>& Source() {
  static std::function<void()> source;
  return source;
}

bool gFilled = false;

// The program code of a line head: three digits and the category letter.
std::string CodeOf(const std::string& Head) { return Head.substr(0, 4); }

}  // namespace

void AddValueNames(const std::string& Code, int Item, const QStringList& Names, int First) {
  if (Names.size() < 2) return;
  Table().emplace(std::make_pair(Code, Item), TNames{Names, First});
}

void SetValueNamesSource(std::function<void()> Fill) {
  Source() = std::move(Fill);
  gFilled = false;
}

QStringList ValueNames(const std::string& Head, int Item, int* First) {
  if (!gFilled && Source()) {
    gFilled = true;
    Source()();
  }
  const auto it = Table().find(std::make_pair(CodeOf(Head), Item));
  if (it == Table().end()) return {};
  if (First) *First = it->second.First;
  return it->second.Names;
}

QString NamedValue(const std::string& Head, int Item, const QString& Value) {
  const QString raw = Value.trimmed();
  if (raw == "^") return "(empty)  [^]";
  int first = 0;
  const QStringList names = ValueNames(Head, Item, &first);
  bool number = false;
  const int v = raw.toInt(&number);
  if (!number || names.isEmpty() || v < first || v - first >= names.size()) return Value;
  const QString& name = names[v - first];
  // A list of plain numbers ("1", "2", ...) names nothing.
  bool plain = false;
  if (name.trimmed().toInt(&plain) == v && plain) return Value;
  return name + "  [" + raw + "]";
}
