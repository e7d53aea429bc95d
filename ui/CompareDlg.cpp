#include "CompareDlg.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ValueNames.h"

namespace {

// The PBX stores single bytes; Latin-1 shows every byte as one character.
QString FromPbx(const std::string& Text) {
  return QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size()));
}

// A cell that sorts by its key: item numbers as numbers, a whole block before item 1.
class TSortCell : public QTableWidgetItem {
 public:
  TSortCell(const QString& Text, int Key) : QTableWidgetItem(Text), fKey(Key) {
    setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  }
  bool operator<(const QTableWidgetItem& Other) const override {
    if (const auto* o = dynamic_cast<const TSortCell*>(&Other)) return fKey < o->fKey;
    return QTableWidgetItem::operator<(Other);
  }

 private:
  int fKey;
};

QTableWidgetItem* Cell(const QString& Text) {
  auto* item = new QTableWidgetItem(Text);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  item->setToolTip(Text);  // a long block text stays readable in a narrow column
  return item;
}

// A block's text, or what stands for the side without it.
QString WholeBlock(const std::string& Text) {
  return Text.empty() ? QString("(no such block)") : FromPbx(Text);
}

}  // namespace

TCompareDlg::TCompareDlg(QWidget* Parent, const std::vector<TItemDiff>& Diffs,
                         const QString& FileName)
    : QDialog(Parent) {
  setObjectName("CompareDlg");
  const QString file = QFileInfo(FileName).fileName();
  setWindowTitle("Compare with " + file);
  auto* layout = new QVBoxLayout(this);
  const int n = static_cast<int>(Diffs.size());
  fSummary = new QLabel(
      QString("%1 between the configuration in the window and %2 (%3):")
          .arg(n == 1 ? QString("One difference") : QString("%1 differences").arg(n), file,
               QFileInfo(FileName).absoluteFilePath()),
      this);
  fSummary->setObjectName("CompareSummary");
  fSummary->setWordWrap(true);
  layout->addWidget(fSummary);

  fTable = new QTableWidget(n, kColumnCount, this);
  fTable->setObjectName("CompareTable");
  fTable->setHorizontalHeaderLabels({"Program", "Name", "Item", "In the window", "In " + file});
  fTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  fTable->verticalHeader()->hide();
  for (int r = 0; r < n; ++r) {
    const TItemDiff& d = Diffs[static_cast<size_t>(r)];
    // The program column sorts by head and keeps the data-file order within a head.
    fTable->setItem(r, colProgram, Cell(FromPbx(d.Head)));
    fTable->setItem(r, colName, Cell(d.Name.empty() ? QString("(a program the PBX does not have)")
                                                    : QString::fromStdString(d.Name)));
    fTable->setItem(r, colItem,
                    new TSortCell(d.Item > 0 ? QString::number(d.Item) : QString("block"), d.Item));
    fTable->setItem(r, colWindow, Cell(d.Item > 0 ? NamedValue(d.Head, d.Item, FromPbx(d.Old))
                                                  : WholeBlock(d.Old)));
    fTable->setItem(r, colFile, Cell(d.Item > 0 ? NamedValue(d.Head, d.Item, FromPbx(d.New))
                                                : WholeBlock(d.New)));
  }
  // Shown in data-file order first; a click on a column header sorts by it.
  fTable->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  fTable->setSortingEnabled(true);
  fTable->resizeColumnsToContents();
  fTable->horizontalHeader()->setStretchLastSection(true);
  fTable->setMinimumSize(640, 320);
  layout->addWidget(fTable);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  buttons->button(QDialogButtonBox::Close)->setObjectName("CloseBtn");
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  layout->addWidget(buttons);
}

QString TCompareDlg::Summary() const { return fSummary->text(); }
