#include "CopyButtons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "Errors.h"
#include "Feedback.h"
#include "FormParts.h"
#include "ProgDlg.h"
#include "Ranges.h"
#include "Text.h"

namespace {

constexpr int kJacks = TExtensionArray::kJackCount;

// A range list as a technician writes it: "105-104" means 104 and 105 (the label's own
// example), and line breaks separate pieces like commas.
std::string OrderedRanges(const QString& Text) {
  QString t = Text;
  t.replace('\n', ',').replace('\r', ',');
  QStringList pieces = t.split(',');
  for (QString& p : pieces) {
    const int dash = p.indexOf('-');
    if (dash < 0) continue;
    bool ok1 = false, ok2 = false;
    const int a = p.left(dash).trimmed().toInt(&ok1);
    const int b = p.mid(dash + 1).trimmed().toInt(&ok2);
    if (ok1 && ok2 && a > b) p = QString("%1-%2").arg(b).arg(a);
  }
  return pieces.join(',').toStdString();
}

QString NumberOrMark(const TExtensionArray& Table, int Jack) {
  const std::string n = TrimBlanks(Table.Cmd009.NumberOfJack(Jack));
  return n.empty() ? QString("?") : QString::fromStdString(n);
}

}  // namespace

void KeepUnchangedJack(TExtensionData& Jack, const TExtensionData& Before) {
  for (int i = 0; i < TExtensionData::kBlockCount; ++i)
    KeepUnchangedFlags(Jack.Block(i), Before.Block(i));
  KeepUnchangedLines(Jack.BC, Before.BC);
  KeepUnchangedLines(Jack.BF, Before.BF);
}

void CopyButtonLists(TExtensionArray& Table, int Src, int Dest, bool CO, bool PF) {
  if (Src == Dest || (!CO && !PF)) return;
  TExtensionData& dst = Table.Jacks(Dest);
  const TExtensionData& src = Table.Jacks(Src);
  TExtensionData before(Dest, nullptr);
  before.Assign(dst);
  if (CO) dst.BC.Assign(src.BC);
  if (PF) dst.BF.Assign(src.BF);
  dst.SetJack(Dest);
  KeepUnchangedJack(dst, before);
  // Lines the destination did not have before are new to the PBX.
  if (CO)
    for (int i = before.BC.Count(); i < dst.BC.Count(); ++i) dst.BC.Items(i).Changed = true;
  if (PF)
    for (int i = before.BF.Count(); i < dst.BF.Count(); ++i) dst.BF.Items(i).Changed = true;
}

TCopyBtnDlg::TCopyBtnDlg(int SrcJack, TExtensionArray& Table, QWidget* Parent)
    : QDialog(Parent), fTable(Table) {
  setObjectName("CopyBtnDlg");
  setWindowTitle("Copy buttons");
  auto* top = new QVBoxLayout(this);
  auto* pages = new QTabWidget(this);
  pages->setObjectName("CopyPages");
  auto* from = new QWidget;
  auto* to = new QWidget;
  pages->addTab(from, "Copy from");
  pages->addTab(to, "Copy to");
  top->addWidget(pages);

  auto* fl = new QVBoxLayout(from);
  fSrc = new QComboBox(from);
  fSrc->setObjectName("SrcEXTcombo");
  for (int j = 1; j <= kJacks; ++j) {
    const std::string n = TrimBlanks(Table.Cmd009.NumberOfJack(j));
    if (!n.empty() || j == SrcJack)
      fSrc->addItem(n.empty() ? QString("Jack %1").arg(j) : QString::fromStdString(n), j);
  }
  fSrc->setCurrentIndex(fSrc->findData(SrcJack));
  fl->addWidget(Label("Extension to copy buttons from:", fSrc, from));
  fl->addWidget(fSrc);
  fl->addStretch();

  auto* tl = new QVBoxLayout(to);
  fDestMemo = new QPlainTextEdit(to);
  fDestMemo->setObjectName("DestExtMemo");
  tl->addWidget(
      Label("List of destination Extensions to copy buttons (ex.101, 105-104): ", fDestMemo, to));
  tl->addWidget(fDestMemo);

  fCopyCO = new QCheckBox("Copy CO buttons", this);
  fCopyCO->setObjectName("CopyCOcx");
  fCopyCO->setChecked(true);
  fCopyPF = new QCheckBox("Copy PF buttons", this);
  fCopyPF->setObjectName("CopyPFcx");
  fCopyPF->setChecked(true);
  top->addWidget(fCopyCO);
  top->addWidget(fCopyPF);

  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton("&OK", this);
  ok->setObjectName("OkBtn");
  auto* cancel = new QPushButton("&Cancel", this);
  cancel->setObjectName("CancelBtn");
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  top->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, &TCopyBtnDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TCopyBtnDlg::CopyCO() const { return fCopyCO->isChecked(); }

bool TCopyBtnDlg::CopyPF() const { return fCopyPF->isChecked(); }

int TCopyBtnDlg::Source() const { return fSrc->currentData().toInt(); }

void TCopyBtnDlg::accept() {
  const int src = Source();
  if (src < 1 || src > kJacks || !fTable.Jacks(src).HasActualData()) {
    Feedback().ShowInformation(
        Format("Source Extension %s still has not actual data - nothing to copy!",
               NumberOrMark(fTable, src).toStdString().c_str()));
    return;
  }
  const auto numbers = ParseRanges(OrderedRanges(fDestMemo->toPlainText()));
  TIntegerList dest;
  for (int n : numbers->Values()) {
    const int jack = fTable.Cmd009.JackOfNumber(n);
    // A number no jack has is a destination without data as well: it is named as typed.
    if (jack < 1 || jack > kJacks || !fTable.Jacks(jack).HasActualData()) {
      const QString shown = jack < 1 || jack > kJacks ? QString::number(n)
                                                      : NumberOrMark(fTable, jack);
      Feedback().ShowInformation(
          Format("Destination Extension %s still has not actual data - copying is not possible!",
                 shown.toStdString().c_str()));
      return;
    }
    if (dest.IndexOf(jack) < 0) dest.Add(jack);
  }
  for (int jack : dest.Values()) CopyButtonLists(fTable, src, jack, CopyCO(), CopyPF());
  fDest.Assign(dest);
  QDialog::accept();
}

