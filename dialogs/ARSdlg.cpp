#include "ARSdlg.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "FieldFilter.h"
#include "FormParts.h"
#include "HelpContext.h"
#include "PbxPrograms.h"
#include "SysData.h"
#include "Text.h"

namespace {

constexpr int kCOLines = 6;
constexpr int kCOLinesTA308 = 3;
constexpr int kCOGroups = 6;
constexpr Qt::ItemFlags kCodeCell = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;

QStringList Numbers(int From, int To) {
  QStringList s;
  for (int i = From; i <= To; ++i) s << QString::number(i);
  return s;
}

QTableWidget* CodeGrid(const char* Name, QWidget* Parent) {
  auto* g = new QTableWidget(kARSCodes, 2, Parent);
  g->setObjectName(Name);
  g->horizontalHeader()->hide();
  g->verticalHeader()->hide();
  g->setColumnWidth(0, 34);
  g->setColumnWidth(1, 90);
  g->horizontalHeader()->setStretchLastSection(true);
  g->setItemDelegateForColumn(1, new TFilteredCellDelegate(TextItemLayout("351S"),
                                                           kARSCodeLength, {}, g));
  for (int r = 0; r < kARSCodes; ++r) {
    auto* label = new QTableWidgetItem(QString(" %1").arg(r + 1));
    label->setFlags(Qt::ItemIsEnabled);
    g->setItem(r, 0, label);
    g->setItem(r, 1, new QTableWidgetItem);
  }
  g->setMinimumSize(34 + 90 + 24, 240);
  return g;
}

int CheckDigit(const QListWidgetItem* Item) {
  switch (Item->checkState()) {
    case Qt::Checked: return 1;
    case Qt::Unchecked: return 0;
    default: return -1;
  }
}

TCmdList& RouteList(TSysData& S, TListId First, int Route) {
  return S.List(static_cast<TListId>(First + Route));
}

}  // namespace

QString ARSCodeShown(const std::string& Item) {
  if (Item == "^") return QString();
  QString code = QString::fromStdString(Item);
  qsizetype end = code.size();
  while (end > 0 && code[end - 1] == 'x') --end;
  if (end > 0) code.truncate(end);
  return code.left(kARSCodeLength);
}

std::string ARSCodeItem(const QString& Code) {
  if (Code.isEmpty()) return std::string(1, '^');
  std::string item = Code.left(kARSCodeLength).toStdString();
  item.resize(kARSCodeLength, 'x');
  return item;
}

TARSDlg::TARSDlg(QWidget* Parent) : TProgDlg(Parent) {
  setObjectName("ARSDlg");
  setWindowTitle("Automatic Route Selection");
  auto* top = new QVBoxLayout(this);
  fPages = new QTabWidget(this);
  fPages->setObjectName("PageControl1");
  top->addWidget(fPages);
  auto* params = new QWidget;
  params->setObjectName("ParamsPage");
  auto* routes = new QWidget;
  routes->setObjectName("RoutesPage");
  fPages->addTab(params, "Parameters");
  fPages->addTab(routes, "Routes");

  // Parameters.
  auto* p = new QVBoxLayout(params);
  p->addWidget(new QLabel("ARS is enabled for:", params));
  fLines = new QListWidget(params);
  fLines->setObjectName("COcxl");
  const int lines = SysData().Settings.PBXtype == 0 ? kCOLinesTA308 : kCOLines;
  for (int c = 1; c <= lines; ++c) {
    auto* item = new QListWidgetItem(QString("CO %1").arg(c), fLines);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  fLines->setFixedHeight(kCOLines * fLines->sizeHintForRow(0) + 2 * fLines->frameWidth() + 4);
  p->addWidget(fLines);
  auto* form = new QFormLayout;
  p->addLayout(form);
  fCarrier = new QLineEdit(params);
  fCarrier->setObjectName("Carrier1stEdit");
  FilterField(fCarrier, TextItemLayout("359S"));
  form->addRow("1st Carrier Selection Code:", fCarrier);
  auto* tone = Combo("TonePatternCb", {"Disable", "Tone1", "Tone2", "Tone3"}, params);
  form->addRow("ARS Dial Tone Pattern Selection:", tone);
  auto* interdigit = Combo("InterDgtTimeCb", Numbers(1, 20), params);
  auto* seconds = new QHBoxLayout;
  seconds->addWidget(interdigit);
  seconds->addWidget(new QLabel("sec", params));
  seconds->addStretch();
  form->addRow(Label("ARS Interdigit Time:", interdigit, params), seconds);
  p->addStretch();

  // Routes: one set of controls under the four tabs.
  auto* r = new QVBoxLayout(routes);
  fTabs = new QTabBar(routes);
  fTabs->setObjectName("TabControl1");
  for (int i = 1; i <= kARSRoutes; ++i) fTabs->addTab(QString("Route %1 ").arg(i));
  r->addWidget(fTabs);
  auto* grids = new QGridLayout;
  r->addLayout(grids);
  fLead = CodeGrid("LeadGrid", routes);
  fExcept = CodeGrid("ExceptGrid", routes);
  grids->addWidget(new QLabel("Selection codes (Leading digits):", routes), 0, 0);
  grids->addWidget(new QLabel("Exception codes:", routes), 0, 1);
  grids->addWidget(fLead, 1, 0);
  grids->addWidget(fExcept, 1, 1);
  auto* routeForm = new QFormLayout;
  r->addLayout(routeForm);
  fRemove = Combo("RemoveDigitsCb", Numbers(0, 9), routes);
  routeForm->addRow("Removed Digits:", fRemove);
  fAdded = new QLineEdit(routes);
  fAdded->setObjectName("AddNumEdit");
  FilterField(fAdded, TextItemLayout("361S"));
  routeForm->addRow("Added Number:", fAdded);
  fGroup = Combo("COgroupCb", QStringList{"All"} + Numbers(1, kCOGroups), routes);
  routeForm->addRow("ARS Outside (CO) Line Group:", fGroup);
  // The controls still show the route left when the tab has changed: they go into its record
  // before the new route is shown.
  connect(fTabs, &QTabBar::currentChanged, this, [this](int Tab) {
    SaveRoute(fShownRoute);
    ShowRoute(Tab);
  });

  AddOkCancelHelp(this, top, kHelpARS);
  connect(fPages, &QTabWidget::currentChanged, this, [this](int Page) {
    SetHelpContext(this, Page == 1 ? kHelpARSRoutes : kHelpARS);
  });

  TBindingTable& t = Bindings();
  // Shown and written as the PBX holds it, except that its empty mark "^" shows as an empty
  // field, and an empty field leaves an item that is empty already as it came.
  t.AddCustom(
      fCarrier, "359S",
      [this](const TCmdData& B) {
        const std::string code = B.ItemStr(1);
        fCarrier->setText(code == "^" ? QString() : QString::fromStdString(code));
      },
      [this](TCmdData& B) {
        const std::string code = fCarrier->text().toStdString();
        if (!code.empty()) {
          B.SetItemStr(1, code);
        } else {
          const std::string old = B.ItemStr(1);
          if (!old.empty() && old != "^") B.SetItemStr(1, "^");
        }
      });
  t.Add(tone, "362S", 1, TItemConv::Index);
  t.Add(interdigit, "363S", 1, TItemConv::Index1TwoDigit);
  SetPages(fPages);
  SetGroup(grARS);
}

void TARSDlg::LoadControls() {
  TProgDlg::LoadControls();
  TSysData& s = Store();
  // Only the lines the list has a block for are loaded and stored.
  for (int c = 0; c < fLines->count(); ++c) {
    QListWidgetItem* item = fLines->item(c);
    const bool known = c < s.List350C.Count();
    item->setFlags(known ? Qt::ItemIsEnabled | Qt::ItemIsUserCheckable : Qt::NoItemFlags);
    const int v = known ? s.List350C.Items(c).ItemInt(1) : 0;
    item->setCheckState(v < 0 ? Qt::PartiallyChecked : v == 1 ? Qt::Checked : Qt::Unchecked);
  }
  fUseRoutes = s.List360S.Count() == kARSRoutes && s.List361S.Count() == kARSRoutes &&
               s.List364S.Count() == kARSRoutes;
  for (int r = 0; r < kARSRoutes; ++r) {
    TARSRoute& route = fRoutes[size_t(r)];
    route = TARSRoute{};
    if (!fUseRoutes) continue;
    const TCmdList& lead = RouteList(s, idList351S, r);
    const TCmdList& except = RouteList(s, idList355S, r);
    route.LeadRows = std::min(kARSCodes, lead.Count());
    route.ExceptRows = std::min(kARSCodes, except.Count());
    for (int i = 0; i < route.LeadRows; ++i)
      route.Lead[size_t(i)] = ARSCodeShown(lead.Items(i).ItemStr(1));
    for (int i = 0; i < route.ExceptRows; ++i)
      route.Except[size_t(i)] = ARSCodeShown(except.Items(i).ItemStr(1));
    const int remove = s.List360S.Items(r).ItemInt(1);
    route.RemoveDigits = remove >= 0 && remove < fRemove->count() ? remove : -1;
    const std::string added = s.List361S.Items(r).ItemStr(1);
    route.Added = (added == "^" ? QString() : QString::fromStdString(added)).left(kARSAddedLength);
    // "*" and group 0 both mean every line ("All"); OK writes the PBX's "*".
    const std::string group = TrimBlanks(s.List364S.Items(r).ItemStr(1));
    const int g = s.List364S.Items(r).ItemInt(1);
    route.Group = group == "*" || group == "0" ? 0 : g >= 1 && g <= kCOGroups ? g : -1;
  }
  for (QWidget* w : std::initializer_list<QWidget*>{fLead, fExcept, fRemove, fAdded, fGroup})
    w->setEnabled(fUseRoutes);
  {
    const QSignalBlocker quiet(fTabs);
    fTabs->setCurrentIndex(0);
  }
  ShowRoute(0);
}

void TARSDlg::ShowRoute(int Route) {
  const TARSRoute& route = fRoutes[size_t(Route)];
  for (int i = 0; i < kARSCodes; ++i) {
    QTableWidgetItem* lead = fLead->item(i, 1);
    lead->setText(route.Lead[size_t(i)]);
    lead->setFlags(i < route.LeadRows ? kCodeCell : Qt::NoItemFlags);
    QTableWidgetItem* except = fExcept->item(i, 1);
    except->setText(route.Except[size_t(i)]);
    except->setFlags(i < route.ExceptRows ? kCodeCell : Qt::NoItemFlags);
  }
  fRemove->setCurrentIndex(route.RemoveDigits);
  fAdded->setText(route.Added);
  fGroup->setCurrentIndex(route.Group);
  fLead->scrollToTop();
  fExcept->scrollToTop();
  fShownRoute = Route;
}

void TARSDlg::SaveRoute(int Route) {
  // A cell still being edited holds what was typed in its editor, not in the cell.
  CommitOpenEditor(fLead);
  CommitOpenEditor(fExcept);
  TARSRoute& route = fRoutes[size_t(Route)];
  for (int i = 0; i < kARSCodes; ++i) {
    route.Lead[size_t(i)] = fLead->item(i, 1)->text().left(kARSCodeLength);
    route.Except[size_t(i)] = fExcept->item(i, 1)->text().left(kARSCodeLength);
  }
  route.RemoveDigits = fRemove->currentIndex();
  route.Added = fAdded->text().left(kARSAddedLength);
  route.Group = fGroup->currentIndex();
}

void TARSDlg::StoreControls() {
  SaveRoute(fShownRoute);
  TSysData& s = Store();
  for (int c = 0; c < std::min(fLines->count(), s.List350C.Count()); ++c)
    StoreValue(s.List350C.Items(c), 1, TItemConv::Check, CheckDigit(fLines->item(c)));
  TProgDlg::StoreControls();
  if (!fUseRoutes) return;
  for (int r = 0; r < kARSRoutes; ++r) {
    const TARSRoute& route = fRoutes[size_t(r)];
    TCmdList& lead = RouteList(s, idList351S, r);
    TCmdList& except = RouteList(s, idList355S, r);
    for (int i = 0; i < std::min(kARSCodes, lead.Count()); ++i)
      lead.Items(i).SetItemStr(1, ARSCodeItem(route.Lead[size_t(i)]));
    for (int i = 0; i < std::min(kARSCodes, except.Count()); ++i)
      except.Items(i).SetItemStr(1, ARSCodeItem(route.Except[size_t(i)]));
    if (route.RemoveDigits >= 0) s.List360S.Items(r).SetItemInt(1, route.RemoveDigits);
    const std::string added = route.Added.toStdString();
    s.List361S.Items(r).SetItemStr(1, added.empty() ? std::string(1, '^') : added);
    if (route.Group == 0)
      s.List364S.Items(r).SetItemStr(1, "*");
    else if (route.Group > 0)
      s.List364S.Items(r).SetItemInt(1, route.Group);
  }
}

void EditARS(QWidget* Parent, bool Force) {
  TARSDlg dlg(Parent);
  dlg.Execute(Force);
}
